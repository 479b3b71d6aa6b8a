#include <errno.h>

#include <string>
#include <vector>

#include "platform_test_fixture.h"
#include "vornapi.h"

namespace {

std::vector<std::pair<unsigned, unsigned long>> g_packets;

// Records packet type (bytes 0-1) and request code (bytes 6-9), big-endian.
int recordPacket(sEmsPacket* packet) {
  const unsigned char* b = packet->bytes;
  g_packets.emplace_back((b[0] << 8) | b[1],
                         (static_cast<unsigned long>(b[6]) << 24) | (b[7] << 16) | (b[8] << 8) | b[9]);
  return 0;
}

class VornapiTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    g_packets.clear();
  }
  void TearDown() override {
    EmsConnectionClose();
    PlatformTest::TearDown();
  }
};

TEST_F(VornapiTest, RecordsAnnouncementAndAnswersIt) {
  ASSERT_EQ(EmsConnectionOpen(0, recordPacket), 0);
  EXPECT_EQ(EmsConnectionOpen(0, recordPacket), EALREADY);
  EXPECT_EQ(EmsIpAddressChange(1, 1, 2), 0);
  EXPECT_EQ(EmsConnectionClose(), 0);
  EXPECT_EQ(readLines("ems.events"),
            (std::vector<std::string>{"EmsConnectionOpen\t0", "EmsIpAddressChange\t1\t1\t2",
                                      "EmsConnectionClose"}));
  ASSERT_EQ(g_packets.size(), 1u);
  EXPECT_EQ(g_packets[0].first, 1u) << "response";
  EXPECT_EQ(g_packets[0].second, 1ul) << "IP-change request";
}

TEST_F(VornapiTest, NothingIsAnnouncedWithoutConnection) {
  EXPECT_EQ(EmsIpAddressChange(1, 1, 2), ENOTCONN);
  EXPECT_EQ(EmsConnectionClose(), ENOTCONN);
  EXPECT_EQ(readFile("ems.events"), "");

  setenv("TAVREL_PLATFORM_DIR", path("missing").c_str(), 1);
  EXPECT_EQ(EmsConnectionOpen(0, recordPacket), EIO);
  EXPECT_EQ(EmsIpAddressChange(1, 1, 2), ENOTCONN);
  EXPECT_TRUE(g_packets.empty());
}

}  // namespace
