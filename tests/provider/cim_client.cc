#include "cim_client.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <pugixml.hpp>
#include <vector>

#include "sandbox_util.h"

extern char** environ;

namespace provider_test {

using tavrel::sandbox::readFile;
using tavrel::sandbox::runCommand;
using tavrel::sandbox::shellQuote;
using tavrel::sandbox::waitUntil;
using tavrel::sandbox::writeFile;

const char kServicePath[] =
    "ZPX_DHCPService.SystemCreationClassName=\"ZPX_System\",SystemName=\"ZPX\","
    "CreationClassName=\"ZPX_DHCPService\",Name=\"DHCPService\"";
const char kSettingDataPath[] = "ZPX_DHCPSettingData.InstanceID=\"Zelkor:ZPX_DHCPSettingData\"";

namespace {

const char kCredentialsFile[] = "/pq/etc/tavrel-cim.passwd";
const char kSocketFile[] = "/var/run/TavrelAgent.socket";

std::string binaryDir() {
  const char* dir = getenv("TAVREL_BINARY_DIR");
  return dir != nullptr ? dir : "";
}

std::string sourceDir() {
  const char* dir = getenv("TAVREL_SOURCE_DIR");
  return dir != nullptr ? dir : "";
}

CommandOutput run(const std::string& dir, const std::string& command) {
  CommandOutput r;
  r.status = runCommand(command + " >" + dir + "/cmd.out 2>" + dir + "/cmd.err").status;
  r.out = readFile(dir + "/cmd.out");
  r.err = readFile(dir + "/cmd.err");
  return r;
}

std::string keyBinding(const std::string& name, const std::string& value) {
  return "<KEYBINDING NAME=\"" + name + "\"><KEYVALUE VALUETYPE=\"string\">" + value +
         "</KEYVALUE></KEYBINDING>";
}

}  // namespace

std::string property(const std::string& name, const std::string& type, const std::string& value) {
  return "<PROPERTY NAME=\"" + name + "\" TYPE=\"" + type + "\"><VALUE>" + value + "</VALUE></PROPERTY>";
}

std::string serviceInstanceName() {
  return "<INSTANCENAME CLASSNAME=\"ZPX_DHCPService\">" +
         keyBinding("SystemCreationClassName", "ZPX_System") + keyBinding("SystemName", "ZPX") +
         keyBinding("CreationClassName", "ZPX_DHCPService") + keyBinding("Name", "DHCPService") +
         "</INSTANCENAME>";
}

std::string settingDataInstanceName() {
  return "<INSTANCENAME CLASSNAME=\"ZPX_DHCPSettingData\">" +
         keyBinding("InstanceID", "Zelkor:ZPX_DHCPSettingData") + "</INSTANCENAME>";
}

pid_t dhcpdPid() {
  return static_cast<pid_t>(atol(readFile("/var/run/dhcpd.pid").c_str()));
}

AgentUnderTest::AgentUnderTest(const AgentOptions& options) {
  const char* scratch = getenv("APPLIANCE_SCRATCH");
  m_dir = scratch != nullptr ? scratch : "/tmp";
  std::string lib = binaryDir() + "/lib";
  runCommand("ln -sf " + shellQuote(lib + "/libTavrel.so") + " /pq/lib/remoteprovider/libTavrel.so");
  std::string component =
      options.componentFile.empty() ? sourceDir() + "/agent/dhcpcomp-sample.conf" : options.componentFile;
  runCommand("cp " + shellQuote(component) + " /pq/etc/dhcpcomp.conf");
  tavrel::sandbox::writeCredentialsFile(kCredentialsFile);
  writeFile(m_dir + "/agent.conf",
            "http_server.http_port = 5988\n"
            "http_server.uds_filename = " +
                std::string(kSocketFile) +
                "\n"
                "http_server.basic_password_file = " +
                std::string(kCredentialsFile) +
                "\n"
                "owcimomd.log_location = stderr\n"
                "owcimomd.log_level = error\n"
                "provider_agent.mof_file = " +
                lib + "/Tavrel.mof\n" + options.extraSettings);

  std::vector<std::string> argv = {binaryDir() + "/bin/TavrelAgent", "-d", "-c", m_dir + "/agent.conf"};
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(&a[0]);
  cargv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string out = m_dir + "/agent.out";
  std::string err = m_dir + "/agent.err";
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (posix_spawn(&m_pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) m_pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  if (m_pid <= 0) return;
  m_ready = waitUntil(
      [this] {
        return log().find("{62000}") != std::string::npos && dhcpdPid() > 0 &&
               wbemcli("ein", "ZPX_DHCPService").out.find("DHCPService") != std::string::npos;
      },
      std::chrono::seconds(30));
}

bool AgentUnderTest::stop() {
  if (m_pid <= 0) return true;
  kill(m_pid, SIGTERM);
  bool ended =
      waitUntil([this] { return waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, std::chrono::seconds(15));
  if (!ended) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  m_pid = 0;
  return ended;
}

AgentUnderTest::~AgentUnderTest() {
  stop();
  runCommand("kill $(cat /var/run/dhcpd.pid 2>/dev/null) 2>/dev/null; rm -f /var/run/dhcpd.pid");
}

std::string AgentUnderTest::log() const {
  return readFile(m_dir + "/agent.err");
}

CommandOutput AgentUnderTest::wbemcli(const std::string& op, const std::string& path,
                                      const std::string& extra, const std::string& options) const {
  std::string command =
      "wbemcli " + op + " " + options + " " + shellQuote(tavrel::sandbox::cimUrl() + "/root/cimv2:" + path);
  if (!extra.empty()) command += " " + shellQuote(extra);
  return run(m_dir, command);
}

CIMError AgentUnderTest::call(const std::string& method, const std::string& params, std::string* body,
                              bool unixSocket) const {
  std::string request =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
      "<MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ><IMETHODCALL NAME=\"" +
      method +
      "\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/>"
      "</LOCALNAMESPACEPATH>" +
      params + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
  writeFile(m_dir + "/request.xml", request);
  run(m_dir, "curl -s --data-binary @" + m_dir + "/request.xml -H 'Expect:'" +
                 " -H 'Content-Type: application/xml; charset=\"utf-8\"'" +
                 " -H 'CIMOperation: MethodCall' -H 'CIMMethod: " + method + "'" +
                 " -H 'CIMObject: root%2Fcimv2' -o " + m_dir + "/response.xml " +
                 (unixSocket ? std::string("--unix-socket ") + kSocketFile + " http://localhost/cimom"
                             : std::string("-u ") + tavrel::sandbox::kCimUser + ":" +
                                   tavrel::sandbox::kCimPassword + " http://127.0.0.1:5988/cimom"));
  std::string response = readFile(m_dir + "/response.xml");
  if (body != nullptr) *body = response;
  CIMError error;
  pugi::xml_document doc;
  if (!doc.load_string(response.c_str())) {
    error.code = -1;
    error.description = response;
    return error;
  }
  pugi::xml_node node = doc.select_node("//ERROR").node();
  if (node) {
    error.code = node.attribute("CODE").as_int();
    error.description = node.attribute("DESCRIPTION").value();
  }
  return error;
}

CIMError AgentUnderTest::modifySettingData(const std::string& properties) const {
  return call("ModifyInstance", "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" +
                                    settingDataInstanceName() +
                                    "<INSTANCE CLASSNAME=\"ZPX_DHCPSettingData\">" + properties +
                                    "</INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE>");
}

}  // namespace provider_test
