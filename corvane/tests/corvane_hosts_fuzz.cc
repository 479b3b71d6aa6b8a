// Fuzz target of the hosts file merge: any bytes as the old /etc/hosts.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "corvane_internal.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char entry[] = "10.0.0.1\tbox.lan\tbox\t" CORVANE_HOSTS_MARK "\n";
  size_t length = 0;
  char* text = corvaneHostsMerge(reinterpret_cast<const char*>(data), size, "box", entry, &length);
  if (text == nullptr) return 0;
  if (length < sizeof(entry) - 1 || strcmp(text + length - (sizeof(entry) - 1), entry) != 0) __builtin_trap();
  free(text);
  return 0;
}
