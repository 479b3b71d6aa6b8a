#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"

#include <string.h>

#include "framework/AddressText.h"
#include "framework/ClassNames.h"
#include "framework/CopyToField.h"
#include "framework/PoolEntry.h"
#include "framework/ProviderErrors.h"
#include "tavrel_agent_api.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

namespace {

// AddressType of CIM's range of IP addresses: 1 = IPv4.
const unsigned short kAddressTypeIPv4 = 1;

// A refused address ends the request: the object shows the stored range
// again, as after a refusal of the agent.
int refuseAddress(ZPX_DHCPRangeOfIPAddressesImpl* object) {
  object->restoreProperties();
  return DHCP_RC_INVALID_ADDRESS;
}

}  // namespace

ZPX_DHCPRangeOfIPAddressesImpl::ZPX_DHCPRangeOfIPAddressesImpl(const std::string& instanceID)
    : ZPX_DHCPRangeOfIPAddresses(instanceID), m_AddressType(kAddressTypeIPv4) {
  int index = dhcpCompInstanceIdToIndex(instanceID, DHCP_MAX_ADDR_RANGES);
  if (index < 0) return;
  TavrelTakePoolEntry(g_AddressRangePool[index], this, g_NumberOfRanges);
}

ZPX_DHCPRangeOfIPAddressesImpl::~ZPX_DHCPRangeOfIPAddressesImpl() {
  int index = dhcpCompInstanceIdToIndex(m_InstanceID, DHCP_MAX_ADDR_RANGES);
  if (index < 0) return;
  dhcpCompRemoveIPAddressRange(nullptr, m_InstanceID, 0);
  TavrelReleasePoolEntry(g_AddressRangePool[index], this, g_NumberOfRanges);
}

int ZPX_DHCPRangeOfIPAddressesImpl::removeFromConfiguration() {
  s_dhcpCompConfig* cfg = nullptr;
  int slot = getAddressRangeCompConfig(m_InstanceID, &cfg);
  if (cfg == nullptr || slot < 0) return TAVREL_RC_OK;
  DhcpCompChange change;
  dhcpCompRemoveIPAddressRange(cfg, m_InstanceID, slot);
  return change.commit();
}

int ZPX_DHCPRangeOfIPAddressesImpl::startChange() {
  saveProperties();
  return TAVREL_RC_OK;
}

int ZPX_DHCPRangeOfIPAddressesImpl::endChange() {
  s_ipAddrRange range;
  memset(&range, 0, sizeof(range));
  // A text that does not fit the record is no address.
  int rc = DHCP_RC_INVALID_ADDRESS;
  if (TavrelCopyToField(range.startAddr.ipString, m_StartAddress) &&
      TavrelCopyToField(range.endAddr.ipString, m_EndAddress) &&
      TavrelCopyToField(range.gateway.ipString, m_DefaultGatewayIPAddress))
    rc = dhcpCompCheckAndAddIPAddressRange(m_InstanceID, &range, true);
  if (rc != DHCP_RC_OK) restoreProperties();
  return rc;
}

int ZPX_DHCPRangeOfIPAddressesImpl::getStartAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_StartAddress;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::setStartAddress(std::string value) {
  if (!TavrelIsAddressTextOrEmpty(value)) return refuseAddress(this);
  m_StartAddress = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::getEndAddress(std::string& value, Array<CIMQualifier>&) const {
  value = m_EndAddress;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::setEndAddress(std::string value) {
  if (!TavrelIsAddressTextOrEmpty(value)) return refuseAddress(this);
  m_EndAddress = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::getDefaultGatewayIPAddress(std::string& value,
                                                               Array<CIMQualifier>&) const {
  value = m_DefaultGatewayIPAddress;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::setDefaultGatewayIPAddress(std::string value) {
  if (!TavrelIsAddressTextOrEmpty(value)) return refuseAddress(this);
  m_DefaultGatewayIPAddress = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::getCaption(std::string& value, Array<CIMQualifier>&) const {
  value = m_Caption;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::getDescription(std::string& value, Array<CIMQualifier>&) const {
  value = m_Description;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddressesImpl::getAddressType(unsigned short& value, Array<CIMQualifier>&) const {
  value = m_AddressType;
  return TAVREL_RC_OK;
}

void ZPX_DHCPRangeOfIPAddressesImpl::saveProperties() {
  m_savedStartAddress = m_StartAddress;
  m_savedEndAddress = m_EndAddress;
  m_savedDefaultGatewayIPAddress = m_DefaultGatewayIPAddress;
}

void ZPX_DHCPRangeOfIPAddressesImpl::restoreProperties() {
  m_StartAddress = m_savedStartAddress;
  m_EndAddress = m_savedEndAddress;
  m_DefaultGatewayIPAddress = m_savedDefaultGatewayIPAddress;
}

ZPX_DHCPRangeOfIPAddresses* ZPX_DHCPRangeOfIPAddressesImplInstanceManager::createZPX_DHCPRangeOfIPAddresses(
    const std::string&) {
  int index = dhcpCompGetFreeAddressRangeInstanceID();
  if (index < 0) throw CFG_InstanceCreationFailed();
  return new ZPX_DHCPRangeOfIPAddressesImpl(std::to_string(index));
}

void ZPX_DHCPRangeOfIPAddressesImplInstanceManager::destroyZPX_DHCPRangeOfIPAddresses(
    ZPX_DHCPRangeOfIPAddresses* object) {
  if (object == nullptr) return;
  int rc = static_cast<ZPX_DHCPRangeOfIPAddressesImpl*>(object)->removeFromConfiguration();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwEndChangeFailed(rc, ZPX_DHCPRangeOfIPAddressesName);
  delete object;
}
