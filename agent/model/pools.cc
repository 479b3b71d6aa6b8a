// Occupancy of the address pools (each range of each LAN, and each LAN's
// ranges as a whole) from the configuration records and the lease lists, and
// the exhaustion alarms raised and cleared from it.
#include "model/pools.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>

#include "messages.h"
#include "model/records.h"
#include "model/util.h"
#include "tavrel_agent_api.h"

int g_poolAlarmRaisePercent = DHCP_POOL_ALARM_RAISE_PERCENT;
int g_poolAlarmClearPercent = DHCP_POOL_ALARM_CLEAR_PERCENT;

namespace {

struct Lan {
  const s_ethIpConfig* eth;
  const s_dhcpCompConfig* cfg;
};

bool inRange(const s_ipAddrRange& range, uint32_t address) {
  return range.startAddr.ipLong <= address && address <= range.endAddr.ipLong;
}

bool inAnyRange(const s_dhcpCompConfig& cfg, uint32_t address) {
  for (const s_ipAddrRange& range : cfg.addrRanges)
    if (!range.isFree && inRange(range, address)) return true;
  return false;
}

bool leased(const s_leaseInfo* node) {
  return node->customerLanLease != nullptr || node->oamLanLease != nullptr;
}

void finish(s_poolStatistics* p) {
  uint32_t taken = p->activeLeases + p->reservations;
  if (taken > p->totalAddresses) taken = p->totalAddresses;
  p->freeAddresses = p->totalAddresses - taken;
  p->percentUsed =
      p->totalAddresses == 0 ? 0 : static_cast<uint32_t>(uint64_t{taken} * 100 / p->totalAddresses);
}

void setAddress(s_ipAddr* a, uint32_t value) {
  a->ipLong = value;
  dhcpUtilConvertIPAddrLongtoIPAddr(a);
}

// The range pool of one used slot.
s_poolStatistics rangePool(const Lan& lan, const s_ipAddrRange& range) {
  s_poolStatistics p;
  memset(&p, 0, sizeof(p));
  snprintf(p.interfaceName, sizeof(p.interfaceName), "%s", lan.cfg->interfaceName);
  setAddress(&p.startAddr, range.startAddr.ipLong);
  setAddress(&p.endAddr, range.endAddr.ipLong);
  snprintf(p.instanceID, sizeof(p.instanceID), "%s:%s-%s", p.interfaceName, p.startAddr.ipString,
           p.endAddr.ipString);
  p.totalAddresses = range.endAddr.ipLong - range.startAddr.ipLong + 1;
  for (const s_leaseInfo* node = lan.cfg->leaseInfoList; node != nullptr; node = node->next)
    if (leased(node) && inRange(range, node->ipAddr.ipLong)) ++p.activeLeases;
  for (const s_reservedAddr& r : lan.cfg->reservedAddrs)
    if (!r.isFree && inRange(range, r.ipAddr.ipLong)) ++p.reservations;
  finish(&p);
  return p;
}

// The LAN as a whole: its network's host addresses, the sum of its ranges,
// every lease listed for it, and its reservations inside a range.
s_poolStatistics lanPool(const Lan& lan) {
  s_poolStatistics p;
  memset(&p, 0, sizeof(p));
  snprintf(p.interfaceName, sizeof(p.interfaceName), "%s", lan.cfg->interfaceName);
  snprintf(p.instanceID, sizeof(p.instanceID), "%s", p.interfaceName);
  uint32_t mask = lan.eth->netmask.ipLong;
  uint32_t network = lan.eth->ipAddress.ipLong & mask;
  if (lan.eth->ipAddress.ipLong != 0 && mask != 0 && ~mask > 1) {
    setAddress(&p.startAddr, network + 1);
    setAddress(&p.endAddr, (network | ~mask) - 1);
  }
  uint32_t inRanges = 0;
  for (const s_ipAddrRange& range : lan.cfg->addrRanges)
    if (!range.isFree) p.totalAddresses += range.endAddr.ipLong - range.startAddr.ipLong + 1;
  for (const s_leaseInfo* node = lan.cfg->leaseInfoList; node != nullptr; node = node->next) {
    if (!leased(node)) continue;
    ++p.activeLeases;
    if (inAnyRange(*lan.cfg, node->ipAddr.ipLong)) ++inRanges;
  }
  for (const s_reservedAddr& r : lan.cfg->reservedAddrs)
    if (!r.isFree && inAnyRange(*lan.cfg, r.ipAddr.ipLong)) ++p.reservations;
  // Leases outside the ranges (left from an earlier configuration) take no
  // address of the pool.
  uint32_t listed = p.activeLeases;
  p.activeLeases = inRanges;
  finish(&p);
  p.activeLeases = listed;
  return p;
}

// The customer LAN, its VLANs in their order, the OAM LAN.
template <class F>
void forEachLan(F&& f) {
  f(Lan{&CustomerLANIpConfig, &CustomerLANDhcpCompConfig});
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    f(Lan{&VLANIpConfig[i], &VLANDhcpCompConfig[i]});
  f(Lan{&OAMLANIpConfig, &OAMLANDhcpCompConfig});
}

// Pools whose exhaustion alarm stands, by instance id, with the alarm text's
// pool description.
std::map<std::string, std::string> s_raisedPools;

std::string describe(const s_poolStatistics& p) {
  char text[DHCP_ALARM_TEXT_SIZE];
  snprintf(text, sizeof(text), "%s %s-%s: %u of %u addresses used", p.interfaceName, p.startAddr.ipString,
           p.endAddr.ipString, p.totalAddresses - p.freeAddresses, p.totalAddresses);
  return text;
}

}  // namespace

int dhcpCompCollectPoolStatistics(s_poolStatistics* out, int max) {
  int count = 0;
  forEachLan([&](const Lan& lan) {
    if (count < max) out[count++] = lanPool(lan);
    for (const s_ipAddrRange& range : lan.cfg->addrRanges)
      if (!range.isFree && count < max) out[count++] = rangePool(lan, range);
  });
  return count;
}

void dhcpCompCheckPoolAlarms(void) {
  static s_poolStatistics pools[DHCP_MAX_POOLS];
  int count = dhcpCompCollectPoolStatistics(pools, DHCP_MAX_POOLS);
  std::map<std::string, std::string> stillRaised;
  for (int i = 0; i < count; ++i) {
    const s_poolStatistics& p = pools[i];
    // The ranges are the pools dhcpd hands out; a LAN's sum would only
    // repeat their alarms.
    if (strchr(p.instanceID, ':') == nullptr) continue;
    bool raised = s_raisedPools.count(p.instanceID) != 0;
    int used = static_cast<int>(p.percentUsed);
    if (!raised && used >= g_poolAlarmRaisePercent) {
      dhcpCompRaiseAlarm(DHCP_ALARM_POOL_EXHAUSTED, describe(p).c_str(), used);
      raised = true;
    } else if (raised && used < g_poolAlarmClearPercent) {
      dhcpCompRaiseAlarm(DHCP_ALARM_POOL_RECOVERED, describe(p).c_str(), used);
      raised = false;
    }
    if (raised) stillRaised[p.instanceID] = describe(p);
    s_raisedPools.erase(p.instanceID);
  }
  // A range removed while its alarm stood takes the alarm with it.
  for (const auto& gone : s_raisedPools) dhcpCompRaiseAlarm(DHCP_ALARM_POOL_REMOVED, gone.second.c_str());
  s_raisedPools.swap(stillRaised);
}
