// Global records and identifier pools of the DHCP configuration model, their
// initialisation and the release of their dynamic parts.
#include "model/records.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "model/leases.h"
#include "model/ranges.h"
#include "tavrel_agent_api.h"

s_dhcpCompConfig CustomerLANDhcpCompConfig;
s_ethIpConfig CustomerLANIpConfig;
s_dhcpCompConfig OAMLANDhcpCompConfig;
s_ethIpConfig OAMLANIpConfig;
s_dhcpCompConfig VLANDhcpCompConfig[DHCP_MAX_VLANS];
s_ethIpConfig VLANIpConfig[DHCP_MAX_VLANS];

s_dhcpCompConfig CustomerLANDhcpCompConfigSaved;
s_dhcpCompConfig OAMLANDhcpCompConfigSaved;
s_dhcpCompConfig VLANDhcpCompConfigSaved[DHCP_MAX_VLANS];

s_addrRangePoolEntry g_AddressRangePool[DHCP_MAX_ADDR_RANGES];
s_reservedAddrPoolEntry g_reservedAddrPool[DHCP_MAX_RESERVED_ADDRS];
int32_t g_NumberOfRanges;
int32_t g_NumberOfReservedIPs;

int vlanlists[DHCP_MAX_VLANS];
int num_of_available_vlans;

char g_strT20ConfigFilename[DHCP_CONFIG_FILENAME_SIZE] = DHCP_DEFAULT_CONFIG_FILENAME;
char g_dhcpdLeaseFileTime[DHCP_LEASE_FILE_TIME_SIZE];
char tempBuf[DHCP_TEMP_BUF_SIZE];
int32_t tempBufSize = DHCP_TEMP_BUF_SIZE;
uint8_t g_bIntegratedRouterPresent;

static void initRecordPair(s_dhcpCompConfig* cfg, s_ethIpConfig* eth, const char* name) {
  memset(cfg, 0, sizeof(*cfg));
  memset(eth, 0, sizeof(*eth));
  snprintf(cfg->interfaceName, sizeof(cfg->interfaceName), "%s", name);
  snprintf(eth->interfaceName, sizeof(eth->interfaceName), "%s", name);
  for (s_ipAddrRange& range : cfg->addrRanges) range.isFree = 1;
  for (s_reservedAddr& rec : cfg->reservedAddrs) rec.isFree = 1;
}

void dhcpCompInitRecords(void) {
  if (num_of_available_vlans < 0) num_of_available_vlans = 0;
  if (num_of_available_vlans > DHCP_MAX_VLANS) num_of_available_vlans = DHCP_MAX_VLANS;
  for (int i = 0; i < num_of_available_vlans; ++i) {
    char name[DHCP_INTERFACE_NAME_SIZE];
    snprintf(name, sizeof(name), "%s.%d", DHCP_CUSTOMER_LAN_IFNAME, vlanlists[i]);
    initRecordPair(&VLANDhcpCompConfig[i], &VLANIpConfig[i], name);
  }
  initRecordPair(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig, DHCP_CUSTOMER_LAN_IFNAME);
  initRecordPair(&OAMLANDhcpCompConfig, &OAMLANIpConfig, DHCP_OAM_LAN_IFNAME);
  dhcpCompForgetLeaseFile();
  for (s_reservedAddrPoolEntry& entry : g_reservedAddrPool) {
    entry.isFree = 1;
    entry.object = nullptr;
  }
  for (s_addrRangePoolEntry& entry : g_AddressRangePool) {
    entry.isFree = 1;
    entry.object = nullptr;
  }
}

int dhcpCompGetFreeAddressRangeInstanceID(void) {
  for (int id = 0; id < DHCP_MAX_ADDR_RANGES; ++id)
    if (g_AddressRangePool[id].isFree) return id;
  return -1;
}

int dhcpCompGetFreeReservedAddressInstanceID(void) {
  for (int id = 0; id < DHCP_MAX_RESERVED_ADDRS; ++id)
    if (g_reservedAddrPool[id].isFree) return id;
  return -1;
}

namespace {

// A noted id and the record it named: "<LAN> <addresses>".
struct KeptId {
  std::string record;
  int id;
};
std::vector<KeptId> g_keptRangeIds;
std::vector<KeptId> g_keptReservationIds;

std::string rangeRecord(const s_dhcpCompConfig& cfg, const s_ipAddrRange& range) {
  return std::string(cfg.interfaceName) + ' ' + range.startAddr.ipString + '-' + range.endAddr.ipString;
}

// The reader upper-cases hardware addresses; the key does the same.
std::string reservationRecord(const s_dhcpCompConfig& cfg, const s_reservedAddr& rec) {
  std::string key = std::string(cfg.interfaceName) + ' ' + rec.ipAddr.ipString + ' ' + rec.macAddr;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

template <typename Note>
void noteIds(Note note) {
  note(CustomerLANDhcpCompConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) note(VLANDhcpCompConfig[i]);
}

template <typename PoolEntry, size_t N>
int takeId(std::vector<KeptId>* kept, const std::string& record, const PoolEntry (&pool)[N]) {
  for (auto it = kept->begin(); it != kept->end(); ++it) {
    if (it->record != record || !pool[it->id].isFree) continue;
    int id = it->id;
    kept->erase(it);
    return id;
  }
  int lowest = -1;
  for (size_t id = 0; id < N; ++id) {
    if (!pool[id].isFree) continue;
    if (lowest < 0) lowest = static_cast<int>(id);
    bool awaited = false;
    for (const KeptId& k : *kept) awaited = awaited || k.id == static_cast<int>(id);
    if (!awaited) return static_cast<int>(id);
  }
  return lowest;
}

}  // namespace

void dhcpCompKeepInstanceIDs(void) {
  dhcpCompForgetKeptInstanceIDs();
  noteIds([](const s_dhcpCompConfig& cfg) {
    for (int id = 0; id < DHCP_MAX_ADDR_RANGES; ++id)
      if (!cfg.addrRanges[id].isFree) g_keptRangeIds.push_back({rangeRecord(cfg, cfg.addrRanges[id]), id});
    for (int id = 0; id < DHCP_MAX_RESERVED_ADDRS; ++id)
      if (!cfg.reservedAddrs[id].isFree)
        g_keptReservationIds.push_back({reservationRecord(cfg, cfg.reservedAddrs[id]), id});
  });
}

void dhcpCompForgetKeptInstanceIDs(void) {
  g_keptRangeIds.clear();
  g_keptReservationIds.clear();
}

int dhcpCompTakeAddressRangeInstanceID(const s_dhcpCompConfig* cfg, const s_ipAddrRange* range) {
  return takeId(&g_keptRangeIds, rangeRecord(*cfg, *range), g_AddressRangePool);
}

int dhcpCompTakeReservedAddressInstanceID(const s_dhcpCompConfig* cfg, const s_reservedAddr* rec) {
  return takeId(&g_keptReservationIds, reservationRecord(*cfg, *rec), g_reservedAddrPool);
}

void dhcpCompDeallocConfigAddrRanges(s_dhcpCompConfig* cfg, bool deleteObjects) {
  if (cfg == nullptr) return;
  if (cfg->numAddrRanges != 0) {
    for (int id = 0; id < DHCP_MAX_ADDR_RANGES; ++id) {
      if (cfg->addrRanges[id].isFree) continue;
      if (deleteObjects) {
        if (g_AddressRangePool[id].object != nullptr)
          dhcpCompDeleteAddressRangeObject(g_AddressRangePool[id].object);
      } else {
        dhcpCompRemoveIPAddressRange(cfg, std::string(), id);
      }
      if (cfg->numAddrRanges <= 0) break;
    }
  }
  memset(&cfg->defaultGateway, 0, sizeof(cfg->defaultGateway));
}

void dhcpCompDeallocConfigResAddr(s_dhcpCompConfig* cfg) {
  if (cfg == nullptr || cfg->numReservedAddrs == 0) return;
  for (int id = 0; id < DHCP_MAX_RESERVED_ADDRS; ++id) {
    if (cfg->reservedAddrs[id].isFree) continue;
    if (g_reservedAddrPool[id].object != nullptr)
      dhcpCompDeleteReservedAddrObject(g_reservedAddrPool[id].object);
    if (cfg->numReservedAddrs <= 0) break;
  }
  if (cfg->numReservedAddrs < 0) cfg->numReservedAddrs = 0;
}

void dhcpCompDeallocConfigLeaseInfo(s_dhcpCompConfig* cfg) {
  if (cfg == nullptr) return;
  s_leaseInfo* node = cfg->leaseInfoList;
  while (node != nullptr) {
    s_leaseInfo* next = node->next;
    if (node->customerLanLease != nullptr)
      dhcpCompDeleteCustomerLanLeaseObject(node->customerLanLease);
    else if (node->oamLanLease != nullptr)
      dhcpCompDeleteOamLanLeaseObject(node->oamLanLease);
    free(node);
    node = next;
  }
  cfg->leaseInfoList = nullptr;
}

void dhcpCompDeallocDhcpCompConfig(s_dhcpCompConfig* cfg, bool deleteObjects) {
  dhcpCompDeallocConfigAddrRanges(cfg, deleteObjects);
  dhcpCompDeallocConfigResAddr(cfg);
  dhcpCompDeallocConfigLeaseInfo(cfg);
}
