/* Test helpers: a private appliance root for the platform stand-ins, its
 * registry file and the alarms written to LAN.log. */
#ifndef NETKEEL_TEST_SUPPORT_H
#define NETKEEL_TEST_SUPPORT_H

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace netkeel_test {

struct RegistryEntry {
  std::string key, valueName, value;
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
    tavrel::test::writeFile(path_ + "/registry", text);
  }
  /* Entries of LAN.log, oldest first: "<tag> <severity> <number> <text>"
   * (tab-separated). */
  std::vector<std::string> alarms() const {
    std::vector<std::string> lines;
    std::istringstream in(tavrel::test::readFile(path_ + "/LAN.log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string path_;
};

}  // namespace netkeel_test

#endif
