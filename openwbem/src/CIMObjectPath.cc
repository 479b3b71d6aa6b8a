#include "openwbem/CIMObjectPath.h"

#include "NumberParse.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMInstance.h"

#include <cctype>

namespace OpenWBEM {

CIMObjectPath::CIMObjectPath(const String& nameSpace, const CIMInstance& instance)
    : m_nameSpace(nameSpace), m_className(instance.getClassName()), m_keys(instance.getKeyValuePairs()) {}

CIMProperty CIMObjectPath::getKey(const String& name) const {
  return CIMPropertyGet(m_keys, name);
}

CIMValue CIMObjectPath::getKeyValue(const String& name) const {
  return CIMPropertyGetValue(m_keys, name);
}

CIMObjectPath& CIMObjectPath::setKeyValue(const String& name, const CIMValue& value) {
  CIMPropertySetValue(m_keys, name, value);
  return *this;
}

namespace {

void appendQuoted(String& out, const String& text) {
  out += '"';
  for (std::size_t i = 0; i < text.length(); ++i) {
    char c = text[i];
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

}  // namespace

String CIMObjectPath::toString() const {
  String out;
  if (!m_host.empty()) {
    out += "//";
    out += m_host;
    out += '/';
  }
  if (!m_nameSpace.empty()) {
    out += m_nameSpace;
    out += ':';
  }
  out += m_className;
  for (std::size_t i = 0; i < m_keys.size(); ++i) {
    out += i == 0 ? '.' : ',';
    out += m_keys[i].getName();
    out += '=';
    const CIMValue& v = m_keys[i].getValue();
    CIMDataType::Type t = v.getType();
    if (!v.isArray() && (t == CIMDataType::BOOLEAN || CIMDataType::isNumericType(t)))
      out += v.toString();
    else
      appendQuoted(out, v.toString());
  }
  return out;
}

namespace {

[[noreturn]] void malformed(const String& text, const char* why) {
  std::string msg = "Invalid object path \"" + text.toStdString() + "\": " + why;
  OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, msg.c_str());
}

// Value of an unquoted key: boolean, integer or real.
CIMValue unquotedValue(const String& text, const std::string& token) {
  bool b;
  if (detail::parseBool(token, b) == detail::PARSE_OK) return CIMValue(b);
  Int64 s;
  if (detail::parseSigned(token, INT64_MIN, INT64_MAX, true, s) == detail::PARSE_OK) return CIMValue(s);
  UInt64 u;
  if (detail::parseUnsigned(token, UINT64_MAX, true, u) == detail::PARSE_OK) return CIMValue(u);
  Real64 r;
  if (detail::parseReal(token, r) == detail::PARSE_OK) return CIMValue(r);
  malformed(text, "a key value must be quoted text, a number or a boolean");
}

}  // namespace

CIMObjectPath CIMObjectPath::parse(const String& text) {
  const std::string& s = text.toStdString();
  CIMObjectPath path;
  std::size_t pos = 0;
  if (s.compare(0, 2, "//") == 0) {
    std::size_t slash = s.find('/', 2);
    if (slash == std::string::npos || slash == 2) malformed(text, "host not ended by '/'");
    path.m_host = s.substr(2, slash - 2);
    pos = slash + 1;
  }
  // The namespace ends at the first ':' that comes before the class name's '.'.
  std::size_t colon = s.find(':', pos);
  std::size_t dot = s.find('.', pos);
  if (colon != std::string::npos && (dot == std::string::npos || colon < dot)) {
    path.m_nameSpace = s.substr(pos, colon - pos);
    pos = colon + 1;
    dot = s.find('.', pos);
  }
  std::size_t classEnd = dot == std::string::npos ? s.size() : dot;
  path.m_className = s.substr(pos, classEnd - pos);
  if (path.m_className.empty()) malformed(text, "no class name");
  for (char c : path.m_className.toStdString()) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
      malformed(text, "invalid character in the class name");
  }
  if (dot == std::string::npos) return path;

  pos = dot + 1;
  for (;;) {
    std::size_t eq = s.find('=', pos);
    if (eq == std::string::npos || eq == pos) malformed(text, "key name and '=' expected");
    String name(s.substr(pos, eq - pos));
    pos = eq + 1;
    CIMValue value;
    if (pos < s.size() && s[pos] == '"') {
      std::string v;
      ++pos;
      for (;; ++pos) {
        if (pos >= s.size()) malformed(text, "unterminated quoted value");
        char c = s[pos];
        if (c == '\\' && pos + 1 < s.size())
          c = s[++pos];
        else if (c == '"')
          break;
        v += c;
      }
      ++pos;
      value = CIMValue(String(std::move(v)));
    } else {
      std::size_t end = s.find(',', pos);
      if (end == std::string::npos) end = s.size();
      value = unquotedValue(text, s.substr(pos, end - pos));
      pos = end;
    }
    // A key given twice has no one value.
    if (CIMPropertyFind(path.m_keys, name) >= 0) malformed(text, "key given twice");
    path.m_keys.push_back(CIMProperty(name, value));
    if (pos == s.size()) break;
    if (s[pos] != ',') malformed(text, "',' expected between keys");
    ++pos;
  }
  return path;
}

bool CIMObjectPath::equals(const CIMObjectPath& o) const {
  if (!m_className.equalsIgnoreCase(o.m_className) || !m_nameSpace.equalsIgnoreCase(o.m_nameSpace) ||
      m_keys.size() != o.m_keys.size())
    return false;
  for (const CIMProperty& k : m_keys) {
    int i = CIMPropertyFind(o.m_keys, k.getName());
    if (i < 0 || o.m_keys[i].getValue() != k.getValue()) return false;
  }
  return true;
}

}  // namespace OpenWBEM
