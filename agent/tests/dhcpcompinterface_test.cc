// Interface IP parameters that need no system files: network calculation,
// the router's vendor texts and the VLAN ids of the registry.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "dhcpcomp.h"
#include "model_test_support.h"

namespace {

class ModelInterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    eth_ = &CustomerLANIpConfig;
    model_test::setInterface(eth_, "192.168.1.10", "255.255.255.0");
  }
  s_ethIpConfig* eth_ = nullptr;
};

TEST_F(ModelInterfaceTest, NetworkAndHostCountFromTheMasksLastOctet) {
  struct Case {
    const char* mask;
    const char* network;
    uint32_t hosts;
  } cases[] = {
      {"255.255.255.192", "192.168.1.0", 62}, {"255.255.255.128", "192.168.1.0", 126},
      {"255.255.255.252", "192.168.1.8", 2},  {"255.255.255.254", "192.168.1.10", 0},
      {"255.255.255.255", "192.168.1.10", 0}, {"255.255.0.0", "192.168.0.0", 254},
      {"255.255.255.0", "192.168.1.0", 254},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    model_test::setInterface(eth_, "192.168.1.10", c.mask);
    EXPECT_STREQ(c.network, eth_->network.ipString);
    EXPECT_EQ(c.hosts, eth_->numHostAddrs);
  }
  s_ethIpConfig none;
  memset(&none, 0, sizeof(none));
  dhcpCompCalcIPNetwork(&none);
  EXPECT_EQ(0u, none.network.ipLong);
  EXPECT_EQ(254u, none.numHostAddrs);
}

TEST_F(ModelInterfaceTest, IpSetTextGivesCallServersAndVlans) {
  dhcpCompParseIPSetVendorText(eth_, "10.0.0.5:4100,1,3;10.0.0.6:5000,2,4.VLAN-A:none.");
  EXPECT_STREQ("10.0.0.5", eth_->vendorS1Address.ipString);
  EXPECT_EQ(4100u, eth_->vendorS1PortNumber);
  EXPECT_EQ(1, eth_->vendorS1Action);
  EXPECT_EQ(3, eth_->vendorS1RetryCount);
  EXPECT_STREQ("10.0.0.6", eth_->vendorS2Address.ipString);
  EXPECT_EQ(5000u, eth_->vendorS2PortNumber);
  EXPECT_EQ(2, eth_->vendorS2Action);
  EXPECT_EQ(4, eth_->vendorS2RetryCount);
  EXPECT_STREQ("", eth_->vendorVlanIds);

  dhcpCompParseIPSetVendorText(eth_, "0x0a.0.0.5:4100,1,3;10.6:4100,1,3. x VLAN-A:100,200.");
  EXPECT_STREQ("10.0.0.5", eth_->vendorS1Address.ipString);  // only dotted quads stay
  EXPECT_STREQ("10.0.0.6", eth_->vendorS2Address.ipString);
  EXPECT_STREQ("100,200", eth_->vendorVlanIds);

  // An address that does not convert leaves no text behind.
  dhcpCompParseIPSetVendorText(eth_, "evil;text:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:none.");
  EXPECT_EQ(0u, eth_->vendorS1Address.ipLong);
  EXPECT_STREQ("", eth_->vendorS1Address.ipString);
}

TEST_F(ModelInterfaceTest, MalformedIpSetTextClearsAllCallServerFields) {
  const std::string fiftyOne(51, '1');
  const char* malformed[] = {
      "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.",
      "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3",
      "10.0.0.5:4100,1,3.VLAN-A:none.",
      "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:1;2.",
      "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:none",
      "",
  };
  std::string tooLong = "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:" + fiftyOne + ".";
  std::vector<std::string> texts(std::begin(malformed), std::end(malformed));
  texts.push_back(tooLong);
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    dhcpCompParseIPSetVendorText(eth_, "10.0.0.7:4100,1,3;10.0.0.8:4100,1,3.VLAN-A:7.");
    ASSERT_STREQ("7", eth_->vendorVlanIds);
    dhcpCompParseIPSetVendorText(eth_, text.c_str());
    EXPECT_EQ(0u, eth_->vendorS1Address.ipLong);
    EXPECT_EQ(0u, eth_->vendorS2Address.ipLong);
    EXPECT_EQ(0u, eth_->vendorS1PortNumber + eth_->vendorS2PortNumber);
    EXPECT_EQ(0, eth_->vendorS1Action + eth_->vendorS2Action);
    EXPECT_EQ(0, eth_->vendorS1RetryCount + eth_->vendorS2RetryCount);
    EXPECT_STREQ("", eth_->vendorVlanIds);
  }
}

TEST_F(ModelInterfaceTest, DhcpTextGivesModeAndRangeInsideTheNetwork) {
  dhcpCompParseDhcpVendorText(eth_, "2,100-200.");
  EXPECT_EQ(1, eth_->vendorInfoPresent);
  EXPECT_EQ(2u, eth_->vendorDhcpMode);
  EXPECT_STREQ("192.168.1.100", eth_->vendorRangeStart.ipString);
  EXPECT_STREQ("192.168.1.200", eth_->vendorRangeEnd.ipString);

  model_test::setInterface(eth_, "192.168.1.10", "255.255.0.0");
  dhcpCompParseDhcpVendorText(eth_, "3,2.10-3.50.;trailer");
  EXPECT_EQ(3u, eth_->vendorDhcpMode);
  EXPECT_STREQ("192.168.2.10", eth_->vendorRangeStart.ipString);
  EXPECT_STREQ("192.168.3.50", eth_->vendorRangeEnd.ipString);

  // Mode only: the range stays as it was.
  dhcpCompParseDhcpVendorText(eth_, "1.");
  EXPECT_EQ(1u, eth_->vendorDhcpMode);
  EXPECT_STREQ("192.168.2.10", eth_->vendorRangeStart.ipString);
  // Octet counts that do not match: the range stays too.
  dhcpCompParseDhcpVendorText(eth_, "2,1.100-200.");
  EXPECT_EQ(2u, eth_->vendorDhcpMode);
  EXPECT_STREQ("192.168.3.50", eth_->vendorRangeEnd.ipString);
}

TEST_F(ModelInterfaceTest, DhcpTextRangesThatDoNotFitAreCleared) {
  struct Case {
    const char* address;
    const char* text;
    uint32_t mode;
  } cases[] = {
      {"192.168.1.150", "2,100-200.", 2},     // own address inside
      {"192.168.1.10", "2,200-100.", 2},      // start above end
      {"192.168.1.10", "2,100-300.", 2},      // end is no address
      {"192.168.1.10", "2,2.100-2.200.", 2},  // another network
      {"192.168.1.10", "2,100-20x.", 2},     {"192.168.1.10", "x", 0},
      {"192.168.1.10", "x,100-200.", 0},     {"192.168.1.10", "25,100-200.", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.text);
    model_test::setInterface(eth_, c.address, "255.255.255.0");
    eth_->vendorRangeStart = model_test::address("192.168.1.60");
    eth_->vendorRangeEnd = model_test::address("192.168.1.70");
    dhcpCompParseDhcpVendorText(eth_, c.text);
    EXPECT_EQ(1, eth_->vendorInfoPresent);
    EXPECT_EQ(c.mode, eth_->vendorDhcpMode);
    EXPECT_EQ(0u, eth_->vendorRangeStart.ipLong);
    EXPECT_EQ(0u, eth_->vendorRangeEnd.ipLong);
    EXPECT_STREQ("", eth_->vendorRangeEnd.ipString);
  }
  dhcpCompParseDhcpVendorText(eth_, "");
  EXPECT_EQ(0, eth_->vendorInfoPresent);
}

TEST(ModelVlanRegistryTest, CountsVlanIdsInRegistryOrderUpToMax) {
  model_test::TempDir root;
  std::string registry;
  for (int i = 1; i <= 20; ++i)
    registry += "if\\vlan\\eth1." + std::to_string(100 + i) + "\tvlanid\t" + std::to_string(100 + i) + "\n";
  registry = "if\\vlan\\eth1.99\tdescription\tno id\n" + registry + "if\\lan\\eth2\tvlanid\t5\n";
  model_test::writeFile(root.file("registry"), registry);
  const char* previous = getenv("TAVREL_PLATFORM_DIR");
  std::string saved = previous != nullptr ? previous : "";
  setenv("TAVREL_PLATFORM_DIR", root.path().c_str(), 1);

  int list[DHCP_MAX_VLANS + 4] = {0};
  EXPECT_EQ(16, getNumberOfVlans(list, 16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(101 + i, list[i]);
  EXPECT_EQ(0, list[16]);
  EXPECT_EQ(3, getNumberOfVlans(list, 3));

  model_test::writeFile(root.file("registry"), "if\\lan\\eth1\tdescription\tLAN\n");
  EXPECT_EQ(0, getNumberOfVlans(list, 16));

  if (previous != nullptr)
    setenv("TAVREL_PLATFORM_DIR", saved.c_str(), 1);
  else
    unsetenv("TAVREL_PLATFORM_DIR");
}

}  // namespace
