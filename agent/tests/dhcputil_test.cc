// Address, number, lease-time and text helpers of the model.
#include <gtest/gtest.h>
#include <string.h>

#include "dhcpcomp.h"
#include "model_test_support.h"

namespace {

s_ipAddr withText(const char* text) {
  s_ipAddr a;
  memset(&a, 0xAB, sizeof(a));
  snprintf(a.ipString, sizeof(a.ipString), "%s", text);
  return a;
}

TEST(ModelUtilTest, ConvertsValidAddressesToAllThreeForms) {
  s_ipAddr a = withText("10.0.0.1");
  ASSERT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false));
  EXPECT_EQ(0x0A000001u, a.ipLong);
  EXPECT_EQ(10, a.ipOctets[0]);
  EXPECT_EQ(0, a.ipOctets[1]);
  EXPECT_EQ(0, a.ipOctets[2]);
  EXPECT_EQ(1, a.ipOctets[3]);
  EXPECT_STREQ("10.0.0.1", a.ipString);
}

TEST(ModelUtilTest, RewritesShortHexAndOctalFormsAsDottedQuads) {
  struct Case {
    const char* text;
    const char* canonical;
  } cases[] = {
      {"10.1", "10.0.0.1"},      {"0x0a.0.0.1", "10.0.0.1"},       {"0x0A000001", "10.0.0.1"},
      {"012.0.0.1", "10.0.0.1"}, {"192.168.1.010", "192.168.1.8"}, {"192.168.1.1 ; rm -rf /", "192.168.1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    s_ipAddr a = withText(c.text);
    ASSERT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false));
    EXPECT_STREQ(c.canonical, a.ipString);
  }
  s_ipAddr mask = withText("0xffffff00");
  ASSERT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&mask, ipTypeNetmask, false));
  EXPECT_STREQ("255.255.255.0", mask.ipString);
  mask = withText("0");
  ASSERT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&mask, ipTypeNetmask, false));
  EXPECT_STREQ("0.0.0.0", mask.ipString);
}

TEST(ModelUtilTest, RefusesInvalidTextsWithZeroNumbers) {
  const char* invalid[] = {"10.0.0.256", "", "abc", "127.0.0.1", "0.1.2.3", "224.0.0.1"};
  for (const char* text : invalid) {
    SCOPED_TRACE(text);
    s_ipAddr a = withText(text);
    EXPECT_EQ(320, dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false));
    EXPECT_EQ(0u, a.ipLong);
    EXPECT_EQ(0u, a.ipOctets[0] | a.ipOctets[1] | a.ipOctets[2] | a.ipOctets[3]);
    EXPECT_STREQ(text, a.ipString);
  }
  s_ipAddr loopback = withText("127.0.0.1");
  EXPECT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&loopback, ipTypeAddress, true));
  EXPECT_EQ(0x7F000001u, loopback.ipLong);

  s_ipAddr mask = withText("255.0.255.0");
  EXPECT_EQ(320, dhcpUtilConvertIPStringtoIPAddr(&mask, ipTypeNetmask, false));
  mask = withText("255.255.255.192");
  EXPECT_EQ(0, dhcpUtilConvertIPStringtoIPAddr(&mask, ipTypeNetmask, false));
  EXPECT_EQ(0xFFFFFFC0u, mask.ipLong);
}

TEST(ModelUtilTest, RebuildsTextFromNumber) {
  s_ipAddr a = withText("junk");
  a.ipLong = 0xC0A80164;
  dhcpUtilConvertIPAddrLongtoIPAddr(&a);
  EXPECT_STREQ("192.168.1.100", a.ipString);
  EXPECT_EQ(100, a.ipOctets[3]);
  a.ipLong = 0;
  dhcpUtilConvertIPAddrLongtoIPAddr(&a);
  EXPECT_STREQ("", a.ipString);
  EXPECT_EQ(0, a.ipOctets[0]);
}

TEST(ModelUtilTest, NumberTexts) {
  char out[16];
  EXPECT_EQ(1, dhcpUtilIntToAscii(0, out));
  EXPECT_STREQ("0", out);
  EXPECT_EQ(0, dhcpUtilIntToAscii(-5, out));
  EXPECT_STREQ("0", out);
  EXPECT_EQ(10, dhcpUtilIntToAscii(2147483647, out));
  EXPECT_STREQ("2147483647", out);

  char digits[] = "86400 seconds";
  EXPECT_EQ(86400ul, dhcpUtilatoul(digits));
  char none[] = "x1";
  EXPECT_EQ(0ul, dhcpUtilatoul(none));

  EXPECT_EQ(11, dhcpUtilGetDigit('b'));
  EXPECT_EQ(255, dhcpUtilGetDigit('\0'));
  EXPECT_EQ(254, dhcpUtilGetDigit(':'));
  char g[] = "g", empty[] = "", b[] = "B";
  EXPECT_EQ(-1, dhcpUtilAtoH(g));
  EXPECT_EQ(0, dhcpUtilAtoH(empty));
  EXPECT_EQ(11, dhcpUtilAtoH(b));
}

TEST(ModelUtilTest, LeaseTimeBecomesCimDateTime) {
  char text[32] = "3 2010/06/15 08:05:09";
  EXPECT_EQ(1, dhcpUtilConvertLeaseTimeToOWTime(text));
  EXPECT_STREQ("20100615080509.000000+000", text);

  char shorter[32] = "3 2010/06/15 08:05:0";
  char longer[32] = "3 2010/06/15 08:05:090";
  EXPECT_EQ(0, dhcpUtilConvertLeaseTimeToOWTime(shorter));
  EXPECT_STREQ("3 2010/06/15 08:05:0", shorter);
  EXPECT_EQ(0, dhcpUtilConvertLeaseTimeToOWTime(longer));
  EXPECT_STREQ("3 2010/06/15 08:05:090", longer);
}

}  // namespace
