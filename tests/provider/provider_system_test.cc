// ZPX_DHCPService, ZPX_DHCPSettingData and their association as a management
// station sees them: TavrelAgent in the appliance sandbox with the real
// dhcpd, driven over CIM-XML by wbemcli and by raw requests.
#include <gtest/gtest.h>

#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

// A new link from the service to the setting data named (none: no Dependent).
std::string linkInstance(const std::string& dependent) {
  std::string params =
      "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"ZPX_DHCPSettingDataInService\">"
      "<PROPERTY.REFERENCE NAME=\"Antecedent\" REFERENCECLASS=\"ZPX_DHCPService\"><VALUE.REFERENCE>" +
      serviceInstanceName() + "</VALUE.REFERENCE></PROPERTY.REFERENCE>";
  if (!dependent.empty())
    params +=
        "<PROPERTY.REFERENCE NAME=\"Dependent\" REFERENCECLASS=\"ZPX_DHCPSettingData\"><VALUE.REFERENCE>" +
        dependent + "</VALUE.REFERENCE></PROPERTY.REFERENCE>";
  return params + "</INSTANCE></IPARAMVALUE>";
}

class ProviderSystemTest : public CimSystemTest {
 protected:
  std::string settings() const { return m_agent->wbemcli("gi", kSettingDataPath).out; }
};

TEST_F(ProviderSystemTest, SettingsServiceAndAssociation) {
  ASSERT_THAT(settings(), HasSubstr("leaseTime=3600,"));
  pid_t oldServer = pidInFile(kDhcpdPidFile);
  // wbemcli writes back the whole instance it read, with the change; it
  // reaches the files, a new dhcpd and the next telephone.
  ok("mi", kSettingDataPath, "leaseTime=1234");
  EXPECT_THAT(settings(), HasSubstr("leaseTime=1234,"));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("default-lease-time 1234;"));
  EXPECT_THAT(readFile(kComponentFile), HasSubstr("1234"));
  ASSERT_TRUE(waitUntil([&] {
    return pidInFile(kDhcpdPidFile) > 0 && pidInFile(kDhcpdPidFile) != oldServer;
  })) << "dhcpd was not restarted";
  EXPECT_THAT(phoneLease(), HasSubstr("option dhcp-lease-time 1234;"));

  // The typing of raw values is the dispatcher's (interop tests); each
  // setter, the read-only properties and each refusal are the unit tests'.
  // Here one refusal on the wire, after an applied property: nothing of the
  // request reaches the record, the files or the server.
  std::string record = settings(), conf = readFile(kDhcpdConf), component = readFile(kComponentFile);
  pid_t server = pidInFile(kDhcpdPidFile);
  CIMError e = m_agent->modifySettingData(property("leaseTime", "uint32", "77") +
                                          property("domainName", "string", std::string(41, 'a')));
  EXPECT_EQ(4, e.code) << e.description;
  EXPECT_EQ(
      "The length of domainName must be <= 40\n#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_domainName,40#",
      e.description);
  EXPECT_EQ(record, settings());
  EXPECT_EQ(conf, readFile(kDhcpdConf));
  EXPECT_EQ(component, readFile(kComponentFile));
  EXPECT_EQ(server, pidInFile(kDhcpdPidFile));

  // The service and its association with the setting data.
  EXPECT_THAT(ok("ein", "ZPX_DHCPService"), HasSubstr(kServicePath));
  const std::string service =
      "SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\",CreationClassName=\"ZPX_DHCPService\","
      "Name=\"DHCPService\",ElementName=\"\"";
  EXPECT_THAT(ok("gi", kServicePath), HasSubstr(service));
  // Renewal of the static customer LAN answers and leaves dhcpd alone.
  ok("cm", kServicePath, "renewDynamicIPAddress");
  EXPECT_EQ(server, pidInFile(kDhcpdPidFile));
  // Modifying the service succeeds and changes nothing; method names are
  // exact, and the setting data has none.
  ok("mi", kServicePath, "ElementName=\"x\"");
  EXPECT_THAT(ok("gi", kServicePath), HasSubstr(service));
  EXPECT_THAT(m_agent->wbemcli("cm", kServicePath, "RenewDynamicIPAddress").err,
              HasSubstr("CIM_ERR_METHOD_NOT_FOUND"));
  EXPECT_THAT(m_agent->wbemcli("cm", kSettingDataPath, "renewDynamicIPAddress").err,
              HasSubstr("CIM_ERR_METHOD_NOT_FOUND"));

  SCOPED_TRACE("association links are created and followed");
  const std::string links = "ZPX_DHCPSettingDataInService", linkClass = "-ac " + links;
  EXPECT_EQ("", ok("ain", kServicePath, "", linkClass)) << "no links at start";
  EXPECT_EQ("", ok("ein", links));
  e = m_agent->call("CreateInstance", linkInstance(""));
  EXPECT_EQ(4, e.code) << "a link without its Dependent";
  EXPECT_EQ("Invalid reference objectPath", e.description);
  e = m_agent->call("CreateInstance", linkInstance(settingDataInstanceName()));
  ASSERT_EQ(0, e.code) << e.description;

  EXPECT_THAT(ok("ain", kServicePath, "", linkClass), HasSubstr(kSettingDataPath));
  EXPECT_THAT(ok("ain", kServicePath), HasSubstr(kSettingDataPath)) << "no association class given";
  EXPECT_THAT(ok("ai", kSettingDataPath, "", linkClass), HasSubstr("Name=\"DHCPService\",ElementName=\"\""));
  EXPECT_THAT(ok("rin", kSettingDataPath, "", "-arc " + links), HasSubstr(links + ".Antecedent="));
  EXPECT_THAT(ok("ri", kServicePath, "", "-arc " + links),
              AllOf(HasSubstr("Dependent="), HasSubstr("Zelkor:ZPX_DHCPSettingData")));

  // Role Antecedent from a setting-data path; a source of another class.
  EXPECT_THAT(m_agent->wbemcli("ain", kSettingDataPath, "", linkClass + " -ar Antecedent").err,
              AllOf(HasSubstr("CIM_ERR_FAILED"), HasSubstr("Property SystemCreationClassName is not sent")));
  EXPECT_THAT(m_agent->wbemcli("rin", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"0\"", "", "-arc " + links).err,
              HasSubstr("CIM_ERR_TYPE_MISMATCH"));

  // Following a link to a setting data that does not exist raises the
  // registry's CFG_NoInstance, which no class provider expects: it is
  // logged, once, and reported as CIM_ERR_FAILED; no refusal before it was.
  const std::string gone = instanceName("ZPX_DHCPSettingData", {{"InstanceID", "Gone"}});
  ASSERT_EQ(0, m_agent->call("CreateInstance", linkInstance(gone)).code);
  e = m_agent->call("AssociatorNames",
                    "<IPARAMVALUE NAME=\"ObjectName\">" + serviceInstanceName() +
                        "</IPARAMVALUE><IPARAMVALUE NAME=\"AssocClass\"><CLASSNAME NAME=\"" + links +
                        "\"/></IPARAMVALUE>");
  const std::string unexpected =
      "Unknown std::exception caught in Tavrel\n while performing associatorNames operation on "
      "ZPX_DHCPSettingDataInService\nstd::exception\n";
  EXPECT_EQ(1, e.code);
  EXPECT_EQ(unexpected, e.description);
  EXPECT_EQ(1u, occurrences(m_agent->log(), unexpected)) << m_agent->log();
  EXPECT_EQ(1u, occurrences(m_agent->log(), "caught in Tavrel")) << m_agent->log();

  std::string out = ok("ein", links);
  std::string first = out.substr(0, out.find('\n'));
  ok("di", first.substr(first.find(links + ".")));
}

}  // namespace
