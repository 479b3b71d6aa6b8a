// TavrelAgent as a whole, inside the appliance sandbox with the real dhcpd:
// the command line, start-up from the sample configuration serving a
// telephone, replacement of a running agent and the stop by SIGTERM.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox_util.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using tavrel::sandbox::fileExists;
using tavrel::sandbox::readFile;
using tavrel::sandbox::runCommand;
using tavrel::sandbox::shellQuote;
using tavrel::sandbox::waitUntil;
using tavrel::sandbox::writeFile;

const char kPidFile[] = "/var/run/TavrelAgent.pid";
const char kDhcpdPidFile[] = "/var/run/dhcpd.pid";
const char kComponentFile[] = "/pq/etc/dhcpcomp.conf";
const char kFlagFile[] = "/pq/etc/ipchnged.tmp";
const char kProviderLink[] = "/pq/lib/remoteprovider/libTavrel.so";
const char kMofLink[] = "/pq/lib/remoteprovider/Tavrel.mof";

const char kUsage[] =
    "TavrelAgent Version: V42.10.55.84\n"
    "Usage: TavrelAgent [-h] [-d] [-c config_file]\n"
    "       -h    help\n"
    "       -d    debug (do not fork!)\n"
    "       -c    provider configuration file name\n";

std::string binaryDir() {
  const char* dir = getenv("TAVREL_BINARY_DIR");
  return dir != nullptr ? dir : "";
}

std::string sourceDir() {
  const char* dir = getenv("TAVREL_SOURCE_DIR");
  return dir != nullptr ? dir : "";
}

std::string agentPath() {
  return binaryDir() + "/bin/TavrelAgent";
}

// Process id in a PID file, 0 when there is none.
pid_t pidInFile(const char* path) {
  return static_cast<pid_t>(atol(readFile(path).c_str()));
}

bool processAlive(pid_t pid) {
  return pid > 0 && kill(pid, 0) == 0;
}

// One TavrelAgent started by the test, its output captured in files.
class Agent {
 public:
  Agent(const std::vector<std::string>& args, const std::string& name) {
    m_out = name + ".out";
    m_err = name + ".err";
    std::vector<std::string> argv = {agentPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(&a[0]);
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&m_pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) m_pid = 0;
    posix_spawn_file_actions_destroy(&actions);
  }

  ~Agent() {
    if (m_pid > 0 && !m_exited) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }

  pid_t pid() const { return m_pid; }
  std::string out() const { return readFile(m_out); }
  std::string err() const { return readFile(m_err); }

  // Waits for the process to end; true with its exit status in status().
  bool waitExit(std::chrono::milliseconds timeout = 20s) {
    return waitUntil(
        [this] {
          if (m_exited) return true;
          int status = 0;
          if (waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
          m_exited = true;
          m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
          return true;
        },
        timeout);
  }
  int status() const { return m_status; }

  bool stderrHas(const std::string& text, std::chrono::milliseconds timeout = 30s) {
    return waitUntil([&] { return err().find(text) != std::string::npos; }, timeout);
  }

 private:
  pid_t m_pid = 0;
  bool m_exited = false;
  int m_status = -1;
  std::string m_out;
  std::string m_err;
};

class AgentSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tavrel::sandbox::insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    ASSERT_TRUE(fileExists(agentPath())) << agentPath();
    ASSERT_EQ(0, runCommand("ln -sf " + shellQuote(binaryDir() + "/lib/libTavrel.so") + " " + kProviderLink +
                            " && ln -sf " + shellQuote(binaryDir() + "/lib/Tavrel.mof") + " " + kMofLink)
                     .status);
    m_config = std::string(getenv("APPLIANCE_SCRATCH")) + "/tavrel-agent.conf";
    ASSERT_TRUE(tavrel::sandbox::writeCredentialsFile("/pq/etc/tavrel-cim.passwd"));
    ASSERT_TRUE(writeFile(m_config,
                          "http_server.uds_filename = /var/run/TavrelAgent.socket\n"
                          "http_server.http_port = 5988\n"
                          "http_server.basic_password_file = /pq/etc/tavrel-cim.passwd\n"
                          "provider_agent.mof_file = /pq/lib/remoteprovider/Tavrel.mof\n"
                          "owcimomd.log_location = stderr\n"
                          "owcimomd.log_level = error\n"));
    ASSERT_EQ(
        0, runCommand("cp " + shellQuote(sourceDir() + "/agent/dhcpcomp-sample.conf") + " " + kComponentFile)
               .status);
  }

  void TearDown() override {
    runCommand("kill $(cat /var/run/dhcpd.pid 2>/dev/null) 2>/dev/null; rm -f /var/run/dhcpd.pid " +
               std::string(kFlagFile));
  }

  // Starts an agent in service mode and waits until it serves.
  void startServing(Agent& agent) {
    ASSERT_GT(agent.pid(), 0);
    ASSERT_TRUE(agent.stderrHas("{62000} {TavrelAgent Service started.}")) << agent.err();
    ASSERT_TRUE(waitUntil([] { return processAlive(pidInFile(kDhcpdPidFile)); }, 20s)) << agent.err();
  }

  std::string m_config;
};

TEST_F(AgentSystemTest, CommandLine) {
  {
    SCOPED_TRACE("no option prints the usage");
    Agent agent({}, "noargs");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(0, agent.status());
    EXPECT_EQ(kUsage, agent.out());
  }
  {
    SCOPED_TRACE("-h prints the usage");
    Agent agent({"-h"}, "help");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(0, agent.status());
    EXPECT_EQ(kUsage, agent.out());
  }
  {
    SCOPED_TRACE("an unknown option is refused before anything is done");
    Agent agent({"-x"}, "unknown");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(1, agent.status());
    EXPECT_NE(std::string::npos, agent.err().find("-x")) << agent.err();
    EXPECT_FALSE(fileExists(kPidFile));
  }
  {
    SCOPED_TRACE("-c without its argument");
    Agent agent({"-c"}, "noarg");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(1, agent.status());
    EXPECT_NE(std::string::npos, agent.err().find("-c")) << agent.err();
  }
  {
    SCOPED_TRACE("-d without -c");
    Agent agent({"-d"}, "debugonly");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(0, agent.status());
    EXPECT_NE(
        std::string::npos,
        agent.err().find("{62007} {TavrelAgent must use -c option to specify location of Config file.}"))
        << agent.err();
    EXPECT_FALSE(fileExists(kDhcpdPidFile));
  }
  {
    SCOPED_TRACE("an unreadable OpenWBEM configuration");
    Agent agent({"-d", "-c", "/nonexistent/tavrel.conf"}, "noconf");
    ASSERT_TRUE(agent.waitExit());
    EXPECT_EQ(1, agent.status());
    EXPECT_NE(std::string::npos, agent.err().find("/nonexistent/tavrel.conf")) << agent.err();
    EXPECT_FALSE(fileExists(kPidFile));
  }
}

TEST_F(AgentSystemTest, MissingComponentFileEndsTheAgent) {
  ASSERT_EQ(0, unlink(kComponentFile));
  Agent agent({"-c", m_config}, "nocomponent");
  ASSERT_TRUE(agent.waitExit());
  EXPECT_EQ(0, agent.status());
  std::string err = agent.err();
  size_t cannotOpen = err.find("{62004} {Cannot open TavrelAgent config file: /pq/etc/dhcpcomp.conf.}");
  size_t stopped = err.find("{62001} {TavrelAgent Service stopped.}");
  ASSERT_NE(std::string::npos, cannotOpen) << err;
  ASSERT_NE(std::string::npos, stopped) << err;
  EXPECT_LT(cannotOpen, stopped);
  EXPECT_FALSE(fileExists(kPidFile));
  EXPECT_FALSE(fileExists(kDhcpdPidFile));
}

TEST_F(AgentSystemTest, ServesTelephonesAndStopsOnSigterm) {
  Agent agent({"-c", m_config}, "serve");
  ASSERT_NO_FATAL_FAILURE(startServing(agent));
  EXPECT_EQ(agent.pid(), pidInFile(kPidFile));
  pid_t dhcpd = pidInFile(kDhcpdPidFile);

  auto phone = runCommand("appliance-phone --vendor Zelkor-p4100-A --timeout 20");
  ASSERT_EQ(0, phone.status) << phone.output;
  EXPECT_NE(std::string::npos, phone.output.find("zx-callservers \"Zelkor-p4100-A,192.168.1.5:4100,1,3;"
                                                 "192.168.1.6:4100,1,3.\""))
      << phone.output;
  EXPECT_NE(std::string::npos, phone.output.find("zx-vlanlist \"VLAN-A:100.\"")) << phone.output;

  // The range read from the component file is an object the agent created;
  // it is seen over CIM only when agent and provider agent share libTavrel.
  auto ranges =
      runCommand("wbemcli ei '" + tavrel::sandbox::cimUrl() + "/root/cimv2:ZPX_DHCPRangeOfIPAddresses' 2>&1");
  EXPECT_EQ(0, ranges.status) << ranges.output;
  EXPECT_NE(std::string::npos, ranges.output.find("192.168.1.100")) << ranges.output;

  auto pc = runCommand("appliance-phone --vendor '' --timeout 8");
  EXPECT_EQ(2, pc.status) << "telephones only: a PC gets no lease\n" << pc.output;

  // dhcpd outlives the agent's CIM sockets: it must not have inherited them,
  // or a dhcpd left running would hold the port against the next agent.
  auto listeners = runCommand("ss -Hlxnp; ss -Hltnp 'sport = :5988'");
  EXPECT_EQ(std::string::npos, listeners.output.find("\"dhcpd\"")) << listeners.output;
  EXPECT_NE(std::string::npos, listeners.output.find("\"TavrelAgent\"")) << listeners.output;

  ASSERT_EQ(0, kill(agent.pid(), SIGTERM));
  ASSERT_TRUE(agent.waitExit());
  EXPECT_EQ(0, agent.status()) << agent.err();
  EXPECT_NE(std::string::npos, agent.err().find("{62001} {TavrelAgent Service stopped.}"));
  EXPECT_FALSE(fileExists(kPidFile));
  EXPECT_TRUE(waitUntil([&] { return !processAlive(dhcpd); }, 5s)) << "dhcpd still runs";
}

TEST_F(AgentSystemTest, SecondStartReplacesTheFirst) {
  Agent first({"-c", m_config}, "first");
  ASSERT_NO_FATAL_FAILURE(startServing(first));

  Agent second({"-c", m_config}, "second");
  ASSERT_TRUE(first.waitExit()) << "the first agent was not stopped";
  EXPECT_EQ(0, first.status()) << first.err();
  ASSERT_TRUE(second.stderrHas("{62000} {TavrelAgent Service started.}")) << second.err();
  EXPECT_EQ(second.pid(), pidInFile(kPidFile));
  EXPECT_TRUE(waitUntil([] { return processAlive(pidInFile(kDhcpdPidFile)); }, 20s));

  ASSERT_EQ(0, kill(second.pid(), SIGTERM));
  ASSERT_TRUE(second.waitExit());
  EXPECT_EQ(0, second.status());
}

// The agent starts its dhcpd again when it ends on its own.
TEST_F(AgentSystemTest, DhcpdThatDiesIsStartedAgain) {
  Agent agent({"-d", "-c", m_config}, "supervise");
  ASSERT_NO_FATAL_FAILURE(startServing(agent));
  pid_t before = pidInFile(kDhcpdPidFile);
  ASSERT_EQ(0, kill(before, SIGKILL));
  ASSERT_TRUE(waitUntil([&] {
    pid_t now = pidInFile(kDhcpdPidFile);
    return now != before && processAlive(now);
  })) << agent.err();
  EXPECT_TRUE(agent.stderrHas("DHCP server (process " + std::to_string(before) +
                              ") ended (signal 9); starting it again in 0 s."))
      << agent.err();
  ASSERT_EQ(0, kill(agent.pid(), SIGTERM));
  ASSERT_TRUE(agent.waitExit());
  EXPECT_EQ(0, agent.status()) << agent.err();
  EXPECT_FALSE(processAlive(pidInFile(kDhcpdPidFile))) << "stopped with the agent, not restarted";
}

}  // namespace
