// The umbrella provider's routing and exception translation, and the
// setting data's change bracket over the agent's records. The program
// stands in for the agent (its model, a commit that only counts).
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "Tavrel/Tavrel.h"
#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"
#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceImpl.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"
#include "provider_test_support.h"
#include "tavrel_agent_api.h"

namespace {

using namespace OpenWBEM;
using namespace provider_test;

const char kSettingDataId[] = "Zelkor:ZPX_DHCPSettingData";

CIMObjectPath servicePath() {
  return CIMObjectPath::parse(
      "root/cimv2:ZPX_DHCPService.SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\","
      "CreationClassName=\"ZPX_DHCPService\",Name=\"DHCPService\"");
}

class ProviderUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    // The installed managers live for the process, as in the agent.
    static bool initialized = false;
    if (!initialized) m_tavrel.initialize(m_env);
    initialized = true;
    ZPX_DHCPSettingDataImpl::m_pInstance = new ZPX_DHCPSettingDataImpl(kSettingDataId);
    ZPX_DHCPServiceImpl::m_pInstanceDHCPService =
        new ZPX_DHCPServiceImpl("ZPX_System", "ZPX", "ZPX_DHCPService", "DHCPService");
    CustomerLANDhcpCompConfig.leaseTime = 3600;
    CustomerLANDhcpCompConfig.dhcpStatus = 1;
  }
  void TearDown() override {
    model_test::deleteObjects();
    delete ZPX_DHCPSettingDataImpl::m_pInstance;
    delete ZPX_DHCPServiceImpl::m_pInstanceDHCPService;
  }

  CIMInstance settings() {
    return m_tavrel.getInstance(m_env, kNs, pathOf("ZPX_DHCPSettingData", kSettingDataId),
                                WBEMFlags::E_NOT_LOCAL_ONLY, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr, CIMClass());
  }

  // ModifyInstance of the setting data with the given properties, in order.
  CIMException modify(const std::vector<CIMProperty>& properties) {
    CIMInstance instance("ZPX_DHCPSettingData");
    instance.setProperty("InstanceID", CIMValue(kSettingDataId));
    for (const CIMProperty& p : properties) instance.setProperty(p);
    return cimErrorOf([&] {
      m_tavrel.modifyInstance(m_env, kNs, instance, CIMInstance(), WBEMFlags::E_EXCLUDE_QUALIFIERS, nullptr,
                              CIMClass());
    });
  }

  ProviderEnvironmentIFCRef m_env;  // none: an unexpected exception is logged by the agent (system tests)
  Tavrel m_tavrel;
};

TEST_F(ProviderUnitTest, Routing) {
  // Class names are exact; references route on the result class, associators on the association.
  Collect<CIMObjectPath> names;
  const std::function<void()> misrouted[] = {
      [&] { m_tavrel.enumInstanceNames(m_env, kNs, "zpx_dhcpservice", names, CIMClass()); },
      [&] { m_tavrel.referenceNames(m_env, names, kNs, servicePath(), "", ""); },
      [&] { m_tavrel.associatorNames(m_env, names, kNs, servicePath(), "ZPX_DHCPService", "", "", ""); }};
  for (const auto& call : misrouted)
    EXPECT_TRUE(isCimError(cimErrorOf(call), CIMException::INVALID_CLASS, ""));
  // Only the service has a method.
  for (const CIMObjectPath& path :
       {CIMObjectPath("ZPX_DHCPClientLeaseInfoOAMLAN", kNs), pathOf("ZPX_DHCPSettingData", kSettingDataId)}) {
    CIMParamValueArray in, out;
    CIMException e =
        cimErrorOf([&] { m_tavrel.invokeMethod(m_env, kNs, path, "renewDynamicIPAddress", in, out); });
    EXPECT_EQ(CIMException::METHOD_NOT_FOUND, e.getErrNo()) << path.getClassName();
  }
}

TEST_F(ProviderUnitTest, LinksAndExtraObjectsAreLimitedAndNeverCollide) {
  auto createLink = [&](const std::string& name, const std::string& id) {
    CIMObjectPath service = servicePath();
    service.setKeyValue("Name", CIMValue(name.c_str()));
    CIMInstance link("ZPX_DHCPSettingDataInService");
    link.setProperty("Antecedent", CIMValue(service));
    link.setProperty("Dependent", CIMValue(pathOf("ZPX_DHCPSettingData", id)));
    return cimErrorOf([&] { m_tavrel.createInstance(m_env, kNs, link); }).getErrNo();
  };
  struct {
    std::string name, id;
    int status;
  } cases[] = {
      {"ab", "c", CIMException::SUCCESS},
      {"a", "bc", CIMException::SUCCESS},  // the same text when concatenated
      {"ab", "c", CIMException::ALREADY_EXISTS},
      {std::string(2000, 'n'), "x", CIMException::INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 8) + "/" + c.id);
    EXPECT_EQ(c.status, createLink(c.name, c.id));
  }
  for (size_t i = 2; i < kAssociationLinksMax; ++i)
    ASSERT_EQ(CIMException::SUCCESS, createLink("DHCPService", std::to_string(i)));
  EXPECT_EQ(CIMException::FAILED, createLink("DHCPService", "one too many"));
  Collect<CIMObjectPath> ofService;
  m_tavrel.referenceNames(m_env, ofService, kNs, servicePath(), "ZPX_DHCPSettingDataInService", "");
  ASSERT_EQ(kAssociationLinksMax - 2, ofService.items.size()) << "only the links of that service";
  EXPECT_EQ(servicePath().toString(), ofService.items[0].getKeyValue("Antecedent").toString());

  // Setting data beside the agent's own, up to their limit.
  std::vector<std::string> extra;
  for (size_t i = 0; i <= kExtraSingletonsMax; ++i) {
    CIMInstance settingData("ZPX_DHCPSettingData");
    std::string id = "extra" + std::to_string(i);
    settingData.setProperty("InstanceID", CIMValue(id.c_str()));
    int status = cimErrorOf([&] { m_tavrel.createInstance(m_env, kNs, settingData); }).getErrNo();
    EXPECT_EQ(i < kExtraSingletonsMax ? CIMException::SUCCESS : CIMException::FAILED, status) << i;
    if (status == CIMException::SUCCESS) extra.push_back(id);
  }

  std::vector<ZPX_DHCPSettingDataInService*> links;
  ZPX_DHCPSettingDataInServiceInstanceManager* manager = ZPX_DHCPSettingDataInService::getInstanceManager();
  for (manager->startIteration(); manager->hasNext();) links.push_back(manager->next());
  manager->endIteration();
  for (ZPX_DHCPSettingDataInService* link : links) delete link;
  for (const std::string& id : extra) delete ZPX_DHCPSettingData::getInstanceManager()->get(id);
}

TEST_F(ProviderUnitTest, SettingChangesCommitOnce) {
  int commits = g_commitCount;
  EXPECT_EQ(CIMException::SUCCESS, modify({CIMProperty("leaseTime", CIMValue(UInt32(1234)))}).getErrNo());
  EXPECT_EQ(1234u, CustomerLANDhcpCompConfig.leaseTime);
  EXPECT_EQ(commits + 1, g_commitCount);

  SCOPED_TRACE("read-only properties only: still one commit");
  EXPECT_EQ(CIMException::SUCCESS,
            modify({CIMProperty("dhcpServerOAMLANStatus", CIMValue(UInt16(5)))}).getErrNo());
  EXPECT_EQ(commits + 2, g_commitCount);

  SCOPED_TRACE("the instance's order decides");
  modify({CIMProperty("dhcpServerOnRouter", CIMValue(true)),
          CIMProperty("dhcpServerCustomerLANStatus", CIMValue(UInt16(2)))});
  EXPECT_EQ(2, CustomerLANDhcpCompConfig.dhcpStatus);
  modify({CIMProperty("dhcpServerCustomerLANStatus", CIMValue(UInt16(2))),
          CIMProperty("dhcpServerOnRouter", CIMValue(true))});
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.dhcpStatus);

  SCOPED_TRACE("inside an open change the commit is left to it");
  commits = g_commitCount;
  DhcpCompChange outer;
  EXPECT_EQ(CIMException::SUCCESS, modify({CIMProperty("leaseTime", CIMValue(UInt32(600)))}).getErrNo());
  EXPECT_EQ(commits, g_commitCount);
  EXPECT_EQ(0, outer.commit());
  EXPECT_EQ(commits + 1, g_commitCount);
}

TEST_F(ProviderUnitTest, WritingBackTheInstanceReadChangesNothing) {
  // Gateway and call server derived by the agent, unset node type, file-only mode.
  CustomerLANDhcpCompConfig.defaultGateway = model_test::address("192.168.1.254");
  CustomerLANDhcpCompConfig.defaultGatewayEmpty = 1;
  CustomerLANDhcpCompConfig.s1Address = model_test::address("192.168.1.1");
  CustomerLANDhcpCompConfig.s1AddressEmpty = 1;
  CustomerLANDhcpCompConfig.winsNodeType = 0;
  CustomerLANDhcpCompConfig.dhcpStatus = 3;
  s_dhcpCompConfig before = CustomerLANDhcpCompConfig;
  CIMInstance read = settings();
  std::vector<CIMProperty> all(read.getProperties().begin(), read.getProperties().end());
  EXPECT_EQ(25u, all.size()) << "every property is read";
  EXPECT_EQ(CIMException::SUCCESS, modify(all).getErrNo());
  EXPECT_EQ(0, memcmp(&before, &CustomerLANDhcpCompConfig, sizeof(before)));
}

TEST_F(ProviderUnitTest, PortsAndTheirWriteQualifier) {
  modify({CIMProperty("s1Port", CIMValue(UInt16(5000)))});
  EXPECT_EQ(5000u, CustomerLANDhcpCompConfig.s1OtherPortNumber);
  CIMProperty other = settings().getProperty("s1OtherPort");
  EXPECT_EQ(5000, other.getValue().toUInt16());
  EXPECT_FALSE(other.getQualifier("Write").getValue().toBool());

  modify({CIMProperty("s1Port", CIMValue(UInt16(0)))});
  EXPECT_EQ(5000u, CustomerLANDhcpCompConfig.s1OtherPortNumber);
  EXPECT_TRUE(settings().getProperty("s1OtherPort").getQualifier("Write").getValue().toBool());
}

TEST_F(ProviderUnitTest, RefusedChangeLeavesRecordAndRangesAsTheyWere) {
  s_ipAddrRange range = {};
  range.startAddr = model_test::address("192.168.1.100");
  range.endAddr = model_test::address("192.168.1.200");
  range.gateway = model_test::address("192.168.1.254");
  ASSERT_EQ(DHCP_RC_OK, dhcpCompCheckAndAddIPAddressRange("3", &range, true));
  s_dhcpCompConfig before = CustomerLANDhcpCompConfig;
  int commits = g_commitCount;

  CIMException e = modify({CIMProperty("leaseTime", CIMValue(UInt32(77))),
                           CIMProperty("defaultGatewayIPAddress", CIMValue("192.168.1.250")),
                           CIMProperty("netbiosNodeType", CIMValue(UInt8(3)))});
  EXPECT_TRUE(isCimError(e, CIMException::FAILED, "#DHC_ERROR_333#"));
  EXPECT_EQ(0, memcmp(&before, &CustomerLANDhcpCompConfig, sizeof(before)));
  EXPECT_EQ(commits, g_commitCount);
  std::string gateway;
  Array<CIMQualifier> q;
  g_AddressRangePool[3].object->getDefaultGatewayIPAddress(gateway, q);
  EXPECT_EQ("192.168.1.254", gateway);

  SCOPED_TRACE("an empty gateway removes it from the LAN and its ranges");
  EXPECT_EQ(CIMException::SUCCESS, modify({CIMProperty("defaultGatewayIPAddress", CIMValue(""))}).getErrNo());
  EXPECT_EQ(0u, CustomerLANDhcpCompConfig.defaultGateway.ipLong);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.defaultGatewayEmpty);
  g_AddressRangePool[3].object->getDefaultGatewayIPAddress(gateway, q);
  EXPECT_EQ("", gateway);
  delete g_AddressRangePool[3].object;
}

TEST_F(ProviderUnitTest, SetterCodes) {
  const CIMException::ErrNoType failed = CIMException::FAILED, invalid = CIMException::INVALID_PARAMETER;
  const struct {
    const char* property;
    CIMValue value;
    CIMException::ErrNoType status;
    const char* message;
  } cases[] = {
      {"domainName", CIMValue("a_b"), failed, "#DHC_ERROR_352#"},
      {"dhcpServerCustomerLANStatus", CIMValue(UInt16(3)), failed, "#DHC_ERROR_333#"},
      {"primaryDNSIPAddress", CIMValue("1.2.3.256"), failed, "#DHC_ERROR_320#"},
      {"defaultGatewayIPAddress", CIMValue("10.0.0.1"), failed, "#DHC_ERROR_320#"},
      {"s1IPAddress", CIMValue("999.999.999.9999"), failed, "#DHC_ERROR_320#"},  // the longest text allowed
      // Only canonical dotted quads (the wire's forms: security_system_test), no NUL.
      {"netbiosIPAddress", CIMValue(std::string("1.2.3.4\0", 8)), failed, "#DHC_ERROR_320#"},
      {"defaultGatewayIPAddress", CIMValue("192.168.1.0254"), failed, "#DHC_ERROR_320#"},
      {"domainName", CIMValue(std::string("lab\0x", 5)), failed, "#DHC_ERROR_352#"},
      {"vlanIds", CIMValue(std::string("1\0", 2)), failed, "#DHC_ERROR_330#"},
      {"vlanIds", CIMValue("1,,2"), failed, "#DHC_ERROR_330#"},
      {"vlanIds", CIMValue("100;reboot"), failed, "#DHC_ERROR_330#"},
      {"domainName", CIMValue(std::string(41, 'a')), invalid,
       "The length of domainName must be <= 40\n#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_domainName,40#"},
      {"vlanIds", CIMValue(std::string(51, '1')), invalid,
       "The length of vlanIds must be <= 50\n#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_vlanIds,50#"},
      {"s2OtherPort", CIMValue(UInt16(10000)), invalid,
       "The value of s2OtherPort must be <= "
       "9999\n#CFG_000_0003,MOF_Props_ZPX_DHCPSettingData_s2OtherPort,9999#"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.property);
    EXPECT_TRUE(isCimError(modify({CIMProperty(c.property, c.value)}), c.status, c.message));
  }
  SCOPED_TRACE("accepted values");
  EXPECT_EQ(CIMException::SUCCESS, modify({CIMProperty("domainName", CIMValue("phones.example")),
                                           CIMProperty("netbiosNodeType", CIMValue(UInt8(4))),
                                           CIMProperty("s1IPAddress", CIMValue("192.168.1.5"))})
                                       .getErrNo());
  EXPECT_STREQ("phones.example", CustomerLANDhcpCompConfig.domainName);
  EXPECT_EQ(4, CustomerLANDhcpCompConfig.winsNodeType);
  EXPECT_STREQ("192.168.1.5", CustomerLANDhcpCompConfig.s1Address.ipString);
  // A stored name outside today's rule may be sent back unchanged.
  snprintf(CustomerLANDhcpCompConfig.domainName, sizeof(CustomerLANDhcpCompConfig.domainName), "lab_1");
  EXPECT_EQ(CIMException::SUCCESS, modify({CIMProperty("domainName", CIMValue("lab_1"))}).getErrNo());
}

}  // namespace
