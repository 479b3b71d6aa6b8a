// ZPX_DHCPService, ZPX_DHCPSettingData and their association as a management
// station sees them: TavrelAgent in the appliance sandbox with the real
// dhcpd, driven over CIM-XML by wbemcli and by raw requests.
#include <gtest/gtest.h>

#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kDhcpdConf[] = "/pq/etc/dhcpd.conf";
const char kComponentFile[] = "/pq/etc/dhcpcomp.conf";

class ProviderSystemTest : public AgentSystemTest {
 protected:
  std::string settings() const { return m_agent->wbemcli("gi", kSettingDataPath).out; }
};

TEST_F(ProviderSystemTest, SettingsChangedReachDhcpdRefusedLeaveEverythingAlone) {
  {
    SCOPED_TRACE("a lease time change reaches dhcpd and the next telephone");
    std::string before = settings();
    ASSERT_TRUE(contains(before, "leaseTime=3600,")) << before;
    pid_t oldServer = pidInFile(kDhcpdPidFile);

    // wbemcli writes back the whole instance it read, with the change.
    CommandOutput r = m_agent->wbemcli("mi", kSettingDataPath, "leaseTime=1234");
    ASSERT_EQ(0, r.status) << r.err << m_agent->log();

    EXPECT_TRUE(contains(settings(), "leaseTime=1234,"));
    EXPECT_TRUE(contains(readFile(kDhcpdConf), "default-lease-time 1234;")) << readFile(kDhcpdConf);
    EXPECT_TRUE(contains(readFile(kComponentFile), "1234")) << readFile(kComponentFile);
    ASSERT_TRUE(waitUntil([&] {
      return pidInFile(kDhcpdPidFile) > 0 && pidInFile(kDhcpdPidFile) != oldServer;
    })) << "dhcpd was not restarted";

    auto phone = runCommand("appliance-phone --vendor Zelkor-p4100-A --timeout 20");
    ASSERT_EQ(0, phone.status) << phone.output;
    EXPECT_TRUE(contains(phone.output, "option dhcp-lease-time 1234;")) << phone.output;

    {
      SCOPED_TRACE("other settings in one request, and a read-only one skipped");
      CIMError e = m_agent->modifySettingData(
          property("domainName", "string", "phones.example") + property("s1Port", "uint16", "5000") +
          property("netbiosNodeType", "uint8", "4") + property("dhcpServerOAMLANStatus", "uint16", "7") +
          property("primaryDNSIPAddress", "string", "192.168.1.3"));
      EXPECT_EQ(0, e.code) << e.description;
      std::string now = settings();
      EXPECT_TRUE(contains(now, "domainName=\"phones.example\"")) << now;
      EXPECT_TRUE(contains(now, "s1Port=5000,s1OtherPort=5000")) << now;
      EXPECT_TRUE(contains(now, "netbiosNodeType=4")) << now;
      EXPECT_TRUE(contains(now, "dhcpServerOAMLANStatus=1")) << now;
      std::string conf = readFile(kDhcpdConf);
      EXPECT_TRUE(contains(conf, "phones.example")) << conf;
      EXPECT_TRUE(contains(conf, "192.168.1.3")) << conf;
    }
  }
  {
    SCOPED_TRACE("refused settings leave record, file and server alone");
    struct Case {
      const char* what;
      std::string properties;
      int code;
      std::string description;
    } cases[] = {
        {"domain name too long", property("domainName", "string", std::string(41, 'a')), 4,
         "The length of domainName must be <= 40\n"
         "#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_domainName,40#"},
        {"other port above 9999", property("s2OtherPort", "uint16", "10000"), 4,
         "The value of s2OtherPort must be <= 9999\n"
         "#CFG_000_0003,MOF_Props_ZPX_DHCPSettingData_s2OtherPort,9999#"},
        {"16-character address", property("s1IPAddress", "string", "999.999.999.9999"), 1, "#DHC_ERROR_320#"},
        {"vlan list too long", property("vlanIds", "string", std::string(51, '1')), 4,
         "The length of vlanIds must be <= 50\n"
         "#CFG_000_0004,MOF_Props_ZPX_DHCPSettingData_vlanIds,50#"},
        {"domain name character", property("domainName", "string", "a_b"), 1, "#DHC_ERROR_352#"},
        {"server mode 3", property("dhcpServerCustomerLANStatus", "uint16", "3"), 1, "#DHC_ERROR_333#"},
        {"netbios node type 3", property("netbiosNodeType", "uint8", "3"), 1, "#DHC_ERROR_333#"},
        {"not an address", property("primaryDNSIPAddress", "string", "192.168.1.300"), 1, "#DHC_ERROR_320#"},
        {"gateway outside the LAN", property("defaultGatewayIPAddress", "string", "10.0.0.1"), 1,
         "#DHC_ERROR_320#"},
        {"bad VLAN list", property("vlanIds", "string", "100;reboot"), 1, "#DHC_ERROR_330#"},
        {"earlier properties are undone",
         property("leaseTime", "uint32", "77") + property("domainName", "string", "ok.lan") +
             property("defaultGatewayIPAddress", "string", "192.168.1.200") +
             property("netbiosNodeType", "uint8", "5"),
         1, "#DHC_ERROR_333#"},
    };
    std::string record = settings();
    std::string conf = readFile(kDhcpdConf);
    std::string component = readFile(kComponentFile);
    pid_t server = pidInFile(kDhcpdPidFile);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      CIMError e = m_agent->modifySettingData(c.properties);
      EXPECT_EQ(c.code, e.code) << e.description;
      EXPECT_EQ(c.description, e.description);
      EXPECT_EQ(record, settings());
      EXPECT_EQ(conf, readFile(kDhcpdConf));
      EXPECT_EQ(component, readFile(kComponentFile));
      EXPECT_EQ(server, pidInFile(kDhcpdPidFile));
    }
    {
      SCOPED_TRACE("an unknown InstanceID is not found");
      CommandOutput r = m_agent->wbemcli("gi", "ZPX_DHCPSettingData.InstanceID=\"Other\"");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_NOT_FOUND")) << r.err;
    }
  }
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
  {
    SCOPED_TRACE("the service is listed, read and offers its method");
    CommandOutput r = m_agent->wbemcli("ein", "ZPX_DHCPService");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, kServicePath)) << r.out;

    r = m_agent->wbemcli("gi", kServicePath);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\","
                         "CreationClassName=\"ZPX_DHCPService\",Name=\"DHCPService\","
                         "ElementName=\"\""))
        << r.out;

    {
      SCOPED_TRACE("modifying the service changes nothing and succeeds");
      r = m_agent->wbemcli("mi", kServicePath, "ElementName=\"x\"");
      EXPECT_EQ(0, r.status) << r.err;
      EXPECT_TRUE(contains(m_agent->wbemcli("gi", kServicePath).out, "ElementName=\"\""));
    }
    {
      SCOPED_TRACE("the renewal of a static customer LAN answers 0 and leaves dhcpd alone");
      pid_t dhcpd = pidInFile(kDhcpdPidFile);
      r = m_agent->wbemcli("cm", kServicePath, "renewDynamicIPAddress");
      EXPECT_EQ(0, r.status) << r.err;
      EXPECT_EQ(dhcpd, pidInFile(kDhcpdPidFile));
    }
    {
      SCOPED_TRACE("method names are exact");
      r = m_agent->wbemcli("cm", kServicePath, "RenewDynamicIPAddress");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_METHOD_NOT_FOUND")) << r.err;
      r = m_agent->wbemcli("cm", kSettingDataPath, "renewDynamicIPAddress");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_METHOD_NOT_FOUND")) << r.err;
    }
    {
      SCOPED_TRACE("class names are exact");
      CIMError e = m_agent->call("EnumerateInstanceNames",
                                 "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME "
                                 "NAME=\"zpx_dhcpservice\"/></IPARAMVALUE>");
      EXPECT_EQ(5, e.code) << e.description;
    }
  }
  {
    SCOPED_TRACE("association links are created and followed");
    const std::string linkClass = "-ac ZPX_DHCPSettingDataInService";
    {
      SCOPED_TRACE("no links at start");
      CommandOutput r = m_agent->wbemcli("ain", kServicePath, "", linkClass);
      EXPECT_EQ(0, r.status) << r.err;
      EXPECT_EQ("", r.out);
      EXPECT_EQ("", m_agent->wbemcli("ein", "ZPX_DHCPSettingDataInService").out);
    }
    {
      SCOPED_TRACE("a link without its Dependent is refused");
      CIMError e = m_agent->call("CreateInstance", linkInstance(serviceInstanceName(), ""));
      EXPECT_EQ(4, e.code);
      EXPECT_EQ("Invalid reference objectPath", e.description);
    }
    CIMError e =
        m_agent->call("CreateInstance", linkInstance(serviceInstanceName(), settingDataInstanceName()));
    ASSERT_EQ(0, e.code) << e.description;

    CommandOutput r = m_agent->wbemcli("ain", kServicePath, "", linkClass);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, kSettingDataPath)) << r.out;

    r = m_agent->wbemcli("ai", kSettingDataPath, "", linkClass);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "Name=\"DHCPService\",ElementName=\"\"")) << r.out;

    r = m_agent->wbemcli("rin", kSettingDataPath, "", "-arc ZPX_DHCPSettingDataInService");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "ZPX_DHCPSettingDataInService.Antecedent=")) << r.out;

    r = m_agent->wbemcli("ri", kServicePath, "", "-arc ZPX_DHCPSettingDataInService");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "Dependent=")) << r.out;
    EXPECT_TRUE(contains(r.out, "Zelkor:ZPX_DHCPSettingData")) << r.out;

    {
      SCOPED_TRACE("role Antecedent from a setting-data path");
      r = m_agent->wbemcli("ain", kSettingDataPath, "", linkClass + " -ar Antecedent");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_FAILED")) << r.err;
      EXPECT_TRUE(contains(r.err, "Property SystemCreationClassName is not sent")) << r.err;
    }
    {
      SCOPED_TRACE("a source of another class");
      r = m_agent->wbemcli("rin", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"0\"", "",
                           "-arc ZPX_DHCPSettingDataInService");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_TYPE_MISMATCH")) << r.err;
      r = m_agent->wbemcli("ai", kServicePath, "", "-ac ZPX_DHCPService");
      EXPECT_TRUE(contains(r.err, "CIM_ERR_INVALID_CLASS")) << r.err;
    }
    {
      SCOPED_TRACE("a link to a setting data that does not exist fails when followed");
      std::string missing =
          "<INSTANCENAME CLASSNAME=\"ZPX_DHCPSettingData\"><KEYBINDING NAME=\"InstanceID\">"
          "<KEYVALUE VALUETYPE=\"string\">Gone</KEYVALUE></KEYBINDING></INSTANCENAME>";
      e = m_agent->call("CreateInstance", linkInstance(serviceInstanceName(), missing));
      ASSERT_EQ(0, e.code) << e.description;
      r = m_agent->wbemcli("ain", kServicePath, "", linkClass);
      EXPECT_TRUE(contains(r.err, "CIM_ERR_FAILED")) << r.err;
      EXPECT_TRUE(contains(m_agent->log(), "Unknown std::exception caught in Tavrel")) << m_agent->log();
    }
    {
      SCOPED_TRACE("deleting a link");
      r = m_agent->wbemcli("ein", "ZPX_DHCPSettingDataInService");
      ASSERT_EQ(0, r.status) << r.err;
      std::string first = r.out.substr(0, r.out.find('\n'));
      std::string path = first.substr(first.find("ZPX_DHCPSettingDataInService."));
      r = m_agent->wbemcli("di", path);
      EXPECT_EQ(0, r.status) << r.err;
    }
  }
}

}  // namespace
