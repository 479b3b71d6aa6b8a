// The change bracket (tavrel_agent_api.h): staging copy, commit and rollback.
#include "tavrel_agent_api.h"

#include <string.h>
#include <syslog.h>

#include <string>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "commit.h"
#include "model/ranges.h"
#include "model/records.h"
#include "model/result.h"

namespace {

// Open changes; the records are changed under the agent's lock only.
int g_openChanges = 0;

void restoreRecord(s_dhcpCompConfig* live, const s_dhcpCompConfig& saved) {
  // Leases are not part of a change: the current list stays.
  s_leaseInfo* leases = live->leaseInfoList;
  *live = saved;
  live->leaseInfoList = leases;
}

// Puts a pool back: objects made during the change go, objects deleted
// during it are made again under their id, then flags and count are those
// of the copy.
template <class Impl, class Entry, size_t N>
void restorePool(Entry (&live)[N], const Entry (&saved)[N], int32_t* count, int32_t savedCount) {
  for (size_t i = 0; i < N; ++i)
    if (live[i].object != nullptr && live[i].object != saved[i].object) delete live[i].object;
  for (size_t i = 0; i < N; ++i)
    if (saved[i].object != nullptr && live[i].object == nullptr) new Impl(std::to_string(i));
  for (size_t i = 0; i < N; ++i) live[i].isFree = saved[i].isFree;
  *count = savedCount;
}

}  // namespace

struct DhcpCompChange::Saved {
  s_dhcpCompConfig customer;
  s_dhcpCompConfig oam;
  s_dhcpCompConfig vlans[DHCP_MAX_VLANS];
  int vlanCount;
  int vlanIds[DHCP_MAX_VLANS];
  s_addrRangePoolEntry ranges[DHCP_MAX_ADDR_RANGES];
  s_reservedAddrPoolEntry reservations[DHCP_MAX_RESERVED_ADDRS];
  int32_t rangeCount;
  int32_t reservationCount;
};

DhcpCompChange::DhcpCompChange() : m_saved(new Saved), m_outermost(g_openChanges == 0) {
  ++g_openChanges;
  Saved& s = *m_saved;
  s.customer = CustomerLANDhcpCompConfig;
  s.oam = OAMLANDhcpCompConfig;
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) s.vlans[i] = VLANDhcpCompConfig[i];
  s.vlanCount = num_of_available_vlans;
  memcpy(s.vlanIds, vlanlists, sizeof(s.vlanIds));
  memcpy(s.ranges, g_AddressRangePool, sizeof(s.ranges));
  memcpy(s.reservations, g_reservedAddrPool, sizeof(s.reservations));
  s.rangeCount = g_NumberOfRanges;
  s.reservationCount = g_NumberOfReservedIPs;
}

DhcpCompChange::~DhcpCompChange() {
  rollback();
  --g_openChanges;
}

int DhcpCompChange::commit() {
  if (m_done) return DHCP_RC_OK;
  if (!m_outermost) {
    m_done = true;
    return DHCP_RC_OK;
  }
  int rc = dhcpCompCommitConfigurationChanges();
  if (rc != DHCP_RC_OK) {
    rollback();
    return rc;
  }
  m_done = true;
  return DHCP_RC_OK;
}

void DhcpCompChange::rollback() {
  if (m_done) return;
  m_done = true;
  const Saved& s = *m_saved;
  // The objects' destructors free the slots they stand for; the records are
  // put back after them.
  restorePool<ZPX_DHCPRangeOfIPAddressesImpl>(g_AddressRangePool, s.ranges, &g_NumberOfRanges, s.rangeCount);
  restorePool<ZPX_DHCPReservedAddressImpl>(g_reservedAddrPool, s.reservations, &g_NumberOfReservedIPs,
                                           s.reservationCount);
  restoreRecord(&CustomerLANDhcpCompConfig, s.customer);
  restoreRecord(&OAMLANDhcpCompConfig, s.oam);
  // A change that found another set of VLANs (an IP change) keeps their
  // records: the saved ones belong to interfaces that are gone.
  if (s.vlanCount == num_of_available_vlans && memcmp(s.vlanIds, vlanlists, sizeof(s.vlanIds)) == 0) {
    for (int i = 0; i < DHCP_MAX_VLANS; ++i) restoreRecord(&VLANDhcpCompConfig[i], s.vlans[i]);
  } else {
    syslog(LOG_WARNING, "The VLANs changed during a refused change; their records stay as rebuilt.");
  }
  dhcpCompShowStoredEntries();
}
