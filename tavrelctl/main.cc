// tavrelctl: the administrator's command line of the appliance's DHCP
// management. Commands that ask the agent speak CIM-XML to it, over root's
// Unix socket by default or over HTTP(S) with credentials; check and passwd
// work on the files alone.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "CIMXMLClient.h"
#include "HTTPBasicAuth.h"
#include "ctl_args.h"
#include "ctl_check.h"
#include "ctl_cim.h"
#include "ctl_passwd.h"
#include "openwbem/CIMException.h"
#include "openwbem/ConfigFile.h"
#include "openwbem/Exception.h"

namespace {

const char kDefaultConfig[] = "/pq/etc/tavrel-agent.conf";
const char kDefaultComponentFile[] = "/pq/etc/dhcpcomp.conf";
const char kDefaultSocket[] = "/var/run/TavrelAgent.socket";
const char kSocketItem[] = "http_server.uds_filename";
const char kPasswordFileItem[] = "http_server.basic_password_file";

// An item of the agent's configuration file; fallback when the file or the
// item is missing.
std::string configItem(const CtlCommandLine& line, const char* item, const std::string& fallback) {
  OpenWBEM::ConfigFile::ConfigMap map;
  try {
    OpenWBEM::ConfigFile::loadConfigFile(line.option("--config", kDefaultConfig), map);
  } catch (const OpenWBEM::Exception&) {
    return fallback;
  }
  return OpenWBEM::ConfigFile::getConfigItem(map, item, fallback.c_str()).toStdString();
}

int fail(const std::string& command, const std::string& text, int status) {
  std::cerr << "tavrelctl: " << command << ": " << text << "\n";
  return status;
}

// The agent's refusal: its message, the error tag ("#...#" at its end) and
// the CIM status in words.
int refused(const std::string& command, const OpenWBEM::CIMException& e) {
  std::string message = e.getMessage();
  std::string tag;
  size_t end = message.find_last_not_of(" \n");
  if (end != std::string::npos && message[end] == '#') {
    size_t begin = message.rfind('#', end - 1);
    if (begin != std::string::npos) {
      tag = message.substr(begin, end - begin + 1);
      message.erase(begin);
    }
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  std::cerr << "tavrelctl: " << command << ": refused by the agent\n";
  if (!message.empty()) std::cerr << "  message: " << message << "\n";
  if (!tag.empty()) std::cerr << "  error tag: " << tag << "\n";
  std::cerr << "  CIM status: " << static_cast<int>(e.getErrNo()) << " "
            << OpenWBEM::CIMException::getCodeName(e.getErrNo()) << " ("
            << OpenWBEM::CIMException::getCodeDescription(e.getErrNo()) << ")\n";
  return kCtlFailed;
}

// The first line of a file, without its line end.
bool firstLine(const std::string& path, std::string& text) {
  FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  char buffer[1024];
  bool ok = std::fgets(buffer, sizeof(buffer), f) != nullptr;
  std::fclose(f);
  if (!ok) return false;
  text = buffer;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return true;
}

int runCheck(const CtlCommandLine& line, std::string& out) {
  std::string component = line.option("--component", kDefaultComponentFile);
  std::string config = line.option("--config", kDefaultConfig);
  std::string why;
  std::vector<DhcpCompReadProblem> problems = ctlCheckFiles(component, config, why);
  if (!why.empty()) return fail("check", why, kCtlFailed);
  if (line.has("--json")) {
    std::vector<CtlRecord> rows;
    for (const DhcpCompReadProblem& p : problems)
      rows.push_back({{"file", p.file, CtlField::Text},
                      {"line", std::to_string(p.line), CtlField::Number},
                      {"key", p.key, CtlField::Text},
                      {"value", p.value, CtlField::Text},
                      {"problem", p.text, CtlField::Text}});
    out = ctlJsonArray(rows) + "\n";
  } else {
    for (const DhcpCompReadProblem& p : problems)
      out += p.file + ":" + std::to_string(p.line) + ": " +
             (p.key.empty() ? "" : p.key + " = " + p.value + ": ") + p.text + "\n";
    if (problems.empty()) out = component + ", " + config + ": no problems\n";
  }
  return problems.empty() ? kCtlDone : kCtlFailed;
}

int runPasswd(const CtlCommandLine& line, std::string& out) {
  const std::string& user = line.words[0];
  if (!OpenWBEM::HTTPBasicAuth::validUserName(user))
    return fail("passwd", "\"" + user + "\" is no valid user name (letters, digits, \".\", \"_\", \"-\")",
                kCtlUsage);
  std::string file = configItem(line, kPasswordFileItem, "");
  if (file.empty())
    return fail("passwd", std::string("the configuration names no ") + kPasswordFileItem, kCtlFailed);
  std::string hash;
  if (!line.has("--delete")) {
    std::string password;
    if (line.has("--stdin")) {
      if (!std::getline(std::cin, password))
        return fail("passwd", "no password on standard input", kCtlFailed);
      if (!password.empty() && password.back() == '\r') password.pop_back();
    } else {
      std::string again;
      if (!ctlReadPasswordFromTerminal("Password for " + user + ": ", password) ||
          !ctlReadPasswordFromTerminal("Again: ", again))
        return fail("passwd", "no terminal to ask for the password (use --stdin)", kCtlFailed);
      if (password != again) return fail("passwd", "the two passwords differ; nothing changed", kCtlFailed);
    }
    if (password.empty()) return fail("passwd", "empty password refused", kCtlFailed);
    hash = ctlHashPassword(password);
    if (hash.empty()) return fail("passwd", "libcrypt cannot hash the password", kCtlFailed);
  }
  std::string text;
  FILE* f = std::fopen(file.c_str(), "r");
  if (f != nullptr) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
    std::fclose(f);
  } else if (errno != ENOENT) {
    return fail("passwd", "cannot read " + file + ": " + std::strerror(errno), kCtlFailed);
  }
  bool found = false;
  std::string changed = ctlChangeCredentials(text, user, hash, &found);
  if (line.has("--delete") && !found) return fail("passwd", "no user " + user + " in " + file, kCtlFailed);
  std::string why = ctlReplaceCredentialsFile(file, changed);
  if (!why.empty()) return fail("passwd", why, kCtlFailed);
  out = (line.has("--delete") ? "deleted " : found ? "changed " : "added ") + user + " in " + file + "\n";
  return kCtlDone;
}

// The connection: --url (with the password from --password-file or the
// terminal), else the Unix socket.
bool target(const CtlCommandLine& line, OpenWBEM::HTTPClientTarget& t, int& status) {
  if (!line.has("--url")) {
    t.udsPath = line.option("--socket", configItem(line, kSocketItem, kDefaultSocket));
    return true;
  }
  std::string why;
  if (!OpenWBEM::httpParseURL(line.option("--url"), t, why)) {
    status = fail(line.command, why, kCtlUsage);
    return false;
  }
  t.verifyPeer = !line.has("--insecure");
  if (t.user.empty()) return true;
  if (line.has("--password-file")) {
    if (!firstLine(line.option("--password-file"), t.password)) {
      status = fail(line.command, "cannot read " + line.option("--password-file"), kCtlFailed);
      return false;
    }
  } else if (!ctlReadPasswordFromTerminal("Password for " + t.user + ": ", t.password)) {
    status = fail(line.command, "no terminal to ask for the password (use --password-file)", kCtlFailed);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CtlCommandLine line;
  std::string why;
  if (!ctlParseArgs(std::vector<std::string>(argv + 1, argv + argc), line, why)) {
    std::cerr << "tavrelctl: " << why << "\n" << ctlUsage();
    return kCtlUsage;
  }
  std::string out;
  int status = kCtlDone;
  if (line.command == "help") {
    out = ctlUsage();
  } else if (line.command == "check") {
    status = runCheck(line, out);
  } else if (line.command == "passwd") {
    status = runPasswd(line, out);
  } else {
    OpenWBEM::HTTPClientTarget t;
    if (!target(line, t, status)) return status;
    try {
      OpenWBEM::CIMXMLClient client(t);
      status = ctlRunCimCommand(line, client, out);
    } catch (const OpenWBEM::HTTPClientUnreachable& e) {
      return fail(
          line.command,
          std::string("agent unreachable at ") +
              (t.udsPath.empty() ? t.scheme + "://" + t.host + ":" + std::to_string(t.port) : t.udsPath) +
              ": " + e.what(),
          kCtlUnreachable);
    } catch (const OpenWBEM::CIMException& e) {
      return refused(line.command, e);
    } catch (const OpenWBEM::CIMXMLClientFailure& e) {
      return fail(line.command, e.what(), kCtlFailed);
    }
  }
  std::cout << out;
  return status;
}
