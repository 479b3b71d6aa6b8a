// The registry file of the appliance root, shared by the registry calls and
// the published-IP watcher. Results are 0 or an errno value.
#ifndef TAVREL_PLATFORM_VEX_REGISTRY_H
#define TAVREL_PLATFORM_VEX_REGISTRY_H

#include <stddef.h>

#include <string>
#include <vector>

namespace platform {

// One value line of the registry file: key TAB name TAB value. The line
// occupies [lineBegin, lineEnd) of the text, without its newline.
struct RegistryEntry {
  std::string key;
  std::string name;
  std::string value;
  size_t lineBegin;
  size_t lineEnd;
};

// Value lines in file order; comments, blank and malformed lines skipped.
std::vector<RegistryEntry> registryParse(const std::string& text);

// Path of the registry file in the appliance root.
std::string registryPath();

// Reads one value (the last line for key and name wins): 0, ENOENT or EIO.
int registryReadValue(const std::string& key, const std::string& name, std::string* value);

}  // namespace platform

#endif
