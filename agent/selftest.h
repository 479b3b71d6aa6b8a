// The DHCP self-test: what a client with a given vendor class gets on one
// of the appliance's LANs. One DHCPDISCOVER from a locally administered (or
// the given) hardware address, the offers of every server for 2 s, and never
// a DHCPREQUEST, so no address is bound. The test itself
// (dhcpCompTestDhcpService), which libTavrel calls, and its offers are
// declared in tavrel_agent_api.h; here are its packets.
#ifndef TAVREL_AGENT_SELFTEST_H
#define TAVREL_AGENT_SELFTEST_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tavrel_agent_api.h"

// The DHCPDISCOVER of the self-test: vendor class (option 60, none when
// empty) and a parameter request list naming every option reported.
std::vector<uint8_t> dhcpCompSelfTestDiscover(const uint8_t mac[6], uint32_t xid,
                                              const std::string& vendorClass);
// Reads a BOOTP/DHCP message holding a DHCPOFFER to mac for xid into offer;
// false for anything else, malformed or cut-off messages included. ownAddress
// decides ownServer.
bool dhcpCompReadSelfTestOffer(const uint8_t* dhcp, size_t length, const uint8_t mac[6], uint32_t xid,
                               uint32_t sender, uint32_t ownAddress, DhcpSelfTestOffer* offer);

#endif
