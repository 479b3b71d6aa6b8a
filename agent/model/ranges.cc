// Address ranges and reserved addresses of the customer LAN, its VLANs and
// the OAM LAN: validation, the LAN an entry belongs to, its slot in that
// LAN's record and the provider object that represents it.
#include "model/ranges.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

#include <set>
#include <string>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

const char kDeviceNamePrefix[] = "Device";

// How an add operation treats the entry's id in the LAN it belongs to.
enum EntryKind { kNewEntry, kMovedEntry, kReplacedEntry };

bool contains(const s_ipAddrRange& range, uint32_t address) {
  return range.startAddr.ipLong <= address && address <= range.endAddr.ipLong;
}

// Two ranges overlap when they share an end point or one starts inside the other.
bool rangesOverlap(uint32_t start, uint32_t end, const s_ipAddrRange& other) {
  uint32_t otherStart = other.startAddr.ipLong;
  uint32_t otherEnd = other.endAddr.ipLong;
  if (start == otherStart || start == otherEnd || end == otherStart || end == otherEnd) return true;
  return (start <= otherStart && end > otherStart) || (start > otherStart && start < otherEnd);
}

// The LAN whose network holds every address of the entry: the VLANs in their
// order, then the customer LAN. A VLAN without a network is skipped (its zero
// mask would take every address); the customer LAN without an address of its
// own takes all.
template <typename Fits>
void findLan(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, Fits fits) {
  if (cfg != nullptr) *cfg = nullptr;
  if (eth != nullptr) *eth = nullptr;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    if (!dhcpUtilHasNetwork(&VLANIpConfig[i]) || !fits(&VLANIpConfig[i])) continue;
    if (cfg != nullptr) *cfg = &VLANDhcpCompConfig[i];
    if (eth != nullptr) *eth = &VLANIpConfig[i];
    return;
  }
  // While the customer LAN has no address of its own, an entry of no other
  // LAN is kept there (not served) rather than dropped.
  if (fits(&CustomerLANIpConfig) || !dhcpCompHasOwnAddress(&CustomerLANIpConfig)) {
    if (cfg != nullptr) *cfg = &CustomerLANDhcpCompConfig;
    if (eth != nullptr) *eth = &CustomerLANIpConfig;
  }
}

// The LAN holding slot index: the customer LAN, else the first VLAN.
template <typename SlotUsed>
s_dhcpCompConfig* lanHoldingSlot(SlotUsed used) {
  if (used(CustomerLANDhcpCompConfig)) return &CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    if (used(VLANDhcpCompConfig[i])) return &VLANDhcpCompConfig[i];
  return nullptr;
}

// The LAN whose slot the pool object of id index stands for. The OAM LAN
// numbers its ranges on its own: its slots never belong to a pool object.
s_dhcpCompConfig* rangeObjectLan(int index) {
  return lanHoldingSlot([index](const s_dhcpCompConfig& c) { return !c.addrRanges[index].isFree; });
}

s_dhcpCompConfig* reservationObjectLan(int index) {
  return lanHoldingSlot([index](const s_dhcpCompConfig& c) { return !c.reservedAddrs[index].isFree; });
}

// Index of the pool entry whose object carries id, -1 when none does.
template <typename Entry>
int poolIndexOf(const Entry* pool, int count, const std::string& id) {
  for (int index = 0; index < count; ++index) {
    if (pool[index].isFree || pool[index].object == nullptr) continue;
    std::string objectId;
    OpenWBEM::Array<OpenWBEM::CIMQualifier> qualifiers;
    pool[index].object->getInstanceID(objectId, qualifiers);
    if (objectId == id) return index;
  }
  return -1;
}

// Converts an optional address: the empty text leaves it unset (0), any
// other text must be valid.
int convertOptionalAddress(s_ipAddr* a) {
  if (a->ipString[0] == '\0') {
    dhcpUtilClearIPAddr(a);
    return DHCP_RC_OK;
  }
  return dhcpUtilConvertIPStringtoIPAddr(a, ipTypeAddress, false);
}

// What the pool object of a range shows: the stored slot.
void showRange(ZPX_DHCPRangeOfIPAddressesImpl* object, const s_ipAddrRange& slot) {
  object->setStartAddress(slot.startAddr.ipString);
  object->setEndAddress(slot.endAddr.ipString);
  object->setDefaultGatewayIPAddress(slot.gateway.ipString);
}

void showReservation(ZPX_DHCPReservedAddressImpl* object, const s_reservedAddr& slot) {
  object->setIPv4Address(slot.ipAddr.ipString);
  object->setreservedMACAddr(slot.macAddr);
  object->setreservedClientName(slot.clientName);
  object->setreservedClientDescription(slot.clientDescription);
}

// Puts the pool object of a refused range back to the range stored for its id.
void restoreRangeObject(int index, const std::string& id) {
  ZPX_DHCPRangeOfIPAddressesImpl* object = g_AddressRangePool[index].object;
  if (object == nullptr) return;
  s_dhcpCompConfig* cfg = nullptr;
  getAddressRangeCompConfig(id, &cfg);
  if (cfg != nullptr && !cfg->addrRanges[index].isFree) showRange(object, cfg->addrRanges[index]);
}

void restoreReservationObject(int index, const std::string& id) {
  ZPX_DHCPReservedAddressImpl* object = g_reservedAddrPool[index].object;
  if (object == nullptr) return;
  s_dhcpCompConfig* cfg = nullptr;
  getReservedAddressCompConfig(id, &cfg);
  if (cfg != nullptr && !cfg->reservedAddrs[index].isFree) showReservation(object, cfg->reservedAddrs[index]);
}

// Checks a range against its LAN (steps after the LAN is known); 0 or the
// first failing check's code.
int checkRangeInLan(const s_ipAddrRange* range, int index, const s_dhcpCompConfig* cfg,
                    const s_ethIpConfig* eth, bool checkSubnet) {
  uint32_t start = range->startAddr.ipLong;
  uint32_t end = range->endAddr.ipLong;
  if (checkSubnet) {
    if (!dhcpUtilInInterfaceNetwork(eth, start) || !dhcpUtilInInterfaceNetwork(eth, end))
      return DHCP_RC_NOT_IN_SUBNET;
    if (range->gateway.ipLong != 0 && !dhcpUtilInInterfaceNetwork(eth, range->gateway.ipLong))
      return DHCP_RC_NOT_IN_SUBNET;
    if (start <= eth->ipAddress.ipLong && eth->ipAddress.ipLong <= end) return DHCP_RC_OWN_ADDRESS_IN_RANGE;
  }
  if (start > end) return DHCP_RC_START_ABOVE_END;
  if (cfg->numReservedAddrs > 0) {
    for (const s_reservedAddr& rec : cfg->reservedAddrs)
      if (!rec.isFree && start <= rec.ipAddr.ipLong && rec.ipAddr.ipLong <= end)
        return DHCP_RC_RESERVATION_IN_RANGE;
  }
  if (cfg->numAddrRanges > 0) {
    for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i)
      if (i != index && !cfg->addrRanges[i].isFree && rangesOverlap(start, end, cfg->addrRanges[i]))
        return DHCP_RC_RANGE_OVERLAP;
  }
  return DHCP_RC_OK;
}

// "Device<n>" names belong to slot n: another slot's such name is dropped,
// and an empty name becomes "Device<index>".
void assignDeviceName(char* name, int index) {
  size_t prefixLength = sizeof(kDeviceNamePrefix) - 1;
  if (strncmp(name, kDeviceNamePrefix, prefixLength) == 0 &&
      dhcpUtilatoul(name + prefixLength) != static_cast<unsigned long>(index))
    name[0] = '\0';
  if (name[0] == '\0') snprintf(name, DHCP_CLIENT_NAME_SIZE, "%s%d", kDeviceNamePrefix, index);
}

// Client name used by another reservation id anywhere on the customer LAN
// or its VLANs.
bool clientNameTaken(const char* name, int index) {
  for (int other = 0; other < DHCP_MAX_RESERVED_ADDRS; ++other) {
    if (other == index || g_reservedAddrPool[other].isFree) continue;
    s_dhcpCompConfig* holder = reservationObjectLan(other);
    if (holder != nullptr && strcmp(holder->reservedAddrs[other].clientName, name) == 0) return true;
  }
  return false;
}

// Checks a reservation against its LAN; 0 or the first failing check's code.
int checkReservationInLan(const s_reservedAddr* rec, int index, const s_dhcpCompConfig* cfg,
                          const s_ethIpConfig* eth) {
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    if (i == index) continue;
    if (strcmp(cfg->reservedAddrs[i].ipAddr.ipString, rec->ipAddr.ipString) == 0 ||
        strcmp(cfg->reservedAddrs[i].clientName, rec->clientName) == 0)
      return DHCP_RC_ALREADY_USED;
  }
  if (rec->ipAddr.ipLong == eth->ipAddress.ipLong) return DHCP_RC_RESERVED_IS_OWN_ADDRESS;
  for (const s_ipAddrRange& range : cfg->addrRanges)
    if (!range.isFree && contains(range, rec->ipAddr.ipLong)) return DHCP_RC_RESERVED_IN_RANGE;
  if (clientNameTaken(rec->clientName, index)) return DHCP_RC_ALREADY_USED;
  return DHCP_RC_OK;
}

// Hardware address held by a reservation of another id on any LAN.
bool macAddrTaken(const char* mac, int index) {
  auto heldBy = [mac, index](const s_dhcpCompConfig& cfg) {
    for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i)
      if (i != index && !cfg.reservedAddrs[i].isFree && strcmp(cfg.reservedAddrs[i].macAddr, mac) == 0)
        return true;
    return false;
  };
  if (heldBy(CustomerLANDhcpCompConfig) || heldBy(OAMLANDhcpCompConfig)) return true;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    if (heldBy(VLANDhcpCompConfig[i])) return true;
  return false;
}

// The network or broadcast address of the interface's network; a network
// of fewer than four addresses has none.
bool isNetworkOrBroadcast(const s_ethIpConfig* eth, uint32_t address) {
  uint32_t mask = eth->netmask.ipLong;
  if (mask == 0 || ~mask < 3) return false;
  uint32_t network = eth->ipAddress.ipLong & mask;
  return address == network || address == (network | ~mask);
}

// What a management station may newly set: an address that names one host
// of the LAN, a hardware address of one client that no other reservation
// has. Values stored earlier (stored, may be null) may be sent back as they
// are. 0, 320 or 327.
int checkNewReservationValues(const s_reservedAddr* rec, const s_reservedAddr* stored, int index,
                              const s_ethIpConfig* eth) {
  bool keptAddress = stored != nullptr && stored->ipAddr.ipLong == rec->ipAddr.ipLong;
  if (!keptAddress && isNetworkOrBroadcast(eth, rec->ipAddr.ipLong)) return DHCP_RC_INVALID_ADDRESS;
  bool keptMac = stored != nullptr && strcmp(stored->macAddr, rec->macAddr) == 0;
  if (!keptMac && (!dhcpUtilIsUnicastMacAddr(rec->macAddr) || macAddrTaken(rec->macAddr, index)))
    return DHCP_RC_INVALID_MAC;
  return DHCP_RC_OK;
}

void terminateReservationTexts(s_reservedAddr* rec) {
  rec->ipAddr.ipString[DHCP_IP_STRING_SIZE - 1] = '\0';
  rec->macAddr[DHCP_MAC_ADDR_SIZE - 1] = '\0';
  rec->clientName[DHCP_CLIENT_NAME_SIZE - 1] = '\0';
  rec->clientDescription[DHCP_CLIENT_DESCRIPTION_SIZE - 1] = '\0';
}

}  // namespace

int dhcpCompInstanceIdToIndex(const std::string& id, int count) {
  if (id.empty() || id.size() > 9 || (id.size() > 1 && id[0] == '0')) return -1;
  int value = 0;
  for (char c : id) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value < count ? value : -1;
}

void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_ipAddrRange* range) {
  uint32_t start = range != nullptr ? range->startAddr.ipLong : 0;
  uint32_t end = range != nullptr ? range->endAddr.ipLong : 0;
  if (range == nullptr) {
    findLan(cfg, eth, [](const s_ethIpConfig*) { return false; });
    return;
  }
  findLan(cfg, eth, [start, end](const s_ethIpConfig* e) {
    return dhcpUtilInInterfaceNetwork(e, start) && dhcpUtilInInterfaceNetwork(e, end);
  });
}

void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_reservedAddr* rec) {
  uint32_t address = rec != nullptr ? rec->ipAddr.ipLong : 0;
  bool known = rec != nullptr;
  findLan(cfg, eth, [known, address](const s_ethIpConfig* e) {
    return known && dhcpUtilInInterfaceNetwork(e, address);
  });
}

int getAddressRangeCompConfig(const std::string& id, s_dhcpCompConfig** cfg) {
  if (cfg != nullptr) *cfg = nullptr;
  int index = poolIndexOf(g_AddressRangePool, DHCP_MAX_ADDR_RANGES, id);
  if (index >= 0 && cfg != nullptr) *cfg = rangeObjectLan(index);
  return index;
}

int getReservedAddressCompConfig(const std::string& id, s_dhcpCompConfig** cfg) {
  if (cfg != nullptr) *cfg = nullptr;
  int index = poolIndexOf(g_reservedAddrPool, DHCP_MAX_RESERVED_ADDRS, id);
  if (index >= 0 && cfg != nullptr) *cfg = reservationObjectLan(index);
  return index;
}

void syncUpGatewayForAddrRanges(s_dhcpCompConfig* cfg, s_ipAddr* gateway) {
  if (cfg == nullptr || gateway == nullptr) return;
  cfg->defaultGateway = *gateway;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    s_ipAddrRange& slot = cfg->addrRanges[i];
    if (slot.isFree || slot.gateway.ipLong == gateway->ipLong) continue;
    slot.gateway = *gateway;
    if (g_AddressRangePool[i].object != nullptr)
      g_AddressRangePool[i].object->setDefaultGatewayIPAddress(gateway->ipString);
  }
}

int dhcpCompCheckAndAddIPAddressRange(const std::string& id, s_ipAddrRange* range, bool checkSubnet) {
  if (range == nullptr) return DHCP_RC_NO_LAN;
  int index = dhcpCompInstanceIdToIndex(id, DHCP_MAX_ADDR_RANGES);
  if (index < 0) return DHCP_RC_RANGE_ID;

  if (dhcpUtilConvertIPStringtoIPAddr(&range->startAddr, ipTypeAddress, false) != DHCP_RC_OK ||
      dhcpUtilConvertIPStringtoIPAddr(&range->endAddr, ipTypeAddress, false) != DHCP_RC_OK ||
      convertOptionalAddress(&range->gateway) != DHCP_RC_OK) {
    restoreRangeObject(index, id);
    return DHCP_RC_INVALID_ADDRESS;
  }

  s_dhcpCompConfig* cfg = nullptr;
  s_ethIpConfig* eth = nullptr;
  getInterfaceContext(&cfg, &eth, range);
  if (cfg == nullptr) return DHCP_RC_NO_LAN;

  EntryKind kind = kReplacedEntry;
  s_dhcpCompConfig* formerLan = nullptr;
  if (cfg->addrRanges[index].isFree) {
    kind = getAddressRangeCompConfig(id, &formerLan) < 0 ? kNewEntry : kMovedEntry;
  }

  int rc = checkRangeInLan(range, index, cfg, eth, checkSubnet);
  if (rc != DHCP_RC_OK) {
    restoreRangeObject(index, id);
    return rc;
  }

  s_ipAddrRange& slot = cfg->addrRanges[index];
  slot.startAddr = range->startAddr;
  slot.endAddr = range->endAddr;
  slot.isFree = 0;
  // A range that is new to the LAN starts with the LAN's gateway, as all
  // its ranges carry it.
  if (kind != kReplacedEntry) slot.gateway = cfg->defaultGateway;
  cfg->defaultGatewayEmpty = range->gateway.ipLong != 0 ? 0 : 1;
  if (range->gateway.ipLong != 0) syncUpGatewayForAddrRanges(cfg, &range->gateway);

  if (kind == kNewEntry) {
    new ZPX_DHCPRangeOfIPAddressesImpl(id);
    ++cfg->numAddrRanges;
  } else if (kind == kMovedEntry) {
    ++cfg->numAddrRanges;
    // A range that changed LAN leaves its old slot, or it would be served twice.
    if (formerLan != nullptr) dhcpCompRemoveIPAddressRange(formerLan, id, index);
  }
  if (g_AddressRangePool[index].object != nullptr) showRange(g_AddressRangePool[index].object, slot);
  return DHCP_RC_OK;
}

int dhcpCompAddIPAddressRangeCustomerLAN(s_dhcpCompConfig* cfg, s_ipAddrRange* range, int id) {
  if (cfg == nullptr || range == nullptr) return DHCP_RC_NO_LAN;
  if (dhcpUtilConvertIPStringtoIPAddr(&range->startAddr, ipTypeAddress, false) != DHCP_RC_OK ||
      dhcpUtilConvertIPStringtoIPAddr(&range->endAddr, ipTypeAddress, false) != DHCP_RC_OK)
    return DHCP_RC_INVALID_ADDRESS;
  // A stored gateway that is no address is dropped, the range kept.
  dhcpUtilConvertUntrustedIPAddr(&range->gateway, ipTypeAddress);
  if (id < 0 || id >= DHCP_MAX_ADDR_RANGES) return DHCP_RC_RANGE_ID;
  if (range->startAddr.ipLong > range->endAddr.ipLong) return DHCP_RC_START_ABOVE_END;

  s_ipAddrRange& slot = cfg->addrRanges[id];
  bool wasFree = slot.isFree != 0;
  cfg->defaultGateway = range->gateway;
  slot.startAddr = range->startAddr;
  slot.endAddr = range->endAddr;
  slot.gateway = range->gateway;
  slot.isFree = 0;
  if (g_AddressRangePool[id].object == nullptr) new ZPX_DHCPRangeOfIPAddressesImpl(std::to_string(id));
  showRange(g_AddressRangePool[id].object, slot);
  // A slot read twice is one range.
  if (wasFree) ++cfg->numAddrRanges;
  return DHCP_RC_OK;
}

int dhcpCompCheckAndAddIPAddressRangeOAMLAN(s_ipAddrRange* range, bool checkSubnet) {
  s_dhcpCompConfig* cfg = &OAMLANDhcpCompConfig;
  if (range == nullptr || cfg->numAddrRanges >= DHCP_MAX_ADDR_RANGES) return 0;
  if (dhcpUtilConvertIPStringtoIPAddr(&range->startAddr, ipTypeAddress, false) != DHCP_RC_OK ||
      dhcpUtilConvertIPStringtoIPAddr(&range->endAddr, ipTypeAddress, false) != DHCP_RC_OK)
    return 0;
  uint32_t start = range->startAddr.ipLong;
  uint32_t end = range->endAddr.ipLong;
  if (checkSubnet && (!dhcpUtilInInterfaceNetwork(&OAMLANIpConfig, start) ||
                      !dhcpUtilInInterfaceNetwork(&OAMLANIpConfig, end)))
    return 0;
  if (start > end) return 0;
  int freeSlot = -1;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    const s_ipAddrRange& slot = cfg->addrRanges[i];
    if (slot.isFree) {
      if (freeSlot < 0) freeSlot = i;
      continue;
    }
    if (rangesOverlap(start, end, slot)) return 0;
  }
  if (freeSlot < 0) return 0;
  cfg->addrRanges[freeSlot].startAddr = range->startAddr;
  cfg->addrRanges[freeSlot].endAddr = range->endAddr;
  cfg->addrRanges[freeSlot].isFree = 0;
  ++cfg->numAddrRanges;
  return 1;
}

void dhcpCompRemoveIPAddressRange(s_dhcpCompConfig* cfg, const std::string& id, int slot) {
  if (cfg == nullptr) slot = getAddressRangeCompConfig(id, &cfg);
  if (cfg == nullptr || slot < 0 || slot >= DHCP_MAX_ADDR_RANGES || cfg->addrRanges[slot].isFree) return;
  s_ipAddrRange& range = cfg->addrRanges[slot];
  range.isFree = 1;
  dhcpUtilClearIPAddr(&range.startAddr);
  dhcpUtilClearIPAddr(&range.endAddr);
  dhcpUtilClearIPAddr(&range.gateway);
  --cfg->numAddrRanges;
  if (cfg->numAddrRanges <= 0) dhcpUtilClearIPAddr(&cfg->defaultGateway);
}

namespace {

// The reservation checks and the store. With checkTexts the name and
// description must meet the rules for new values.
int checkAndAddReservation(const std::string& id, s_reservedAddr* rec, bool checkTexts) {
  if (rec == nullptr) return DHCP_RC_NO_LAN;
  int index = dhcpCompInstanceIdToIndex(id, DHCP_MAX_RESERVED_ADDRS);
  if (index < 0) return DHCP_RC_NO_LAN;
  terminateReservationTexts(rec);

  if (dhcpUtilConvertIPStringtoIPAddr(&rec->ipAddr, ipTypeAddress, false) != DHCP_RC_OK) {
    restoreReservationObject(index, id);
    return DHCP_RC_INVALID_ADDRESS;
  }

  s_dhcpCompConfig* cfg = nullptr;
  s_ethIpConfig* eth = nullptr;
  getInterfaceContext(&cfg, &eth, rec);
  if (cfg == nullptr) return DHCP_RC_NO_LAN;

  EntryKind kind = kReplacedEntry;
  s_dhcpCompConfig* formerLan = nullptr;
  if (cfg->reservedAddrs[index].isFree)
    kind = getReservedAddressCompConfig(id, &formerLan) < 0 ? kNewEntry : kMovedEntry;

  int rc = dhcpUtilNormaliseMacAddr(rec->macAddr);
  if (rc == DHCP_RC_OK) {
    assignDeviceName(rec->clientName, index);
    // The name becomes a dhcpd.conf host name and the description a field
    // of the component file: both must be written back unchanged. A text
    // stored under earlier rules may be sent back as it is.
    const s_dhcpCompConfig* owner = kind == kMovedEntry ? formerLan : cfg;
    const s_reservedAddr* stored =
        owner != nullptr && !owner->reservedAddrs[index].isFree ? &owner->reservedAddrs[index] : nullptr;
    bool keptName = stored != nullptr && strcmp(stored->clientName, rec->clientName) == 0;
    bool keptDescription =
        stored != nullptr && strcmp(stored->clientDescription, rec->clientDescription) == 0;
    if (checkTexts && ((!keptName && !dhcpUtilIsValidHostName(rec->clientName)) ||
                       (!keptDescription && !dhcpUtilIsValidDescription(rec->clientDescription))))
      rc = TAVREL_RC_INVALID_VALUE;
    if (rc == DHCP_RC_OK && checkTexts) rc = checkNewReservationValues(rec, stored, index, eth);
  }
  if (rc == DHCP_RC_OK) rc = checkReservationInLan(rec, index, cfg, eth);
  if (rc != DHCP_RC_OK) {
    restoreReservationObject(index, id);
    return rc;
  }

  s_reservedAddr& slot = cfg->reservedAddrs[index];
  slot.ipAddr = rec->ipAddr;
  memcpy(slot.macAddr, rec->macAddr, sizeof(slot.macAddr));
  memcpy(slot.clientName, rec->clientName, sizeof(slot.clientName));
  memcpy(slot.clientDescription, rec->clientDescription, sizeof(slot.clientDescription));
  slot.isFree = 0;

  if (kind == kNewEntry) {
    new ZPX_DHCPReservedAddressImpl(id);
    ++cfg->numReservedAddrs;
  } else if (kind == kMovedEntry) {
    ++cfg->numReservedAddrs;
    // A reservation that changed LAN leaves its old slot.
    if (formerLan != nullptr) dhcpCompRemoveReservedAddr(formerLan, id, index);
  }
  if (g_reservedAddrPool[index].object != nullptr) showReservation(g_reservedAddrPool[index].object, slot);
  return DHCP_RC_OK;
}

}  // namespace

int dhcpCompCheckAndAddReservedAddress(const std::string& id, s_reservedAddr* rec) {
  return checkAndAddReservation(id, rec, true);
}

int dhcpCompAddStoredReservedAddress(const std::string& id, s_reservedAddr* rec) {
  return checkAndAddReservation(id, rec, false);
}

void dhcpCompRemoveReservedAddr(s_dhcpCompConfig* cfg, const std::string& id, int slot) {
  if (cfg == nullptr) slot = getReservedAddressCompConfig(id, &cfg);
  if (cfg == nullptr || slot < 0 || slot >= DHCP_MAX_RESERVED_ADDRS || cfg->reservedAddrs[slot].isFree)
    return;
  s_reservedAddr& rec = cfg->reservedAddrs[slot];
  rec.isFree = 1;
  dhcpUtilClearIPAddr(&rec.ipAddr);
  memset(rec.macAddr, 0, sizeof(rec.macAddr));
  memset(rec.clientName, 0, sizeof(rec.clientName));
  memset(rec.clientDescription, 0, sizeof(rec.clientDescription));
  --cfg->numReservedAddrs;
}

bool dhcpCompHasOwnAddress(const s_ethIpConfig* eth) {
  if (eth == nullptr || !dhcpUtilHasNetwork(eth)) return false;
  if (eth->staticIP != 0) return true;
  s_ipAddr fallback = {};
  snprintf(fallback.ipString, sizeof(fallback.ipString), "%s", DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS);
  dhcpUtilConvertIPStringtoIPAddr(&fallback, ipTypeAddress, false);
  return eth->ipAddress.ipLong != fallback.ipLong || eth->leaseFixedAddress.ipLong == fallback.ipLong;
}

bool dhcpCompServesAddress(const s_ethIpConfig* eth, uint32_t address) {
  if (eth == nullptr || !dhcpUtilHasNetwork(eth) || dhcpUtilInInterfaceNetwork(eth, address)) return true;
  // Every commit generates the file: each address of a LAN is reported once
  // per address state.
  static std::set<std::string> reported;
  s_ipAddr entry = {};
  entry.ipLong = address;
  dhcpUtilConvertIPAddrLongtoIPAddr(&entry);
  if (reported.insert(std::string(eth->interfaceName) + ' ' + eth->ipAddress.ipString + ' ' + entry.ipString)
          .second)
    syslog(LOG_WARNING, "%s is outside the network of %s (%s); kept, not served.", entry.ipString,
           eth->interfaceName, eth->ipAddress.ipString);
  return false;
}

void dhcpCompVerifyRangesInSubnet(s_ethIpConfig* eth, s_dhcpCompConfig* cfg) {
  if (eth == nullptr || cfg == nullptr) return;
  // Without an address of its own (none yet, or the default one) the LAN's
  // network says nothing about its entries: all are kept, and those outside
  // the network are not served until it holds them again.
  if (!dhcpCompHasOwnAddress(eth)) return;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    s_ipAddrRange& range = cfg->addrRanges[i];
    if (range.startAddr.ipLong == 0) continue;
    if (dhcpUtilInInterfaceNetwork(eth, range.startAddr.ipLong) &&
        dhcpUtilInInterfaceNetwork(eth, range.endAddr.ipLong) && !contains(range, eth->ipAddress.ipLong)) {
      range.gateway = cfg->defaultGateway;
    } else if (g_AddressRangePool[i].object != nullptr && rangeObjectLan(i) == cfg) {
      dhcpCompDeleteAddressRangeObject(g_AddressRangePool[i].object);
    } else {
      dhcpCompRemoveIPAddressRange(cfg, std::string(), i);
    }
  }
  if (cfg->numReservedAddrs == 0) return;
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    s_reservedAddr& rec = cfg->reservedAddrs[i];
    if (rec.ipAddr.ipLong == 0 || dhcpUtilInInterfaceNetwork(eth, rec.ipAddr.ipLong)) continue;
    if (g_reservedAddrPool[i].object != nullptr && reservationObjectLan(i) == cfg)
      dhcpCompDeleteReservedAddrObject(g_reservedAddrPool[i].object);
    else
      dhcpCompRemoveReservedAddr(cfg, std::string(), i);
  }
}

void dhcpCompShowStoredEntries(void) {
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    s_dhcpCompConfig* cfg = rangeObjectLan(i);
    if (g_AddressRangePool[i].object != nullptr && cfg != nullptr)
      showRange(g_AddressRangePool[i].object, cfg->addrRanges[i]);
  }
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    s_dhcpCompConfig* cfg = reservationObjectLan(i);
    if (g_reservedAddrPool[i].object != nullptr && cfg != nullptr)
      showReservation(g_reservedAddrPool[i].object, cfg->reservedAddrs[i]);
  }
}

void dhcpCompDeleteAddressRangeObject(ZPX_DHCPRangeOfIPAddressesImpl* object) {
  delete object;
}

void dhcpCompDeleteReservedAddrObject(ZPX_DHCPReservedAddressImpl* object) {
  delete object;
}
