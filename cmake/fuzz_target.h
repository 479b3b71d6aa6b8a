// The entry point every fuzz target defines; libFuzzer and the seed runner
// call it once per input.
#ifndef TAVREL_FUZZ_TARGET_H
#define TAVREL_FUZZ_TARGET_H

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#endif
