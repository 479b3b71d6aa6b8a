// Fuzz target of the MOF reader: any bytes as MOF text must give classes or
// a MOFReaderException, nothing else.
#include "fuzz_target.h"
#include "openwbem/MOFReader.h"

#include <stddef.h>
#include <stdint.h>

#include <string>

using namespace OpenWBEM;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const String text(std::string(reinterpret_cast<const char*>(data), size));
  try {
    MOFReader::parse(text, "fuzz");
  } catch (const MOFReaderException&) {}
  return 0;
}
