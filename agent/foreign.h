// Probing the customer LAN and its VLANs for foreign DHCP servers, and the
// thread that probes periodically. The list libTavrel reads
// (dhcpCompCollectForeignServers) is declared in tavrel_agent_api.h.
#ifndef TAVREL_AGENT_FOREIGN_H
#define TAVREL_AGENT_FOREIGN_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "model/records.h"

#define DHCP_FOREIGN_SERVER_PROBE_SECONDS 300

// An interface to probe, its own address, and the addresses by which the
// server of the customer LAN's lease and the integrated router are known.
struct DhcpProbeTarget {
  std::string interfaceName;
  uint32_t ownAddress = 0;
  std::vector<uint32_t> routerAddresses;
};

// A DHCPOFFER: the interface it came in on, the server identifier and the
// sender's hardware address ("0A:0B:0C:0D:0E:0F").
struct DhcpOffer {
  std::string interfaceName;
  uint32_t server = 0;
  char mac[DHCP_MAC_ADDR_SIZE] = {0};
};

// A server of the appliance: an offer is its own, or the router's, only when
// server identifier and hardware address both match one of these.
struct DhcpServerIdentity {
  std::string interfaceName;
  uint32_t address = 0;
  std::string mac;
};

// The hardware address of the complete entry for address on interfaceName in
// the text of /proc/net/arp ("IP address  HW type  Flags  HW address  Mask
// Device" lines), upper case into mac (DHCP_MAC_ADDR_SIZE bytes). 1 when
// found, else 0.
int dhcpCompArpHardwareAddress(const char* text, const std::string& interfaceName, uint32_t address,
                               char* mac);

// The offers that are foreign: not of a known identity, at most four server
// identifiers per sender hardware address (the first ones) and each pair
// once. *dropped grows by the number of identities left out.
std::vector<DhcpOffer> dhcpCompSelectForeignOffers(const std::vector<DhcpOffer>& offers,
                                                   const std::vector<DhcpServerIdentity>& known,
                                                   size_t* dropped);

// The BOOTP/DHCP message of a DHCPDISCOVER from hardware address mac with
// transaction id xid that asks for a broadcast answer; with vendorClass (may
// be null) as its vendor class identifier.
std::vector<uint8_t> dhcpCompDiscoverMessage(const uint8_t mac[6], uint32_t xid,
                                             const char* vendorClass = nullptr);
// That DHCPDISCOVER in an IPv4/UDP datagram from 0.0.0.0:68 to
// 255.255.255.255:67.
std::vector<uint8_t> dhcpCompBuildDiscover(const uint8_t mac[6], uint32_t xid,
                                           const char* vendorClass = nullptr);
// A BOOTP/DHCP message in an IPv4/UDP datagram from 0.0.0.0:68 to
// 255.255.255.255:67.
std::vector<uint8_t> dhcpCompBroadcastDatagram(const std::vector<uint8_t>& dhcp);
// The BOOTP/DHCP message of an IPv4/UDP datagram to the client port (68):
// its start, its length in *dhcpLength and the sender in *sender; null for
// anything else, malformed or cut-off datagrams included.
const uint8_t* dhcpCompClientPayload(const uint8_t* packet, size_t length, size_t* dhcpLength,
                                     uint32_t* sender);
// Broadcasts the datagram on the interface and returns the non-blocking
// packet socket the answers arrive on, the host's own outgoing frames
// included (network-layer payloads of every protocol; close it), or -1 with
// errno set.
int dhcpCompOpenDhcpProbe(const std::string& interfaceName, const std::vector<uint8_t>& datagram);
// Calls each(code, value, size) for every option of a BOOTP/DHCP message of
// at least its fixed part and magic cookie, up to the end option; pad options
// are skipped, and an option cut off by the end of the message ends the walk.
void dhcpCompForEachOption(const uint8_t* dhcp, size_t length,
                           const std::function<void(uint8_t, const uint8_t*, uint8_t)>& each);
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
// offers of foreign servers (dhcpCompSelectForeignOffers against the
// interfaces' own hardware addresses and the ARP entries of the router's
// addresses); *dropped counts the offers left out. Takes no lock and sends
// no DHCPREQUEST. With vendorClass (may be null) the DHCPDISCOVER poses as
// that telephone (the agent's own liveness probe).
std::vector<DhcpOffer> dhcpCompProbeForeignServers(const std::vector<DhcpProbeTarget>& targets, int waitMs,
                                                   size_t* dropped, const char* vendorClass = nullptr);
// Records a probe's offers (take the lock): at most eight new servers per
// probe, each raising alarm 60012; a server that missed three probes of its
// interface is dropped with alarm 60013, at most eight such alarms per
// probe. Offers left out (dropped from the probe, beyond eight, or with the
// table full) and alarms held back raise one summary alarm each.
void dhcpCompRecordForeignServers(const std::vector<DhcpProbeTarget>& targets,
                                  const std::vector<DhcpOffer>& offers, size_t dropped = 0);

// Runs a function under the agent's lock.
typedef std::function<void(const std::function<void()>&)> DhcpCompLocked;

// Probes now and then every intervalSeconds on a thread of its own; 0, or
// the error number.
int dhcpCompStartForeignServerProbes(unsigned intervalSeconds, DhcpCompLocked locked);
// Asks for a probe now (after the addresses changed).
void dhcpCompRequestForeignServerProbe(void);
void dhcpCompStopForeignServerProbes(void);

#endif
