// What libTavrel calls in the agent, besides the records of model/records.h
// that it reads. libTavrel leaves these names undefined and resolves them
// from the program that loads it; the agent is built with hidden visibility
// and exports exactly these (TAVREL_EXPORT) and the records. Every program
// that loads libTavrel links tavrel_agent_api.cc, which takes their
// definitions in. Results: the codes of model/result.h, or 1/0 truth values
// where stated.
#ifndef TAVREL_AGENT_TAVREL_AGENT_API_H
#define TAVREL_AGENT_TAVREL_AGENT_API_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/result.h"
#include "tavrel_export.h"

// ---- The change bracket (change.cc) ----

// The one way a change of the DHCP configuration is made. Opening a change
// stages it (a copy of everything a change may touch is kept); the change is
// then made to the live records, and commit() validates and applies it
// (dhcpCompCommitConfigurationChanges: dhcpd -t, both files, the server) and
// acknowledges it. Any failure, and a change that is left without commit(),
// puts back everything it touched: every LAN's record, the pools of range
// and reservation objects with their counts, and what those objects show
// (gateways included). Brackets nest: only the outermost one commits.
class TAVREL_EXPORT DhcpCompChange {
 public:
  DhcpCompChange();
  // Rolls the change back unless it was committed.
  ~DhcpCompChange();
  DhcpCompChange(const DhcpCompChange&) = delete;
  DhcpCompChange& operator=(const DhcpCompChange&) = delete;

  // Applies the change. 0 when applied (or left to an enclosing change);
  // otherwise the commit's code (model/result.h), with the reason in
  // dhcpCompCommitFailureText, and the change rolled back.
  int commit();
  // Puts back what the change touched; nothing once committed.
  void rollback();

 private:
  struct Saved;
  std::unique_ptr<Saved> m_saved;
  bool m_done = false;
  bool m_outermost;
};

// Why the last commit failed (dhcpd's words for a refused configuration),
// empty after a commit that succeeded.
TAVREL_EXPORT std::string dhcpCompCommitFailureText(void);

// ---- Identifier pools (model/records.cc) ----

TAVREL_EXTERN_C_BEGIN

// Lowest free id (0..31 / 0..63) of the pool, -1 when all are taken. The id
// is marked by the provider object's constructor, not here.
TAVREL_EXPORT int dhcpCompGetFreeAddressRangeInstanceID(void);
TAVREL_EXPORT int dhcpCompGetFreeReservedAddressInstanceID(void);

// ---- Values (model/util.cc, model/validate.cc) ----

// The strict form a management station must use: exactly length bytes of
// canonical dotted quad (four decimal groups 0-255 without leading zeros,
// nothing before or after, no NUL), then the rules of
// dhcpUtilConvertIPStringtoIPAddr for an address. 0 with a filled, or 320
// with a unchanged.
TAVREL_EXPORT int dhcpUtilConvertCanonicalIPAddr(s_ipAddr* a, const char* text, size_t length);

TAVREL_EXTERN_C_END

// 1 when name can be a dhcpd.conf host declaration name: dot-separated
// labels, each starting with a letter or digit and holding letters, digits,
// "-" and "_". The empty name is accepted (the reservation operations name it
// "Device<id>").
TAVREL_EXPORT int dhcpUtilIsValidHostName(const char* name);
// 1 when name is made of ASCII letters, digits, "." and "-" only (the empty
// name included): what the setting data accepts and dhcpd.conf serves.
TAVREL_EXPORT int dhcpUtilIsValidDomainName(const char* name);
// 1 when text may be stored as a field of the component configuration file:
// no "," and no control character (line breaks included).
TAVREL_EXPORT int dhcpUtilIsValidDescription(const char* text);
// VLAN id list: digits and "," only, no two "," in a row, at most 10 items
// of at most 5 characters whose value (as atoi reads it) is 0..4095. The
// empty list and a list ending in "," are valid; an empty item counts as 0.
// Returns 0 or 330.
TAVREL_EXPORT int dhcpCompVerifyVLANIds(char* list);

// ---- Ranges and reservations (model/ranges.cc) ----

// Index of an instance id given as canonical decimal text ("0", "17"; no
// sign, blanks or leading zeros) when it is below count, else -1.
TAVREL_EXPORT int dhcpCompInstanceIdToIndex(const std::string& id, int count);
TAVREL_EXPORT int dhcpCompCheckAndAddIPAddressRange(const std::string& id, s_ipAddrRange* range,
                                                    bool checkSubnet);
TAVREL_EXPORT void dhcpCompRemoveIPAddressRange(s_dhcpCompConfig* cfg, const std::string& id, int slot);
TAVREL_EXPORT int getAddressRangeCompConfig(const std::string& id, s_dhcpCompConfig** cfg);
TAVREL_EXPORT int dhcpCompCheckAndAddReservedAddress(const std::string& id, s_reservedAddr* rec);
TAVREL_EXPORT void dhcpCompRemoveReservedAddr(s_dhcpCompConfig* cfg, const std::string& id, int slot);
TAVREL_EXPORT int getReservedAddressCompConfig(const std::string& id, s_dhcpCompConfig** cfg);

TAVREL_EXTERN_C_BEGIN

TAVREL_EXPORT void syncUpGatewayForAddrRanges(s_dhcpCompConfig* cfg, s_ipAddr* gateway);

// ---- Server leases (model/leases.cc) ----

// Rebuilds the lease lists when the server's lease file changed since the
// last look; what every reader of the lists does first.
TAVREL_EXPORT void dhcpCompRefreshLeaseInfo(void);
// Takes a lease object out of the lease list that owns it (the node stays,
// without object), before the object is deleted by someone else.
TAVREL_EXPORT void dhcpCompDisownLeaseObject(const void* object);

// ---- Pool occupancy (model/pools.cc) ----

// "<interface>:<start>-<end>": name, two address texts and two separators.
#define DHCP_POOL_ID_SIZE (DHCP_INTERFACE_NAME_SIZE + 2 * DHCP_IP_STRING_SIZE + 2)
// A LAN pool and one per range, for the customer LAN, its VLANs, the OAM LAN.
#define DHCP_MAX_POOLS ((DHCP_MAX_VLANS + 2) * (DHCP_MAX_ADDR_RANGES + 1))

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

// Fills out with up to max pools from the records and the lease lists as
// they stand; returns how many.
TAVREL_EXPORT int dhcpCompCollectPoolStatistics(s_poolStatistics* out, int max);

// ---- Foreign DHCP servers (foreign.cc) ----

#define DHCP_MAX_FOREIGN_SERVERS 64

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

// ---- Renewal of the customer LAN's address (router.cc) ----

// Renews the customer LAN's DHCP client address when the LAN is a DHCP
// client; nothing for a static LAN. Returns 0 once done. Called by the main
// loop and by libTavrel (under the lock the provider agent shares with the
// main loop).
TAVREL_EXPORT int dhcpcompRenewDynamicIPAddress(void);

TAVREL_EXTERN_C_END

// ---- Self-test (selftest.cc) ----

// One server's DHCPOFFER, its values as text (addresses dotted, lists
// joined by ","; options 128, 191 and 151 as text, dotted when they hold
// addresses, else in hexadecimal when not printable; empty when absent).
struct DhcpSelfTestOffer {
  std::string serverAddress;
  bool ownServer = false;  // the appliance's own address on that interface
  std::string offeredAddress;
  std::string subnetMask;
  std::string routers;
  std::string dnsServers;
  uint32_t leaseTime = 0;
  std::string option128;
  std::string option191;
  std::string option151;
};

// Runs the DHCP self-test on interfaceName (eth1, a VLAN of eth1 the
// records know, or eth2) with that vendor class and hardware address (empty:
// a random locally administered one): one DHCPDISCOVER, the offers of every
// server for 2 s, never a DHCPREQUEST. 0 with the offers in arrival order;
// DHCP_RC_NO_LAN (no such LAN, or it has no address), DHCP_RC_INVALID_MAC or
// an errno value with why set. Reads the records: call it under the agent's
// lock.
TAVREL_EXPORT int dhcpCompTestDhcpService(const std::string& interfaceName, const std::string& vendorClass,
                                          const std::string& macAddress,
                                          std::vector<DhcpSelfTestOffer>* offers, std::string* why);

// ---- Status (status.cc) ----

struct DhcpCompLanStatus {
  std::string interfaceName;
  std::string address;  // empty when the LAN has none
  std::string netmask;
  bool dhcpClient = false;  // addressed by a DHCP client (eth1 only)
};

// What the agent reports of itself for status displays: its version, the
// dhcpd it runs and since when, the addressing of each LAN and the last
// commit.
struct DhcpCompAgentStatus {
  std::string version;
  pid_t dhcpdPid = 0;                   // 0: no dhcpd runs
  time_t dhcpdStarted = 0;              // 0: unknown
  std::vector<DhcpCompLanStatus> lans;  // eth1, its VLANs, eth2
  time_t lastCommit = 0;                // 0: none since start-up
  std::string lastCommitFailure;        // empty: it succeeded
};

// The status now, from the records and /proc (take the agent's lock).
TAVREL_EXPORT DhcpCompAgentStatus dhcpCompAgentStatus(void);

#endif
