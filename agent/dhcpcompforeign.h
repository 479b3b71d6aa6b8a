// Probing the customer LAN and its VLANs for foreign DHCP servers, and the
// thread that probes periodically.
#ifndef TAVREL_AGENT_DHCPCOMPFOREIGN_H
#define TAVREL_AGENT_DHCPCOMPFOREIGN_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "dhcpcomp.h"

// An interface to probe and the server addresses that are not foreign there
// (its own address, the server of the customer LAN's lease, the router).
struct DhcpProbeTarget {
  std::string interfaceName;
  std::vector<uint32_t> ignored;
};

// A DHCPOFFER of a foreign server.
struct DhcpOffer {
  std::string interfaceName;
  uint32_t server = 0;
  char mac[DHCP_MAC_ADDR_SIZE] = {0};
};

// The BOOTP/DHCP message of a DHCPDISCOVER from hardware address mac with
// transaction id xid that asks for a broadcast answer; with vendorClass (may
// be null) as its vendor class identifier.
std::vector<uint8_t> dhcpCompDiscoverMessage(const uint8_t mac[6], uint32_t xid,
                                             const char* vendorClass = nullptr);
// That DHCPDISCOVER in an IPv4/UDP datagram from 0.0.0.0:68 to
// 255.255.255.255:67.
std::vector<uint8_t> dhcpCompBuildDiscover(const uint8_t mac[6], uint32_t xid,
                                           const char* vendorClass = nullptr);
// The server identifier (else sender) of a BOOTP/DHCP message holding a
// DHCPOFFER to mac for transaction xid; 0 for anything else, malformed or
// cut-off messages included.
uint32_t dhcpCompOfferedServer(const uint8_t* dhcp, size_t length, const uint8_t mac[6], uint32_t xid,
                               uint32_t sender);
// The server identifier (else the sender's address) of an IPv4/UDP datagram
// holding a DHCPOFFER to mac for transaction xid; 0 for anything else,
// malformed or cut-off datagrams included.
uint32_t dhcpCompOfferingServer(const uint8_t* packet, size_t length, const uint8_t mac[6], uint32_t xid);

// The interfaces to probe, from the records (take the agent's lock).
std::vector<DhcpProbeTarget> dhcpCompForeignServerProbeTargets(void);
// Broadcasts one DHCPDISCOVER on each target and collects for waitMs the
// offers of servers that are not ignored. Takes no lock and sends no
// DHCPREQUEST. With vendorClass (may be null) the DHCPDISCOVER poses as that
// telephone (the agent's own liveness probe).
std::vector<DhcpOffer> dhcpCompProbeForeignServers(const std::vector<DhcpProbeTarget>& targets, int waitMs,
                                                   const char* vendorClass = nullptr);
// Records a probe's offers: a new server raises alarm 60012, one that missed
// three probes of its interface is dropped with alarm 60013 (take the lock).
void dhcpCompRecordForeignServers(const std::vector<DhcpProbeTarget>& targets,
                                  const std::vector<DhcpOffer>& offers);

// Runs a function under the agent's lock.
typedef std::function<void(const std::function<void()>&)> DhcpCompLocked;

// Probes now and then every intervalSeconds on a thread of its own; 0, or
// the error number.
int dhcpCompStartForeignServerProbes(unsigned intervalSeconds, DhcpCompLocked locked);
// Asks for a probe now (after the addresses changed).
void dhcpCompRequestForeignServerProbe(void);
void dhcpCompStopForeignServerProbes(void);

#endif
