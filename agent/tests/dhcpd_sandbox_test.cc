// Commit and daemon control with the real dhcpd inside the appliance sandbox
// (run with --vlans 100): the server starts and stops through its PID file,
// telephones get their options from the generated configuration, and a stale
// PID file never makes the agent kill an unrelated process.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <functional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "commit.h"
#include "dhcpd.h"
#include "dhcpd_test_support.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/leases.h"
#include "model/records.h"
#include "model/result.h"
#include "model_test_support.h"
#include "process.h"
#include "tavrel_agent_api.h"
#include "test_support.h"

namespace {

using namespace tavrel::test;
using model_test::logged;
using ::testing::HasSubstr;

const char kIpChangeFlagFile[] = "/pq/etc/ipchnged.tmp";
const char kSystemLog[] = "/var/log/messages";

// The appliance's syslogd (busybox) writes kSystemLog.
bool hasSystemLog() {
  return runCommand("command -v busybox").status == 0;
}

bool isRunningDhcpd(pid_t pid) {
  return pid > 0 && kill(pid, 0) == 0 && readFile("/proc/" + std::to_string(pid) + "/comm") == "dhcpd\n";
}

// CPU time the test process has used.
double cpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const struct timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A telephone on the given segment asks for a lease.
CommandResult phone(const std::string& vendor, const std::string& iface = "eth1", int timeout = 15) {
  const char* command = getenv("APPLIANCE_PHONE");
  return runCommand(std::string(command != nullptr ? command : "appliance-phone") + " --vendor " +
                    shellQuote(vendor) + " --iface " + iface + " --timeout " + std::to_string(timeout) +
                    " 2>&1");
}

class DaemonSandboxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dhcpCompInitProcessControl();
    openlog("TavrelAgent", LOG_CONS | LOG_PERROR, LOG_DAEMON);
  }
  static void TearDownTestSuite() { closelog(); }

  void SetUp() override {
    if (!insideAppliance()) GTEST_SKIP() << "runs only inside tests/sandbox/appliance";
    model_test::resetModel({100});
    dhcpd_test::setUpApplianceRecords();
    model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
  }

  void TearDown() override {
    dhcpCompStopDhcpdSupervision();
    dhcpCompKillDhcpDaemon();
  }

  // Commits and checks that a dhcpd runs afterwards; returns its pid.
  pid_t commit() {
    int rc = dhcpCompCommitConfigurationChanges();
    EXPECT_EQ(0, rc) << readFile(DHCPD_START_OUTPUT_FILE);
    pid_t pid = pidInFile(DHCPD_PID_FILE);
    EXPECT_TRUE(isRunningDhcpd(pid)) << "pid " << pid;
    return pid;
  }
};

// A commit starts the server, leaving alone an unrelated process a stale PID
// file names; one that changes dhcpd.conf replaces it (no zombie left), one
// that does not keeps it but writes the component file; the stop ends and
// reaps it.
TEST_F(DaemonSandboxTest, CommitsStartReplaceOrKeepTheServerAndStopEndsIt) {
  pid_t other = fork();
  if (other == 0) {
    execl("/bin/sleep", "sleep", "300", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_TRUE(waitUntil([&] { return readFile("/proc/" + std::to_string(other) + "/comm") == "sleep\n"; }));
  ASSERT_TRUE(writeFile(DHCPD_PID_FILE, std::to_string(other) + "\n"));
  pid_t previous = commit();
  EXPECT_EQ(0, waitpid(other, nullptr, WNOHANG)) << "the unrelated process still runs";
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
  EXPECT_EQ(dhcpCompFormatDhcpdConfig(), readFile(DHCPD_CONF_FILE));
  EXPECT_EQ(readFile("/pq/etc/dhcpcomp.conf"), readFile("/root/dhcp.check4"));
  EXPECT_TRUE(fileExists(DHCPD_LEASE_FILE));
  for (int i = 0; i < 50; ++i) {
    SCOPED_TRACE("commit " + std::to_string(i + 1));
    CustomerLANDhcpCompConfig.leaseTime = 600 + static_cast<uint32_t>(i);
    pid_t pid = commit();
    ASSERT_TRUE(isRunningDhcpd(pid));
    EXPECT_FALSE(isRunningDhcpd(previous)) << "old server " << previous;
    previous = pid;
  }
  EXPECT_EQ("", runCommand("ps -eo comm,stat | awk '$1 == \"dhcpd\" && $2 ~ /Z/'").output)
      << "no dhcpd zombie";

  CustomerLANDhcpCompConfig.reservedAddrs[5].isFree = 1;  // no effect on either file
  unlink("/root/dhcp.check4");
  EXPECT_EQ(previous, commit());
  EXPECT_TRUE(fileExists("/root/dhcp.check4")) << "the component file was written";

  // Deferred, a commit applies nothing until the deferral ends.
  const std::string applied = readFile(DHCPD_CONF_FILE);
  {
    CommitDeferral deferral;
    CustomerLANDhcpCompConfig.leaseTime = 700;
    EXPECT_EQ(0, dhcpCompCommitConfigurationChanges());
    EXPECT_EQ(applied, readFile(DHCPD_CONF_FILE));
  }
  pid_t resumed = commit();
  EXPECT_NE(previous, resumed) << "the change deferred is applied by the next commit";
  previous = resumed;

  dhcpCompKillDhcpDaemon();
  EXPECT_FALSE(fileExists(DHCPD_PID_FILE));
  EXPECT_NE(0, kill(previous, 0)) << "the server has ended and was reaped when the stop returns";
  EXPECT_EQ(ESRCH, errno);
  EXPECT_NE(previous, commit()) << "without a server a commit starts one";
}

// A dhcpd found through the PID file (an earlier agent's) is adopted only
// when it runs the live configuration, from a replaced binary too; any other
// is replaced. Afterwards exactly one dhcpd runs.
TEST_F(DaemonSandboxTest, FoundServerIsAdoptedOnlyWithTheLiveConfiguration) {
  commit();
  dhcpCompKillDhcpDaemon();
  ASSERT_EQ(0, runCommand("mkdir -p /tmp/sbin && cp /usr/sbin/dhcpd /tmp/sbin/ && touch /tmp/other.leases && "
                          "cp " DHCPD_CONF_FILE " /tmp/copy.conf")
                   .status);
  const std::string live = " -q -cf " DHCPD_CONF_FILE " -lf " DHCPD_LEASE_FILE;
  struct {
    const char* what;
    std::string command;
    bool replaceBinary, adopted;
  } rows[] = {
      {"as an earlier agent started it", "/usr/sbin/dhcpd" + live, false, true},
      {"its binary replaced since", "/tmp/sbin/dhcpd" + live, true, true},
      {"another configuration file", "/usr/sbin/dhcpd -q -cf /tmp/copy.conf -lf " DHCPD_LEASE_FILE, false,
       false},
      {"another lease file", "/usr/sbin/dhcpd -q -cf " DHCPD_CONF_FILE " -lf /tmp/other.leases", false,
       false},
      {"an interface list", "/usr/sbin/dhcpd" + live + " eth1", false, false},
      {"another PID file",
       "/usr/sbin/dhcpd" + live + " -pf /tmp/other.pid && cp /tmp/other.pid " DHCPD_PID_FILE, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(0, runCommand(row.command).status);
    pid_t found = pidInFile(DHCPD_PID_FILE);
    ASSERT_TRUE(isRunningDhcpd(found));
    if (row.replaceBinary)
      runCommand("cp /usr/sbin/dhcpd /tmp/sbin/dhcpd.new && mv /tmp/sbin/dhcpd.new /tmp/sbin/dhcpd");
    EXPECT_EQ(row.adopted, commit() == found);
    EXPECT_EQ("1\n", runCommand("ps -C dhcpd -o stat= | grep -vc Z").output) << "exactly one dhcpd";
    dhcpCompKillDhcpDaemon();
    EXPECT_FALSE(isRunningDhcpd(found));
  }
}

// dhcpd refuses overlapping ranges (records made here without the range
// checks): nothing is applied, the running server keeps serving.
TEST_F(DaemonSandboxTest, ConfigurationRefusedByDhcpdIsNotApplied) {
  pid_t pid = commit();
  std::string conf = readFile(DHCPD_CONF_FILE);
  std::string component = readFile("/pq/etc/dhcpcomp.conf");
  dhcpd_test::addRange(&CustomerLANDhcpCompConfig, 1, "192.168.1.150", "192.168.1.160");
  EXPECT_EQ(DHCP_RC_CONFIG_REFUSED, dhcpCompCommitConfigurationChanges());
  EXPECT_THAT(dhcpCompCommitFailureText(), HasSubstr("is declared twice"));
  EXPECT_THAT(dhcpCompCommitFailureText(), ::testing::Not(HasSubstr("Internet Systems Consortium")));
  EXPECT_EQ(pid, pidInFile(DHCPD_PID_FILE));
  EXPECT_TRUE(isRunningDhcpd(pid));
  EXPECT_EQ(conf, readFile(DHCPD_CONF_FILE));
  EXPECT_EQ(component, readFile("/pq/etc/dhcpcomp.conf"));
  EXPECT_FALSE(fileExists(DHCPD_CONF_CHECK_FILE));

  // Without a running server the live file is started.
  dhcpCompKillDhcpDaemon();
  EXPECT_EQ(DHCP_RC_CONFIG_REFUSED, dhcpCompCommitConfigurationChanges());
  EXPECT_TRUE(isRunningDhcpd(pidInFile(DHCPD_PID_FILE)));
  EXPECT_EQ(conf, readFile(DHCPD_CONF_FILE));
  CustomerLANDhcpCompConfig.addrRanges[1].isFree = 1;
  CustomerLANDhcpCompConfig.addrRanges[1].startAddr.ipLong = 0;
  EXPECT_EQ(0, dhcpCompCommitConfigurationChanges());
  EXPECT_EQ("", dhcpCompCommitFailureText());
}

// A server that ends on its own is started again at once, then with a delay.
TEST_F(DaemonSandboxTest, SupervisionRestartsAServerThatEnds) {
  pid_t first = commit();
  ASSERT_EQ(0, dhcpCompStartDhcpdSupervision());
  unsigned restarts = dhcpCompDhcpdRestartCount();
  ASSERT_EQ(0, kill(first, SIGKILL));
  pid_t second = 0;
  ASSERT_TRUE(waitUntil([&] {
    second = pidInFile(DHCPD_PID_FILE);
    return second != first && isRunningDhcpd(second);
  })) << "a new server runs";
  EXPECT_EQ(restarts + 1, dhcpCompDhcpdRestartCount());
  EXPECT_FALSE(fileExists("/proc/" + std::to_string(first))) << "the old server was reaped";
  // Its next end waits a second, idle: not spinning on the ended server.
  double busy = cpuSeconds();
  ASSERT_EQ(0, kill(second, SIGKILL));
  ASSERT_TRUE(waitUntil([&] {
    pid_t third = pidInFile(DHCPD_PID_FILE);
    return third != second && isRunningDhcpd(third);
  }));
  EXPECT_LT(cpuSeconds() - busy, 0.05);
  EXPECT_EQ(restarts + 2, dhcpCompDhcpdRestartCount());

  // A stop by the agent is no fault.
  dhcpCompKillDhcpDaemon();
  usleep(300 * 1000);
  EXPECT_EQ(restarts + 2, dhcpCompDhcpdRestartCount());
  EXPECT_FALSE(fileExists(DHCPD_PID_FILE));
  // A failed start is tried again.
  dhcpdStartFailed();
  EXPECT_TRUE(waitUntil([] { return isRunningDhcpd(pidInFile(DHCPD_PID_FILE)); })) << "started again";
  EXPECT_EQ(restarts + 3, dhcpCompDhcpdRestartCount());
  dhcpCompStopDhcpdSupervision();
  if (hasSystemLog()) {
    EXPECT_TRUE(logged("DHCP server (process " + std::to_string(first) +
                       ") ended (signal 9); starting it again in 0 s."))
        << readFile(kSystemLog);
  }
}

// Telephones on the LAN and on a VLAN get their options from the generated
// configuration; a phones-only pool serves no plain PC.
TEST_F(DaemonSandboxTest, TelephonesAreServedFromTheGeneratedConfiguration) {
  CustomerLANDhcpCompConfig.dhcpStatus = 1;
  s_dhcpCompConfig& vlan = VLANDhcpCompConfig[0];
  vlan.dhcpStatus = 2;
  vlan.leaseTime = 600;
  dhcpd_test::addRange(&vlan, 1, "172.16.1.100", "172.16.1.150");
  commit();
  CommandResult set = phone("Zelkor-p4100-A");
  ASSERT_EQ(0, set.status) << set.output;
  EXPECT_THAT(
      set.output,
      HasSubstr("option zx-callservers \"Zelkor-p4100-A,192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.\";"));
  EXPECT_THAT(set.output, HasSubstr("option zx-vlanlist \"VLAN-A:100.\";"));
  CommandResult handset = phone("Zelkor-330x-A");
  ASSERT_EQ(0, handset.status) << handset.output;
  EXPECT_THAT(handset.output, HasSubstr("option zx-svp-server 192.168.1.7;"));
  EXPECT_THAT(handset.output, HasSubstr("option tftp-server-name \"192.168.1.8\";"));
  EXPECT_EQ(2, phone("", "eth1", 6).status) << "no lease for a PC";
  CommandResult onVlan = phone("Zelkor-p4100-A", "eth1.100");
  ASSERT_EQ(0, onVlan.status) << onVlan.output;
  EXPECT_THAT(onVlan.output, HasSubstr("fixed-address 172.16.1.1"));
  EXPECT_THAT(onVlan.output, HasSubstr("zx-callservers"));
}

// The commit reports a server that did not come up, with what dhcpd said.
TEST_F(DaemonSandboxTest, FailedStartIsReported) {
  commit();
  // dhcpd.conf cannot be replaced by a file, nor read by dhcpd.
  dhcpCompKillDhcpDaemon();
  ASSERT_EQ(0, unlink(DHCPD_CONF_FILE));
  ASSERT_EQ(0, mkdir(DHCPD_CONF_FILE, 0755));
  EXPECT_NE(0, dhcpCompCommitConfigurationChanges());
  EXPECT_FALSE(isRunningDhcpd(pidInFile(DHCPD_PID_FILE)));
  EXPECT_THAT(readFile(DHCPD_START_OUTPUT_FILE), HasSubstr(DHCPD_CONF_FILE));
  if (hasSystemLog()) {
    EXPECT_TRUE(waitUntil([] {
      std::string log = readFile(kSystemLog);
      size_t at = log.find("daemon.err TavrelAgent: Cannot write /pq/etc/dhcpd.conf");
      return at != std::string::npos &&
             log.find("TavrelAgent: DHCP server did not start (exit status 1): ", at) != std::string::npos &&
             log.find("/pq/etc/dhcpd.conf", log.find("did not start", at)) != std::string::npos;
    })) << readFile(kSystemLog);
  }
  ASSERT_EQ(0, rmdir(DHCPD_CONF_FILE));
  commit();
}

TEST_F(DaemonSandboxTest, PublishedAddressFillsEmptyCallServers) {
  CustomerLANDhcpCompConfig.s1AddressEmpty = 1;
  commit();
  EXPECT_STREQ(getenv("APPLIANCE_ETH1_ADDR"), publishedIpAddress.ipString);
  EXPECT_EQ(1, publishedIpCallbackEnabled);
  EXPECT_STREQ(publishedIpAddress.ipString, CustomerLANDhcpCompConfig.s1Address.ipString);
  EXPECT_THAT(readFile(DHCPD_CONF_FILE), HasSubstr("\"Zelkor-p4100-A,192.168.1.1:4100"));
}

// Serving all devices beside a foreign DHCP server is warned about once.
TEST_F(DaemonSandboxTest, ForeignServerWarningIsLoggedOnce) {
  if (!hasSystemLog()) GTEST_SKIP() << "busybox (the appliance's syslogd) is not installed";
  const std::string warning =
      "daemon.err TavrelAgent: {62005} {External Corporate DHCP Server detected on Customer LAN "
      "AND T20 has DHCP Server enabled for ALL Devices}";
  CustomerLANIpConfig.externalDhcpServer = 1;
  CustomerLANDhcpCompConfig.externalServerWarning = 1;
  commit();
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.externalServerWarning);
  ASSERT_TRUE(logged(warning)) << readFile(kSystemLog);
  commit();
  commit();
  // A marker logged after the commits shows the log has caught up.
  syslog(LOG_ERR, "marker after commits");
  ASSERT_TRUE(logged("marker after commits"));
  EXPECT_EQ(1u, occurrences(readFile(kSystemLog), warning)) << readFile(kSystemLog);
}

// With the gateway left to the LAN, the customer LAN's ranges get the system
// gateway (inside its network) and a VLAN's its own address; never the OAM LAN.
TEST_F(DaemonSandboxTest, CommitHandsDynamicGatewaysToTheLans) {
  // The system gateway: the default route's, else GATEWAY= of the network file.
  std::string gateway = runCommand("ip route show default | awk '{print $3; exit}'").output;
  if (!gateway.empty()) gateway.pop_back();
  if (gateway.empty()) gateway = "192.168.1.254";
  std::string expected = gateway.compare(0, 10, "192.168.1.") == 0 ? gateway : "192.168.1.1";
  CustomerLANDhcpCompConfig.defaultGatewayEmpty = 1;
  VLANDhcpCompConfig[0].defaultGatewayEmpty = 1;
  OAMLANDhcpCompConfig.defaultGatewayEmpty = 1;
  commit();
  EXPECT_STREQ(expected.c_str(), CustomerLANDhcpCompConfig.defaultGateway.ipString);
  EXPECT_STREQ(expected.c_str(), CustomerLANDhcpCompConfig.addrRanges[0].gateway.ipString);
  EXPECT_STREQ("172.16.1.1", VLANDhcpCompConfig[0].defaultGateway.ipString);
  EXPECT_EQ(0u, OAMLANDhcpCompConfig.defaultGateway.ipLong);
}

// The VLANs are served the customer LAN's common settings of the same
// commit, and the component file says what dhcpd.conf serves, even where the
// VLAN's record still holds older values. Both files are compared whole with
// their references (tests/data/agent/vlan-common-<row>.{dhcpd,dhcpcomp}.conf).
TEST_F(DaemonSandboxTest, VlansGetTheCommonSettingsOfTheSameCommit) {
  dhcpd_test::addRange(&VLANDhcpCompConfig[0], 1, "172.16.1.100", "172.16.1.150");
  const struct {
    const char* what;
    std::function<void(s_dhcpCompConfig&)> set;
  } cases[] = {
      {"lease-time", [](s_dhcpCompConfig& c) { c.leaseTime = 4321; }},
      {"dns-server", [](s_dhcpCompConfig& c) { c.dnsServer1 = model_test::address("192.168.1.3"); }},
      {"domain-name", [](s_dhcpCompConfig& c) { snprintf(c.domainName, sizeof(c.domainName), "voice.lan"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.set(CustomerLANDhcpCompConfig);
    commit();
    const std::string reference = std::string("vlan-common-") + c.what;
    EXPECT_EQ(readFile(model_test::dataFile(reference + ".dhcpd.conf")), readFile(DHCPD_CONF_FILE));
    EXPECT_EQ(readFile(model_test::dataFile(reference + ".dhcpcomp.conf")), readFile(g_strT20ConfigFilename));
  }
}

TEST_F(DaemonSandboxTest, PublishedAddressChangeRaisesTheFlagFileOnlyWhenTheTextDiffers) {
  unlink(kIpChangeFlagFile);
  char same1[] = "192.168.1.1", same2[] = "192.168.1.1", longer[] = "192.168.1.10";
  PublishedIpChangeNotificationHandler(0, 0, 0, 0, nullptr, strlen(same1), same1, strlen(same2), same2);
  EXPECT_FALSE(fileExists(kIpChangeFlagFile));
  PublishedIpChangeNotificationHandler(0, 0, 0, 0, nullptr, strlen(same1), same1, strlen(longer), longer);
  EXPECT_TRUE(fileExists(kIpChangeFlagFile));
  unlink(kIpChangeFlagFile);
}

}  // namespace
