#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"

namespace {

TEST(NetkeelAddress, ValidAddressesAreUnicastOutsideLoopback) {
  for (const char* text :
       {"10.0.0.0", "223.255.255.255", "1.0.0.0", "192.168.1.1", "126.1.1.1", "128.0.0.1", "10.1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 1);
  }
  for (const char* text : {"127.0.0.1", "127.255.255.254", "0.1.2.3", "0.0.0.0", "224.0.0.1",
                           "255.255.255.255", "240.0.0.1", "", "eth1", "1.2.3.4.5", "256.1.1.1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 0);
  }
  EXPECT_EQ(NetkeelIsValidIpAddress(nullptr), 0);
}

TEST(NetkeelAddress, NetmaskMustBeContiguousAndGivesItsPrefix) {
  const struct {
    const char* text;
    int valid;
    uint32_t prefix;
  } cases[] = {
      {"255.255.255.0", 1, 24}, {"0.0.0.0", 1, 0},       {"255.255.255.255", 1, 32},
      {"255.255.254.0", 1, 23}, {"128.0.0.0", 1, 1},     {"255.255.255.254", 1, 31},
      {"255.0.255.0", 0, 8},    {"0.255.255.255", 0, 0}, {"255.255.255.1", 0, 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t prefix = 99;
    EXPECT_EQ(NetkeelIsValidIpNetmask(c.text, &prefix), c.valid);
    EXPECT_EQ(prefix, c.prefix);
  }
  uint32_t untouched = 99;
  EXPECT_EQ(NetkeelIsValidIpNetmask("255.255.x.0", &untouched), 0);
  EXPECT_EQ(untouched, 99u);
  EXPECT_EQ(NetkeelIsValidIpNetmask(nullptr, &untouched), 0);
  EXPECT_EQ(untouched, 99u);
}

TEST(NetkeelAddress, SubnetAddressIsAddressAndMask) {
  char subnet[NETKEEL_IP_TEXT_SIZE] = "unchanged";
  EXPECT_EQ(NetkeelGetSubnetAddress("192.168.1.77", "255.255.255.0", subnet), 1);
  EXPECT_STREQ(subnet, "192.168.1.0");
  EXPECT_EQ(NetkeelGetSubnetAddress("255.255.255.255", "255.255.255.255", subnet), 1);
  EXPECT_STREQ(subnet, "255.255.255.255");
  EXPECT_EQ(NetkeelGetSubnetAddress("10.20.30.40", "255.0.255.0", subnet), 1);
  EXPECT_STREQ(subnet, "10.0.30.0");

  char untouched[NETKEEL_IP_TEXT_SIZE] = "unchanged";
  EXPECT_EQ(NetkeelGetSubnetAddress("192.168.1.x", "255.255.255.0", untouched), 0);
  EXPECT_EQ(NetkeelGetSubnetAddress("192.168.1.1", "mask", untouched), 0);
  EXPECT_STREQ(untouched, "unchanged");
}

TEST(NetkeelAddress, HostAddressNeedsAHostPartNeitherZeroNorAllOnes) {
  const struct {
    const char* address;
    const char* mask;
    int valid;
  } cases[] = {
      {"192.168.1.1", "255.255.255.0", 1},
      {"192.168.1.254", "255.255.255.0", 1},
      {"192.168.1.0", "255.255.255.0", 0},
      {"192.168.1.255", "255.255.255.0", 0},
      {"192.168.1.1", "255.255.255.255", 0},
      {"192.168.1.0", "255.255.255.254", 0},
      {"192.168.1.1", "255.255.255.254", 0},
      {"10.0.1.0", "255.255.0.0", 1},
      {"x", "255.255.255.0", 0},
      {"192.168.1.1", "x", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + "/" + c.mask);
    EXPECT_EQ(NetkeelIsHostAddressValid(c.address, c.mask), c.valid);
  }
}

}  // namespace
