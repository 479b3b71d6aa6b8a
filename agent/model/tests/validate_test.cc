// The text and network checks, with the cases where the CIM setters, the
// file reader, the generator and the lease readers used to disagree (VLAN
// lists and hardware addresses: ranges_test).
#include "model/validate.h"
#include "model/records.h"
#include "model/result.h"
#include "tavrel_agent_api.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

namespace {

TEST(ValidateTest, TextRules) {
  struct Case {
    const char* what;
    int (*check)(const char*);
    std::vector<const char*> valid, invalid;
  };
  const Case cases[] = {
      // "" is named "Device<id>" by the agent; "-desk" was stored, then renamed in dhcpd.conf.
      {"host name",
       dhcpUtilIsValidHostName,
       {"", "desk-phone_2.lab", "9lives"},
       {"-desk", "_desk", "desk.", "a..b", "two words", "a;b", "caf\xc3\xa9", nullptr}},
      // "lab_1" was served by the generator and taken from leases.
      {"domain name", dhcpUtilIsValidDomainName, {"", "lab-1.example."}, {"lab_1", "a b", "a\"b", nullptr}},
      {"description",
       dhcpUtilIsValidDescription,
       {"", "front desk (2nd floor)"},
       {"a,b", "tab\there", "del\x7f", nullptr}},
      {"hardware address of one client",
       dhcpUtilIsUnicastMacAddr,
       {"0A:0B:0C:0D:0E:0F", "02:00:00:00:00:01"},
       {"FF:FF:FF:FF:FF:FF", "00:00:00:00:00:00", "01:00:5E:00:00:01", "0A:0B", nullptr}},
      {"address a management station sets",
       [](const char* text) {
         s_ipAddr a;
         return dhcpUtilConvertCanonicalIPAddr(&a, text, strlen(text)) == DHCP_RC_OK ? 1 : 0;
       },
       {"192.168.1.61", "1.0.0.0", "223.255.255.255"},
       {"192.168.001.061", "1.2.3", "192.168.1.63\n", "1.2.3.4 5.6.7.8", " 1.2.3.4", "1.2.3.256",
        "0x0a.0.0.1", "1.2.3.4.", "1.2.3.00", "1.2.3.1234", "127.0.0.1", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* text : c.valid) EXPECT_EQ(1, c.check(text)) << text;
    for (const char* text : c.invalid) EXPECT_EQ(0, c.check(text)) << text;
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
