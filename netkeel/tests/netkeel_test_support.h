/* Test helpers: a private appliance root for the platform stand-ins, its
 * registry file, the published-IP values and the alarms written to LAN.log. */
#pragma once

#include <stdlib.h>
#include <time.h>

#include <array>
#include <string>
#include <vector>

#include "netkeel.h"
#include "test_support.h"

namespace netkeel_test {

typedef std::array<std::string, 3> RegistryEntry;  // key, value name, value

/* Points TAVREL_PLATFORM_DIR at a fresh directory for its lifetime. */
class PlatformRoot {
 public:
  PlatformRoot() { setenv("TAVREL_PLATFORM_DIR", dir_.path().c_str(), 1); }
  ~PlatformRoot() { unsetenv("TAVREL_PLATFORM_DIR"); }

  void writeRegistry(const std::vector<RegistryEntry>& entries) const {
    std::string text;
    for (const RegistryEntry& e : entries) text += e[0] + '\t' + e[1] + '\t' + e[2] + '\n';
    tavrel::test::writeFile(dir_.file("registry"), text);
  }
  /* LAN.log: one "<tag> <severity> <number> <text>" line per alarm. */
  std::string alarms() const { return tavrel::test::readFile(dir_.file("LAN.log")); }

 private:
  tavrel::test::TempDir dir_;
};

/* A value of "PublishedIP\default", "<absent>" when it cannot be read. */
inline std::string published(const char* valueName) {
  char buffer[NETKEEL_IF_KEY_SIZE] = {0};
  return VexGetRegEntryStringEx(5, "PublishedIP\\default", valueName, buffer, sizeof(buffer)) == 0
             ? buffer
             : "<absent>";
}

/* A time stamp of the last few seconds. */
inline bool recent(uint32_t timeStamp) {
  return timeStamp + 5 >= static_cast<uint32_t>(time(nullptr));
}

}  // namespace netkeel_test
