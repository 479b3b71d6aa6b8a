// Fuzz target of the statistics readers: any bytes as the output of the
// /proc/net/dev and tc commands, read as counter lines and as the tc blocks of
// both modes.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "fuzz_target.h"
#include "netkeel.h"
#include "netkeel_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  for (int mode = 0; mode < 3; ++mode) {
    FILE* pipe = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (pipe == nullptr) return 0;
    if (mode == 0) {
      uint64_t values[8] = {};
      uint64_t* const counters[] = {&values[0], &values[1], &values[2], &values[3],
                                    &values[4], &values[5], &values[6], &values[7]};
      while (netkeelReadCounterLine(pipe, counters, 8)) {}
    } else {
      s_operG4Stats stats;
      memset(&stats, 0, sizeof(stats));
      netkeelReadG4Blocks(pipe, mode == 1, &stats);
    }
    fclose(pipe);
  }
  return 0;
}
