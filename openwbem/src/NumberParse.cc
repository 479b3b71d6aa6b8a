#include "NumberParse.h"

#include "openwbem/String.h"

#include <strings.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace OpenWBEM {
namespace detail {

namespace {

// Strips blanks; returns false when nothing is left.
bool trimmed(const std::string& text, std::string& out) {
  String t(text);
  out = t.trim().toStdString();
  return !out.empty();
}

// Magnitude of an unsigned digit string (after sign). Sets overflow instead
// of wrapping.
ParseResult parseMagnitude(const std::string& s, std::size_t pos, bool allowHex, UInt64& mag) {
  int base = 10;
  if (allowHex && s.size() > pos + 1 && s[pos] == '0' && (s[pos + 1] == 'x' || s[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= s.size()) return PARSE_SYNTAX;
  bool overflow = false;
  mag = 0;
  for (; pos < s.size(); ++pos) {
    unsigned char c = static_cast<unsigned char>(s[pos]);
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && std::isxdigit(c))
      digit = 10 + (std::tolower(c) - 'a');
    else
      return PARSE_SYNTAX;
    if (mag > (UINT64_MAX - digit) / base)
      overflow = true;
    else
      mag = mag * base + digit;
  }
  return overflow ? PARSE_RANGE : PARSE_OK;
}

// Trims text, takes an optional sign and the magnitude after it.
ParseResult parseSignedMagnitude(const std::string& text, bool allowHex, bool& neg, UInt64& mag) {
  std::string s;
  if (!trimmed(text, s)) return PARSE_SYNTAX;
  neg = false;
  std::size_t pos = 0;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    pos = 1;
  }
  return parseMagnitude(s, pos, allowHex, mag);
}

}  // namespace

ParseResult parseSigned(const std::string& text, Int64 min, Int64 max, bool allowHex, Int64& out) {
  bool neg;
  UInt64 mag;
  ParseResult r = parseSignedMagnitude(text, allowHex, neg, mag);
  if (r != PARSE_OK) return r;
  // |INT64_MIN| is one more than INT64_MAX.
  const UInt64 limit = neg ? static_cast<UInt64>(INT64_MAX) + 1 : static_cast<UInt64>(INT64_MAX);
  if (mag > limit) return PARSE_RANGE;
  Int64 v = neg ? static_cast<Int64>(0 - mag) : static_cast<Int64>(mag);
  if (v < min || v > max) return PARSE_RANGE;
  out = v;
  return PARSE_OK;
}

ParseResult parseUnsigned(const std::string& text, UInt64 max, bool allowHex, UInt64& out) {
  bool neg;
  UInt64 mag;
  ParseResult r = parseSignedMagnitude(text, allowHex, neg, mag);
  if (r != PARSE_OK) return r;
  if ((neg && mag != 0) || mag > max) return PARSE_RANGE;
  out = mag;
  return PARSE_OK;
}

ParseResult parseReal(const std::string& text, Real64& out) {
  std::string s;
  if (!trimmed(text, s)) return PARSE_SYNTAX;
  // strtod also takes hex floats, "inf" and "nan": CIM reals are decimal.
  for (char c : s) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' ||
          c == 'E'))
      return PARSE_SYNTAX;
  }
  char* end = 0;
  errno = 0;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return PARSE_SYNTAX;
  if (errno == ERANGE && std::isinf(v)) return PARSE_RANGE;
  out = v;
  return PARSE_OK;
}

std::string formatReal(Real64 v, bool single) {
  char buf[48];
  int n = 0;
  for (int prec = single ? 6 : 15; prec <= 17; ++prec) {
    n = std::snprintf(buf, sizeof(buf), "%.*g", prec, v);
    double back = std::strtod(buf, 0);
    if (single ? static_cast<Real32>(back) == static_cast<Real32>(v) : back == v) break;
  }
  if (n > 0 && !std::strpbrk(buf, ".eEn")) std::snprintf(buf + n, sizeof(buf) - n, ".0");
  return buf;
}

ParseResult parseBool(const std::string& text, bool& out) {
  std::string s;
  if (!trimmed(text, s)) return PARSE_SYNTAX;
  if (strcasecmp(s.c_str(), "true") == 0)
    out = true;
  else if (strcasecmp(s.c_str(), "false") == 0)
    out = false;
  else
    return PARSE_SYNTAX;
  return PARSE_OK;
}

}  // namespace detail
}  // namespace OpenWBEM
