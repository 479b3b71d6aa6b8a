// The DHCP self-test: what a client with a given vendor class gets on one
// of the appliance's LANs. One DHCPDISCOVER from a locally administered (or
// the given) hardware address, the offers of every server for 2 s, and never
// a DHCPREQUEST, so no address is bound.
#ifndef TAVREL_AGENT_DHCPCOMPSELFTEST_H
#define TAVREL_AGENT_DHCPCOMPSELFTEST_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tavrel_export.h"

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

// The DHCPDISCOVER of the self-test: vendor class (option 60, none when
// empty) and a parameter request list naming every option reported.
std::vector<uint8_t> dhcpCompSelfTestDiscover(const uint8_t mac[6], uint32_t xid,
                                              const std::string& vendorClass);
// Reads a BOOTP/DHCP message holding a DHCPOFFER to mac for xid into offer;
// false for anything else, malformed or cut-off messages included. ownAddress
// decides ownServer.
bool dhcpCompReadSelfTestOffer(const uint8_t* dhcp, size_t length, const uint8_t mac[6], uint32_t xid,
                               uint32_t sender, uint32_t ownAddress, DhcpSelfTestOffer* offer);

// Runs the self-test on interfaceName (eth1, a VLAN of eth1 the records
// know, or eth2) with that vendor class and hardware address (empty: a
// random locally administered one). 0 with the offers in arrival order;
// DHCP_RC_NO_LAN (no such LAN, or it has no
// address), DHCP_RC_INVALID_MAC or an errno value with why
// set. Reads the records: call it under the agent's lock.
TAVREL_EXPORT int dhcpCompTestDhcpService(const std::string& interfaceName, const std::string& vendorClass,
                                          const std::string& macAddress,
                                          std::vector<DhcpSelfTestOffer>* offers, std::string* why);

#endif
