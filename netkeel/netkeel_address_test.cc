#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"

namespace {

TEST(NetkeelAddress, ValidAddressesAreUnicastOutsideLoopback) {
  for (const char* text : {"1.0.0.0", "223.255.255.255", "126.1.1.1", "128.0.0.1", "10.1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 1);
  }
  for (const char* text : {"127.0.0.1", "127.255.255.254", "0.1.2.3", "224.0.0.1", "255.255.255.255", "",
                           "eth1", "1.2.3.4.5", "256.1.1.1", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(text != nullptr ? text : "null");
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 0);
  }
}

TEST(NetkeelAddress, NetmaskMustBeContiguousAndGivesItsPrefix) {
  const struct {
    const char* text;
    int valid;
    uint32_t prefix;  // 99: not written
  } cases[] = {
      {"255.255.255.0", 1, 24}, {"0.0.0.0", 1, 0},      {"255.255.255.255", 1, 32},
      {"128.0.0.0", 1, 1},      {"255.0.255.0", 0, 8},  {"0.255.255.255", 0, 0},
      {"255.255.255.1", 0, 24}, {"255.255.x.0", 0, 99}, {nullptr, 0, 99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text != nullptr ? c.text : "null");
    uint32_t prefix = 99;
    EXPECT_EQ(NetkeelIsValidIpNetmask(c.text, &prefix), c.valid);
    EXPECT_EQ(prefix, c.prefix);
  }
}

TEST(NetkeelAddress, SubnetAndHostPart) {
  const struct {
    const char* address;
    const char* mask;
    int subnetResult;
    const char* subnet;
    int hostValid;
  } cases[] = {
      {"192.168.1.77", "255.255.255.0", 1, "192.168.1.0", 1},
      {"10.20.30.40", "255.0.255.0", 1, "10.0.30.0", 1},
      {"255.255.255.255", "255.255.255.255", 1, "255.255.255.255", 0},
      {"192.168.1.0", "255.255.255.0", 1, "192.168.1.0", 0},
      {"192.168.1.255", "255.255.255.0", 1, "192.168.1.0", 0},
      {"192.168.1.1", "255.255.255.254", 1, "192.168.1.0", 0},
      {"192.168.1.0", "255.255.255.254", 1, "192.168.1.0", 0},
      {"10.0.1.0", "255.255.0.0", 1, "10.0.0.0", 1},
      {"192.168.1.x", "255.255.255.0", 0, "unchanged", 0},
      {"192.168.1.1", "mask", 0, "unchanged", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + "/" + c.mask);
    char subnet[NETKEEL_IP_TEXT_SIZE] = "unchanged";
    EXPECT_EQ(NetkeelGetSubnetAddress(c.address, c.mask, subnet), c.subnetResult);
    EXPECT_STREQ(subnet, c.subnet);
    EXPECT_EQ(NetkeelIsHostAddressValid(c.address, c.mask), c.hostValid);
  }
}

}  // namespace
