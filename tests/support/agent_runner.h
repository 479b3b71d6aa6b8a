// TavrelAgent as the system tests run it inside the appliance sandbox:
// installed by appliance-install-agent, started with its output in files,
// driven by wbemcli and by raw CIM-XML requests (CimConnection).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace tavrel::test {

// The matchers the system tests apply to outputs, logs and files.
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// Object paths of the agent's two objects, as wbemcli writes them.
extern const char kServicePath[];
extern const char kSettingDataPath[];
extern const char kAgentConfig[];
extern const char kDhcpdPidFile[];

// A TavrelAgent process started with the given arguments; its standard
// output and error go to <name>.out and <name>.err in the scratch directory.
class AgentProcess {
 public:
  AgentProcess(const std::vector<std::string>& args, const std::string& name);
  ~AgentProcess();  // kills the agent when it still runs
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  pid_t pid() const { return m_pid; }
  std::string out() const { return readFile(m_out); }
  std::string err() const { return readFile(m_err); }
  // Waits for the process to end; true with its exit status in status().
  bool waitExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  int status() const { return m_status; }
  // SIGTERM and wait; true when it ended on its own within 15 s (else SIGKILL).
  bool stop();

 private:
  pid_t m_pid = 0;
  bool m_exited = false;
  int m_status = -1;
  std::string m_out;
  std::string m_err;
};

// How the agent is installed: component file (empty: the sample) and
// further settings ("key = value").
struct AgentOptions {
  std::string componentFile;
  std::vector<std::string> settings;
};

// Installs the agent (appliance-install-agent), logging to stderr.
bool installAgent(const AgentOptions& options = AgentOptions());

// wbemcli's answer: status, standard output and error.
struct CommandOutput {
  int status = -1;
  std::string out;
  std::string err;
};

// An installed agent in debug mode that answers CIM requests and runs dhcpd.
class AgentUnderTest {
 public:
  explicit AgentUnderTest(const AgentOptions& options = AgentOptions());
  bool running() const { return m_ready; }
  pid_t pid() const { return m_process.pid(); }
  bool stop() { return m_process.stop(); }
  std::string log() const { return m_process.err(); }

  // wbemcli op '<url>/root/cimv2:<path>' [extra] [options], with credentials.
  CommandOutput wbemcli(const std::string& op, const std::string& path, const std::string& extra = "",
                        const std::string& options = "") const;
  // Posts one intrinsic call (over TCP with credentials, or on root's Unix
  // socket); the ERROR of the answer, the whole answer in body.
  CIMError call(const std::string& method, const std::string& params, std::string* body = nullptr,
                bool unixSocket = false) const;
  // ModifyInstance of the setting data with the given PROPERTY elements.
  CIMError modifySettingData(const std::string& properties) const;

 private:
  bool m_installed;
  AgentProcess m_process;
  bool m_ready = false;
};

// Starts the agent before each test and stops it after; skipped outside the
// sandbox or without wbemcli; a sanitizer report fails the test.
class AgentSystemTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // How the agent is installed; a fixture of a situation overrides it.
  virtual AgentOptions agentOptions() const { return AgentOptions(); }

  std::unique_ptr<AgentUnderTest> m_agent;
};

// The appliance's files the system tests read.
const char kComponentFile[] = "/pq/etc/dhcpcomp.conf";
const char kDhcpdConf[] = "/pq/etc/dhcpd.conf";
const char kAlarmLog[] = "/pq/platform/LAN.log";

// The lease a telephone got from the appliance (appliance-phone with the
// given options, 20 s at most), as the phone prints it; it must get one.
inline std::string phoneLease(const std::string& options = "--vendor Zelkor-p4100-A") {
  CommandResult r = runCommand("appliance-phone --timeout 20 " + options);
  EXPECT_EQ(0, r.status) << r.output;
  return r.output;
}

// The agent's fixture with wbemcli requests that must succeed.
class CimSystemTest : public AgentSystemTest {
 protected:
  // wbemcli's output of a request that must succeed.
  std::string ok(const std::string& op, const std::string& path, const std::string& extra = "",
                 const std::string& options = "") const {
    CommandOutput r = m_agent->wbemcli(op, path, extra, options);
    EXPECT_EQ(0, r.status) << r.err;
    return r.out;
  }
};

// The scratch directory of the sandbox run.
std::string scratchDir();
// INSTANCENAME of the agent's service and setting data.
std::string serviceInstanceName();
std::string settingDataInstanceName();
// The ModifiedInstance parameter of a ModifyInstance of the setting data
// with the given PROPERTY elements.
std::string settingDataModification(const std::string& properties);

}  // namespace tavrel::test
