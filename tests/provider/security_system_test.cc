// The management endpoint as a hostile local user meets it: TavrelAgent in
// the appliance sandbox, an unprivileged user (setpriv), the real wbemcli and
// curl. Only credentials reach the agent over TCP, only root its Unix
// socket; nesting is bounded; a planted "temp.txt" is never followed; every
// change is in the audit trail; another user's process is never signalled;
// a stop leaves no dhcpd.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kSocket[] = "/var/run/TavrelAgent.socket";
const char kVictim[] = "/root/victim";
const char kNobody[] = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// HTTP status of a bare POST to the agent with curl's extra options.
std::string statusOf(const std::string& prefix, const std::string& options) {
  return runCommand(prefix +
                    "curl -s -o /dev/null -w '%{http_code}' -X POST -H 'Content-Type: application/xml' " +
                    options + " 2>/dev/null")
      .output;
}

class SecuritySystemTest : public CimSystemTest {
 protected:
  void SetUp() override {
    if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    if (runCommand("command -v setpriv").status != 0) GTEST_SKIP() << "setpriv is needed";
    // What another user plants in the directory the agent is started from.
    ASSERT_TRUE(writeFile(kVictim, "root only\n"));
    ASSERT_EQ(0, symlink(kVictim, "temp.txt"));
    CimSystemTest::SetUp();
  }
  void TearDown() override {
    unlink("temp.txt");
    CimSystemTest::TearDown();
  }
};

TEST_F(SecuritySystemTest, StrangersRefusedChangesAuditedAndStopLeavesNoDhcpd) {
  const std::string tcp = "http://127.0.0.1:5988/cimom", unix = std::string("--unix-socket ") + kSocket;
  struct {
    const char* what;
    std::string prefix, options, status;
  } cases[] = {
      {"TCP, no credentials", kNobody, tcp, "401"},
      {"TCP, wrong password", kNobody, tcp + " -u " + kCimUser + ":guess", "401"},
      {"TCP, right credentials, empty request", kNobody, tcp + " -u " + kCimUser + ":" + kCimPassword, "400"},
      {"Unix socket, unprivileged", kNobody, unix + " http://localhost/cimom", "000"},
      {"Unix socket, root", "", unix + " http://localhost/cimom", "400"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.status, statusOf(c.prefix, c.options));
  }

  // Nesting deeper than any request is refused, and the agent serves on.
  std::string deep;
  for (int i = 0; i < 37000; ++i) deep += "<VALUE.ARRAY>";
  for (int i = 0; i < 37000; ++i) deep += "</VALUE.ARRAY>";
  CIMError e = m_agent->call("CreateInstance",
                             "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"ZPX_DHCPSettingData\">"
                             "<PROPERTY.ARRAY NAME=\"x\" TYPE=\"string\">" +
                                 deep + "</PROPERTY.ARRAY></INSTANCE></IPARAMVALUE>");
  EXPECT_EQ(-1, e.code) << "an HTTP refusal expected: " << e.description;
  EXPECT_THAT(e.description, HasSubstr("request-not-valid"));

  // Values at the CIM edge: each refused with its code, over the wire.
  const struct {
    const char* property;
    const char* value;
    int code;
    const char* tag;  // "" an HTTP refusal
  } values[] = {
      {"s1IPAddress", "192.168.001.061", 1, "#DHC_ERROR_320#"},
      {"primaryDNSIPAddress", "1.2.3", 1, "#DHC_ERROR_320#"},
      {"primaryDNSIPAddress", "192.168.1.63&#10;", 1, "#DHC_ERROR_320#"},
      {"secondaryDNSIPAddress", "1.2.3.4 5.6.7.8", 1, "#DHC_ERROR_320#"},
      {"domainName", "lab&#0;.example", -1, ""},
  };
  for (const auto& v : values) {
    SCOPED_TRACE(v.value);
    CIMError refused = m_agent->modifySettingData(property(v.property, "string", v.value));
    EXPECT_EQ(v.code, refused.code) << refused.description;
    EXPECT_THAT(refused.description, HasSubstr(v.code < 0 ? "request-not-well-formed" : v.tag));
  }
  ok("ci", "ZPX_DHCPReservedAddress.InstanceID=\"0\"",
     "IPv4Address=\"192.168.1.20\",reservedMACAddr=\"0a0b0c0d0e0f\",reservedClientName=\"desk\"");
  for (const auto& r :
       {std::make_pair("IPv4Address=\"192.168.1.255\",reservedMACAddr=\"0a0b0c0d0e01\"", "320"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"ff:ff:ff:ff:ff:ff\"", "327"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"000000000000\"", "327"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"0A:0B:0C:0D:0E:0F\"", "327")}) {
    SCOPED_TRACE(r.first);
    EXPECT_THAT(m_agent->wbemcli("ci", "ZPX_DHCPReservedAddress.InstanceID=\"1\"", r.first).err,
                HasSubstr(std::string("#DHC_ERROR_") + r.second + "#"));
  }

  // Start-up and an IP change run commands whose output the agent reads.
  ASSERT_TRUE(writeFile("/pq/etc/ipchnged.tmp", ""));
  EXPECT_TRUE(waitUntil([] { return !fileExists("/pq/etc/ipchnged.tmp"); }, std::chrono::seconds(15)));
  EXPECT_EQ("root only\n", readFile(kVictim));
  char target[64] = "";
  EXPECT_GT(readlink("temp.txt", target, sizeof(target) - 1), 0) << "the planted link is gone";
  struct stat st;
  ASSERT_EQ(0, lstat("/var/run/TavrelAgent", &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0700u, st.st_mode & 0777);
  EXPECT_EQ(0u, st.st_uid);

  // Audit trail.
  const std::string who = "by user \"cimadmin\" at 127.0.0.1 (HTTP)";
  ok("mi", kSettingDataPath, "leaseTime=7200");
  ok("ci", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"1\"",
     "InstanceID=\"1\",StartAddress=\"192.168.1.200\",EndAddress=\"192.168.1.220\"");
  m_agent->wbemcli("cm", kServicePath, "renewDynamicIPAddress");
  // wbemcli shows a refusal with its status and error tag.
  EXPECT_THAT(m_agent->wbemcli("mi", kSettingDataPath, "s2OtherPort=10000").err,
              AllOf(HasSubstr("CIM_ERR_INVALID_PARAMETER"),
                    HasSubstr("#CFG_000_0003,MOF_Props_ZPX_DHCPSettingData_s2OtherPort,9999#")));
  // Root's object manager on the Unix socket, identified by its uid and pid.
  CIMError deleted =
      m_agent->call("DeleteInstance",
                    "<IPARAMVALUE NAME=\"InstanceName\">" +
                        instanceName("ZPX_DHCPRangeOfIPAddresses", {{"InstanceID", "1"}}) + "</IPARAMVALUE>",
                    nullptr, true);
  EXPECT_EQ(0, deleted.code) << deleted.description;
  for (const std::string& line :
       {"audit: ModifyInstance " + who +
            ": class ZPX_DHCPSettingData key {InstanceID=\"Zelkor:ZPX_DHCPSettingData\"}; "
            "leaseTime: \"3600\" -> \"7200\"",
        std::string("audit: DeleteInstance by uid 0 pid "),
        "audit: CreateInstance " + who + ": class ZPX_DHCPRangeOfIPAddresses key {InstanceID=",
        "audit: InvokeMethod renewDynamicIPAddress " + who,
        "audit: ModifyInstance " + who + " refused with CIM status 4"})
    EXPECT_THAT(m_agent->log(), HasSubstr(line));

  // An unprivileged program named dhcpd, recorded in dhcpd's PID file.
  runCommand("kill $(cat /var/run/dhcpd.pid); cp /bin/sleep /tmp/dhcpd; chmod 755 /tmp/dhcpd");
  std::string pid = runCommand(std::string(kNobody) + "/tmp/dhcpd 600 >/dev/null 2>&1 & echo $!").output;
  pid.erase(pid.find_last_not_of('\n') + 1);
  ASSERT_FALSE(pid.empty());
  ASSERT_TRUE(writeFile(kDhcpdPidFile, pid + "\n"));
  // A change commits: the server is stopped through its PID file and started.
  ok("mi", kSettingDataPath, "leaseTime=7300");
  EXPECT_EQ(0, runCommand("grep -q '^State:.*[RS]' /proc/" + pid + "/status").status)
      << "another user's dhcpd was signalled";
  runCommand("kill " + pid);

  // Changes that restart dhcpd keep arriving while the agent stops.
  std::string modify = "while :; do wbemcli mi '" + cimUrl() + "/root/cimv2:" + kSettingDataPath +
                       "' leaseTime=$((RANDOM % 1000 + 600)) >/dev/null 2>&1; done";
  runCommand("for i in 1 2 3; do (" + modify + ") >/dev/null 2>&1 & echo $! >> clients.pid; done");
  const size_t audited = m_agent->log().rfind("audit: ModifyInstance");
  ASSERT_TRUE(waitUntil([&] { return m_agent->log().rfind("audit: ModifyInstance") != audited; }));
  EXPECT_TRUE(m_agent->stop());
  runCommand("kill $(cat clients.pid) 2>/dev/null; rm -f clients.pid");
  EXPECT_EQ("", runCommand("pgrep -x dhcpd").output) << "dhcpd runs after the agent ended\n"
                                                     << m_agent->log();
}

}  // namespace
