#include "openwbem/ConfigFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

namespace OpenWBEM {
namespace ConfigFile {

namespace {

[[noreturn]] void configError(const std::string& msg) {
  OW_THROW(ConfigException, msg.c_str());
}

}  // namespace

// Line layout: key = value; '#' or ';' as first non-blank character makes
// a comment.
void loadConfigFile(const String& filename, ConfigMap& map) {
  loadConfigFile(filename, map, nullptr, nullptr);
}

void loadConfigFile(const String& filename, ConfigMap& map, const ItemChecker& check,
                    const WarningSink& warn) {
  std::ifstream in(filename.c_str());
  if (!in) {
    int err = errno;
    configError("Unable to read config file " + filename.toStdString() + ": " +
                (err ? std::strerror(err) : "cannot open"));
  }
  // Parse into a copy so a malformed file leaves map untouched.
  ConfigMap items(map);
  // The line of each key's first occurrence in this file.
  std::map<std::string, unsigned> firstLine;
  auto warning = [&](unsigned lineNo, const String& key, const String& value, const std::string& text) {
    if (warn) warn(Warning{filename, lineNo, key, value, String(text)});
  };
  std::string raw;
  unsigned lineNo = 0;
  errno = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    String line(raw);
    line.trim();
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    std::size_t eq = line.indexOf('=');
    String key = eq == String::npos ? line : line.substring(0, eq);
    key.trim();
    if (eq == String::npos || key.empty()) {
      configError("Invalid line " + std::to_string(lineNo) + " in config file " + filename.toStdString() +
                  ": expected \"key = value\"");
    }
    String value = line.substring(eq + 1);
    value.trim();
    const std::string name = key.toStdString();
    auto first = firstLine.emplace(name, lineNo);
    if (!first.second) {
      const std::string earlier = std::to_string(first.first->second);
      warning(lineNo, key, value,
              "key \"" + name + "\" repeats line " + earlier + "; the value of line " + earlier + " is used");
      continue;
    }
    String reason;
    ItemVerdict verdict = check ? check(key, value, reason) : ItemVerdict::Accept;
    if (verdict == ItemVerdict::Unknown) warning(lineNo, key, value, "unknown key \"" + name + "\"");
    if (verdict == ItemVerdict::Invalid) {
      warning(lineNo, key, value, name + ": " + reason.toStdString() + "; the default is used");
      continue;
    }
    items.insert(ConfigMap::value_type(key, value));
  }
  if (in.bad()) {
    int err = errno;
    configError("Error reading config file " + filename.toStdString() + ": " +
                (err ? std::strerror(err) : "read failed"));
  }
  map.swap(items);
}

String Warning::message() const {
  return String(file.toStdString() + ":" + std::to_string(line) + ": " + text.toStdString());
}

String getConfigItem(const ConfigMap& map, const String& itemName, const String& defRetVal) {
  ConfigMap::const_iterator it = map.find(itemName);
  return it != map.end() ? it->second : defRetVal;
}

}  // namespace ConfigFile
}  // namespace OpenWBEM
