// Fixed-width integer and real names used throughout the CIM object model.
#ifndef OPENWBEM_TYPES_H
#define OPENWBEM_TYPES_H

#include <cstdint>

namespace OpenWBEM {

typedef std::uint8_t UInt8;
typedef std::int8_t Int8;
typedef std::uint16_t UInt16;
typedef std::int16_t Int16;
typedef std::uint32_t UInt32;
typedef std::int32_t Int32;
typedef std::uint64_t UInt64;
typedef std::int64_t Int64;
typedef float Real32;
typedef double Real64;

}  // namespace OpenWBEM

#endif
