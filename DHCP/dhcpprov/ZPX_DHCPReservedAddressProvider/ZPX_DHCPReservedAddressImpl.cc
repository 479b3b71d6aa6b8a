#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"

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

// The text fits a record field of size bytes with its terminator.
bool storableText(const std::string& text, size_t size) {
  return text.size() < size && text.find('\0') == std::string::npos;
}

// The reservation the agent holds for id, or null. What it holds is shown
// through the setters and may be sent back, also when stored under earlier
// rules.
const s_reservedAddr* storedReservation(const std::string& id) {
  s_dhcpCompConfig* cfg = nullptr;
  int slot = getReservedAddressCompConfig(id, &cfg);
  if (cfg == nullptr || slot < 0 || slot >= DHCP_MAX_RESERVED_ADDRS || cfg->reservedAddrs[slot].isFree)
    return nullptr;
  return &cfg->reservedAddrs[slot];
}

}  // namespace

ZPX_DHCPReservedAddressImpl::ZPX_DHCPReservedAddressImpl(const std::string& instanceID)
    : ZPX_DHCPReservedAddress(instanceID) {
  int index = dhcpCompInstanceIdToIndex(instanceID, DHCP_MAX_RESERVED_ADDRS);
  if (index < 0) return;
  TavrelTakePoolEntry(g_reservedAddrPool[index], this, g_NumberOfReservedIPs);
}

ZPX_DHCPReservedAddressImpl::~ZPX_DHCPReservedAddressImpl() {
  int index = dhcpCompInstanceIdToIndex(m_InstanceID, DHCP_MAX_RESERVED_ADDRS);
  if (index < 0) return;
  dhcpCompRemoveReservedAddr(nullptr, m_InstanceID, 0);
  TavrelReleasePoolEntry(g_reservedAddrPool[index], this, g_NumberOfReservedIPs);
}

int ZPX_DHCPReservedAddressImpl::removeFromConfiguration() {
  s_dhcpCompConfig* cfg = nullptr;
  int slot = getReservedAddressCompConfig(m_InstanceID, &cfg);
  if (cfg == nullptr || slot < 0) return TAVREL_RC_OK;
  DhcpCompChange change;
  dhcpCompRemoveReservedAddr(cfg, m_InstanceID, slot);
  return change.commit();
}

int ZPX_DHCPReservedAddressImpl::startChange() {
  saveProperties();
  return TAVREL_RC_OK;
}

int ZPX_DHCPReservedAddressImpl::endChange() {
  s_reservedAddr rec;
  memset(&rec, 0, sizeof(rec));
  // Texts that do not fit the record are refused with the code of their kind.
  int rc = DHCP_RC_OK;
  if (!TavrelCopyToField(rec.ipAddr.ipString, m_IPv4Address))
    rc = DHCP_RC_INVALID_ADDRESS;
  else if (!TavrelCopyToField(rec.macAddr, m_reservedMACAddr))
    rc = DHCP_RC_INVALID_MAC;
  else if (!TavrelCopyToField(rec.clientName, m_reservedClientName) ||
           !TavrelCopyToField(rec.clientDescription, m_reservedClientDescription))
    rc = TAVREL_RC_INVALID_VALUE;
  else
    rc = dhcpCompCheckAndAddReservedAddress(m_InstanceID, &rec);
  if (rc != DHCP_RC_OK) restoreProperties();
  return rc;
}

int ZPX_DHCPReservedAddressImpl::getIPv4Address(std::string& value, Array<CIMQualifier>&) const {
  value = m_IPv4Address;
  return TAVREL_RC_OK;
}
// A refused address ends the request: the object shows the stored values
// again, as after a refusal of the agent.
int ZPX_DHCPReservedAddressImpl::setIPv4Address(std::string value) {
  if (!TavrelIsAddressTextOrEmpty(value)) {
    restoreProperties();
    return DHCP_RC_INVALID_ADDRESS;
  }
  m_IPv4Address = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::getreservedMACAddr(std::string& value, Array<CIMQualifier>&) const {
  value = m_reservedMACAddr;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::setreservedMACAddr(std::string value) {
  m_reservedMACAddr = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::getreservedClientName(std::string& value, Array<CIMQualifier>&) const {
  value = m_reservedClientName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::setreservedClientName(std::string value) {
  if (value.find(' ') != std::string::npos) {
    restoreProperties();
    return TAVREL_RC_INVALID_CLIENT_NAME;
  }
  const s_reservedAddr* stored = storedReservation(m_InstanceID);
  bool kept = stored != nullptr && value == stored->clientName;
  if (!kept && (!storableText(value, DHCP_CLIENT_NAME_SIZE) || !dhcpUtilIsValidHostName(value.c_str())))
    return TAVREL_RC_INVALID_VALUE;
  m_reservedClientName = value;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::getreservedClientDescription(std::string& value,
                                                              Array<CIMQualifier>&) const {
  value = m_reservedClientDescription;
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddressImpl::setreservedClientDescription(std::string value) {
  const s_reservedAddr* stored = storedReservation(m_InstanceID);
  bool kept = stored != nullptr && value == stored->clientDescription;
  if (!kept &&
      (!storableText(value, DHCP_CLIENT_DESCRIPTION_SIZE) || !dhcpUtilIsValidDescription(value.c_str())))
    return TAVREL_RC_INVALID_VALUE;
  m_reservedClientDescription = value;
  return TAVREL_RC_OK;
}

void ZPX_DHCPReservedAddressImpl::saveProperties() {
  m_savedIPv4Address = m_IPv4Address;
  m_savedreservedMACAddr = m_reservedMACAddr;
  m_savedreservedClientName = m_reservedClientName;
  m_savedreservedClientDescription = m_reservedClientDescription;
}

void ZPX_DHCPReservedAddressImpl::restoreProperties() {
  m_IPv4Address = m_savedIPv4Address;
  m_reservedMACAddr = m_savedreservedMACAddr;
  m_reservedClientName = m_savedreservedClientName;
  m_reservedClientDescription = m_savedreservedClientDescription;
}

ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressImplInstanceManager::createZPX_DHCPReservedAddress(
    const std::string&) {
  int index = dhcpCompGetFreeReservedAddressInstanceID();
  if (index < 0) throw CFG_InstanceCreationFailed();
  return new ZPX_DHCPReservedAddressImpl(std::to_string(index));
}

void ZPX_DHCPReservedAddressImplInstanceManager::destroyZPX_DHCPReservedAddress(
    ZPX_DHCPReservedAddress* object) {
  if (object == nullptr) return;
  int rc = static_cast<ZPX_DHCPReservedAddressImpl*>(object)->removeFromConfiguration();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwEndChangeFailed(rc, ZPX_DHCPReservedAddressName);
  delete object;
}
