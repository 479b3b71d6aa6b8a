// The address-range provider against the real model; the commit is counted
// by the test program's stand-in.
#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesProvider.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/ClassNames.h"
#include "provider_test_support.h"

namespace {

using namespace provider_test;

CIMInstance range(const char* start, const char* end, const char* gateway = nullptr) {
  CIMInstance instance(ZPX_DHCPRangeOfIPAddressesName);
  instance.setProperty("StartAddress", CIMValue(start));
  instance.setProperty("EndAddress", CIMValue(end));
  if (gateway != nullptr) instance.setProperty("DefaultGatewayIPAddress", CIMValue(gateway));
  return instance;
}

class RangeProviderTest
    : public provider_test::ProviderTest<ZPX_DHCPRangeOfIPAddressesProvider, ZPX_DHCPRangeOfIPAddresses> {
 protected:
  RangeProviderTest() : ProviderTest(ZPX_DHCPRangeOfIPAddressesProv, ZPX_DHCPRangeOfIPAddressesName) {}
};

TEST_F(RangeProviderTest, CreateModifyDelete) {
  CIMInstance asked = range("192.168.1.100", "192.168.1.149", "192.168.1.254");
  asked.setProperty("InstanceID", CIMValue("9"));
  EXPECT_EQ(create(asked).getKeyValue("InstanceID").toString(), "0");
  create(range("192.168.1.150", "192.168.1.160"));
  EXPECT_EQ(names(), (Ids{"0", "1"}));
  CIMInstance shown = get("0");
  EXPECT_EQ(shown.getProperties().size(), 7u);
  EXPECT_EQ(text(shown, "Caption"), "");
  EXPECT_EQ(shown.getPropertyValue("AddressType"), CIMValue(static_cast<OpenWBEM::UInt16>(1)));

  // A change of the gateway alone keeps the addresses; the gateway becomes
  // that of every range of the LAN.
  int commits = g_commitCount;
  CIMInstance gateway(ZPX_DHCPRangeOfIPAddressesName);
  gateway.setProperty("DefaultGatewayIPAddress", CIMValue("192.168.1.253"));
  gateway.setProperty("StartAddress", CIMValue());
  modify("0", gateway);
  EXPECT_EQ(g_commitCount, commits + 1);
  EXPECT_EQ(text(get("0"), "StartAddress"), "192.168.1.100");
  EXPECT_EQ(text(get("1"), "DefaultGatewayIPAddress"), "192.168.1.253");

  remove("1");
  remove("0");
  EXPECT_EQ(g_commitCount, commits + 3);
  EXPECT_EQ(g_NumberOfRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.defaultGateway.ipLong, 0u);
  EXPECT_TRUE(g_AddressRangePool[0].isFree);
  EXPECT_EQ(g_AddressRangePool[0].object, nullptr);
  EXPECT_TRUE(names().empty());
}

// Refused changes carry the agent's code and leave objects and records as
// they were; a refused new range is destroyed again.
TEST_F(RangeProviderTest, RefusalsChangeNothing) {
  create(range("192.168.1.100", "192.168.1.200"));
  create(range("192.168.1.201", "192.168.1.220"));
  const struct {
    CIMInstance request;
    const char* message;
  } cases[] = {
      {range("192.168.1.150", "192.168.1.250"), "#DHC_ERROR_325#"},
      {range("192.168.2.10", "192.168.2.20"), "#DHC_ERROR_400#"},
      {range("192.168.1.1", "192.168.1.50"), "#DHC_ERROR_324#"},
      {range("192.168.1.201", "192.168.1.220", "10.0.0.1"), "#DHC_ERROR_322#"},
      {range("192.168.1.220", "192.168.1.210"), "#DHC_ERROR_323#"},
      {range("192.168.1.10", "192.168.1.20", "gateway"), "#DHC_ERROR_320#"},
      {range("192.168.1.10", "192.168.1.20000000000000000000"), "#DHC_ERROR_320#"},
      {range("192.168.1.201", "192.168.1.x"), "#DHC_ERROR_320#"},
      {range("192.168.001.010", "192.168.1.20"), "#DHC_ERROR_320#"},
      {range("192.168.1.10", "192.168.1.20", "192.168.1.254\n"), "#DHC_ERROR_320#"},
  };
  int commits = g_commitCount;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_TRUE(isCimError(cimErrorOf([&] { modify("1", c.request); }), CIMException::FAILED, c.message));
    EXPECT_EQ(text(get("1"), "StartAddress"), "192.168.1.201");
    EXPECT_EQ(text(get("1"), "EndAddress"), "192.168.1.220");
    EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[1].startAddr.ipString, "192.168.1.201");
  }
  EXPECT_EQ(g_commitCount, commits);

  EXPECT_STREQ(cimErrorOf([&] { create(range("192.168.1.150", "192.168.1.160")); }).getMessage(),
               "#DHC_ERROR_325#");
  EXPECT_TRUE(g_AddressRangePool[2].isFree);
  EXPECT_EQ(g_AddressRangePool[2].object, nullptr);
  EXPECT_EQ(g_NumberOfRanges, 2);

  // A commit that cannot apply a change (dhcpd refused the file) fails the
  // request with dhcpd's words, and the change is rolled back.
  g_commitResult = 401;
  g_commitFailureText = "dhcpd.conf.new line 12: lease 192.168.1.150 is declared twice!";
  CIMException modified = cimErrorOf([&] { modify("0", range("192.168.1.50", "192.168.1.60")); });
  CIMException created = cimErrorOf([&] { create(range("192.168.1.230", "192.168.1.240")); });
  EXPECT_TRUE(isCimError(modified, CIMException::FAILED,
                         "The DHCP server configuration was not changed: dhcpd.conf.new line 12: lease "
                         "192.168.1.150 is declared twice!\n#DHC_ERROR_401#"));
  EXPECT_EQ(created.getErrNo(), CIMException::FAILED);
  EXPECT_EQ(text(get("0"), "StartAddress"), "192.168.1.100");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[0].startAddr.ipString, "192.168.1.100");
  EXPECT_TRUE(CustomerLANDhcpCompConfig.addrRanges[2].isFree);
  EXPECT_EQ(names(), (Ids{"0", "1"}));
}

// A change whose commit fails (dhcpd refused the file) is refused with the
// commit's error and leaves every range object and record as stored: the
// gateway handed to the other ranges goes back, a deleted range stays, a
// range moved to the VLAN is back on its own LAN only. The next accepted
// change stores the kept gateway.
TEST_F(RangeProviderTest, RefusedCommitsLeaveEveryRangeAsStored) {
  create(range("192.168.1.100", "192.168.1.149", "192.168.1.254"));
  create(range("192.168.1.150", "192.168.1.160"));
  CIMInstance gateway(ZPX_DHCPRangeOfIPAddressesName);
  gateway.setProperty("DefaultGatewayIPAddress", CIMValue("192.168.1.253"));
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"gateway of one range", [&] { modify("0", gateway); }},
      {"delete", [&] { remove("0"); }},
      {"delete the range without own gateway", [&] { remove("1"); }},
      {"move a range to the VLAN", [&] { modify("1", range("10.5.1.1", "10.5.1.9", "10.5.0.254")); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_commitResult = 401;
    g_commitFailureText = "refused";
    EXPECT_TRUE(isCimError(cimErrorOf(c.change), CIMException::FAILED,
                           "The DHCP server configuration was not changed: refused\n#DHC_ERROR_401#"));
    g_commitResult = 0;
    EXPECT_EQ(names(), (Ids{"0", "1"}));
    EXPECT_EQ(text(get("0"), "DefaultGatewayIPAddress"), "192.168.1.254");
    EXPECT_EQ(text(get("1"), "DefaultGatewayIPAddress"), "192.168.1.254");
    EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 2);
    EXPECT_EQ(VLANDhcpCompConfig[0].numAddrRanges, 0);
    EXPECT_EQ(g_NumberOfRanges, 2);
  }
  modify("1", range("192.168.1.151", "192.168.1.160"));
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "192.168.1.254");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[0].gateway.ipString, "192.168.1.254");
}

// Only ids the agent gave out name objects: anything else a client sends is
// not found and touches no pool entry. (Creation ignores the id asked for:
// CreateModifyDelete.)
TEST_F(RangeProviderTest, ForeignInstanceIdsReachNoPoolEntry) {
  create(range("192.168.1.100", "192.168.1.200"));
  for (const char* id : {"99", "32", "-1", "abc", "1x", "00", "+0", "", "123456789012345678901234567890"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(cimErrorOf([&] { get(id); }).getErrNo(), CIMException::NOT_FOUND);
    EXPECT_EQ(cimErrorOf([&] { remove(id); }).getErrNo(), CIMException::NOT_FOUND);
    EXPECT_EQ(cimErrorOf([&] { modify(id, range("192.168.1.10", "192.168.1.20")); }).getErrNo(),
              CIMException::NOT_FOUND);
  }
  EXPECT_EQ(g_NumberOfRanges, 1);
  EXPECT_EQ(names(), Ids{"0"});
}

}  // namespace
