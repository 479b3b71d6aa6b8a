#include "agent_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "cim_connection.h"

extern char** environ;

namespace tavrel::test {

const char kServicePath[] =
    "ZPX_DHCPService.SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\","
    "CreationClassName=\"ZPX_DHCPService\",Name=\"DHCPService\"";
const char kSettingDataPath[] = "ZPX_DHCPSettingData.InstanceID=\"Zelkor:ZPX_DHCPSettingData\"";
const char kAgentConfig[] = "/pq/etc/tavrel-agent.conf";
const char kDhcpdPidFile[] = "/var/run/dhcpd.pid";

std::string scratchDir() {
  const char* dir = getenv("APPLIANCE_SCRATCH");
  return dir != nullptr ? dir : "/tmp";
}

std::string serviceInstanceName() {
  return instanceName("ZPX_DHCPService", {{"SystemCreationClassName", "ZPX_System"},
                                          {"SystemName", "ZPX"},
                                          {"CreationClassName", "ZPX_DHCPService"},
                                          {"Name", "DHCPService"}});
}

std::string settingDataInstanceName() {
  return instanceName("ZPX_DHCPSettingData", {{"InstanceID", "Zelkor:ZPX_DHCPSettingData"}});
}

AgentProcess::AgentProcess(const std::vector<std::string>& args, const std::string& name)
    : m_out(scratchDir() + "/" + name + ".out"), m_err(scratchDir() + "/" + name + ".err") {
  std::vector<std::string> argv = {binaryDir() + "/bin/TavrelAgent"};
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

AgentProcess::~AgentProcess() {
  if (m_pid > 0 && !m_exited) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
}

bool AgentProcess::waitExit(std::chrono::milliseconds timeout) {
  return m_pid > 0 && waitUntil(
                          [this] {
                            int status = 0;
                            if (m_exited || waitpid(m_pid, &status, WNOHANG) != m_pid) return m_exited;
                            m_exited = true;
                            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                            return true;
                          },
                          timeout);
}

bool AgentProcess::stop() {
  if (m_pid <= 0 || m_exited) return true;
  kill(m_pid, SIGTERM);
  if (waitExit(std::chrono::seconds(15))) return true;
  kill(m_pid, SIGKILL);
  waitExit();
  return false;
}

bool installAgent(const AgentOptions& options) {
  std::string command = "appliance-install-agent --set 'owcimomd.log_location = stderr'";
  if (!options.componentFile.empty()) command += " --component " + shellQuote(options.componentFile);
  for (const std::string& setting : options.settings) command += " --set " + shellQuote(setting);
  return runCommand(command).status == 0;
}

AgentUnderTest::AgentUnderTest(const AgentOptions& options)
    : m_installed(installAgent(options)), m_process({"-d", "-c", kAgentConfig}, "agent") {
  m_ready = m_installed && m_process.pid() > 0 &&
            waitUntil(
                [this] {
                  return contains(log(), "{62000}") && pidInFile(kDhcpdPidFile) > 0 &&
                         contains(wbemcli("ein", "ZPX_DHCPService").out, "DHCPService");
                },
                std::chrono::seconds(30));
}

CommandOutput AgentUnderTest::wbemcli(const std::string& op, const std::string& path,
                                      const std::string& extra, const std::string& options) const {
  std::string command = "wbemcli " + op + " " + options + " " + shellQuote(cimUrl() + "/root/cimv2:" + path);
  if (!extra.empty()) command += " " + shellQuote(extra);
  const std::string err = scratchDir() + "/wbemcli.err";
  CommandResult r = runCommand(command + " 2>" + err);
  return {r.status, r.output, readFile(err)};
}

CIMError AgentUnderTest::call(const std::string& method, const std::string& params, std::string* body,
                              bool unixSocket) const {
  CimConnection connection = unixSocket ? CimConnection(kAgentSocket) : CimConnection();
  std::string answer;
  connection.call(method, params, &answer);
  if (body != nullptr) *body = answer;
  return cimErrorOf(answer);
}

std::string settingDataModification(const std::string& properties) {
  return "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" + settingDataInstanceName() +
         "<INSTANCE CLASSNAME=\"ZPX_DHCPSettingData\">" + properties +
         "</INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE>";
}

CIMError AgentUnderTest::modifySettingData(const std::string& properties) const {
  return call("ModifyInstance", settingDataModification(properties));
}

void AgentSystemTest::SetUp() {
  if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
  if (runCommand("command -v wbemcli >/dev/null").status != 0)
    GTEST_SKIP() << "wbemcli (sblim-wbemcli) is needed";
  m_agent = std::make_unique<AgentUnderTest>(agentOptions());
  ASSERT_TRUE(m_agent->running()) << m_agent->log();
}

void AgentSystemTest::TearDown() {
  if (m_agent == nullptr) return;
  m_agent->stop();
  const std::string log = m_agent->log();
  m_agent.reset();
  runCommand("kill $(cat /var/run/dhcpd.pid 2>/dev/null) 2>/dev/null; rm -f /var/run/dhcpd.pid");
  EXPECT_FALSE(contains(log, "runtime error")) << log;
  EXPECT_FALSE(contains(log, "Sanitizer")) << log;
}

}  // namespace tavrel::test
