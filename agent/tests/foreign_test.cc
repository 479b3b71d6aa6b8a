// The foreign-server probe's packets: the DHCPDISCOVER it sends, and which
// answers it takes as an offer, built from the probe's own packet.
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "foreign.h"
#include "model/records.h"
#include "tavrel_agent_api.h"
#include "test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

const uint8_t kMac[6] = {0x02, 0, 0, 0, 0, 1};
const uint32_t kXid = 0x01020304;
const size_t kDhcp = sizeof(struct iphdr) + sizeof(struct udphdr);
const size_t kOptions = kDhcp + 236 + 4;

// The answer of server 192.168.1.2 to the probe, of the given message type.
std::vector<uint8_t> answer(uint8_t type, bool withServerId = true) {
  std::vector<uint8_t> p = dhcpCompBuildDiscover(kMac, kXid);
  p[12] = 192, p[13] = 168, p[14] = 1, p[15] = 9;  // sender 192.168.1.9
  p[sizeof(struct iphdr) + 1] = 67;                // from port 67 ...
  p[sizeof(struct iphdr) + 3] = 68;                // ... to port 68
  p[kDhcp] = 2;                                    // BOOTREPLY
  std::vector<uint8_t> options = {53, 1, type};
  if (withServerId) options.insert(options.end(), {54, 4, 192, 168, 1, 2});
  options.push_back(255);
  std::copy(options.begin(), options.end(), p.begin() + kOptions);
  return p;
}

// A captured ARP table: the router on eth1, an incomplete entry, a host on a VLAN,
// and a broadcast hardware address.
std::string arpTable() {
  return tavrel::test::readFile(tavrel::test::sourceDir() + "/tests/data/dhcpd/proc-net-arp");
}

uint32_t server(const std::vector<uint8_t>& p, uint32_t xid = kXid) {
  return dhcpCompOfferingServer(p.data(), p.size(), kMac, xid);
}

TEST(ForeignServerProbe, OnlyOffersToTheProbeCount) {
  std::vector<uint8_t> discover = dhcpCompBuildDiscover(kMac, kXid);
  EXPECT_EQ(328u, discover.size()) << "IP, UDP and a 300-byte DHCP message";
  EXPECT_EQ(0u, server(discover)) << "the probe's own request";

  const uint32_t k192_168_1_2 = 0xC0A80102, k192_168_1_9 = 0xC0A80109;
  std::vector<uint8_t> otherMac = answer(2);
  otherMac[kDhcp + 28 + 5] = 7;
  std::vector<uint8_t> cut = answer(2);
  cut.resize(kDhcp + 100);
  struct {
    const char* what;
    std::vector<uint8_t> packet;
    uint32_t xid;
    uint32_t server;
  } cases[] = {
      {"an offer: its server identifier", answer(2), kXid, k192_168_1_2},
      {"an offer without server identifier: its sender", answer(2, false), kXid, k192_168_1_9},
      {"another transaction", answer(2), kXid + 1, 0},
      {"another client", otherMac, kXid, 0},
      {"an acknowledgement is no offer", answer(5), kXid, 0},
      {"cut inside the fixed part", cut, kXid, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.server, server(c.packet, c.xid));
  }
}

TEST(ForeignServerProbe, ReaderTakesEveryCutOfAnOffer) {
  std::vector<uint8_t> offer = answer(2);
  for (size_t n = 0; n <= offer.size(); ++n) LLVMFuzzerTestOneInput(offer.data(), n);
  std::string arp = arpTable();
  ASSERT_FALSE(arp.empty());
  for (size_t n = 0; n <= arp.size(); ++n)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(arp.data()), n);
}

const uint32_t kRouter = 0xC0A801FE, kOwn = 0xC0A80101;

DhcpOffer offer(uint32_t server, const char* mac, const char* interfaceName = "eth1") {
  DhcpOffer o;
  o.interfaceName = interfaceName;
  o.server = server;
  snprintf(o.mac, sizeof(o.mac), "%s", mac);
  return o;
}

TEST(ForeignServerProbe, RouterHardwareAddressFromTheArpTable) {
  std::string arp = arpTable();
  char mac[DHCP_MAC_ADDR_SIZE] = "";
  EXPECT_EQ(1, dhcpCompArpHardwareAddress(arp.c_str(), "eth1", kRouter, mac));
  EXPECT_STREQ("52:54:00:12:34:56", mac);
  // An incomplete entry, another interface's entry, no entry, a broadcast address.
  for (auto c : {std::make_pair("eth1", 0xC0A80102u), std::make_pair("eth1.100", kRouter),
                 std::make_pair("eth1", 0xC0A80103u), std::make_pair("eth1", 0xC0A80109u)})
    EXPECT_EQ(0, dhcpCompArpHardwareAddress(arp.c_str(), c.first, c.second, mac)) << c.first;
}

// The router's or the appliance's identifier from another hardware address
// is foreign; one sender's many identities count four times.
TEST(ForeignServerProbe, IdentitiesNeedTheirHardwareAddress) {
  const std::vector<DhcpServerIdentity> known = {{"eth1", kOwn, "02:00:00:00:00:01"},
                                                 {"eth1", kRouter, "52:54:00:12:34:56"}};
  std::vector<DhcpOffer> offers = {offer(kOwn, "02:00:00:00:00:01"),
                                   offer(kRouter, "52:54:00:12:34:56"),
                                   offer(kRouter, "52:54:00:12:34:56", "eth1.100"),
                                   offer(kRouter, "0A:00:00:00:00:09"),
                                   offer(kOwn, "0A:00:00:00:00:09"),
                                   offer(kOwn, "0A:00:00:00:00:09")};
  for (uint32_t fake = 1; fake <= 80; ++fake) offers.push_back(offer(0x0A000000 + fake, "0A:00:00:00:00:0A"));
  offers.push_back(offer(0xC0A80102, "0A:00:00:00:00:0B"));
  size_t dropped = 0;
  std::vector<DhcpOffer> foreign = dhcpCompSelectForeignOffers(offers, known, &dropped);
  std::vector<std::string> taken;
  for (const DhcpOffer& o : foreign)
    taken.push_back(o.interfaceName + " " + std::to_string(o.server & 0xff) + " " + o.mac);
  EXPECT_EQ(taken, (std::vector<std::string>{"eth1.100 254 52:54:00:12:34:56", "eth1 254 0A:00:00:00:00:09",
                                             "eth1 1 0A:00:00:00:00:09", "eth1 1 0A:00:00:00:00:0A",
                                             "eth1 2 0A:00:00:00:00:0A", "eth1 3 0A:00:00:00:00:0A",
                                             "eth1 4 0A:00:00:00:00:0A", "eth1 2 0A:00:00:00:00:0B"}));
  EXPECT_EQ(76u, dropped);

  // Eighty senders of one identity each: eight new servers per probe, and
  // the real server of the next probe is still taken.
  std::vector<DhcpProbeTarget> targets(1);
  targets[0].interfaceName = "eth1";
  std::vector<DhcpOffer> flood;
  char mac[DHCP_MAC_ADDR_SIZE];
  for (int fake = 1; fake <= 80; ++fake) {
    snprintf(mac, sizeof(mac), "0A:00:00:00:01:%02X", fake);
    flood.push_back(offer(0x0A000100 + static_cast<uint32_t>(fake), mac));
  }
  dhcpCompRecordForeignServers(targets, flood, 0);
  s_foreignServer table[DHCP_MAX_FOREIGN_SERVERS];
  EXPECT_EQ(8, dhcpCompCollectForeignServers(table, DHCP_MAX_FOREIGN_SERVERS));
  dhcpCompRecordForeignServers(targets, {offer(0xC0A80102, "0A:00:00:00:00:0B")}, 72);
  EXPECT_EQ(9, dhcpCompCollectForeignServers(table, DHCP_MAX_FOREIGN_SERVERS));
  for (int probe = 0; probe < 3; ++probe) dhcpCompRecordForeignServers(targets, {}, 0);
  EXPECT_EQ(0, dhcpCompCollectForeignServers(table, DHCP_MAX_FOREIGN_SERVERS));
}

}  // namespace
