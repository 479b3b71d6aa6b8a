// The address-range provider against the real model; the commit is counted
// by the test program's stand-in.
#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesProvider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent_stand_ins.h"
#include "dhcpcomp.h"
#include "framework/ClassNames.h"
#include "model_test_support.h"
#include "provider_test_support.h"

namespace {

using OpenWBEM::CIMException;
using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;
using OpenWBEM::CIMValue;
using provider_test::cimErrorOf;
using provider_test::text;

CIMInstance range(const char* start, const char* end, const char* gateway = nullptr) {
  CIMInstance instance(ZPX_DHCPRangeOfIPAddressesName);
  instance.setProperty("StartAddress", CIMValue(start));
  instance.setProperty("EndAddress", CIMValue(end));
  if (gateway != nullptr) instance.setProperty("DefaultGatewayIPAddress", CIMValue(gateway));
  return instance;
}

class RangeProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    ZPX_DHCPRangeOfIPAddressesProv.initialize(OpenWBEM::ProviderEnvironmentIFCRef());
  }
  void TearDown() override {
    for (s_addrRangePoolEntry& e : g_AddressRangePool) delete e.object;
    delete ZPX_DHCPRangeOfIPAddresses::getInstanceManager();
    ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  }

  provider_test::Client<ZPX_DHCPRangeOfIPAddressesProvider> cim_{ZPX_DHCPRangeOfIPAddressesProv,
                                                                 ZPX_DHCPRangeOfIPAddressesName};
};

TEST_F(RangeProviderTest, CreateGetEnumerateModifyDelete) {
  EXPECT_TRUE(cim_.names().empty());
  CIMInstance asked = range("192.168.1.100", "192.168.1.149", "192.168.1.254");
  asked.setProperty("InstanceID", CIMValue("9"));
  CIMObjectPath first = cim_.create(asked);
  EXPECT_EQ(first.getKeyValue("InstanceID").toString(), "0");
  EXPECT_EQ(first.getNameSpace(), provider_test::kNs);
  for (int i = 1; i < 12; ++i) {
    std::string start = "192.168.1." + std::to_string(150 + 8 * i);
    std::string end = "192.168.1." + std::to_string(150 + 8 * i + 7);
    cim_.create(range(start.c_str(), end.c_str()));
  }
  EXPECT_EQ(cim_.names(),
            (std::vector<std::string>{"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
  std::vector<CIMInstance> all = cim_.instances();
  ASSERT_EQ(all.size(), 12u);
  EXPECT_EQ(all[0].getProperties().size(), 7u);
  EXPECT_EQ(text(all[0], "Caption"), "");

  // A change of the gateway alone keeps the addresses; the gateway becomes
  // that of every range of the LAN.
  int commits = g_commitCount;
  CIMInstance gateway(ZPX_DHCPRangeOfIPAddressesName);
  gateway.setProperty("DefaultGatewayIPAddress", CIMValue("192.168.1.253"));
  gateway.setProperty("StartAddress", CIMValue());
  cim_.modify("0", gateway);
  EXPECT_EQ(g_commitCount, commits + 1);
  CIMInstance shown = cim_.get("0");
  EXPECT_EQ(text(shown, "StartAddress"), "192.168.1.100");
  EXPECT_EQ(text(shown, "DefaultGatewayIPAddress"), "192.168.1.253");
  EXPECT_EQ(text(cim_.get("7"), "DefaultGatewayIPAddress"), "192.168.1.253");

  commits = g_commitCount;
  for (int i = 11; i >= 0; --i) cim_.remove(std::to_string(i));
  EXPECT_EQ(g_commitCount, commits + 12);
  EXPECT_EQ(g_NumberOfRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.defaultGateway.ipLong, 0u);
  for (const s_addrRangePoolEntry& e : g_AddressRangePool) {
    EXPECT_TRUE(e.isFree);
    EXPECT_EQ(e.object, nullptr);
  }
  EXPECT_TRUE(cim_.instances().empty());
  EXPECT_EQ(cim_.invokeError("0").getErrNo(), CIMException::METHOD_NOT_FOUND);
}

TEST_F(RangeProviderTest, RefusalsCarryTheAgentCodeAndChangeNothing) {
  cim_.create(range("192.168.1.100", "192.168.1.200"));
  cim_.create(range("192.168.1.201", "192.168.1.220"));
  struct Case {
    CIMInstance request;
    const char* message;
  } cases[] = {
      {range("192.168.1.150", "192.168.1.250"), "#DHC_ERROR_325#"},
      {range("192.168.2.10", "192.168.2.20"), "#DHC_ERROR_400#"},
      {range("192.168.1.10", "192.168.1.20", "gateway"), "#DHC_ERROR_320#"},
      {range("192.168.1.10", "192.168.1.20000000000000000000"), "#DHC_ERROR_320#"},
  };
  int commits = g_commitCount;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CIMException e = cimErrorOf([&] { cim_.modify("1", c.request); });
    EXPECT_EQ(e.getErrNo(), CIMException::FAILED);
    EXPECT_STREQ(e.getMessage(), c.message);
    CIMInstance shown = cim_.get("1");
    EXPECT_EQ(text(shown, "StartAddress"), "192.168.1.201");
    EXPECT_EQ(text(shown, "EndAddress"), "192.168.1.220");
    EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[1].startAddr.ipString, "192.168.1.201");
  }
  EXPECT_EQ(g_commitCount, commits);

  // A refused new range is destroyed again: nothing points at it.
  CIMException refused = cimErrorOf([&] { cim_.create(range("192.168.1.150", "192.168.1.160")); });
  EXPECT_STREQ(refused.getMessage(), "#DHC_ERROR_325#");
  EXPECT_EQ(g_AddressRangePool[2].object, nullptr);
  EXPECT_TRUE(g_AddressRangePool[2].isFree);
  EXPECT_EQ(g_NumberOfRanges, 2);
  EXPECT_EQ(cim_.names(), (std::vector<std::string>{"0", "1"}));
}

// A commit that cannot apply a change (dhcpd refused the file) fails the
// request with dhcpd's words, and the records and objects stay as they were.
TEST_F(RangeProviderTest, CommitFailureRollsTheChangeBack) {
  cim_.create(range("192.168.1.100", "192.168.1.200"));
  g_commitResult = 401;
  g_commitFailureText = "dhcpd.conf.new line 12: lease 192.168.1.150 is declared twice!";
  CIMException modified = cimErrorOf([&] { cim_.modify("0", range("192.168.1.50", "192.168.1.60")); });
  CIMException created = cimErrorOf([&] { cim_.create(range("192.168.1.210", "192.168.1.220")); });
  g_commitResult = 0;
  EXPECT_EQ(modified.getErrNo(), CIMException::FAILED);
  EXPECT_STREQ(modified.getMessage(),
               "The DHCP server configuration was not changed: dhcpd.conf.new line 12: lease "
               "192.168.1.150 is declared twice!\n#DHC_ERROR_401#");
  EXPECT_EQ(created.getErrNo(), CIMException::FAILED);
  EXPECT_EQ(text(cim_.get("0"), "StartAddress"), "192.168.1.100");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[0].startAddr.ipString, "192.168.1.100");
  EXPECT_TRUE(CustomerLANDhcpCompConfig.addrRanges[1].isFree);
  EXPECT_EQ(cim_.names(), (std::vector<std::string>{"0"}));
}

// Only ids the agent gave out name objects: anything else a client sends is
// not found and touches no pool entry, and creation ignores it.
TEST_F(RangeProviderTest, ForeignInstanceIdsReachNoPoolEntry) {
  cim_.create(range("192.168.1.100", "192.168.1.200"));
  for (const char* id : {"99", "32", "-1", "abc", "1x", "00", "+0", "", "123456789012345678901234567890"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(cimErrorOf([&] { cim_.get(id); }).getErrNo(), CIMException::NOT_FOUND);
    EXPECT_EQ(cimErrorOf([&] { cim_.remove(id); }).getErrNo(), CIMException::NOT_FOUND);
    EXPECT_EQ(cimErrorOf([&] { cim_.modify(id, range("192.168.1.10", "192.168.1.20")); }).getErrNo(),
              CIMException::NOT_FOUND);
    CIMInstance asked = range("192.168.1.10", "192.168.1.20");
    asked.setProperty("InstanceID", CIMValue(id));
    EXPECT_EQ(cim_.create(asked).getKeyValue("InstanceID").toString(), "1");
    cim_.remove("1");
  }
  EXPECT_EQ(g_NumberOfRanges, 1);
  EXPECT_EQ(cim_.names(), std::vector<std::string>{"0"});
}

}  // namespace
