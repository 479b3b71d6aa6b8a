// The text and network checks, with the cases where the CIM setters, the
// file reader, the generator and the lease readers used to disagree (VLAN
// lists and hardware addresses: dhcpcompranges_test).
#include "dhcpvalidate.h"

#include <gtest/gtest.h>

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
