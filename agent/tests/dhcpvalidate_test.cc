// The one check of each kind of value, with the cases where the CIM setters,
// the file reader, the generator and the lease readers used to disagree.
#include "dhcpvalidate.h"

#include <gtest/gtest.h>

#include <string>

#include "dhcpcomp.h"

namespace {

TEST(ValidateTest, TextRules) {
  struct Case {
    int (*check)(const char*);
    const char* text;
    int valid;
  };
  const Case cases[] = {
      {dhcpUtilIsValidHostName, "", 1},  // named "Device<id>" by the agent
      {dhcpUtilIsValidHostName, "desk-phone_2.lab", 1},
      {dhcpUtilIsValidHostName, "9lives", 1},
      {dhcpUtilIsValidHostName, "-desk", 0},  // was stored, then renamed in dhcpd.conf
      {dhcpUtilIsValidHostName, "_desk", 0},
      {dhcpUtilIsValidHostName, "desk.", 0},
      {dhcpUtilIsValidHostName, "a..b", 0},
      {dhcpUtilIsValidHostName, "two words", 0},
      {dhcpUtilIsValidHostName, "a;b", 0},
      {dhcpUtilIsValidHostName, "caf\xc3\xa9", 0},
      {dhcpUtilIsValidDomainName, "", 1},
      {dhcpUtilIsValidDomainName, "lab-1.example.", 1},
      {dhcpUtilIsValidDomainName, "lab_1", 0},  // was served by the generator and taken from leases
      {dhcpUtilIsValidDomainName, "a b", 0},
      {dhcpUtilIsValidDomainName, "a\"b", 0},
      {dhcpUtilIsValidDescription, "", 1},
      {dhcpUtilIsValidDescription, "front desk (2nd floor)", 1},
      {dhcpUtilIsValidDescription, "a,b", 0},
      {dhcpUtilIsValidDescription, "tab\there", 0},
      {dhcpUtilIsValidDescription, "del\x7f", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.valid, c.check(c.text));
  }
}

TEST(ValidateTest, VlanListsAndHardwareAddresses) {
  struct Case {
    const char* text;
    int rc;
  };
  const Case vlanCases[] = {
      {"", DHCP_RC_OK},
      {"1,2,3", DHCP_RC_OK},
      {"0,4095", DHCP_RC_OK},
      {"1,2,3,4,5,6,7,8,9,10", DHCP_RC_OK},
      {"1,2,3,4,5,6,7,8,9,10,11", DHCP_RC_INVALID_VLAN_IDS},
      {"4096", DHCP_RC_INVALID_VLAN_IDS},
      {"1,,2", DHCP_RC_INVALID_VLAN_IDS},
      {"1;2", DHCP_RC_INVALID_VLAN_IDS},
      {"1,", DHCP_RC_INVALID_VLAN_IDS},
      {"01", DHCP_RC_INVALID_VLAN_IDS},
      {"100000", DHCP_RC_INVALID_VLAN_IDS},
  };
  for (const Case& c : vlanCases) {
    SCOPED_TRACE(c.text);
    std::string list = c.text;
    EXPECT_EQ(c.rc, dhcpCompVerifyVLANIds(&list[0]));
  }
  EXPECT_EQ(DHCP_RC_INVALID_VLAN_IDS, dhcpCompVerifyVLANIds(nullptr));

  struct MacCase {
    const char* text;
    const char* result;  // null: 327, text unchanged
  };
  const MacCase macCases[] = {
      {"000a0b0c0d0e", "00:0A:0B:0C:0D:0E"},
      {"00-0a-0B-0c-0d-0e", "00:0A:0B:0C:0D:0E"},
      {"00:0A:0B:0C:0D:0E", "00:0A:0B:0C:0D:0E"},
      {"000a0b0c0d0", nullptr},
      {"000a0b0c0d0e0", nullptr},
      {"00:0A:0B:0C:0D:0", nullptr},
      {"00:0A:0B:0C:0D:0E:", nullptr},
      {"00:0A:0B:0C:0D:0G", nullptr},
      {"0G:0A:0B:0C:0D:0E", nullptr},
      {"00:0A;0B:0C:0D:0E", nullptr},
      {"", nullptr},
  };
  for (const MacCase& c : macCases) {
    SCOPED_TRACE(c.text);
    char mac[DHCP_MAC_ADDR_SIZE] = {};
    snprintf(mac, sizeof(mac), "%s", c.text);
    EXPECT_EQ(c.result != nullptr ? DHCP_RC_OK : DHCP_RC_INVALID_MAC, dhcpUtilNormaliseMacAddr(mac));
    EXPECT_STREQ(c.result != nullptr ? c.result : c.text, mac);
  }
}

TEST(ValidateTest, AddressInInterfaceNetwork) {
  s_ethIpConfig lan = {};
  lan.ipAddress.ipLong = 0xC0A80101;  // 192.168.1.1/24
  lan.netmask.ipLong = 0xFFFFFF00;
  s_ethIpConfig unaddressed = {};
  EXPECT_EQ(1, dhcpUtilHasNetwork(&lan));
  EXPECT_EQ(0, dhcpUtilHasNetwork(&unaddressed));
  EXPECT_EQ(1, dhcpUtilInInterfaceNetwork(&lan, 0xC0A801FE));
  EXPECT_EQ(1, dhcpUtilInInterfaceNetwork(&lan, 0xC0A80100));
  EXPECT_EQ(0, dhcpUtilInInterfaceNetwork(&lan, 0xC0A80201));
  EXPECT_EQ(0, dhcpUtilInInterfaceNetwork(&lan, 0));
  // Without a netmask every address but 0 lies in the network.
  EXPECT_EQ(1, dhcpUtilInInterfaceNetwork(&unaddressed, 0x0A000001));
  EXPECT_EQ(0, dhcpUtilInInterfaceNetwork(&unaddressed, 0));
}

}  // namespace
