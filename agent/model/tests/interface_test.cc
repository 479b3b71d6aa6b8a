// Interface IP parameters that need no system files: network calculation,
// the router's vendor texts and the VLAN ids of the registry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "model/interface.h"
#include "model/records.h"
#include "model_test_support.h"

namespace {

class ModelInterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    model_test::setInterface(eth_, "192.168.1.10", "255.255.255.0");
  }
  s_ethIpConfig* eth_ = &CustomerLANIpConfig;
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
  s_ethIpConfig none = {};
  dhcpCompCalcIPNetwork(&none);
  EXPECT_EQ(0u, none.network.ipLong);
  EXPECT_EQ(254u, none.numHostAddrs);
}

TEST_F(ModelInterfaceTest, IpSetTextGivesCallServersAndVlans) {
  const std::string tooLong = "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:" + std::string(51, '1') + ".";
  const char* kNone = ":0,0,0;:0,0,0.";
  struct Case {
    std::string text;
    const char *servers, *vlans;
  } cases[] = {
      {"10.0.0.5:4100,1,3;10.0.0.6:5000,2,4.VLAN-A:none.", "10.0.0.5:4100,1,3;10.0.0.6:5000,2,4.", ""},
      // Only dotted quads stay; a text around the parts is skipped.
      {"0x0a.0.0.5:4100,1,3;10.6:4100,1,3. x VLAN-A:100,200.", "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.",
       "100,200"},
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:100,200,.", "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.",
       "100,200,"},
      // An address that does not convert leaves no text behind.
      {"evil;text:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:none.", nullptr, ""},
      // A malformed text clears every call-server field.
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.", kNone, ""},
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,3", kNone, ""},
      {"10.0.0.5:4100,1,3.VLAN-A:none.", kNone, ""},
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:1;2.", kNone, ""},
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:none", kNone, ""},
      {"", kNone, ""},
      {tooLong, kNone, ""},
      // Numbers as the setting data holds them: a standard port or another
      // of at most 9999, action and retry count 0-255; else the text is refused.
      {"10.0.0.5:9999,255,0;10.0.0.6:7300,0,255.VLAN-A:none.", "10.0.0.5:9999,255,0;10.0.0.6:7300,0,255.",
       ""},
      {"10.0.0.5:99999999,1,3;10.0.0.6:4100,1,3.VLAN-A:none.", kNone, ""},
      {"10.0.0.5:12345,1,3;10.0.0.6:4100,1,3.VLAN-A:none.", kNone, ""},
      {"10.0.0.5:4100,257,3;10.0.0.6:4100,1,3.VLAN-A:none.", kNone, ""},
      {"10.0.0.5:4100,1,3;10.0.0.6:4100,1,-5.VLAN-A:none.", kNone, ""},
      {"10.0.0.5:4100,1,3;10.0.0.6:+4100,1,3.VLAN-A:none.", kNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    dhcpCompParseIPSetVendorText(eth_, "10.0.0.7:4100,1,3;10.0.0.8:4100,1,3.VLAN-A:7.");
    dhcpCompParseIPSetVendorText(eth_, c.text.c_str());
    if (c.servers != nullptr) {
      EXPECT_EQ(c.servers, model_test::callServers(*eth_));
    }
    EXPECT_STREQ(c.vlans, eth_->vendorVlanIds);
  }
  EXPECT_EQ(0u, eth_->vendorS1Address.ipLong);
  EXPECT_STREQ("", eth_->vendorS1Address.ipString);
}

TEST_F(ModelInterfaceTest, DhcpTextGivesModeAndRangeInsideTheNetwork) {
  struct Case {
    const char *address, *mask, *text;
    uint32_t mode;
    const char *start, *end;  // before: .60-.70; "" cleared
  } cases[] = {
      {"192.168.1.10", "255.255.255.0", "2,100-200.", 2, "192.168.1.100", "192.168.1.200"},
      {"192.168.1.10", "255.255.0.0", "3,2.10-3.50.;trailer", 3, "192.168.2.10", "192.168.3.50"},
      // The longest addresses that fit their fields (19 characters) are read.
      {"192.168.1.10", "255.255.255.0", "2,0x0000064-0x00000c8.", 2, "192.168.1.100", "192.168.1.200"},
      // Mode only, or octet counts that do not match: the range stays.
      {"192.168.1.10", "255.255.255.0", "1.", 1, "192.168.1.60", "192.168.1.70"},
      {"192.168.1.10", "255.255.255.0", "2,1.100-200.", 2, "192.168.1.60", "192.168.1.70"},
      // Ranges that do not fit are cleared.
      {"192.168.1.150", "255.255.255.0", "2,100-200.", 2, "", ""},  // own address inside
      {"192.168.1.10", "255.255.255.0", "2,200-100.", 2, "", ""},
      {"192.168.1.10", "255.255.255.0", "2,100-300.", 2, "", ""},
      {"192.168.1.10", "255.255.255.0", "2,2.100-2.200.", 2, "", ""},  // another network
      {"192.168.1.10", "255.255.255.0", "2,100-20x.", 2, "", ""},
      {"192.168.1.10", "255.255.255.0", "x", 0, "", ""},
      {"192.168.1.10", "255.255.255.0", "x,100-200.", 0, "", ""},
      {"192.168.1.10", "255.255.255.0", "25,100-200.", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + " " + c.text);
    model_test::setInterface(eth_, c.address, c.mask);
    eth_->vendorRangeStart = model_test::address("192.168.1.60");
    eth_->vendorRangeEnd = model_test::address("192.168.1.70");
    dhcpCompParseDhcpVendorText(eth_, c.text);
    EXPECT_EQ(1, eth_->vendorInfoPresent);
    EXPECT_EQ(c.mode, eth_->vendorDhcpMode);
    EXPECT_STREQ(c.start, eth_->vendorRangeStart.ipString);
    EXPECT_STREQ(c.end, eth_->vendorRangeEnd.ipString);
    EXPECT_EQ(c.end[0] == '\0', eth_->vendorRangeEnd.ipLong == 0);
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
  setenv("TAVREL_PLATFORM_DIR", root.path().c_str(), 1);

  int list[DHCP_MAX_VLANS + 4] = {0};
  EXPECT_EQ(16, getNumberOfVlans(list, 16));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(101 + i, list[i]);
  EXPECT_EQ(0, list[16]);
  EXPECT_EQ(3, getNumberOfVlans(list, 3));

  model_test::writeFile(root.file("registry"), "if\\lan\\eth1\tdescription\tLAN\n");
  EXPECT_EQ(0, getNumberOfVlans(list, 16));
  unsetenv("TAVREL_PLATFORM_DIR");
}

}  // namespace
