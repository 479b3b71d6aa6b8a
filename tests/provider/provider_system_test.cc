// ZPX_DHCPService, ZPX_DHCPSettingData and their association as a management
// station sees them: TavrelAgent in the appliance sandbox with the real
// dhcpd, driven over CIM-XML by wbemcli and by raw requests.
#include <gtest/gtest.h>

#include <string>

#include "system_test_support.h"

namespace {

using namespace tavrel::test;

class ProviderSystemTest : public AgentSystemTest {
 protected:
  std::string ok(const std::string& op, const std::string& path, const std::string& extra = "",
                 const std::string& options = "") const {
    return wbemcliOut(*m_agent, op, path, extra, options);
  }
  std::string settings() const { return m_agent->wbemcli("gi", kSettingDataPath).out; }
};

TEST_F(ProviderSystemTest, SettingsChangedReachDhcpdRefusedLeaveEverythingAlone) {
  ASSERT_TRUE(contains(settings(), "leaseTime=3600,")) << settings();
  pid_t oldServer = pidInFile(kDhcpdPidFile);
  // wbemcli writes back the whole instance it read, with the change; it
  // reaches the files, a new dhcpd and the next telephone.
  ok("mi", kSettingDataPath, "leaseTime=1234");
  EXPECT_TRUE(contains(settings(), "leaseTime=1234,"));
  EXPECT_TRUE(contains(readFile(kDhcpdConf), "default-lease-time 1234;")) << readFile(kDhcpdConf);
  EXPECT_TRUE(contains(readFile(kComponentFile), "1234")) << readFile(kComponentFile);
  ASSERT_TRUE(waitUntil([&] {
    return pidInFile(kDhcpdPidFile) > 0 && pidInFile(kDhcpdPidFile) != oldServer;
  })) << "dhcpd was not restarted";
  std::string phone = phoneLease();
  EXPECT_TRUE(contains(phone, "option dhcp-lease-time 1234;")) << phone;

  // Settings of each CIM type in one raw request; a read-only one is skipped.
  CIMError e = m_agent->modifySettingData(
      property("domainName", "string", "phones.example") + property("s1Port", "uint16", "5000") +
      property("netbiosNodeType", "uint8", "4") + property("dhcpServerOAMLANStatus", "uint16", "7") +
      property("primaryDNSIPAddress", "string", "192.168.1.3"));
  EXPECT_EQ(0, e.code) << e.description;
  std::string now = settings();
  for (const char* shown : {"domainName=\"phones.example\"", "s1Port=5000,s1OtherPort=5000",
                            "netbiosNodeType=4", "dhcpServerOAMLANStatus=1"})
    EXPECT_TRUE(contains(now, shown)) << shown << "\n" << now;
  std::string conf = readFile(kDhcpdConf);
  EXPECT_TRUE(contains(conf, "phones.example") && contains(conf, "192.168.1.3")) << conf;

  // Each refusal is the providers' unit tests'; here one on the wire, and
  // nothing of it reaches the record, the files or the server.
  std::string record = settings(), component = readFile(kComponentFile);
  conf = readFile(kDhcpdConf);
  pid_t server = pidInFile(kDhcpdPidFile);
  e = m_agent->modifySettingData(property("leaseTime", "uint32", "77") +
                                 property("domainName", "string", std::string(41, 'a')));
  EXPECT_EQ(4, e.code) << e.description;
  EXPECT_EQ(
      "The length of domainName must be <= 40\n#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_domainName,40#",
      e.description);
  EXPECT_EQ(record, settings());
  EXPECT_EQ(conf, readFile(kDhcpdConf));
  EXPECT_EQ(component, readFile(kComponentFile));
  EXPECT_EQ(server, pidInFile(kDhcpdPidFile));
  CommandOutput r = m_agent->wbemcli("gi", "ZPX_DHCPSettingData.InstanceID=\"Other\"");
  EXPECT_TRUE(contains(r.err, "CIM_ERR_NOT_FOUND")) << r.err;
}

std::string linkInstance(const std::string& antecedent, const std::string& dependent) {
  std::string params =
      "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"ZPX_DHCPSettingDataInService\">";
  if (!antecedent.empty())
    params +=
        "<PROPERTY.REFERENCE NAME=\"Antecedent\" REFERENCECLASS=\"ZPX_DHCPService\">"
        "<VALUE.REFERENCE>" +
        antecedent + "</VALUE.REFERENCE></PROPERTY.REFERENCE>";
  if (!dependent.empty())
    params +=
        "<PROPERTY.REFERENCE NAME=\"Dependent\" REFERENCECLASS=\"ZPX_DHCPSettingData\">"
        "<VALUE.REFERENCE>" +
        dependent + "</VALUE.REFERENCE></PROPERTY.REFERENCE>";
  return params + "</INSTANCE></IPARAMVALUE>";
}

TEST_F(ProviderSystemTest, ServiceAndAssociation) {
  EXPECT_TRUE(contains(ok("ein", "ZPX_DHCPService"), kServicePath));
  const std::string service =
      "SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\",CreationClassName=\"ZPX_DHCPService\","
      "Name=\"DHCPService\",ElementName=\"\"";
  EXPECT_TRUE(contains(ok("gi", kServicePath), service));
  // Modifying the service succeeds and changes nothing; method names are exact.
  ok("mi", kServicePath, "ElementName=\"x\"");
  EXPECT_TRUE(contains(ok("gi", kServicePath), service));
  CommandOutput r = m_agent->wbemcli("cm", kServicePath, "RenewDynamicIPAddress");
  EXPECT_TRUE(contains(r.err, "CIM_ERR_METHOD_NOT_FOUND")) << r.err;

  SCOPED_TRACE("association links are created and followed");
  const std::string links = "ZPX_DHCPSettingDataInService", linkClass = "-ac " + links;
  EXPECT_EQ("", ok("ain", kServicePath, "", linkClass)) << "no links at start";
  EXPECT_EQ("", ok("ein", links));
  CIMError e = m_agent->call("CreateInstance", linkInstance(serviceInstanceName(), ""));
  EXPECT_EQ(4, e.code) << "a link without its Dependent";
  EXPECT_EQ("Invalid reference objectPath", e.description);
  e = m_agent->call("CreateInstance", linkInstance(serviceInstanceName(), settingDataInstanceName()));
  ASSERT_EQ(0, e.code) << e.description;

  EXPECT_TRUE(contains(ok("ain", kServicePath, "", linkClass), kSettingDataPath));
  EXPECT_TRUE(contains(ok("ai", kSettingDataPath, "", linkClass), "Name=\"DHCPService\",ElementName=\"\""));
  EXPECT_TRUE(contains(ok("rin", kSettingDataPath, "", "-arc " + links), links + ".Antecedent="));
  std::string out = ok("ri", kServicePath, "", "-arc " + links);
  EXPECT_TRUE(contains(out, "Dependent=")) << out;
  EXPECT_TRUE(contains(out, "Zelkor:ZPX_DHCPSettingData")) << out;

  // Role Antecedent from a setting-data path; a source of another class.
  r = m_agent->wbemcli("ain", kSettingDataPath, "", linkClass + " -ar Antecedent");
  EXPECT_TRUE(contains(r.err, "CIM_ERR_FAILED")) << r.err;
  EXPECT_TRUE(contains(r.err, "Property SystemCreationClassName is not sent")) << r.err;
  r = m_agent->wbemcli("rin", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"0\"", "", "-arc " + links);
  EXPECT_TRUE(contains(r.err, "CIM_ERR_TYPE_MISMATCH")) << r.err;

  out = ok("ein", links);
  std::string first = out.substr(0, out.find('\n'));
  ok("di", first.substr(first.find(links + ".")));
}

}  // namespace
