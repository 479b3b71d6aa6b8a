#include "openwbem/String.h"

#include "NumberParse.h"
#include "openwbem/Exception.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <ostream>

namespace OpenWBEM {

String::String(bool v) : m_str(v ? "true" : "false") {}
String::String(Int32 v) : m_str(std::to_string(v)) {}
String::String(UInt32 v) : m_str(std::to_string(v)) {}
String::String(Int64 v) : m_str(std::to_string(v)) {}
String::String(UInt64 v) : m_str(std::to_string(v)) {}

String::String(Real64 v) : m_str(detail::formatReal(v, false)) {}

std::size_t String::UTF8Length() const {
  std::size_t n = 0;
  for (unsigned char c : m_str) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

bool String::equalsIgnoreCase(const String& other) const {
  return m_str.size() == other.m_str.size() && strcasecmp(m_str.c_str(), other.m_str.c_str()) == 0;
}

int String::compareToIgnoreCase(const String& other) const {
  return strcasecmp(m_str.c_str(), other.m_str.c_str());
}

bool String::startsWith(const String& prefix) const {
  return m_str.compare(0, prefix.m_str.size(), prefix.m_str) == 0;
}

bool String::endsWith(const String& suffix) const {
  return m_str.size() >= suffix.m_str.size() &&
         m_str.compare(m_str.size() - suffix.m_str.size(), suffix.m_str.size(), suffix.m_str) == 0;
}

String String::substring(std::size_t begin, std::size_t len) const {
  if (begin >= m_str.size()) return String();
  return String(m_str.substr(begin, len));
}

String& String::trim() {
  std::size_t b = 0, e = m_str.size();
  while (b < e && std::isspace(static_cast<unsigned char>(m_str[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(m_str[e - 1]))) --e;
  m_str = m_str.substr(b, e - b);
  return *this;
}

String& String::toLowerCase() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return *this;
}

String& String::toUpperCase() {
  std::transform(m_str.begin(), m_str.end(), m_str.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return *this;
}

namespace {

[[noreturn]] void conversionFailed(const std::string& text, const char* typeName) {
  std::string msg = "Unable to convert \"" + text + "\" into " + typeName;
  OW_THROW(StringConversionException, msg.c_str());
}

template <class T>
T toSigned(const std::string& s, Int64 min, Int64 max, const char* typeName) {
  Int64 v;
  if (detail::parseSigned(s, min, max, false, v) != detail::PARSE_OK) conversionFailed(s, typeName);
  return static_cast<T>(v);
}

template <class T>
T toUnsigned(const std::string& s, UInt64 max, const char* typeName) {
  UInt64 v;
  if (detail::parseUnsigned(s, max, false, v) != detail::PARSE_OK) conversionFailed(s, typeName);
  return static_cast<T>(v);
}

}  // namespace

bool String::toBool() const {
  bool v;
  if (detail::parseBool(m_str, v) != detail::PARSE_OK) conversionFailed(m_str, "bool");
  return v;
}

UInt8 String::toUInt8() const {
  return toUnsigned<UInt8>(m_str, UINT8_MAX, "UInt8");
}
Int8 String::toInt8() const {
  return toSigned<Int8>(m_str, INT8_MIN, INT8_MAX, "Int8");
}
UInt16 String::toUInt16() const {
  return toUnsigned<UInt16>(m_str, UINT16_MAX, "UInt16");
}
Int16 String::toInt16() const {
  return toSigned<Int16>(m_str, INT16_MIN, INT16_MAX, "Int16");
}
UInt32 String::toUInt32() const {
  return toUnsigned<UInt32>(m_str, UINT32_MAX, "UInt32");
}
Int32 String::toInt32() const {
  return toSigned<Int32>(m_str, INT32_MIN, INT32_MAX, "Int32");
}
UInt64 String::toUInt64() const {
  return toUnsigned<UInt64>(m_str, UINT64_MAX, "UInt64");
}
Int64 String::toInt64() const {
  return toSigned<Int64>(m_str, INT64_MIN, INT64_MAX, "Int64");
}

Real64 String::toReal64() const {
  Real64 v;
  if (detail::parseReal(m_str, v) != detail::PARSE_OK) conversionFailed(m_str, "Real64");
  return v;
}

Real32 String::toReal32() const {
  Real64 v;
  if (detail::parseReal(m_str, v) != detail::PARSE_OK || v > FLT_MAX || v < -FLT_MAX)
    conversionFailed(m_str, "Real32");
  return static_cast<Real32>(v);
}

std::ostream& operator<<(std::ostream& os, const String& s) {
  return os << s.toStdString();
}

}  // namespace OpenWBEM
