// DHCP configuration model of TavrelAgent: the per-LAN records, the global
// records and identifier pools shared with libTavrel, and the functions of the
// model. libTavrel resolves the records and the plain functions by name from
// the agent, so they keep C linkage; functions that take std::string ids are
// C++ by nature. Results: the codes of dhcpresult.h, or 1/0 truth values
// where stated.
#ifndef TAVREL_AGENT_DHCPCOMP_H
#define TAVREL_AGENT_DHCPCOMP_H

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "dhcpresult.h"
#include "dhcpvalidate.h"
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
#define DHCP_LEASE_RECORD_SIZE 2000  // one record of the server lease file
#define DHCP_TEMP_BUF_SIZE 200       // the agent's shared command/line buffer
#define DHCP_HOSTNAME_SIZE 64        // output of dhcpUtilGetHostname
#define DHCP_KEPT_ENTRIES_SIZE 512   // unusable range or reservation entries kept per LAN
#define DHCP_KEPT_VALUES_SIZE 1024   // values too long for their fields, kept per LAN

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

// Event message ids written to the system log ("{%d} {...}").
#define DHCP_MSG_CONFIG_FILE 62004
#define DHCP_MSG_CONFIG_FILE_WRITE 62010
#define DHCP_MSG_NO_ROOM_FOR_RANGE 62006

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

// ---- Global records ----

TAVREL_EXPORT extern s_dhcpCompConfig CustomerLANDhcpCompConfig;
TAVREL_EXPORT extern s_ethIpConfig CustomerLANIpConfig;
TAVREL_EXPORT extern s_dhcpCompConfig OAMLANDhcpCompConfig;
TAVREL_EXPORT extern s_ethIpConfig OAMLANIpConfig;
TAVREL_EXPORT extern s_dhcpCompConfig VLANDhcpCompConfig[DHCP_MAX_VLANS];
TAVREL_EXPORT extern s_ethIpConfig VLANIpConfig[DHCP_MAX_VLANS];

// Snapshots taken before an IP change tears the live records down.
TAVREL_EXPORT extern s_dhcpCompConfig CustomerLANDhcpCompConfigSaved;
TAVREL_EXPORT extern s_dhcpCompConfig OAMLANDhcpCompConfigSaved;
TAVREL_EXPORT extern s_dhcpCompConfig VLANDhcpCompConfigSaved[DHCP_MAX_VLANS];

TAVREL_EXPORT extern s_addrRangePoolEntry g_AddressRangePool[DHCP_MAX_ADDR_RANGES];
TAVREL_EXPORT extern s_reservedAddrPoolEntry g_reservedAddrPool[DHCP_MAX_RESERVED_ADDRS];
TAVREL_EXPORT extern int32_t g_NumberOfRanges;
TAVREL_EXPORT extern int32_t g_NumberOfReservedIPs;

// VLAN ids of the customer LAN and their number (getNumberOfVlans).
TAVREL_EXPORT extern int vlanlists[DHCP_MAX_VLANS];
TAVREL_EXPORT extern int num_of_available_vlans;

// Path of the component configuration file; "/pq/etc/dhcpcomp.conf".
TAVREL_EXPORT extern char g_strT20ConfigFilename[DHCP_CONFIG_FILENAME_SIZE];
TAVREL_EXPORT extern char g_dhcpdLeaseFileTime[DHCP_LEASE_FILE_TIME_SIZE];
TAVREL_EXPORT extern char tempBuf[DHCP_TEMP_BUF_SIZE];
TAVREL_EXPORT extern int32_t tempBufSize;
TAVREL_EXPORT extern uint8_t g_bIntegratedRouterPresent;

// ---- Records and identifier pools ----

// Zeroes every configuration and IP record, names them ("eth1", "eth2",
// "eth1.<id>" for the first num_of_available_vlans ids of vlanlists), marks
// every range and reservation slot and every pool entry free, and forgets
// what was read of the lease file (dhcpCompForgetLeaseFile). The record part
// of the agent's start-up.
TAVREL_EXPORT void dhcpCompInitRecords(void);

// Lowest free id (0..31 / 0..63) of the pool, -1 when all are taken. The id
// is marked by the provider object's constructor, not here.
TAVREL_EXPORT int dhcpCompGetFreeAddressRangeInstanceID(void);
TAVREL_EXPORT int dhcpCompGetFreeReservedAddressInstanceID(void);

// Ids across a rebuild from the component file (IP change). KeepInstanceIDs
// notes the id of every live range and reservation of the customer LAN and
// its VLANs with its LAN and addresses; until ForgetKeptInstanceIDs the
// reader gives a record read back with the same LAN and addresses its noted
// id again, so that a management station's object paths keep naming the same
// records.
TAVREL_EXPORT void dhcpCompKeepInstanceIDs(void);
TAVREL_EXPORT void dhcpCompForgetKeptInstanceIDs(void);
// The id for a range or reservation read into cfg: the noted id of the same
// record when it is free, else the lowest free id no other noted record
// waits for, else the lowest free id; -1 when all are taken. Without noted
// ids, the lowest free id.
TAVREL_EXPORT int dhcpCompTakeAddressRangeInstanceID(const s_dhcpCompConfig* cfg, const s_ipAddrRange* range);
TAVREL_EXPORT int dhcpCompTakeReservedAddressInstanceID(const s_dhcpCompConfig* cfg,
                                                        const s_reservedAddr* rec);

// Release of a record's dynamic parts. With deleteObjects the range objects
// are deleted (their destructors free the slots); else the slots are freed
// directly. The default gateway is cleared afterwards.
TAVREL_EXPORT void dhcpCompDeallocConfigAddrRanges(s_dhcpCompConfig* cfg, bool deleteObjects);
// Deletes the reservation objects of the record (their destructors free the slots).
TAVREL_EXPORT void dhcpCompDeallocConfigResAddr(s_dhcpCompConfig* cfg);
// Deletes the lease objects and frees the lease list.
TAVREL_EXPORT void dhcpCompDeallocConfigLeaseInfo(s_dhcpCompConfig* cfg);
// Ranges, reservations and leases, in that order.
TAVREL_EXPORT void dhcpCompDeallocDhcpCompConfig(s_dhcpCompConfig* cfg, bool deleteObjects);

// ---- Address, number and text helpers ----

// Validates a->ipString as an address (or netmask) and fills ipLong and
// ipOctets. A valid text is rewritten in canonical dotted-quad form, so the
// shorter, hexadecimal and octal forms that inet_aton accepts never travel
// further. With allowLoopback "127.0.0.1" is accepted as well. 0, or 320 with
// ipLong and ipOctets zero (the text is then left as it was).
TAVREL_EXPORT int dhcpUtilConvertIPStringtoIPAddr(s_ipAddr* a, e_ipType type, bool allowLoopback);
// Rebuilds ipOctets and ipString from ipLong (0 gives the empty text).
TAVREL_EXPORT void dhcpUtilConvertIPAddrLongtoIPAddr(s_ipAddr* a);
// The strict form a management station must use: exactly length bytes of
// canonical dotted quad (four decimal groups 0-255 without leading zeros,
// nothing before or after, no NUL), then the rules of
// dhcpUtilConvertIPStringtoIPAddr for an address. 0 with a filled, or 320
// with a unchanged.
TAVREL_EXPORT int dhcpUtilConvertCanonicalIPAddr(s_ipAddr* a, const char* text, size_t length);
// Decimal text of value into out (at least 12 bytes); returns the number of
// digits, 0 for a negative value (written as "0").
TAVREL_EXPORT int dhcpUtilIntToAscii(int value, char* out);
// Value of the leading decimal digits (no sign, wraps on overflow).
TAVREL_EXPORT unsigned long dhcpUtilatoul(char* s);
// Hexadecimal digit value; NUL gives 255, any other character 254.
TAVREL_EXPORT uint8_t dhcpUtilGetDigit(char c);
// Value of the first character as a hexadecimal digit; -1 when it is not
// one, 0 for the empty text.
TAVREL_EXPORT int dhcpUtilAtoH(char* s);
// "W YYYY/MM/DD HH:MM:SS" (21 characters) becomes "YYYYMMDDHHMMSS.000000+000"
// in place (buffer of at least 26 bytes): 1, else 0 and the text unchanged,
// also when the fields are no real second of the calendar.
TAVREL_EXPORT int dhcpUtilConvertLeaseTimeToOWTime(char* text);
// Host name from "HOSTNAME=" of /etc/sysconfig/network into out
// (DHCP_HOSTNAME_SIZE bytes, cut to fit). 1 when found, else 0, out unchanged.
TAVREL_EXPORT int dhcpUtilGetHostname(char* out);

// Debug hooks; they have no effect.
TAVREL_EXPORT void dhcpUtilDebugStop(int code);
TAVREL_EXPORT void dhcpUtilDbgPrintDhcpConfig(s_dhcpCompConfig* cfg);
TAVREL_EXPORT void dhcpUtilDbgPrintEthIpConfig(s_ethIpConfig* eth);

// ---- Component configuration file ----

// Reads g_strT20ConfigFilename into the customer LAN, OAM LAN and VLAN records
// (in that order). 1 when read, 0 when it cannot be opened or memory ran out
// (records unchanged).
TAVREL_EXPORT int dhcpCompReadDhcpCompConfigFile(void);
// Parses a whole configuration text into the customer LAN, OAM LAN and VLAN
// records, as dhcpCompReadDhcpCompConfigFile does with the file's text.
TAVREL_EXPORT void dhcpCompParseDhcpCompConfigText(char* text);
// Parses the sections named by cfg->interfaceName out of the whole file text.
TAVREL_EXPORT void dhcpCompParseDhcpCompContentsForInterface(char* text, s_dhcpCompConfig* cfg);
// Rewrites the file from the live records (useSaved 0) or the snapshots,
// replacing it atomically. 1 when written; 0 when it could not be written
// (the old file stays; the failure goes to the system log).
TAVREL_EXPORT int dhcpCompWriteDhcpCompConfigFile(char useSaved);
// Replaces the file by text (what dhcpCompFormatDhcpCompConfig gave); 1 or 0
// as dhcpCompWriteDhcpCompConfigFile.
TAVREL_EXPORT int dhcpCompWriteDhcpCompConfigText(const std::string& text);
// Copies the settings common to the customer LAN and its VLANs into every
// VLAN record, and sets each VLAN's vlanIds to its own id.
TAVREL_EXPORT void duplicateCommonPortion(void);

// ---- Interface IP parameters ----

// Refreshes address, mask, network, hardware address, addressing mode and,
// for a DHCP-configured interface, the lease and vendor fields of e.
TAVREL_EXPORT void dhcpCompGetInterfaceIPParams(s_ethIpConfig* e);
// Fills the lease and vendor fields from the DHCP client lease; 1 when a
// lease was read, 0 when there is none (fields unchanged).
TAVREL_EXPORT int dhcpCompGetDhclientLeaseInfo(s_ethIpConfig* e);
// network = ipAddress AND netmask; numHostAddrs from the mask's last octet.
TAVREL_EXPORT void dhcpCompCalcIPNetwork(s_ethIpConfig* e);
// Stores up to max VLAN ids of the interface registry into list; returns how many.
TAVREL_EXPORT int getNumberOfVlans(int* list, int max);
// The router's vendor texts (after "T20-IPSETCONFIG," and "T20-DHCP,"),
// parsed into the vendor fields of e. The DHCP text needs e's address and
// network. Malformed texts clear the fields as described by the callers.
TAVREL_EXPORT void dhcpCompParseIPSetVendorText(s_ethIpConfig* e, const char* text);
TAVREL_EXPORT void dhcpCompParseDhcpVendorText(s_ethIpConfig* e, const char* text);

// ---- Range and reservation operations (agent/ ranges) ----

TAVREL_EXPORT int dhcpCompAddIPAddressRangeCustomerLAN(s_dhcpCompConfig* cfg, s_ipAddrRange* range, int id);
TAVREL_EXPORT int dhcpCompCheckAndAddIPAddressRangeOAMLAN(s_ipAddrRange* range, bool checkSubnet);
TAVREL_EXPORT void syncUpGatewayForAddrRanges(s_dhcpCompConfig* cfg, s_ipAddr* gateway);
// Drops the LAN's ranges and reservations outside its network (and ranges
// holding its own address), only while the LAN has an address of its own.
TAVREL_EXPORT void dhcpCompVerifyRangesInSubnet(s_ethIpConfig* eth, s_dhcpCompConfig* cfg);
// True when the LAN has an address of its own: static, or from a lease; not
// while it has none, nor while it has only the default address
// (DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS) the agent gives a DHCP-addressed LAN
// without a lease.
TAVREL_EXPORT bool dhcpCompHasOwnAddress(const s_ethIpConfig* eth);
// Whether dhcpd.conf serves an address of the LAN: true when the LAN has no
// network or the network holds it. An entry kept outside the network is
// logged once (per LAN address) and not served.
TAVREL_EXPORT bool dhcpCompServesAddress(const s_ethIpConfig* eth, uint32_t address);
// Makes every range and reservation object show its stored entry.
TAVREL_EXPORT void dhcpCompShowStoredEntries(void);

// ---- Server lease file (agent/ leases) ----

// The server's lease file, and the private copy the lease lists are built from.
#define DHCPD_LEASE_DIRECTORY "/pq/etc"
#define DHCPD_LEASE_FILE_NAME "dhcpd.leases"
#define DHCPD_LEASE_FILE DHCPD_LEASE_DIRECTORY "/" DHCPD_LEASE_FILE_NAME
#define DHCPD_LEASE_COPY_FILE "/pq/etc/dhcpd.t20leases"

// 1 when the server lease file is new, changed (size, modification time or
// file identity) or gone since the last call; the private copy has then been
// replaced by a fresh one (or removed). 0 when nothing changed.
TAVREL_EXPORT int dhcpCompLeaseFileChanged(void);
// Forgets what was read of the lease file (g_dhcpdLeaseFileTime emptied), so
// the next look reads it whole. Safe beside the lease watch's thread.
TAVREL_EXPORT void dhcpCompForgetLeaseFile(void);
// Rebuilds the lease lists of all LANs, and their lease objects, from the
// private copy. Without a readable copy the lists stay empty.
TAVREL_EXPORT void dhcpCompGetDhcpdServerLeaseInfo(void);
// Reads the next complete record ("lease ..." to "}") into out
// (DHCP_LEASE_RECORD_SIZE bytes): its lines without the closing one. A
// record cut off by the end of the file, or followed by another "lease " line
// before its "}", is dropped; one too long for out is skipped whole; lines
// too long for the line buffer are left out. 1 when a record was read, 0 at
// the end of the file.
TAVREL_EXPORT int dhcpReadAndConvertLeaseRecord(FILE* file, char* out);
// Rebuilds the lease lists when the server's lease file changed since the
// last look (the two calls above); what every reader of the lists does first.
TAVREL_EXPORT void dhcpCompRefreshLeaseInfo(void);
// Deletes every lease node and lease object of every LAN.
TAVREL_EXPORT void dhcpCompDeleteLeaseInfoInstances(void);
// Takes a lease object out of the lease list that owns it (the node stays,
// without object), before the object is deleted by someone else.
TAVREL_EXPORT void dhcpCompDisownLeaseObject(const void* object);

// ---- Foreign DHCP servers (agent/ foreign) ----

#define DHCP_MAX_FOREIGN_SERVERS 64
#define DHCP_ALARM_FOREIGN_SERVER 60012
#define DHCP_ALARM_FOREIGN_SERVER_GONE 60013
#define DHCP_FOREIGN_SERVER_PROBE_SECONDS 300

// A DHCP server other than the appliance's own, the customer LAN's lease
// server and the integrated router, seen answering on an interface.
typedef struct s_foreignServer {
  char instanceID[DHCP_INTERFACE_NAME_SIZE + DHCP_IP_STRING_SIZE];  // "<interface>:<address>"
  char interfaceName[DHCP_INTERFACE_NAME_SIZE];
  s_ipAddr serverAddress;
  char serverMACAddress[DHCP_MAC_ADDR_SIZE];
  char firstSeen[DHCP_LEASE_TIME_TEXT_SIZE];  // CIM date-time texts
  char lastSeen[DHCP_LEASE_TIME_TEXT_SIZE];
} s_foreignServer;

// Fills out with up to max of the foreign servers seen; returns how many.
TAVREL_EXPORT int dhcpCompCollectForeignServers(s_foreignServer* out, int max);

// ---- Pool occupancy and exhaustion alarms (agent/ pools) ----

// "<interface>:<start>-<end>": name, two address texts and two separators.
#define DHCP_POOL_ID_SIZE (DHCP_INTERFACE_NAME_SIZE + 2 * DHCP_IP_STRING_SIZE + 2)
// A LAN pool and one per range, for the customer LAN, its VLANs, the OAM LAN.
#define DHCP_MAX_POOLS ((DHCP_MAX_VLANS + 2) * (DHCP_MAX_ADDR_RANGES + 1))
#define DHCP_ALARM_POOL_EXHAUSTED 60010
#define DHCP_ALARM_POOL_RECOVERED 60011
#define DHCP_POOL_ALARM_RAISE_PERCENT 90
#define DHCP_POOL_ALARM_CLEAR_PERCENT 80

// Occupancy of one pool: an address range of a LAN (instanceID
// "<interface>:<start>-<end>"), or all ranges of a LAN (instanceID
// "<interface>"; start and end are then the network's first and last host
// address, and activeLeases counts every lease listed for the LAN).
typedef struct s_poolStatistics {
  char instanceID[DHCP_POOL_ID_SIZE];
  char interfaceName[DHCP_INTERFACE_NAME_SIZE];
  s_ipAddr startAddr;
  s_ipAddr endAddr;
  uint32_t totalAddresses;  // addresses of the range(s)
  uint32_t activeLeases;
  uint32_t reservations;  // reserved addresses inside the range(s)
  uint32_t freeAddresses;
  uint32_t percentUsed;  // leased or reserved addresses of the range(s)
} s_poolStatistics;

// Use at which an exhaustion alarm is raised, and below which it is cleared
// (percent; the agent's configuration may change them).
TAVREL_EXPORT extern int g_poolAlarmRaisePercent;
TAVREL_EXPORT extern int g_poolAlarmClearPercent;

// Fills out with up to max pools from the records and the lease lists as
// they stand; returns how many.
TAVREL_EXPORT int dhcpCompCollectPoolStatistics(s_poolStatistics* out, int max);
// Raises alarm 60010 for a range whose use reached g_poolAlarmRaisePercent,
// once, and alarm 60011 when it falls below g_poolAlarmClearPercent or the
// range is gone; both are also logged.
TAVREL_EXPORT void dhcpCompCheckPoolAlarms(void);

TAVREL_EXTERN_C_END

// The text dhcpCompWriteDhcpCompConfigFile writes, without the copy of the
// common settings into the VLAN records that the writer does first.
TAVREL_EXPORT std::string dhcpCompFormatDhcpCompConfig(char useSaved);
// Appends the section of cfg (its "[<interface>]" line and key lines) to out.
TAVREL_EXPORT void dhcpCompWriteDhcpCompConfigFileForInterface(std::string* out, s_dhcpCompConfig* cfg);

// Index of an instance id given as canonical decimal text ("0", "17"; no
// sign, blanks or leading zeros) when it is below count, else -1.
TAVREL_EXPORT int dhcpCompInstanceIdToIndex(const std::string& id, int count);

TAVREL_EXPORT int dhcpCompCheckAndAddIPAddressRange(const std::string& id, s_ipAddrRange* range,
                                                    bool checkSubnet);
TAVREL_EXPORT void dhcpCompRemoveIPAddressRange(s_dhcpCompConfig* cfg, const std::string& id, int slot);
TAVREL_EXPORT int getAddressRangeCompConfig(const std::string& id, s_dhcpCompConfig** cfg);
TAVREL_EXPORT void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_ipAddrRange* range);
TAVREL_EXPORT int dhcpCompCheckAndAddReservedAddress(const std::string& id, s_reservedAddr* rec);
// As dhcpCompCheckAndAddReservedAddress for a reservation read from the
// component configuration file: a client name or description that earlier
// rules allowed is kept as it is (dhcpd.conf declares such a host as
// "reserved-<id>"); every other check applies.
TAVREL_EXPORT int dhcpCompAddStoredReservedAddress(const std::string& id, s_reservedAddr* rec);
TAVREL_EXPORT void dhcpCompRemoveReservedAddr(s_dhcpCompConfig* cfg, const std::string& id, int slot);
TAVREL_EXPORT int getReservedAddressCompConfig(const std::string& id, s_dhcpCompConfig** cfg);
TAVREL_EXPORT void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_reservedAddr* rec);

// Deleting a provider object runs its virtual destructor, which frees its
// slot and pool entry (the caller commits). Defined beside the code that creates the
// objects (it knows the provider classes); the release functions above use them.
void dhcpCompDeleteAddressRangeObject(ZPX_DHCPRangeOfIPAddressesImpl* object);
void dhcpCompDeleteReservedAddrObject(ZPX_DHCPReservedAddressImpl* object);
void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl* object);
void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl* object);

#endif
