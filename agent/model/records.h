// The records of the DHCP configuration model: the per-LAN configuration
// and IP records, the global records and identifier pools shared with
// libTavrel, their buffer sizes, and their start-up and release. libTavrel
// reads the records it names (exported, C linkage) from the agent.
#ifndef TAVREL_AGENT_MODEL_RECORDS_H
#define TAVREL_AGENT_MODEL_RECORDS_H

#include <stdint.h>

#include "tavrel_export.h"

// Buffer sizes of the records (bytes, terminator included).
#define DHCP_IP_STRING_SIZE 20           // dotted quad of s_ipAddr
#define DHCP_INTERFACE_NAME_SIZE 12      // "eth1", "eth2", "eth1.<vlan id>"
#define DHCP_MAC_ADDR_SIZE 20            // "0A:0B:0C:0D:0E:0F", ifconfig's trailing blanks
#define DHCP_CLIENT_NAME_SIZE 36         // reservation / lease host name
#define DHCP_CLIENT_DESCRIPTION_SIZE 44  // reservation description
#define DHCP_LEASE_TIME_TEXT_SIZE 30     // CIM date-time or dhclient renew text
#define DHCP_DNS_SERVERS_TEXT_SIZE 60    // raw "dnsServers" value
#define DHCP_DOMAIN_NAME_SIZE 42
#define DHCP_VLAN_IDS_SIZE 54            // VLAN id list; the provider allows 50 characters
#define DHCP_VENDOR_VLAN_IDS_MAX_LEN 50  // longest VLAN list taken from the router's vendor text
#define DHCP_CONFIG_FILENAME_SIZE 60
#define DHCP_LEASE_FILE_TIME_SIZE 40
#define DHCP_TEMP_BUF_SIZE 200      // the agent's shared command/line buffer
#define DHCP_KEPT_ENTRIES_SIZE 512  // unusable range or reservation entries kept per LAN
#define DHCP_KEPT_VALUES_SIZE 1024  // values too long for their fields, kept per LAN

#define DHCP_MAX_ADDR_RANGES 32     // range slots per LAN and range ids 0..31
#define DHCP_MAX_RESERVED_ADDRS 64  // reservation slots per LAN and ids 0..63
#define DHCP_MAX_VLANS 16           // VLANs of the customer LAN

#define DHCP_CUSTOMER_LAN_IFNAME "eth1"
#define DHCP_OAM_LAN_IFNAME "eth2"
#define DHCP_DEFAULT_CONFIG_FILENAME "/pq/etc/dhcpcomp.conf"
// Address and mask the agent gives the customer LAN when it is DHCP-addressed
// and gets no lease.
#define DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS "192.168.2.2"
#define DHCP_DEFAULT_CUSTOMER_LAN_NETMASK "255.255.254.0"

// Provider implementation objects (libTavrel) referenced by the pools and the
// lease list; the agent only holds and deletes them.
class ZPX_DHCPRangeOfIPAddressesImpl;
class ZPX_DHCPReservedAddressImpl;
class ZPX_DHCPClientLeaseInfoCustomerLANImpl;
class ZPX_DHCPClientLeaseInfoOAMLANImpl;

TAVREL_EXTERN_C_BEGIN

// What a text is validated as.
typedef enum e_ipType { ipTypeAddress = 0, ipTypeNetmask = 1 } e_ipType;

// One IPv4 address in three forms. ipLong is a*2^24 + b*2^16 + c*2^8 + d for
// a.b.c.d (host order); 0 means unset or invalid. ipOctets: most significant
// first. 28 bytes.
typedef struct s_ipAddr {
  char ipString[DHCP_IP_STRING_SIZE];
  uint32_t ipLong;
  uint8_t ipOctets[4];
} s_ipAddr;

typedef struct s_ipAddrRange {
  uint8_t isFree;  // 1 = slot unused
  s_ipAddr startAddr;
  s_ipAddr endAddr;
  s_ipAddr gateway;
} s_ipAddrRange;

typedef struct s_reservedAddr {
  uint8_t isFree;  // 1 = slot unused
  s_ipAddr ipAddr;
  char macAddr[DHCP_MAC_ADDR_SIZE];
  char clientName[DHCP_CLIENT_NAME_SIZE];
  char clientDescription[DHCP_CLIENT_DESCRIPTION_SIZE];
} s_reservedAddr;

// One lease of the server lease file; malloc'd node of a record's list.
typedef struct s_leaseInfo {
  struct s_leaseInfo* next;
  s_ipAddr ipAddr;
  char starts[DHCP_LEASE_TIME_TEXT_SIZE];
  char ends[DHCP_LEASE_TIME_TEXT_SIZE];
  uint32_t bindingActive;
  char hardwareAddr[DHCP_MAC_ADDR_SIZE];
  char clientHostname[DHCP_CLIENT_NAME_SIZE];
  ZPX_DHCPClientLeaseInfoCustomerLANImpl* customerLanLease;  // owned
  ZPX_DHCPClientLeaseInfoOAMLANImpl* oamLanLease;            // owned
} s_leaseInfo;

// DHCP configuration of one LAN interface.
typedef struct s_dhcpCompConfig {
  char interfaceName[DHCP_INTERFACE_NAME_SIZE];
  uint8_t dhcpServerOnRouter;
  int32_t dhcpStatus;  // 0 off, 1 telephones only, 2 all devices, 3 automatic
  uint8_t externalServerWarning;
  char dnsServersText[DHCP_DNS_SERVERS_TEXT_SIZE];
  char domainName[DHCP_DOMAIN_NAME_SIZE];
  uint8_t domainNameEmpty;
  s_ipAddr dnsServer1;
  uint8_t dnsServersEmpty;
  s_ipAddr dnsServer2;
  s_ipAddr winsServer;
  uint8_t winsServerEmpty;
  uint8_t winsNodeType;
  s_ipAddr defaultGateway;
  uint8_t defaultGatewayEmpty;
  uint32_t leaseTime;
  s_ipAddrRange addrRanges[DHCP_MAX_ADDR_RANGES];
  int32_t numAddrRanges;
  s_reservedAddr reservedAddrs[DHCP_MAX_RESERVED_ADDRS];
  int32_t numReservedAddrs;
  s_leaseInfo* leaseInfoList;
  // Call-server, VLAN and handset settings: meaningful for "eth1" only.
  s_ipAddr s1Address;
  uint8_t s1AddressEmpty;
  uint32_t s1PortNumber;       // 4100, 5000, 7000 or 7300, else 0
  uint32_t s1OtherPortNumber;  // any other port (then s1PortNumber is 0)
  uint8_t s1Action;
  uint8_t s1RetryCount;
  s_ipAddr s2Address;
  uint8_t s2AddressEmpty;
  uint32_t s2PortNumber;
  uint32_t s2OtherPortNumber;
  uint8_t s2Action;
  uint8_t s2RetryCount;
  char vlanIds[DHCP_VLAN_IDS_SIZE];
  s_ipAddr spectraTFTPAddress;
  s_ipAddr spectraSVPAddress;
  // Range and reservation entries of the component file that could not be
  // used, as written and joined by ", ": written back after the LAN's own
  // entries, never served nor shown.
  char keptAddrRanges[DHCP_KEPT_ENTRIES_SIZE];
  char keptReservedAddrs[DHCP_KEPT_ENTRIES_SIZE];
  // Values of the component file too long for their fields, as written:
  // written back while the field still holds what was read from them.
  char keptValues[DHCP_KEPT_VALUES_SIZE];
} s_dhcpCompConfig;

// IP parameters of one interface and of its DHCP client lease.
typedef struct s_ethIpConfig {
  char interfaceName[DHCP_INTERFACE_NAME_SIZE];
  char macAddress[DHCP_MAC_ADDR_SIZE];
  s_ipAddr ipAddress;
  s_ipAddr netmask;
  s_ipAddr network;
  uint32_t numHostAddrs;
  uint8_t staticIP;
  uint8_t externalDhcpServer;
  uint8_t vendorInfoPresent;
  s_ipAddr leaseFixedAddress;
  s_ipAddr leaseSubnetMask;
  s_ipAddr leaseRouter;
  s_ipAddr leaseDnsServer1;
  s_ipAddr leaseDnsServer2;
  s_ipAddr leaseNetbiosServer;
  s_ipAddr leaseServerIdentifier;
  uint8_t leaseNetbiosNodeType;
  char leaseDomainName[DHCP_DOMAIN_NAME_SIZE];
  char leaseRenewTime[DHCP_LEASE_TIME_TEXT_SIZE];
  char renewTimeLease[DHCP_LEASE_TIME_TEXT_SIZE];
  uint8_t startedFromPowerUp;
  s_ipAddr vendorS1Address;
  uint32_t vendorS1PortNumber;
  uint8_t vendorS1Action;
  uint8_t vendorS1RetryCount;
  s_ipAddr vendorS2Address;
  uint32_t vendorS2PortNumber;
  uint8_t vendorS2Action;
  uint8_t vendorS2RetryCount;
  char vendorVlanIds[DHCP_VLAN_IDS_SIZE];
  uint32_t vendorDhcpMode;  // 4 when the router's DHCP vendor text is absent
  s_ipAddr vendorRangeStart;
  s_ipAddr vendorRangeEnd;
} s_ethIpConfig;

// Identifier pool entries: the id is the index.
typedef struct s_addrRangePoolEntry {
  uint8_t isFree;  // 1 = id free
  ZPX_DHCPRangeOfIPAddressesImpl* object;
} s_addrRangePoolEntry;

typedef struct s_reservedAddrPoolEntry {
  uint8_t isFree;  // 1 = id free
  ZPX_DHCPReservedAddressImpl* object;
} s_reservedAddrPoolEntry;

// ---- Global records (libTavrel reads the exported ones) ----

TAVREL_EXPORT extern s_dhcpCompConfig CustomerLANDhcpCompConfig;
TAVREL_EXPORT extern s_ethIpConfig CustomerLANIpConfig;
extern s_dhcpCompConfig OAMLANDhcpCompConfig;
extern s_ethIpConfig OAMLANIpConfig;
extern s_dhcpCompConfig VLANDhcpCompConfig[DHCP_MAX_VLANS];
extern s_ethIpConfig VLANIpConfig[DHCP_MAX_VLANS];

// Snapshots taken before an IP change tears the live records down.
extern s_dhcpCompConfig CustomerLANDhcpCompConfigSaved;
extern s_dhcpCompConfig OAMLANDhcpCompConfigSaved;
extern s_dhcpCompConfig VLANDhcpCompConfigSaved[DHCP_MAX_VLANS];

TAVREL_EXPORT extern s_addrRangePoolEntry g_AddressRangePool[DHCP_MAX_ADDR_RANGES];
TAVREL_EXPORT extern s_reservedAddrPoolEntry g_reservedAddrPool[DHCP_MAX_RESERVED_ADDRS];
TAVREL_EXPORT extern int32_t g_NumberOfRanges;
TAVREL_EXPORT extern int32_t g_NumberOfReservedIPs;

// VLAN ids of the customer LAN and their number (getNumberOfVlans).
extern int vlanlists[DHCP_MAX_VLANS];
extern int num_of_available_vlans;

// Path of the component configuration file; "/pq/etc/dhcpcomp.conf".
extern char g_strT20ConfigFilename[DHCP_CONFIG_FILENAME_SIZE];
extern char g_dhcpdLeaseFileTime[DHCP_LEASE_FILE_TIME_SIZE];
extern char tempBuf[DHCP_TEMP_BUF_SIZE];
extern int32_t tempBufSize;
extern uint8_t g_bIntegratedRouterPresent;

// ---- Records and identifier pools ----

// Zeroes every configuration and IP record, names them ("eth1", "eth2",
// "eth1.<id>" for the first num_of_available_vlans ids of vlanlists), marks
// every range and reservation slot and every pool entry free, and forgets
// what was read of the lease file (dhcpCompForgetLeaseFile). The record part
// of the agent's start-up.
void dhcpCompInitRecords(void);

// Ids across a rebuild from the component file (IP change). KeepInstanceIDs
// notes the id of every live range and reservation of the customer LAN and
// its VLANs with its LAN and addresses; until ForgetKeptInstanceIDs the
// reader gives a record read back with the same LAN and addresses its noted
// id again, so that a management station's object paths keep naming the same
// records.
void dhcpCompKeepInstanceIDs(void);
void dhcpCompForgetKeptInstanceIDs(void);
// The id for a range or reservation read into cfg: the noted id of the same
// record when it is free, else the lowest free id no other noted record
// waits for, else the lowest free id; -1 when all are taken. Without noted
// ids, the lowest free id.
int dhcpCompTakeAddressRangeInstanceID(const s_dhcpCompConfig* cfg, const s_ipAddrRange* range);
int dhcpCompTakeReservedAddressInstanceID(const s_dhcpCompConfig* cfg, const s_reservedAddr* rec);

// Release of a record's dynamic parts. With deleteObjects the range objects
// are deleted (their destructors free the slots); else the slots are freed
// directly. The default gateway is cleared afterwards.
void dhcpCompDeallocConfigAddrRanges(s_dhcpCompConfig* cfg, bool deleteObjects);
// Deletes the reservation objects of the record (their destructors free the slots).
void dhcpCompDeallocConfigResAddr(s_dhcpCompConfig* cfg);
// Deletes the lease objects and frees the lease list.
void dhcpCompDeallocConfigLeaseInfo(s_dhcpCompConfig* cfg);
// Ranges, reservations and leases, in that order.
void dhcpCompDeallocDhcpCompConfig(s_dhcpCompConfig* cfg, bool deleteObjects);

TAVREL_EXTERN_C_END

#endif
