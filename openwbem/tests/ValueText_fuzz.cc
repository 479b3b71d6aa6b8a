// Fuzz target of the parsers of value text that arrives from clients: object
// paths, datetimes and typed values of every CIM type. Any bytes must give a
// value or a CIMException, nothing else.
#include "fuzz_target.h"
#include "openwbem/CIMDateTime.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMValue.h"

#include <stddef.h>
#include <stdint.h>

#include <string>

using namespace OpenWBEM;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const String text(std::string(reinterpret_cast<const char*>(data), size));
  try {
    CIMObjectPath p = CIMObjectPath::parse(text);
    // What was parsed must print and parse back to the same path.
    if (CIMObjectPath::parse(p.toString()) != p) __builtin_trap();
  } catch (const CIMException&) {}
  for (int t = CIMDataType::UINT8; t <= CIMDataType::REFERENCE; ++t) {
    try {
      CIMValue v = CIMValue::fromText(text, static_cast<CIMDataType::Type>(t));
      v.convertTo(CIMDataType::STRING);
    } catch (const CIMException&) {}
  }
  return 0;
}
