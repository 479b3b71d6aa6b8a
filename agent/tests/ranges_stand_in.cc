// TEST-ONLY stand-ins for the range and reservation operations and the
// provider-object deleters, which live with the range code and the provider
// classes. They store into the slots and pools as those operations do,
// without provider objects (a "constructed" object is only the pool entry
// marked used), so the model's tests can check what the reader stored.
// Remove this file from the test build once the real operations are linked.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "dhcpcomp.h"
#include "ranges_stand_in.h"

int g_standInDeletedObjects = 0;

namespace {

// Marks the pool entry as a live object, as the object's constructor does.
void registerRange(int id) {
  if (g_AddressRangePool[id].isFree) {
    g_AddressRangePool[id].isFree = 0;
    ++g_NumberOfRanges;
  }
}

void registerReservation(int id) {
  if (g_reservedAddrPool[id].isFree) {
    g_reservedAddrPool[id].isFree = 0;
    ++g_NumberOfReservedIPs;
  }
}

bool inNetwork(const s_ethIpConfig& eth, uint32_t address) {
  return eth.ipAddress.ipLong != 0 && (address & eth.netmask.ipLong) == eth.network.ipLong;
}

s_dhcpCompConfig* lanOf(uint32_t address) {
  for (int i = 0; i < num_of_available_vlans; ++i)
    if (inNetwork(VLANIpConfig[i], address)) return &VLANDhcpCompConfig[i];
  if (inNetwork(CustomerLANIpConfig, address)) return &CustomerLANDhcpCompConfig;
  return nullptr;
}

bool overlaps(const s_ipAddrRange& a, const s_ipAddrRange& b) {
  uint32_t s = a.startAddr.ipLong, e = a.endAddr.ipLong;
  uint32_t os = b.startAddr.ipLong, oe = b.endAddr.ipLong;
  if (s == os || s == oe || e == os || e == oe) return true;
  return (s <= os && e > os) || (s > os && s < oe);
}

void freeRangeSlot(s_dhcpCompConfig* cfg, int slot) {
  if (cfg == nullptr || slot < 0 || slot >= DHCP_MAX_ADDR_RANGES || cfg->addrRanges[slot].isFree) return;
  memset(&cfg->addrRanges[slot], 0, sizeof(cfg->addrRanges[slot]));
  cfg->addrRanges[slot].isFree = 1;
  if (--cfg->numAddrRanges == 0) memset(&cfg->defaultGateway, 0, sizeof(cfg->defaultGateway));
}

s_dhcpCompConfig* rangeOwner(int id) {
  if (!CustomerLANDhcpCompConfig.addrRanges[id].isFree) return &CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans; ++i)
    if (!VLANDhcpCompConfig[i].addrRanges[id].isFree) return &VLANDhcpCompConfig[i];
  return nullptr;
}

s_dhcpCompConfig* reservationOwner(int id) {
  if (!CustomerLANDhcpCompConfig.reservedAddrs[id].isFree) return &CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans; ++i)
    if (!VLANDhcpCompConfig[i].reservedAddrs[id].isFree) return &VLANDhcpCompConfig[i];
  return nullptr;
}

}  // namespace

int dhcpCompAddIPAddressRangeCustomerLAN(s_dhcpCompConfig* cfg, s_ipAddrRange* range, int id) {
  if (cfg == nullptr || range == nullptr) return DHCP_RC_NO_LAN;
  dhcpUtilConvertIPStringtoIPAddr(&range->startAddr, ipTypeAddress, false);
  dhcpUtilConvertIPStringtoIPAddr(&range->endAddr, ipTypeAddress, false);
  if (id < 0 || id >= DHCP_MAX_ADDR_RANGES) return DHCP_RC_RANGE_ID;
  if (range->startAddr.ipLong > range->endAddr.ipLong) return DHCP_RC_START_ABOVE_END;
  cfg->defaultGateway = range->gateway;
  cfg->addrRanges[id] = *range;
  cfg->addrRanges[id].isFree = 0;
  registerRange(id);
  ++cfg->numAddrRanges;
  return DHCP_RC_OK;
}

int dhcpCompCheckAndAddIPAddressRangeOAMLAN(s_ipAddrRange* range, bool checkSubnet) {
  s_dhcpCompConfig& oam = OAMLANDhcpCompConfig;
  if (range == nullptr || oam.numAddrRanges >= DHCP_MAX_ADDR_RANGES) return 0;
  dhcpUtilConvertIPStringtoIPAddr(&range->startAddr, ipTypeAddress, false);
  dhcpUtilConvertIPStringtoIPAddr(&range->endAddr, ipTypeAddress, false);
  if (checkSubnet && !(inNetwork(OAMLANIpConfig, range->startAddr.ipLong) &&
                       inNetwork(OAMLANIpConfig, range->endAddr.ipLong)))
    return 0;
  if (range->startAddr.ipLong > range->endAddr.ipLong) return 0;
  int freeSlot = -1;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    if (overlaps(*range, oam.addrRanges[i])) return 0;
    if (oam.addrRanges[i].isFree && freeSlot < 0) freeSlot = i;
  }
  if (freeSlot < 0) return 0;
  oam.addrRanges[freeSlot].startAddr = range->startAddr;
  oam.addrRanges[freeSlot].endAddr = range->endAddr;
  oam.addrRanges[freeSlot].isFree = 0;
  ++oam.numAddrRanges;
  return 1;
}

int dhcpCompCheckAndAddReservedAddress(const std::string& id, s_reservedAddr* rec) {
  int slot = atoi(id.c_str());
  if (rec == nullptr || slot < 0 || slot >= DHCP_MAX_RESERVED_ADDRS) return DHCP_RC_NO_LAN;
  if (dhcpUtilConvertIPStringtoIPAddr(&rec->ipAddr, ipTypeAddress, false) != DHCP_RC_OK)
    return DHCP_RC_INVALID_ADDRESS;
  s_dhcpCompConfig* cfg = lanOf(rec->ipAddr.ipLong);
  if (cfg == nullptr) return DHCP_RC_NO_LAN;
  cfg->reservedAddrs[slot] = *rec;
  cfg->reservedAddrs[slot].isFree = 0;
  registerReservation(slot);
  ++cfg->numReservedAddrs;
  return DHCP_RC_OK;
}

int dhcpCompAddStoredReservedAddress(const std::string& id, s_reservedAddr* rec) {
  return dhcpCompCheckAndAddReservedAddress(id, rec);
}

void dhcpCompRemoveIPAddressRange(s_dhcpCompConfig* cfg, const std::string&, int slot) {
  freeRangeSlot(cfg, slot);
}

// The provider objects' destructors free their slot and pool entry. The
// stand-in objects are the pool entries' addresses.
void dhcpCompDeleteAddressRangeObject(ZPX_DHCPRangeOfIPAddressesImpl* object) {
  for (int id = 0; id < DHCP_MAX_ADDR_RANGES; ++id) {
    if (g_AddressRangePool[id].object != object) continue;
    freeRangeSlot(rangeOwner(id), id);
    g_AddressRangePool[id].object = nullptr;
    g_AddressRangePool[id].isFree = 1;
    --g_NumberOfRanges;
    ++g_standInDeletedObjects;
  }
}

void dhcpCompDeleteReservedAddrObject(ZPX_DHCPReservedAddressImpl* object) {
  for (int id = 0; id < DHCP_MAX_RESERVED_ADDRS; ++id) {
    if (g_reservedAddrPool[id].object != object) continue;
    s_dhcpCompConfig* cfg = reservationOwner(id);
    if (cfg != nullptr) {
      memset(&cfg->reservedAddrs[id], 0, sizeof(cfg->reservedAddrs[id]));
      cfg->reservedAddrs[id].isFree = 1;
      --cfg->numReservedAddrs;
    }
    g_reservedAddrPool[id].object = nullptr;
    g_reservedAddrPool[id].isFree = 1;
    --g_NumberOfReservedIPs;
    ++g_standInDeletedObjects;
  }
}

void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl*) {
  ++g_standInDeletedObjects;
}

void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl*) {
  ++g_standInDeletedObjects;
}
