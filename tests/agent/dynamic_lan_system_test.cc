// TavrelAgent with a customer LAN that changes under it, in the appliance
// sandbox with the real dhcpd, dhclient and ping. One test suite per
// situation; each runs in a sandbox of its own (see CMakeLists.txt):
//   Router   the integrated router's dhcpd hands out the vendor texts
//   NoServer nobody answers the appliance's DHCP client
//   NoServerStored  likewise, with entries in the router's network stored
//   Foreign  a DHCP server that is not the integrated router
//   Static   a statically addressed customer LAN that is renumbered
#include <signal.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent_runner.h"

namespace {

using namespace std::chrono_literals;
using namespace tavrel::test;

const char kFlagFile[] = "/pq/etc/ipchnged.tmp";
const char kDhclientPidFile[] = "/var/run/dhclient-eth1.pid";
const char kIfcfgEth1[] = "/etc/sysconfig/network-scripts/ifcfg-eth1";
const char kEmsEvents[] = "/pq/platform/ems.events";
const char kVoipCalls[] = "/var/run/Restart_VoIP_Services.calls";
const char kRebuildDone[] = "dhcpCompIPConfigurationChanged 5";
// A short main-loop rhythm: a router check every 0.4 s.
const std::vector<std::string> kFastLoop = {"tavrel_agent.pass_ms = 200",
                                            "tavrel_agent.router_check_passes = 2"};

std::string shell(const std::string& command) {
  return runCommand(command + " 2>&1").output;
}

std::string eth1Addresses() {
  return shell("ip -4 -o addr show dev eth1");
}
std::string defaultRoute() {
  return shell("ip route show default");
}
// Running DHCP clients of the appliance's customer LAN.
int dhclientCount() {
  return atoi(shell("ps -C dhclient -o stat=,args= | grep -c '^[^Z].* eth1$'").c_str());
}

typedef std::vector<std::pair<std::string, std::string>> LineChanges;

// The sample component file with some lines replaced, as a scratch file.
std::string componentWith(const LineChanges& changes) {
  std::string text = readFile(sourceDir() + "/agent/dhcpcomp-sample.conf");
  for (const auto& change : changes) {
    size_t at = text.find(change.first + "\n");
    EXPECT_NE(std::string::npos, at) << change.first;
    if (at != std::string::npos) text.replace(at, change.first.size(), change.second);
  }
  std::string path = scratchDir() + "/dhcpcomp.conf";
  writeFile(path, text);
  return path;
}

void setIfcfgEth1(const std::string& content) {
  ASSERT_TRUE(writeFile(kIfcfgEth1, "DEVICE=eth1\nONBOOT=yes\n" + content));
}

// Raises the flag file and waits until the agent has rebuilt its
// configuration once more.
void changeAddresses(const AgentUnderTest& agent) {
  size_t before = occurrences(agent.log(), kRebuildDone);
  ASSERT_TRUE(writeFile(kFlagFile, ""));
  ASSERT_TRUE(waitUntil([&] { return occurrences(agent.log(), kRebuildDone) > before; }, 60s)) << agent.log();
}

// The router's answers to pings on or off.
void routerAnswersPings(bool answer) {
  const std::string sysctl =
      "ip netns exec \"$APPLIANCE_NS_UPSTREAM\" sysctl -qw net.ipv4.icmp_echo_ignore_all=";
  ASSERT_EQ(0, runCommand(sysctl + (answer ? "0" : "1")).status);
}

// The agent of one situation: the sample component file with some lines
// replaced, and further settings.
class DynamicLanTest : public CimSystemTest {
 protected:
  explicit DynamicLanTest(LineChanges changes, std::vector<std::string> settings = {})
      : m_changes(std::move(changes)), m_settings(std::move(settings)) {}
  void SetUp() override {
    // The client gives up after 5 s instead of 20 when no server answers.
    if (insideAppliance()) runCommand("sed -i 's/^timeout .*/timeout 5;/' /etc/dhclient-eth1.conf");
    CimSystemTest::SetUp();
  }
  void TearDown() override {
    runCommand("rm -f " + std::string(kFlagFile));
    CimSystemTest::TearDown();
  }
  AgentOptions agentOptions() const override { return {componentWith(m_changes), m_settings}; }

 private:
  LineChanges m_changes;
  std::vector<std::string> m_settings;
};

// The router's vendor texts, DNS left to the lease, an own domain.
class Router : public DynamicLanTest {
 protected:
  Router()
      : DynamicLanTest({{"dnsServers = 192.168.1.2", "dnsServers = "},
                        {"domainName = customer.lan", "domainName = office.lan"}},
                       kFastLoop) {}
};

// The router's call-server text with numbers out of range.
class RouterNumbers : public Router {};

// A range in the default address's subnet.
class NoServer : public DynamicLanTest {
 protected:
  NoServer()
      : DynamicLanTest(
            {{"addrRange = 192.168.1.100-192.168.1.199", "addrRange = 192.168.3.100-192.168.3.199"}}) {}
};

// The administrator's range (the sample's) and a reservation lie in the
// router's network, which eth1 does not reach while nobody answers.
class NoServerStored : public DynamicLanTest {
 protected:
  NoServerStored()
      : DynamicLanTest({{"reservedAddrs = ", "reservedAddrs = 192.168.1.20 02:00:00:00:00:20 desk Desk"}}) {}
};

// The server is no integrated router; the appliance serves all devices.
class Foreign : public DynamicLanTest {
 protected:
  Foreign() : DynamicLanTest({{"dhcpStatus = 1", "dhcpStatus = 2"}}, kFastLoop) {}
  void SetUp() override {
    if (insideAppliance()) runCommand("rm -f /pq/platform/router-present");
    DynamicLanTest::SetUp();
  }
};

// Two ranges; only the second fits the renumbered subnet.
class Static : public DynamicLanTest {
 protected:
  Static()
      : DynamicLanTest({{"addrRange = 192.168.1.100-192.168.1.199",
                         "addrRange = 192.168.1.100-192.168.1.199, 192.168.1.200-192.168.1.220"}}) {}
};

// One router situation in order: adoption and a renewal over CIM, a switch
// to static and back, then the router's supervision by ping.
TEST_F(Router, AdoptsRenewsSwitchesAndSupervises) {
  // Adoption of address, call servers, VLANs (a list ending in ",") and range.
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.1.5"));
  EXPECT_THAT(defaultRoute(), HasSubstr("default via 192.168.1.254 dev eth1"));

  std::string component = readFile(kComponentFile);
  for (const char* line :
       {"s1Address = 192.168.1.15\n", "s1PortNumber = 4100\n", "s2Address = 192.168.1.16\n",
        "s2PortNumber = 7000\n", "s2Action = 2\n", "s2RetryCount = 4\n", "vlanIds = 100,200,\n",
        "addrRange = 192.168.1.100-192.168.1.200\n", "dnsServers = \n", "domainName = office.lan\n"})
    EXPECT_THAT(component, HasSubstr(line));
  EXPECT_THAT(readFile(kDhcpdConf),
              AllOf(HasSubstr("option domain-name-servers 192.168.1.254, 192.168.1.253;"),
                    HasSubstr("option domain-name \"office.lan\";")));

  // The dictated range takes the lowest free id.
  EXPECT_THAT(ok("ei", "ZPX_DHCPRangeOfIPAddresses"),
              AllOf(HasSubstr("InstanceID=\"0\""), HasSubstr("192.168.1.200")));

  EXPECT_THAT(readFile("/etc/hosts"),
              AllOf(HasSubstr("\tappliance.customer.lan\tappliance"), HasSubstr("192.168.1.254\trouter"),
                    Not(HasSubstr("192.168.1.1\t"))));
  // The published address moved with the LAN: the telephony services were
  // restarted; no event announcement during start-up.
  EXPECT_EQ(1u, occurrences(readFile(kVoipCalls), "\n")) << readFile(kVoipCalls);
  EXPECT_FALSE(fileExists(kEmsEvents)) << readFile(kEmsEvents);

  EXPECT_THAT(
      phoneLease(),
      AllOf(HasSubstr("zx-callservers \"Zelkor-p4100-A,192.168.1.15:4100,1,3;192.168.1.16:7000,2,4.\""),
            HasSubstr("zx-vlanlist \"VLAN-A:100,200,.\""), HasSubstr("option routers 192.168.1.254;")));

  // Renewal over CIM: the client is restarted once and the address kept, so
  // nothing is announced.
  std::string client = readFile(kDhclientPidFile);
  ok("cm", kServicePath, "renewDynamicIPAddress");
  EXPECT_NE(client, readFile(kDhclientPidFile));
  EXPECT_EQ(1, dhclientCount());
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.1.5"));
  // The renewal commits the router's range again.
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("range 192.168.1.100 192.168.1.200;"));
  EXPECT_FALSE(fileExists(kEmsEvents));
  EXPECT_THAT(m_agent->log(), Not(HasSubstr("{62008}")));

  // Static and back stops and starts the client once: ifcfg-eth1 says
  // static, and the agent stops the client itself.
  ASSERT_EQ(1, dhclientCount());
  ASSERT_NO_FATAL_FAILURE(setIfcfgEth1("BOOTPROTO=static\nIPADDR=192.168.1.1\nNETMASK=255.255.255.0\n"));
  runCommand("ip addr flush dev eth1 && ip addr add 192.168.1.1/24 dev eth1");
  ASSERT_NO_FATAL_FAILURE(changeAddresses(*m_agent));
  EXPECT_EQ(0, dhclientCount());
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("subnet 192.168.1.0 netmask 255.255.255.0"));
  EXPECT_FALSE(fileExists(kEmsEvents));

  ASSERT_NO_FATAL_FAILURE(setIfcfgEth1("BOOTPROTO=dhcp\n"));
  ASSERT_NO_FATAL_FAILURE(changeAddresses(*m_agent));
  EXPECT_EQ(1, dhclientCount());
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.1.5"));
  // The address changed after start-up: announced to the event service,
  // whose answer the handler logs.
  EXPECT_EQ("EmsConnectionOpen\t0\nEmsIpAddressChange\t1\t1\t2\nEmsPacketHandler\t0\nEmsConnectionClose\n",
            readFile(kEmsEvents));
  EXPECT_THAT(m_agent->log(), HasSubstr("EMS_PACKET_TYPE_RESPONSE"));
  EXPECT_THAT(m_agent->log(), HasSubstr("EMS_IP_CHANGE_REQUEST"));

  // Still a DHCP client: the client is left alone.
  client = readFile(kDhclientPidFile);
  ASSERT_NO_FATAL_FAILURE(changeAddresses(*m_agent));
  EXPECT_EQ(client, readFile(kDhclientPidFile));
  EXPECT_EQ(1, dhclientCount());

  // Renews only when the router stops answering; late answers within one
  // check are answers.
  client = readFile(kDhclientPidFile);
  ASSERT_NO_FATAL_FAILURE(routerAnswersPings(false));
  std::this_thread::sleep_for(3s);
  ASSERT_NO_FATAL_FAILURE(routerAnswersPings(true));
  std::this_thread::sleep_for(3s);
  EXPECT_THAT(m_agent->log(), Not(HasSubstr("{62008}")));
  EXPECT_EQ(client, readFile(kDhclientPidFile));

  ASSERT_NO_FATAL_FAILURE(routerAnswersPings(false));
  // The check's pings and pauses (ten, a second apart) hold no lock: CIM
  // requests are answered meanwhile.
  for (int i = 0; i < 4; ++i) {
    auto begin = std::chrono::steady_clock::now();
    ok("gi", kSettingDataPath);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 3s) << "request " << i << " waited on the pings";
    std::this_thread::sleep_for(1s);
  }
  const std::string renewing =
      "{62008} {Integrated Routers DHCP Server: 192.168.1.254 not reachable. Re-starting DHCP Client on "
      "Customer LAN.}";
  EXPECT_TRUE(waitUntil([&] { return contains(m_agent->log(), renewing); }, 40s)) << m_agent->log();
  ASSERT_NO_FATAL_FAILURE(routerAnswersPings(true));
  EXPECT_TRUE(waitUntil(
      [&] { return readFile(kDhclientPidFile) != client && !readFile(kDhclientPidFile).empty(); }, 30s));
  EXPECT_EQ(1, dhclientCount());
  // A client killed is started again by the supervision.
  pid_t killed = pidInFile(kDhclientPidFile);
  ASSERT_EQ(0, kill(killed, SIGKILL));
  EXPECT_TRUE(waitUntil([&] { return pidInFile(kDhclientPidFile) != killed && dhclientCount() == 1; }, 20s))
      << m_agent->log();
  EXPECT_THAT(m_agent->log(), HasSubstr("DHCP client of eth1 ended; starting it again in 0 s."));
  EXPECT_EQ(1u, occurrences(m_agent->log(), "DHCP client of eth1 ended")) << "a running client was missed";
}

// A call-server text with numbers out of range is refused whole and logged:
// neither the file nor the telephones get any of it.
TEST_F(RouterNumbers, OutOfRangeCallServerTextIsRefusedWhole) {
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.1.5"));
  EXPECT_THAT(m_agent->log(), HasSubstr("Call-server text of the router's lease refused: a port, action or "
                                        "retry count is out of range."));
  EXPECT_THAT(readFile(kComponentFile), AllOf(Not(HasSubstr("192.168.1.15")), Not(HasSubstr("99999999")),
                                              Not(HasSubstr("= 257\n")), Not(HasSubstr("vlanIds = 100"))));
  EXPECT_THAT(phoneLease(), AllOf(Not(HasSubstr("99999999")), Not(HasSubstr(",257,")),
                                  Not(HasSubstr("4294967291")), Not(HasSubstr("192.168.1.15"))));
}

TEST_F(NoServer, FallsBackToTheDefaultAddress) {
  std::string log = m_agent->log();
  EXPECT_EQ(1u, occurrences(log, "{62009} {TavrelAgent Assigned Default address to Customer LAN}")) << log;
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.2.2/23"));
  EXPECT_THAT(defaultRoute(), HasSubstr("default via 192.168.2.1 dev eth1"));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("subnet 192.168.2.0 netmask 255.255.254.0"));
  EXPECT_THAT(phoneLease(), HasSubstr("fixed-address 192.168.3.1"));
  EXPECT_THAT(readFile("/etc/hosts"), HasSubstr("\tappliance.localdomain\tappliance"));
  EXPECT_THAT(readFile("/etc/hosts"), Not(HasSubstr("router"))) << "no integrated router";

  // A renewal over CIM answers once it has run: still nobody answers.
  ok("cm", kServicePath, "renewDynamicIPAddress");
  EXPECT_EQ(2u, occurrences(m_agent->log(), "{62009}")) << m_agent->log();
  EXPECT_EQ(1, dhclientCount()) << shell("ps -C dhclient -o pid=,ppid=,stat=,args=") << m_agent->log();
}

// On the default address, the entries outside its network stay stored and
// shown, are not served, and an IP-change rebuild keeps them too.
TEST_F(NoServerStored, KeepsWhatTheDefaultAddressDoesNotReach) {
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.2.2/23"));
  for (const char* when : {"start-up", "IP-change rebuild"}) {
    SCOPED_TRACE(when);
    EXPECT_THAT(readFile(kComponentFile),
                AllOf(HasSubstr("addrRange = 192.168.1.100-192.168.1.199\n"),
                      HasSubstr("reservedAddrs = 192.168.1.20 02:00:00:00:00:20 desk")));
    EXPECT_THAT(readFile(kDhcpdConf), AllOf(Not(HasSubstr("range 192.168.1.")),
                                            Not(HasSubstr("192.168.1.20;")), Not(HasSubstr("# eth1\n"))));
    EXPECT_THAT(ok("ei", "ZPX_DHCPRangeOfIPAddresses"), HasSubstr("StartAddress=\"192.168.1.100\""));
    EXPECT_THAT(ok("ei", "ZPX_DHCPReservedAddress"), HasSubstr("IPv4Address=\"192.168.1.20\""));
    if (std::string(when) == "start-up") changeAddresses(*m_agent);
  }
}

TEST_F(Foreign, WarnsOnceAndIsNotSupervised) {
  const char kWarning[] =
      "{62005} {External Corporate DHCP Server detected on Customer LAN AND T20 has DHCP Server "
      "enabled for ALL Devices}";
  EXPECT_EQ(1u, occurrences(m_agent->log(), kWarning)) << m_agent->log();
  EXPECT_THAT(eth1Addresses(), HasSubstr("inet 192.168.1.5"));
  EXPECT_THAT(readFile("/etc/hosts"), Not(HasSubstr("router")));
  // Serving all devices: the pool admits everyone.
  EXPECT_THAT(readFile(kDhcpdConf), AllOf(HasSubstr("subnet 192.168.1.0 netmask 255.255.255.0"),
                                          Not(HasSubstr("allow members of"))));

  ok("cm", kServicePath, "renewDynamicIPAddress");
  // Pings of the foreign server are never sent: it is not the router.
  routerAnswersPings(false);
  std::this_thread::sleep_for(2s);
  routerAnswersPings(true);
  EXPECT_EQ(1u, occurrences(m_agent->log(), kWarning)) << m_agent->log();
  EXPECT_THAT(m_agent->log(), Not(HasSubstr("{62008}")));
}

TEST_F(Static, RenumberingPublishedAddressAndRenewal) {
  pid_t dhcpd = pidInFile(kDhcpdPidFile);

  // Renewal of a static LAN changes nothing.
  ok("cm", kServicePath, "renewDynamicIPAddress");
  EXPECT_EQ(dhcpd, pidInFile(kDhcpdPidFile));
  EXPECT_EQ(0, dhclientCount());

  // Flag-file events close together are one rebuild (or two), which restarts
  // dhcpd only when an address of its interfaces moved.
  struct {
    const char* eth1;  // the address eth1 is given first, if any
    bool restarted;
  } storms[] = {{nullptr, false}, {"192.168.1.3", true}, {"192.168.1.1", true}};
  for (const auto& storm : storms) {
    SCOPED_TRACE(storm.eth1 != nullptr ? storm.eth1 : "no change");
    if (storm.eth1 != nullptr) {
      ASSERT_NO_FATAL_FAILURE(
          setIfcfgEth1(std::string("BOOTPROTO=static\nIPADDR=") + storm.eth1 + "\nNETMASK=255.255.255.0\n"));
      runCommand(std::string("ip addr flush dev eth1 && ip addr add ") + storm.eth1 + "/24 dev eth1");
    }
    pid_t before = pidInFile(kDhcpdPidFile);
    size_t rebuilt = occurrences(m_agent->log(), kRebuildDone);
    for (int i = 0; i < 10; ++i) {
      ASSERT_TRUE(writeFile(kFlagFile, ""));
      std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(waitUntil([&] { return !fileExists(kFlagFile); }));
    std::this_thread::sleep_for(1500ms);
    EXPECT_LE(occurrences(m_agent->log(), kRebuildDone) - rebuilt, 2u);
    EXPECT_EQ(storm.restarted, pidInFile(kDhcpdPidFile) != before);
  }

  // A new published address raises the flag (an unchanged one does not:
  // dhcpcompdaemon_sandbox_test).
  const std::string kSetPublished = "sed -i 's/^\\(PublishedIP\\\\default\tipaddress\t\\).*/\\1";
  size_t rebuilds = occurrences(m_agent->log(), kRebuildDone);
  ASSERT_EQ(0, runCommand(kSetPublished + "192.168.1.9/' /pq/platform/registry").status);
  EXPECT_TRUE(waitUntil([&] { return occurrences(m_agent->log(), kRebuildDone) > rebuilds; }, 15s))
      << m_agent->log();

  // Renumbering eth1 while CIM clients read the settings: every answer shows
  // the configuration before or after the change, never a torn-down one.
  ASSERT_NO_FATAL_FAILURE(setIfcfgEth1("BOOTPROTO=static\nIPADDR=192.168.1.129\nNETMASK=255.255.255.128\n"));
  runCommand("ip addr flush dev eth1 && ip addr add 192.168.1.129/25 dev eth1");
  std::string reads = scratchDir() + "/reads";
  runCommand("( i=0; while [ ! -e " + reads + ".stop ]; do i=$((i+1)); wbemcli gi " +
             shellQuote(cimUrl() + "/root/cimv2:" + kSettingDataPath) + " >" + reads +
             ".$i 2>&1; done; echo $i >" + reads + ".done ) >/dev/null 2>&1 &");
  std::this_thread::sleep_for(300ms);
  ASSERT_NO_FATAL_FAILURE(changeAddresses(*m_agent));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(writeFile(reads + ".stop", ""));
  ASSERT_TRUE(waitUntil([&] { return fileExists(reads + ".done"); }, 30s));
  int answers = atoi(readFile(reads + ".done").c_str());
  EXPECT_GT(answers, 2);
  for (int i = 1; i <= answers; ++i) {
    std::string answer = readFile(reads + "." + std::to_string(i));
    EXPECT_THAT(answer, AllOf(HasSubstr("leaseTime=3600,"), HasSubstr("primaryDNSIPAddress=\"192.168.1.2\"")))
        << i;
  }

  EXPECT_THAT(readFile(kDhcpdConf), AllOf(HasSubstr("subnet 192.168.1.128 netmask 255.255.255.128"),
                                          HasSubstr("range 192.168.1.200 192.168.1.220;")));
  EXPECT_THAT(readFile(kDhcpdConf), Not(HasSubstr("192.168.1.100"))) << "range outside the new subnet";
  EXPECT_THAT(readFile(kComponentFile), HasSubstr("addrRange = 192.168.1.200-192.168.1.220\n"));
  EXPECT_THAT(phoneLease(), HasSubstr("fixed-address 192.168.1.2"));
  EXPECT_GT(pidInFile(kDhcpdPidFile), 0);
  EXPECT_EQ(readFile(kComponentFile), readFile("/root/dhcp.check3"));
  for (const char* trace : {"/root/dhcp.check", "/root/dhcp.checkbeforeread", "/root/dhcp.check2"})
    EXPECT_THAT(readFile(trace), HasSubstr("addrRange = 192.168.1.100-192.168.1.199, 192.168.1.200-"))
        << trace;

  // The component file cannot be read back (a directory stands in its
  // place): the agent keeps the last good configuration, serves it and
  // goes on.
  ASSERT_EQ(0, runCommand(std::string("rm -f ") + kComponentFile + " && mkdir " + kComponentFile).status);
  ASSERT_NO_FATAL_FAILURE(changeAddresses(*m_agent));
  EXPECT_THAT(m_agent->log(),
              HasSubstr("{62004} {Cannot open TavrelAgent config file: /pq/etc/dhcpcomp.conf.} "
                        "(Invalid argument; the last good configuration is kept)"));
  EXPECT_EQ(0, kill(m_agent->pid(), 0));
  EXPECT_GT(pidInFile(kDhcpdPidFile), 0);
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("range 192.168.1.200 192.168.1.220;"));
  EXPECT_THAT(m_agent->wbemcli("ei", "ZPX_DHCPRangeOfIPAddresses").out, HasSubstr("192.168.1.220"));
  runCommand(std::string("rmdir ") + kComponentFile);
}

}  // namespace
