// Strict text-to-number conversion shared by String and CIMValue.
#ifndef OPENWBEM_SRC_NUMBERPARSE_H
#define OPENWBEM_SRC_NUMBERPARSE_H

#include "openwbem/Types.h"

#include <string>

namespace OpenWBEM {
namespace detail {

enum ParseResult {
  PARSE_OK,
  PARSE_SYNTAX,  // not a number of the requested kind
  PARSE_RANGE    // a number, but outside [min, max]
};

// The whole text, apart from surrounding blanks, must be an optional sign
// and decimal digits (or "0x" and hex digits when allowHex).
ParseResult parseSigned(const std::string& text, Int64 min, Int64 max, bool allowHex, Int64& out);
// As parseSigned; a '-' sign is accepted only for zero ("-0").
ParseResult parseUnsigned(const std::string& text, UInt64 max, bool allowHex, UInt64& out);
// A finite decimal floating-point number; PARSE_RANGE when it overflows.
ParseResult parseReal(const std::string& text, Real64& out);
// Shortest decimal text that reads back as the same value (as the same
// float when single); always holds a point or an exponent, so that it reads
// as a real and not as an integer.
std::string formatReal(Real64 v, bool single);

// "true" or "false" in any case, surrounding blanks allowed.
ParseResult parseBool(const std::string& text, bool& out);

}  // namespace detail
}  // namespace OpenWBEM

#endif
