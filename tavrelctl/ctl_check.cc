#include "ctl_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "agent.h"
#include "commit.h"
#include "dhcpd.h"
#include "model/config_file.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/problems.h"
#include "model/records.h"
#include "model/result.h"
#include "model/text_file.h"
#include "model/util.h"
#include "openwbem/ConfigFile.h"
#include "openwbem/Exception.h"
#include "settings.h"
#include "torvo.h"

namespace {

std::string trim(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t\r");
  return text.substr(b, e - b + 1);
}

// Values compared as dhcpd would use them: case, blanks around list
// separators and one trailing dot of a name do not matter.
std::string canonical(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == ' ' && ((i > 0 && value[i - 1] == ',') || (i + 1 < value.size() && value[i + 1] == ',')))
      continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!out.empty() && out.back() == '.') out.pop_back();
  return out;
}

// RAII: a fresh directory under /tmp, the process's working directory
// while it lives (the readers write their command output files there),
// removed with its content at the end.
class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/tavrelctl-check.XXXXXX";
    if (mkdtemp(name) == nullptr) return;
    m_path = name;
    m_oldCwd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (chdir(m_path.c_str()) != 0) {
      rmdir(name);
      m_path.clear();
    }
  }
  ~ScratchDir() {
    if (m_oldCwd >= 0) {
      if (fchdir(m_oldCwd) != 0) {
        // The directory is removed by path all the same.
      }
      close(m_oldCwd);
    }
    if (m_path.empty()) return;
    // The readers and dhcpd write plain files only.
    if (DIR* dir = opendir(m_path.c_str())) {
      while (struct dirent* entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
          unlinkat(dirfd(dir), entry->d_name, 0);
      closedir(dir);
    }
    rmdir(m_path.c_str());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
  int m_oldCwd = -1;
};

bool readText(const std::string& path, std::string& text) {
  char* raw = dhcpUtilReadTextFile(path.c_str());
  if (raw == nullptr) return false;
  text = raw;
  free(raw);
  return true;
}

bool writeText(const std::string& path, const std::string& text) {
  return dhcpUtilReplaceFile(path.c_str(), text.data(), text.size()) == 0;
}

// dhcpd -t on the generated file; each error line dhcpd gives ("<file> line
// N: ...") is laid at the component file line whose value it names.
void checkWithDhcpd(const ScratchDir& dir, const std::string& componentFile, const std::string& component,
                    std::vector<DhcpCompReadProblem>& problems) {
  std::string conf = dir.path() + "/dhcpd.conf";
  std::string generated = dhcpCompFormatDhcpdConfig();
  if (!writeText(conf, generated)) {
    problems.push_back({conf, 0, "", "", "cannot write the generated dhcpd.conf"});
    return;
  }
  std::string output = dir.path() + "/dhcpd.out";
  const char* const args[] = {"-t", "-cf", conf.c_str(), nullptr};
  int status = dhcpCompRunDhcpd(args, output.c_str());
  if (status == 0) return;
  std::string said;
  readText(output, said);
  std::vector<std::string> generatedLines;
  std::istringstream g(generated);
  for (std::string l; std::getline(g, l);) generatedLines.push_back(l);
  std::vector<CtlComponentLine> lines = ctlComponentLines(component);
  std::istringstream s(said);
  bool any = false;
  for (std::string l; std::getline(s, l);) {
    size_t at = l.find(" line ");
    if (l.compare(0, conf.size(), conf) != 0 || at == std::string::npos) continue;
    int n = atoi(l.c_str() + at + 6);
    std::string text = "dhcpd cannot read the generated dhcpd.conf: " + trim(l.substr(l.find(':', at) + 1));
    std::string confLine =
        n >= 1 && n <= static_cast<int>(generatedLines.size()) ? generatedLines[n - 1] : "";
    DhcpCompReadProblem p{componentFile, 0, "", "",
                          text + " (dhcpd.conf line " + std::to_string(n) + ": " + trim(confLine) + ")"};
    for (const CtlComponentLine& c : lines)
      if (!c.value.empty() && confLine.find(c.value) != std::string::npos) {
        p.line = c.line;
        p.key = c.key;
        p.value = c.value;
        break;
      }
    problems.push_back(p);
    any = true;
  }
  if (!any)
    problems.push_back(
        {componentFile, 0, "", "",
         "dhcpd refuses the generated dhcpd.conf: " +
             (trim(said).empty() ? (status == -1 ? std::string("dhcpd could not be run")
                                                 : "exit status " + std::to_string(WEXITSTATUS(status)))
                                 : trim(said))});
}

// The component file through the agent's reader, writer and generator.
void checkComponentFile(const ScratchDir& dir, const std::string& file,
                        std::vector<DhcpCompReadProblem>& problems) {
  // The check reads into this process's records only: a change the readers
  // would commit is not written anywhere.
  CommitDeferral deferral;
  std::string original;
  if (!readText(file, original)) {
    problems.push_back({file, 0, "", "", std::string("cannot read: ") + strerror(errno)});
    return;
  }
  if (file.size() >= sizeof(g_strT20ConfigFilename)) {
    problems.push_back({file, 0, "", "", "file name too long"});
    return;
  }
  num_of_available_vlans = getNumberOfVlans(vlanlists, DHCP_MAX_VLANS);
  dhcpCompInitRecords();
  osIsCNICOnePresent(&g_bIntegratedRouterPresent);
  dhcpCompDiscoverInterfaces();
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", file.c_str());
  dhcpCompSetReadProblemSink([&problems](const DhcpCompReadProblem& p) { problems.push_back(p); });
  int read = dhcpCompReadDhcpCompConfigFile();
  dhcpCompSetReadProblemSink(nullptr);
  if (read != 1) {
    problems.push_back({file, 0, "", "", "the agent's reader cannot read the file"});
    return;
  }
  dhcpCompVerifyAllRangesInSubnets();
  // A line the reader has reported itself is not reported again.
  std::vector<int> reported;
  for (const DhcpCompReadProblem& p : problems) reported.push_back(p.line);
  for (const DhcpCompReadProblem& p :
       ctlCompareComponentFiles(file, original, dhcpCompFormatDhcpCompConfig(0)))
    if (std::find(reported.begin(), reported.end(), p.line) == reported.end()) problems.push_back(p);
  checkWithDhcpd(dir, file, original, problems);
}

// Line of the first "key =" line of a configuration file, 0 when none.
int configLine(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  int n = 0;
  for (std::string l; std::getline(in, l);) {
    ++n;
    size_t eq = l.find('=');
    if (eq != std::string::npos && trim(l.substr(0, eq)) == key) return n;
  }
  return 0;
}

// The agent's configuration file through the provider agent's reader, and
// the files it names.
void checkConfigFile(const std::string& file, std::vector<DhcpCompReadProblem>& problems) {
  OpenWBEM::ConfigFile::ConfigMap map;
  try {
    OpenWBEM::ConfigFile::loadConfigFile(
        file, map, dhcpCompCheckSetting, [&problems](const OpenWBEM::ConfigFile::Warning& w) {
          problems.push_back({w.file.toStdString(), static_cast<int>(w.line), w.key.toStdString(),
                              w.value.toStdString(), w.text.toStdString()});
        });
  } catch (const OpenWBEM::Exception& e) {
    std::string text = e.getMessage();
    size_t at = text.find("line ");
    problems.push_back({file, at != std::string::npos ? atoi(text.c_str() + at + 5) : 0, "", "", text});
    return;
  }
  std::string text;
  readText(file, text);
  auto item = [&map](const char* key) {
    return OpenWBEM::ConfigFile::getConfigItem(map, key, "").toStdString();
  };
  auto named = [&](const char* key, bool needed) {
    std::string path = item(key);
    if (path.empty()) {
      if (needed) problems.push_back({file, 0, key, "", "missing"});
      return;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
      problems.push_back(
          {file, configLine(text, key), key, path, std::string("cannot use: ") + strerror(errno)});
    else if (strcmp(key, "http_server.basic_password_file") == 0 && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
      problems.push_back({file, configLine(text, key), key, path,
                          "accessible to group or others: the agent refuses it (mode 0600)"});
  };
  named("provider_agent.mof_file", true);
  bool tcp = !item("http_server.http_port").empty() && item("http_server.http_port")[0] != '-';
  bool tls = !item("http_server.https_port").empty() && item("http_server.https_port")[0] != '-';
  if (tcp || tls) named("http_server.basic_password_file", true);
  if (tls) {
    named("http_server.SSL_cert", true);
    named("http_server.SSL_key", true);
  }
  for (const char* key : {"http_server.http_port", "http_server.https_port", "http_server.max_connections",
                          "http_server.timeout"}) {
    std::string value = item(key);
    if (value.empty()) continue;
    char* end = nullptr;
    long n = strtol(value.c_str(), &end, 10);
    if (*end != '\0' || n > 65535)
      problems.push_back({file, configLine(text, key), key, value, "not a number the agent can use"});
  }
}

}  // namespace

std::vector<CtlComponentLine> ctlComponentLines(const std::string& text) {
  std::vector<CtlComponentLine> lines;
  std::istringstream in(text);
  std::string section;
  int n = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++n;
    std::string l = trim(raw);
    if (l.empty() || l[0] == '#') continue;
    if (l.front() == '[' && l.back() == ']') {
      section = l.substr(1, l.size() - 2);
      continue;
    }
    size_t eq = l.find('=');
    CtlComponentLine c;
    c.line = n;
    c.section = section;
    c.key = trim(eq == std::string::npos ? l : l.substr(0, eq));
    c.value = eq == std::string::npos ? "" : trim(l.substr(eq + 1));
    lines.push_back(c);
  }
  return lines;
}

std::vector<DhcpCompReadProblem> ctlCompareComponentFiles(const std::string& file,
                                                          const std::string& original,
                                                          const std::string& asRead) {
  std::map<std::string, std::map<std::string, std::string>> read;
  for (const CtlComponentLine& c : ctlComponentLines(asRead)) read[c.section][c.key] = c.value;
  std::vector<DhcpCompReadProblem> problems;
  std::map<std::string, int> seen;
  for (const CtlComponentLine& c : ctlComponentLines(original)) {
    auto section = read.find(c.section);
    if (section == read.end()) {
      problems.push_back({file, c.line, c.key, c.value,
                          c.section.empty() ? "outside any section: ignored"
                                            : "section [" + c.section + "] is not read: ignored"});
      continue;
    }
    auto key = section->second.find(c.key);
    int& first = seen[c.section + "\n" + c.key];
    if (key == section->second.end())
      problems.push_back({file, c.line, c.key, c.value, "unknown key: ignored"});
    else if (first != 0)
      problems.push_back({file, c.line, c.key, c.value,
                          "repeated key (first on line " + std::to_string(first) + "): ignored"});
    else if (canonical(key->second) != canonical(c.value))
      problems.push_back(
          {file, c.line, c.key, c.value, "not used as written: the agent uses \"" + key->second + "\""});
    if (first == 0) first = c.line;
  }
  return problems;
}

std::vector<DhcpCompReadProblem> ctlCheckFiles(const std::string& componentFile,
                                               const std::string& configFile, std::string& why) {
  std::vector<DhcpCompReadProblem> problems;
  // The check works inside its temporary directory: names are taken from
  // where tavrelctl was started.
  auto absolute = [](const std::string& path) {
    char cwd[PATH_MAX];
    if (path.empty() || path[0] == '/' || getcwd(cwd, sizeof(cwd)) == nullptr) return path;
    return std::string(cwd) + "/" + path;
  };
  const std::string component = absolute(componentFile), config = absolute(configFile);
  ScratchDir dir;
  if (dir.path().empty()) {
    why = std::string("cannot make a temporary directory: ") + strerror(errno);
    return problems;
  }
  checkComponentFile(dir, component, problems);
  std::stable_sort(
      problems.begin(), problems.end(),
      [](const DhcpCompReadProblem& a, const DhcpCompReadProblem& b) { return a.line < b.line; });
  checkConfigFile(config, problems);
  return problems;
}
