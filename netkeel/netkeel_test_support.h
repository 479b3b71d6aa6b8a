/* Test helpers: a private appliance root for the platform stand-ins, its
 * registry file and the alarms written to LAN.log. */
#ifndef NETKEEL_TEST_SUPPORT_H
#define NETKEEL_TEST_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

namespace netkeel_test {

struct RegistryEntry {
  std::string key;
  std::string valueName;
  std::string value;
};

struct Alarm {
  std::string tag;
  int severity;
  uint32_t number;
  std::string text;
};

/* Points TAVREL_PLATFORM_DIR at a fresh temporary directory for its
 * lifetime (or at the given existing directory), restoring it afterwards. */
class PlatformRoot {
 public:
  PlatformRoot();
  explicit PlatformRoot(const std::string& existing);
  ~PlatformRoot();
  PlatformRoot(const PlatformRoot&) = delete;
  PlatformRoot& operator=(const PlatformRoot&) = delete;

  const std::string& path() const { return path_; }
  /* Replaces the registry file by these entries. */
  void writeRegistry(const std::vector<RegistryEntry>& entries) const;
  /* Entries of LAN.log, oldest first. */
  std::vector<Alarm> alarms() const;

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
  bool owned_ = false;
};

/* Output of a shell command (stdout), and whether it exited 0. */
bool runCommand(const std::string& command, std::string* output = nullptr);

}  // namespace netkeel_test

#endif
