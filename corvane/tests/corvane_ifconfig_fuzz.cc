// Fuzz target of the ifconfig output reader: any bytes as the output, read
// into buffers of exactly the size the callers pass.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "corvane.h"
#include "corvane_internal.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  char address[CORVANE_IP_TEXT_SIZE];
  char mask[CORVANE_IP_TEXT_SIZE];
  corvaneIfconfigAddress(address, text.c_str());
  corvaneIfconfigMask(mask, text.c_str());
  if (strlen(address) >= sizeof(address) || strlen(mask) >= sizeof(mask)) __builtin_trap();
  return 0;
}
