// TavrelAgent as a whole, inside the appliance sandbox with the real dhcpd:
// the command line, start-up from the sample configuration, supervision of
// dhcpd, the reload by SIGHUP, replacement of a running agent and the stop
// by SIGTERM. What the telephones are offered is dhcpcompdaemon_sandbox_test's.
#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "agent_runner.h"

namespace {

using namespace std::chrono_literals;
using namespace tavrel::test;

const char kPidFile[] = "/var/run/TavrelAgent.pid";

class AgentCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    ASSERT_TRUE(installAgent());
  }
  void TearDown() override {
    runCommand("kill $(cat /var/run/dhcpd.pid 2>/dev/null) 2>/dev/null; rm -f /var/run/dhcpd.pid");
  }
};

TEST_F(AgentCommandTest, CommandLine) {
  const std::string usage = readFile(sourceDir() + "/tests/data/agent/TavrelAgent-usage.txt");
  ASSERT_FALSE(usage.empty());
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;    // exact standard output, or nothing expected
    std::string err;    // part of the error output
    bool refusedEarly;  // before the agent's PID file is written
  } cases[] = {
      {{}, 0, usage, "", true},
      {{"-h"}, 0, usage, "", true},
      {{"-x"}, 1, "", "-x", true},
      {{"-c"}, 1, "", "-c", false},
      {{"-d"}, 0, "", "{62007} {TavrelAgent must use -c option to specify location of Config file.}", false},
      {{"-d", "-c", "/nonexistent/tavrel.conf"}, 78, "", "/nonexistent/tavrel.conf", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no option" : c.args[0] + " " + std::to_string(c.args.size()));
    AgentProcess agent(c.args, "command");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(c.status, agent.status());
    if (!c.out.empty()) {
      EXPECT_EQ(c.out, agent.out());
    }
    EXPECT_THAT(agent.err(), HasSubstr(c.err));
    EXPECT_FALSE(c.refusedEarly && fileExists(kPidFile)) << "PID file written before the refusal";
    EXPECT_FALSE(fileExists(kDhcpdPidFile));
    unlink(kPidFile);
  }
}

// A configuration the agent cannot run with (a missing, empty or oversized
// component file, a missing eth2), after warnings about the agent's own settings,
// ends it with EX_CONFIG (78), on which the unit stays failed.
TEST_F(AgentCommandTest, UnusableConfigurationFailsTheAgentAfterSettingWarnings) {
  ASSERT_TRUE(installAgent({"",
                            {"tavrel_agent.pas_ms = 10", "owcimomd.log_level = verbose",
                             "tavrel_agent.pool_alarm_clear_percent = 95"}}));
  ASSERT_EQ(0, runCommand(std::string("echo 'http_server.timeout = 5' >>") + kAgentConfig).status);
  const std::string component = kComponentFile;
  struct {
    std::string breaking, mending, message;
  } cases[] = {
      {"rm " + component, "", "{62004} {Cannot open TavrelAgent config file: /pq/etc/dhcpcomp.conf.}"},
      {"truncate -s 0 " + component, "",
       "{62004} {Cannot open TavrelAgent config file: /pq/etc/dhcpcomp.conf.}"},
      {"truncate -s 2M " + component, "",
       "dhcpcomp.conf is larger than 1048576 bytes, more than a configuration holds; not read."},
      {"ip link set eth2 name eth9", "ip link set eth9 name eth2",
       "Cannot serve eth2: no such network interface"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.breaking);
    ASSERT_EQ(0, runCommand(c.breaking).status);
    AgentProcess agent({"-c", kAgentConfig}, "unusable");
    ASSERT_TRUE(agent.waitExit());
    if (!c.mending.empty()) runCommand(c.mending);
    EXPECT_EQ(78, agent.status());
    std::string err = agent.err();
    EXPECT_THAT(err,
                AllOf(HasSubstr(": unknown key \"tavrel_agent.pas_ms\""),
                      HasSubstr(": owcimomd.log_level: unknown log level \"verbose\"; the default is used"),
                      HasSubstr(": key \"http_server.timeout\" repeats line "),
                      HasSubstr("tavrel_agent.pool_alarm_clear_percent 95 lies above "
                                "tavrel_agent.pool_alarm_raise_percent 90; using 90 and 80")));
    size_t refusal = err.find(c.message);
    ASSERT_NE(std::string::npos, refusal) << err;
    EXPECT_LT(refusal, err.find("{62001} {TavrelAgent Service stopped.}")) << err;
    EXPECT_FALSE(fileExists(kPidFile));
    EXPECT_FALSE(fileExists(kDhcpdPidFile));
  }
}

// One agent serves and restarts a dhcpd that dies or stays stopped; a second
// start replaces it, even after the agent's binary was replaced; SIGTERM stops
// the second with its dhcpd.
TEST_F(AgentCommandTest, ServesSupervisesIsReplacedAndStops) {
  auto serving = [](AgentProcess& agent) {
    return waitUntil([&] { return contains(agent.err(), "{62000} {TavrelAgent Service started.}"); }, 30s) &&
           waitUntil([] { return processAlive(pidInFile(kDhcpdPidFile)); }, 20s);
  };
  AgentProcess first({"-c", kAgentConfig}, "first");
  ASSERT_TRUE(serving(first)) << first.err();
  EXPECT_EQ(first.pid(), pidInFile(kPidFile));

  // The range read from the component file is an object the agent created;
  // it is seen over CIM only when agent and provider agent share libTavrel.
  EXPECT_THAT(runCommand("wbemcli ei '" + cimUrl() + "/root/cimv2:ZPX_DHCPRangeOfIPAddresses' 2>&1").output,
              HasSubstr("StartAddress=\"192.168.1.100\""));

  // dhcpd outlives the agent's CIM sockets: it must not have inherited them,
  // or a dhcpd left running would hold the port against the next agent.
  EXPECT_THAT(runCommand("ss -Hlxnp; ss -Hltnp 'sport = :5988'").output,
              AllOf(Not(HasSubstr("\"dhcpd\"")), HasSubstr("\"TavrelAgent\"")));

  // SIGHUP reads the edited component file and commits it; the agent runs
  // on. The customer LAN's range shrinks to one address.
  ASSERT_EQ(
      0, runCommand(
             std::string("sed -i -e 's/^leaseTime = 3600$/leaseTime = 4321/' -e "
                         "'0,/^addrRange = /s/^addrRange = .*/addrRange = 192.168.1.100-192.168.1.100/' ") +
             kComponentFile)
             .status);
  ASSERT_EQ(0, kill(first.pid(), SIGHUP));
  EXPECT_TRUE(waitUntil([] { return contains(readFile(kDhcpdConf), "default-lease-time 4321;"); }))
      << first.err();
  EXPECT_TRUE(processAlive(first.pid()));
  ASSERT_TRUE(waitUntil([] { return processAlive(pidInFile(kDhcpdPidFile)); })) << first.err();

  // A dhcpd that dies is started again; one that stays stopped, or that no
  // longer answers the agent's DHCPDISCOVER while an address is free, is
  // replaced. Deaf: whatever leaves eth1 is dropped.
  struct {
    int signal;  // sent to the server; 0: eth1 goes deaf instead
    const char* reason;
  } ends[] = {{SIGKILL, "ended (signal 9)"},
              {SIGSTOP, "stayed stopped for more than 5 s"},
              {0, "does not answer the agent's DHCPDISCOVER (2 probes)"}};
  for (const auto& end : ends) {
    SCOPED_TRACE(end.reason);
    pid_t dhcpd = pidInFile(kDhcpdPidFile);
    ASSERT_GT(dhcpd, 0) << "no dhcpd PID file";  // kill(0, ...) would signal the whole sandbox
    if (end.signal != 0)
      ASSERT_EQ(0, kill(dhcpd, end.signal));
    else
      ASSERT_EQ(0, runCommand("tc qdisc add dev eth1 root pfifo limit 0").status);
    const std::string ended = "DHCP server (process " + std::to_string(dhcpd) + ") " + end.reason;
    bool seen = waitUntil([&] { return contains(first.err(), ended); }, 30s);
    if (end.signal == 0) runCommand("tc qdisc del dev eth1 root");
    ASSERT_TRUE(seen) << first.err();
    ASSERT_TRUE(waitUntil(
        [&] { return pidInFile(kDhcpdPidFile) != dhcpd && processAlive(pidInFile(kDhcpdPidFile)); }, 20s))
        << first.err();
    EXPECT_TRUE(waitUntil([&] { return !processAlive(dhcpd); }, 5s)) << "the old server still runs";
  }
  // The new server answers the agent's own DHCPDISCOVER (a second after its
  // start, within three).
  std::this_thread::sleep_for(4500ms);
  std::string log = first.err();
  EXPECT_EQ(std::string::npos,
            log.find("did not answer the agent's DHCPDISCOVER", log.rfind("starting it again")))
      << log;

  // The agent's binary replaced as an upgrade does (the same bytes here, so
  // the build tree stays as it was): the first agent is still recognised.
  const std::string binary = binaryDir() + "/bin/TavrelAgent";
  ASSERT_EQ(0,
            runCommand("cp -p " + binary + " " + binary + ".new && mv " + binary + ".new " + binary).status);
  ASSERT_THAT(runCommand("readlink /proc/" + std::to_string(first.pid()) + "/exe").output,
              HasSubstr("(deleted)"));
  AgentProcess second({"-c", kAgentConfig}, "second");
  ASSERT_TRUE(first.waitExit()) << "the first agent was not stopped";
  EXPECT_EQ(0, first.status()) << first.err();
  ASSERT_TRUE(serving(second)) << second.err();
  EXPECT_EQ(second.pid(), pidInFile(kPidFile));

  pid_t dhcpd = pidInFile(kDhcpdPidFile);
  ASSERT_TRUE(second.stop());
  EXPECT_EQ(0, second.status()) << second.err();
  EXPECT_THAT(second.err(), HasSubstr("{62001} {TavrelAgent Service stopped.}"));
  EXPECT_FALSE(fileExists(kPidFile));
  EXPECT_TRUE(waitUntil([&] { return !processAlive(dhcpd); }, 5s)) << "dhcpd still runs";
}

}  // namespace
