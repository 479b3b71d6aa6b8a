// The foreign-server probe's packets: the DHCPDISCOVER it sends, and which
// answers it takes as an offer, built from the probe's own packet.
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <netinet/udp.h>

#include <vector>

#include "dhcpcompforeign.h"

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
}

}  // namespace
