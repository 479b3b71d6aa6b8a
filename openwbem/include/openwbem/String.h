// Text in UTF-8, with value semantics (backed by std::string).
#ifndef OPENWBEM_STRING_H
#define OPENWBEM_STRING_H

#include "openwbem/Types.h"

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

namespace OpenWBEM {

class String {
 public:
  static constexpr std::size_t npos = std::string::npos;

  String() = default;
  String(const char* s) : m_str(s ? s : "") {}
  String(const char* s, std::size_t len) : m_str(s ? s : "", s ? len : 0) {}
  String(const std::string& s) : m_str(s) {}
  String(std::string&& s) : m_str(std::move(s)) {}
  explicit String(char c) : m_str(1, c) {}
  // Decimal renderings of numbers and "true"/"false" for bool.
  explicit String(bool v);
  explicit String(Int32 v);
  explicit String(UInt32 v);
  explicit String(Int64 v);
  explicit String(UInt64 v);
  explicit String(Real64 v);

  // Number of bytes.
  std::size_t length() const { return m_str.size(); }
  // Number of Unicode code points of the UTF-8 text (each byte that does
  // not continue a sequence counts as one).
  std::size_t UTF8Length() const;
  bool empty() const { return m_str.empty(); }
  const char* c_str() const { return m_str.c_str(); }
  const std::string& toStdString() const { return m_str; }

  // Exact, case-sensitive comparison.
  bool equals(const String& other) const { return m_str == other.m_str; }
  bool equals(const char* other) const { return m_str == (other ? other : ""); }
  // ASCII case-insensitive comparison (CIM names compare this way).
  bool equalsIgnoreCase(const String& other) const;
  // <0, 0, >0 as strcmp.
  int compareTo(const String& other) const { return m_str.compare(other.m_str); }
  int compareToIgnoreCase(const String& other) const;

  bool startsWith(const String& prefix) const;
  bool endsWith(const String& suffix) const;
  // Byte index of the first occurrence at or after from, or npos.
  std::size_t indexOf(char c, std::size_t from = 0) const { return m_str.find(c, from); }
  std::size_t indexOf(const String& s, std::size_t from = 0) const { return m_str.find(s.m_str, from); }
  std::size_t lastIndexOf(char c) const { return m_str.rfind(c); }
  // Bytes [begin, begin+len), clipped to the text.
  String substring(std::size_t begin, std::size_t len = npos) const;

  // In-place edits; each returns *this.
  String& trim();
  String& toLowerCase();
  String& toUpperCase();
  String& erase() {
    m_str.clear();
    return *this;
  }

  // Strict conversions: the whole text (surrounding blanks allowed) must be
  // a decimal number in range, or "true"/"false" in any case for toBool.
  // Anything else throws StringConversionException.
  bool toBool() const;
  UInt8 toUInt8() const;
  Int8 toInt8() const;
  UInt16 toUInt16() const;
  Int16 toInt16() const;
  UInt32 toUInt32() const;
  Int32 toInt32() const;
  UInt64 toUInt64() const;
  Int64 toInt64() const;
  Real32 toReal32() const;
  Real64 toReal64() const;

  char operator[](std::size_t i) const { return m_str[i]; }
  String& operator+=(const String& s) {
    m_str += s.m_str;
    return *this;
  }
  String& operator+=(const char* s) {
    m_str += (s ? s : "");
    return *this;
  }
  String& operator+=(char c) {
    m_str += c;
    return *this;
  }

 private:
  std::string m_str;
};

inline String operator+(const String& a, const String& b) {
  String r(a);
  r += b;
  return r;
}
inline String operator+(const String& a, const char* b) {
  String r(a);
  r += b;
  return r;
}
inline String operator+(const char* a, const String& b) {
  String r(a);
  r += b;
  return r;
}
inline String operator+(const String& a, char b) {
  String r(a);
  r += b;
  return r;
}

inline bool operator==(const String& a, const String& b) {
  return a.equals(b);
}
inline bool operator==(const String& a, const char* b) {
  return a.equals(b);
}
inline bool operator==(const char* a, const String& b) {
  return b.equals(a);
}
inline bool operator!=(const String& a, const String& b) {
  return !a.equals(b);
}
inline bool operator!=(const String& a, const char* b) {
  return !a.equals(b);
}
inline bool operator!=(const char* a, const String& b) {
  return !b.equals(a);
}
inline bool operator<(const String& a, const String& b) {
  return a.compareTo(b) < 0;
}
inline bool operator>(const String& a, const String& b) {
  return a.compareTo(b) > 0;
}
inline bool operator<=(const String& a, const String& b) {
  return a.compareTo(b) <= 0;
}
inline bool operator>=(const String& a, const String& b) {
  return a.compareTo(b) >= 0;
}

std::ostream& operator<<(std::ostream& os, const String& s);

}  // namespace OpenWBEM

template <>
struct std::hash<OpenWBEM::String> {
  std::size_t operator()(const OpenWBEM::String& s) const noexcept {
    return std::hash<std::string>()(s.toStdString());
  }
};

#endif
