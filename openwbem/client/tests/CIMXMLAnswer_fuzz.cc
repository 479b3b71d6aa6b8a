// Fuzz target of the client's answer reader: any body of an answer to
// EnumerateInstances or to an extrinsic call either reads or is refused
// with CIMException or CIMXMLClientFailure.
#include "CIMXMLClient.h"
#include "fuzz_target.h"

#include "openwbem/CIMException.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  for (bool intrinsic : {true, false}) {
    try {
      OpenWBEM::cimxmlReadAnswer(body, intrinsic ? "EnumerateInstances" : "testDhcpService", intrinsic);
    } catch (const OpenWBEM::CIMException&) {
    } catch (const OpenWBEM::CIMXMLClientFailure&) {}
  }
  return 0;
}
