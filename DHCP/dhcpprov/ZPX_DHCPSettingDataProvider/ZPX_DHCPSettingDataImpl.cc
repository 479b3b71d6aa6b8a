#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataImpl.h"

#include <string.h>

#include "framework/CopyToField.h"
#include "tavrel_agent_api.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;
using OpenWBEM::CIMValue;

namespace {

const size_t kMaxDomainNameBytes = 40;
const size_t kMaxVlanIdsBytes = 50;
// Server modes settable through CIM: 0 off, 1 telephones only, 2 all devices.
const unsigned short kMaxSettableServerMode = 2;

// The OAM and DSP LAN servers are reported as fixed states.
const unsigned short kOAMLANStatus = 1;
const unsigned short kDSPLANStatus = 0;

// "Write" qualifier of an other-port property: writable only while no
// standard port is chosen.
void addWriteQualifier(Array<CIMQualifier>& qualifiers, uint32_t standardPort) {
  qualifiers.push_back(CIMQualifier("Write", CIMValue(standardPort == 0)));
}

}  // namespace

ZPX_DHCPSettingDataImpl* ZPX_DHCPSettingDataImpl::m_pInstance = nullptr;

ZPX_DHCPSettingDataImpl::ZPX_DHCPSettingDataImpl(const std::string& instanceID)
    : ZPX_DHCPSettingData(instanceID),
      m_config(&CustomerLANDhcpCompConfig),
      m_ipConfig(&CustomerLANIpConfig) {}

// The setters checked each value; the change bracket commits the record.
int ZPX_DHCPSettingDataImpl::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getdhcpServerOnRouter(bool& value, Array<CIMQualifier>&) const {
  value = m_config->dhcpServerOnRouter != 0;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setdhcpServerOnRouter(bool value) {
  m_config->dhcpServerOnRouter = value ? 1 : 0;
  if (value) {
    m_config->dhcpStatus = 0;
    m_config->externalServerWarning = 1;
  }
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getdhcpServerCustomerLANStatus(unsigned short& value,
                                                            Array<CIMQualifier>&) const {
  value = static_cast<unsigned short>(m_config->dhcpStatus);
  return TAVREL_RC_OK;
}
// A client that writes back the whole instance it read sends the stored mode
// again, which may be the file-only mode 3: that is no change and accepted.
int ZPX_DHCPSettingDataImpl::setdhcpServerCustomerLANStatus(unsigned short value) {
  if (value == static_cast<unsigned short>(m_config->dhcpStatus) && value > kMaxSettableServerMode)
    return TAVREL_RC_OK;
  if (value > kMaxSettableServerMode) return TAVREL_RC_NOT_ALLOWED;
  m_config->dhcpStatus = value;
  m_config->externalServerWarning = 1;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getdhcpServerOAMLANStatus(unsigned short& value, Array<CIMQualifier>&) const {
  value = kOAMLANStatus;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::getdhcpServerDSPLANStatus(unsigned short& value, Array<CIMQualifier>&) const {
  value = kDSPLANStatus;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getleaseTime(unsigned int& value, Array<CIMQualifier>&) const {
  value = m_config->leaseTime;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setleaseTime(unsigned int value) {
  m_config->leaseTime = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getdefaultGatewayIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->defaultGateway.ipString;
  return TAVREL_RC_OK;
}
// A gateway written back unchanged is no change: a client that sends the
// whole instance it read must not pin a gateway the agent derives.
int ZPX_DHCPSettingDataImpl::setdefaultGatewayIPAddress(std::string value) {
  if (!value.empty() && value == m_config->defaultGateway.ipString) return TAVREL_RC_OK;
  s_ipAddr gateway;
  memset(&gateway, 0, sizeof(gateway));
  if (value.empty()) {
    syncUpGatewayForAddrRanges(m_config, &gateway);
    m_config->defaultGatewayEmpty = 1;
    return TAVREL_RC_OK;
  }
  if (dhcpUtilConvertCanonicalIPAddr(&gateway, value.data(), value.size()) != DHCP_RC_OK ||
      (gateway.ipLong & m_ipConfig->netmask.ipLong) != m_ipConfig->network.ipLong)
    return DHCP_RC_INVALID_ADDRESS;
  syncUpGatewayForAddrRanges(m_config, &gateway);
  m_config->defaultGatewayEmpty = 0;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getdomainName(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->domainName;
  return TAVREL_RC_OK;
}
// A name written back unchanged is accepted even when it was stored under
// earlier rules: a client that sends the whole instance it read must not fail.
int ZPX_DHCPSettingDataImpl::setdomainName(std::string value) {
  if (value != m_config->domainName &&
      (value.find('\0') != std::string::npos || !dhcpUtilIsValidDomainName(value.c_str())))
    return TAVREL_RC_DOMAIN_NAME_CHARACTER;
  if (value.size() > kMaxDomainNameBytes || !TavrelCopyToField(m_config->domainName, value))
    return TAVREL_RC_DOMAIN_NAME_TOO_LONG;
  m_config->domainNameEmpty = 0;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::setAddress(s_ipAddr* target, const std::string& text, uint8_t* validFlag,
                                        uint8_t* emptyFlag, uint8_t emptyValue) {
  // Unchanged: the flags stay, so an address the agent fills in from the
  // published address is not pinned by a client writing it back.
  if (text == target->ipString) return TAVREL_RC_OK;
  if (text.empty()) {
    memset(target, 0, sizeof(*target));
    if (emptyFlag != nullptr) *emptyFlag = emptyValue;
    return TAVREL_RC_OK;
  }
  s_ipAddr address;
  memset(&address, 0, sizeof(address));
  if (dhcpUtilConvertCanonicalIPAddr(&address, text.data(), text.size()) != DHCP_RC_OK)
    return DHCP_RC_INVALID_ADDRESS;
  *target = address;
  if (validFlag != nullptr) *validFlag = 0;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getprimaryDNSIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->dnsServer1.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setprimaryDNSIPAddress(std::string value) {
  return setAddress(&m_config->dnsServer1, value, &m_config->dnsServersEmpty, &m_config->dnsServersEmpty, 0);
}

int ZPX_DHCPSettingDataImpl::getsecondaryDNSIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->dnsServer2.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setsecondaryDNSIPAddress(std::string value) {
  return setAddress(&m_config->dnsServer2, value, nullptr, &m_config->dnsServersEmpty, 0);
}

int ZPX_DHCPSettingDataImpl::getnetbiosNodeType(unsigned char& value, Array<CIMQualifier>&) const {
  value = m_config->winsNodeType;
  return TAVREL_RC_OK;
}
// The unset type 0 written back unchanged is accepted as no change.
int ZPX_DHCPSettingDataImpl::setnetbiosNodeType(unsigned char value) {
  if (value == m_config->winsNodeType) return TAVREL_RC_OK;
  if (value != 1 && value != 2 && value != 4 && value != 8) return TAVREL_RC_NOT_ALLOWED;
  m_config->winsNodeType = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getnetbiosIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->winsServer.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setnetbiosIPAddress(std::string value) {
  return setAddress(&m_config->winsServer, value, &m_config->winsServerEmpty, &m_config->winsServerEmpty, 0);
}

int ZPX_DHCPSettingDataImpl::gets1IPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->s1Address.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets1IPAddress(std::string value) {
  return setAddress(&m_config->s1Address, value, &m_config->s1AddressEmpty, &m_config->s1AddressEmpty, 1);
}

// Reading a standard port also makes the other port follow it.
int ZPX_DHCPSettingDataImpl::gets1Port(unsigned short& value, Array<CIMQualifier>&) const {
  value = static_cast<unsigned short>(m_config->s1PortNumber);
  if (m_config->s1PortNumber != 0) m_config->s1OtherPortNumber = m_config->s1PortNumber;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets1Port(unsigned short value) {
  m_config->s1PortNumber = value;
  if (value != 0) m_config->s1OtherPortNumber = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets1OtherPort(unsigned short& value, Array<CIMQualifier>& qualifiers) const {
  value = static_cast<unsigned short>(m_config->s1OtherPortNumber);
  addWriteQualifier(qualifiers, m_config->s1PortNumber);
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets1OtherPort(unsigned short value) {
  m_config->s1OtherPortNumber = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets1Action(unsigned char& value, Array<CIMQualifier>&) const {
  value = m_config->s1Action;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets1RetryCount(unsigned char& value, Array<CIMQualifier>&) const {
  value = m_config->s1RetryCount;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets1RetryCount(unsigned char value) {
  m_config->s1RetryCount = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets2IPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->s2Address.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets2IPAddress(std::string value) {
  return setAddress(&m_config->s2Address, value, &m_config->s2AddressEmpty, &m_config->s2AddressEmpty, 1);
}

int ZPX_DHCPSettingDataImpl::gets2Port(unsigned short& value, Array<CIMQualifier>&) const {
  value = static_cast<unsigned short>(m_config->s2PortNumber);
  if (m_config->s2PortNumber != 0) m_config->s2OtherPortNumber = m_config->s2PortNumber;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets2Port(unsigned short value) {
  m_config->s2PortNumber = value;
  if (value != 0) m_config->s2OtherPortNumber = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets2OtherPort(unsigned short& value, Array<CIMQualifier>& qualifiers) const {
  value = static_cast<unsigned short>(m_config->s2OtherPortNumber);
  addWriteQualifier(qualifiers, m_config->s2PortNumber);
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets2OtherPort(unsigned short value) {
  m_config->s2OtherPortNumber = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets2Action(unsigned char& value, Array<CIMQualifier>&) const {
  value = m_config->s2Action;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::gets2RetryCount(unsigned char& value, Array<CIMQualifier>&) const {
  value = m_config->s2RetryCount;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::sets2RetryCount(unsigned char value) {
  m_config->s2RetryCount = value;
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getvlanIds(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->vlanIds;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setvlanIds(std::string value) {
  char list[DHCP_VLAN_IDS_SIZE];
  if (value.size() > kMaxVlanIdsBytes || !TavrelCopyToField(list, value) ||
      dhcpCompVerifyVLANIds(list) != DHCP_RC_OK)
    return DHCP_RC_INVALID_VLAN_IDS;
  TavrelCopyToField(m_config->vlanIds, value);
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataImpl::getspectraTFTPServerIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->spectraTFTPAddress.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setspectraTFTPServerIPAddress(std::string value) {
  return setAddress(&m_config->spectraTFTPAddress, value, nullptr, nullptr, 0);
}

int ZPX_DHCPSettingDataImpl::getspectraSVPServerIPAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_config->spectraSVPAddress.ipString;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataImpl::setspectraSVPServerIPAddress(std::string value) {
  return setAddress(&m_config->spectraSVPAddress, value, nullptr, nullptr, 0);
}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataImplInstanceManager::createZPX_DHCPSettingData(
    const std::string& instanceID) {
  return new ZPX_DHCPSettingDataImpl(instanceID);
}

void ZPX_DHCPSettingDataImplInstanceManager::destroyZPX_DHCPSettingData(ZPX_DHCPSettingData* object) {
  delete object;
}
