// Fuzz target of the registry file reader: any bytes as the registry file.
// Every value line found must lie inside the text.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz_target.h"
#include "vex_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const platform::RegistryEntry& entry : platform::registryParse(text)) {
    if (entry.lineBegin > entry.lineEnd || entry.lineEnd > text.size()) __builtin_trap();
  }
  return 0;
}
