/* Test helpers: a private appliance root for the platform stand-ins, its
 * registry file and the alarms written to LAN.log. */
#ifndef NETKEEL_TEST_SUPPORT_H
#define NETKEEL_TEST_SUPPORT_H

#include <stdint.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sandbox_util.h"

namespace netkeel_test {

struct RegistryEntry {
  std::string key, valueName, value;
};

struct Alarm {
  std::string tag;
  int severity;
  uint32_t number;
  std::string text;
};

/* Points TAVREL_PLATFORM_DIR at a fresh temporary directory for its
 * lifetime. */
class PlatformRoot {
 public:
  PlatformRoot() {
    char pattern[] = "/tmp/netkeel-test-XXXXXX";
    path_ = mkdtemp(pattern) != nullptr ? pattern : "";
    setenv("TAVREL_PLATFORM_DIR", path_.c_str(), 1);
  }
  ~PlatformRoot() {
    unsetenv("TAVREL_PLATFORM_DIR");
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PlatformRoot(const PlatformRoot&) = delete;
  PlatformRoot& operator=(const PlatformRoot&) = delete;

  /* Replaces the registry file by these entries. */
  void writeRegistry(const std::vector<RegistryEntry>& entries) const {
    std::string text;
    for (const RegistryEntry& e : entries) text += e.key + '\t' + e.valueName + '\t' + e.value + '\n';
    tavrel::sandbox::writeFile(path_ + "/registry", text);
  }
  /* Entries of LAN.log, oldest first: tag, severity, number, text. */
  std::vector<Alarm> alarms() const {
    std::vector<Alarm> result;
    std::istringstream in(tavrel::sandbox::readFile(path_ + "/LAN.log"));
    std::string line;
    while (std::getline(in, line)) {
      Alarm alarm;
      std::istringstream fields(line);
      std::string severity, number;
      if (std::getline(fields, alarm.tag, '\t') && std::getline(fields, severity, '\t') &&
          std::getline(fields, number, '\t')) {
        std::getline(fields, alarm.text);
        alarm.severity = std::stoi(severity);
        alarm.number = static_cast<uint32_t>(std::stoul(number));
        result.push_back(alarm);
      }
    }
    return result;
  }

 private:
  std::string path_;
};

}  // namespace netkeel_test

#endif
