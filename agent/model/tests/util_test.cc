// Address, number, lease-time and text helpers of the model.
#include <gtest/gtest.h>
#include <string.h>

#include "model/records.h"
#include "model/util.h"
#include "model_test_support.h"

namespace {

s_ipAddr withText(const char* text) {
  s_ipAddr a;
  memset(&a, 0xAB, sizeof(a));
  snprintf(a.ipString, sizeof(a.ipString), "%s", text);
  return a;
}

TEST(ModelUtilTest, AddressTextsBecomeDottedQuadsOrAreRefused) {
  struct Case {
    const char* text;
    e_ipType type;
    bool loopback;
    int rc;
    const char* canonical;  // refused texts stay as they were (netkeel's tests hold its rules)
    uint32_t number;
  } cases[] = {
      {"10.0.0.1", ipTypeAddress, false, 0, "10.0.0.1", 0x0A000001u},
      {"10.1", ipTypeAddress, false, 0, "10.0.0.1", 0x0A000001u},
      {"0x0A000001", ipTypeAddress, false, 0, "10.0.0.1", 0x0A000001u},
      {"192.168.1.010", ipTypeAddress, false, 0, "192.168.1.8", 0xC0A80108u},
      {"192.168.1.1 ; rm -rf /", ipTypeAddress, false, 0, "192.168.1.1", 0xC0A80101u},
      {"127.0.0.1", ipTypeAddress, true, 0, "127.0.0.1", 0x7F000001u},
      {"0xffffff00", ipTypeNetmask, false, 0, "255.255.255.0", 0xFFFFFF00u},
      {"0", ipTypeNetmask, false, 0, "0.0.0.0", 0},
      {"255.255.255.192", ipTypeNetmask, false, 0, "255.255.255.192", 0xFFFFFFC0u},
      {"255.0.255.0", ipTypeNetmask, false, 320, "255.0.255.0", 0},
      {"", ipTypeAddress, false, 320, "", 0},
      {"127.0.0.1", ipTypeAddress, false, 320, "127.0.0.1", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    s_ipAddr a = withText(c.text);
    EXPECT_EQ(c.rc, dhcpUtilConvertIPStringtoIPAddr(&a, c.type, c.loopback));
    EXPECT_STREQ(c.canonical, a.ipString);
    EXPECT_EQ(c.number, a.ipLong);
    EXPECT_EQ(c.number >> 24, a.ipOctets[0]);
    EXPECT_EQ(c.number & 0xFF, a.ipOctets[3]);
  }
  s_ipAddr a = withText("junk");
  a.ipLong = 0xC0A80164;
  dhcpUtilConvertIPAddrLongtoIPAddr(&a);
  EXPECT_STREQ("192.168.1.100", a.ipString);
  EXPECT_EQ(100, a.ipOctets[3]);
  a.ipLong = 0;
  dhcpUtilConvertIPAddrLongtoIPAddr(&a);
  EXPECT_STREQ("", a.ipString);
}

TEST(ModelUtilTest, NumberAndLeaseTimeTexts) {
  char out[16];
  EXPECT_EQ(1, dhcpUtilIntToAscii(0, out));
  EXPECT_STREQ("0", out);
  EXPECT_EQ(0, dhcpUtilIntToAscii(-5, out));
  EXPECT_STREQ("0", out);
  EXPECT_EQ(10, dhcpUtilIntToAscii(2147483647, out));
  EXPECT_STREQ("2147483647", out);
  char digits[] = "86400 seconds", none[] = "x1", g[] = "g", empty[] = "", b[] = "B";
  EXPECT_EQ(86400ul, dhcpUtilatoul(digits));
  EXPECT_EQ(0ul, dhcpUtilatoul(none));
  EXPECT_EQ(11, dhcpUtilGetDigit('b'));
  EXPECT_EQ(255, dhcpUtilGetDigit('\0'));
  EXPECT_EQ(254, dhcpUtilGetDigit(':'));
  EXPECT_EQ(-1, dhcpUtilAtoH(g));
  EXPECT_EQ(0, dhcpUtilAtoH(empty));
  EXPECT_EQ(11, dhcpUtilAtoH(b));

  // The lease tests see the conversion of whole dates.
  char text[32];
  for (const char* bad : {"3 2010/06/15 08:05:0", "3 2010/06/15 08:05:090"}) {
    snprintf(text, sizeof(text), "%s", bad);
    EXPECT_EQ(0, dhcpUtilConvertLeaseTimeToOWTime(text));
    EXPECT_STREQ(bad, text);
  }
}

}  // namespace
