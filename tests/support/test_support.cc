#include "test_support.h"

#include <crypt.h>
#include <dirent.h>
#include <openssl/evp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavrel::test {

const char kCimUser[] = "cimadmin";
const char kCimPassword[] = "Tavrel-test-1";

CommandResult runCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, got);
  const int raw = pclose(pipe);
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  if (raw != -1 && WIFSIGNALED(raw)) result.status = 128 + WTERMSIG(raw);
  return result;
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

static std::string environment(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

std::string sourceDir() {
  return environment("TAVREL_SOURCE_DIR");
}

std::string binaryDir() {
  return environment("TAVREL_BINARY_DIR");
}

pid_t pidInFile(const std::string& path) {
  return static_cast<pid_t>(atol(readFile(path).c_str()));
}

bool processAlive(pid_t pid) {
  return pid > 0 && kill(pid, 0) == 0;
}

TempDir::TempDir(const std::string& parent) {
  std::string pattern = parent + "/tavrel-test.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp " + pattern + " failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  runCommand("rm -rf " + shellQuote(m_path));
}

std::vector<std::string> TempDir::entries() const {
  std::vector<std::string> names;
  DIR* dir = opendir(m_path.c_str());
  while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr)
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
  if (dir != nullptr) closedir(dir);
  return names;
}

bool insideAppliance() {
  return environment("TAVREL_APPLIANCE") == "1";
}

std::string cimUrl(unsigned short port, const char* scheme) {
  return std::string(scheme) + "://" + kCimUser + ":" + kCimPassword + "@127.0.0.1:" + std::to_string(port);
}

std::string basicAuthorization() {
  const std::string pair = std::string(kCimUser) + ":" + kCimPassword;
  std::string encoded(4 * ((pair.size() + 2) / 3) + 1, '\0');
  const int n =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&encoded[0]),
                      reinterpret_cast<const unsigned char*>(pair.data()), static_cast<int>(pair.size()));
  encoded.resize(static_cast<size_t>(n));
  return "Basic " + encoded;
}

bool writeCredentialsFile(const std::string& path) {
  struct crypt_data data = {};
  const char* hash = crypt_r(kCimPassword, "$6$tavreltest$", &data);
  if (hash == nullptr || hash[0] == '*') return false;
  ::unlink(path.c_str());
  return writeFile(path, std::string(kCimUser) + ":" + hash + "\n") &&
         ::chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0;
}

bool writeTestCertificate(const std::string& certPath, const std::string& keyPath) {
  return runCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout " +
                    shellQuote(keyPath) + " -out " + shellQuote(certPath) + " 2>/dev/null")
             .status == 0;
}

static const char kMessageStart[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
    "<MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>";
static const char kMessageEnd[] = "</SIMPLEREQ></MESSAGE></CIM>";
static const char kRootCimv2[] =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>";

std::string cimRequest(const std::string& method, const std::string& params) {
  return kMessageStart + ("<IMETHODCALL NAME=\"" + method + "\">") + kRootCimv2 + params + "</IMETHODCALL>" +
         kMessageEnd;
}

std::string cimMethodRequest(const std::string& method, const std::string& instance,
                             const std::string& params) {
  return kMessageStart + ("<METHODCALL NAME=\"" + method + "\"><LOCALINSTANCEPATH>") + kRootCimv2 + instance +
         "</LOCALINSTANCEPATH>" + params + "</METHODCALL>" + kMessageEnd;
}

CIMError cimErrorOf(const std::string& response) {
  CIMError error;
  pugi::xml_document doc;
  if (!doc.load_string(response.c_str())) return {-1, response};
  pugi::xml_node node = doc.select_node("//ERROR").node();
  if (node) error = {node.attribute("CODE").as_int(), node.attribute("DESCRIPTION").value()};
  return error;
}

std::string property(const std::string& name, const std::string& type, const std::string& value) {
  return "<PROPERTY NAME=\"" + name + "\" TYPE=\"" + type + "\"><VALUE>" + value + "</VALUE></PROPERTY>";
}

std::string instanceName(const std::string& className,
                         const std::initializer_list<std::pair<const char*, std::string>>& keys) {
  std::string xml = "<INSTANCENAME CLASSNAME=\"" + className + "\">";
  for (const auto& key : keys)
    xml += "<KEYBINDING NAME=\"" + std::string(key.first) + "\"><KEYVALUE VALUETYPE=\"string\">" +
           key.second + "</KEYVALUE></KEYBINDING>";
  return xml + "</INSTANCENAME>";
}

}  // namespace tavrel::test
