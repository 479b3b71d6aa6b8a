// Name of a CIM class or instance: optional host, namespace, class name and,
// for an instance, its key properties.
#ifndef OPENWBEM_CIMOBJECTPATH_H
#define OPENWBEM_CIMOBJECTPATH_H

#include "openwbem/CIMFwd.h"
#include "openwbem/CIMProperty.h"
#include "openwbem/CIMValue.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMObjectPath {
 public:
  CIMObjectPath() = default;
  CIMObjectPath(const String& className, const String& nameSpace)
      : m_nameSpace(nameSpace), m_className(className) {}
  CIMObjectPath(const char* className, const char* nameSpace)
      : m_nameSpace(nameSpace), m_className(className) {}
  // Path of an instance: its class name and the properties that carry a
  // true Key qualifier.
  CIMObjectPath(const String& nameSpace, const CIMInstance& instance);

  const String& getClassName() const { return m_className; }
  CIMObjectPath& setClassName(const String& className) {
    m_className = className;
    return *this;
  }
  const String& getNameSpace() const { return m_nameSpace; }
  CIMObjectPath& setNameSpace(const String& ns) {
    m_nameSpace = ns;
    return *this;
  }
  const String& getHost() const { return m_host; }
  CIMObjectPath& setHost(const String& host) {
    m_host = host;
    return *this;
  }

  const CIMPropertyArray& getKeys() const { return m_keys; }
  CIMObjectPath& setKeys(const CIMPropertyArray& keys) {
    m_keys = keys;
    return *this;
  }
  // The key of that name (case-insensitive); null when absent.
  CIMProperty getKey(const String& name) const;
  // The value of the key of that name; null when absent.
  CIMValue getKeyValue(const String& name) const;
  // Replaces the value of the key of that name or appends a new key.
  CIMObjectPath& setKeyValue(const String& name, const CIMValue& value);
  CIMObjectPath& addKey(const String& name, const CIMValue& value) { return setKeyValue(name, value); }

  bool isInstancePath() const { return !m_keys.empty(); }
  bool isClassPath() const { return m_keys.empty(); }

  // Text form: ["//" host "/"] [namespace ":"] className ["." key "=" value
  // {"," key "=" value}]. String, datetime and reference values are quoted
  // with '"' (backslash escapes '"' and '\'); numbers and booleans are not.
  String toString() const;
  // Parses the text form. Malformed text throws
  // CIMException(INVALID_PARAMETER). Unquoted values become SINT64 (or
  // UINT64 above its range), REAL64 or BOOLEAN; quoted values STRING.
  static CIMObjectPath parse(const String& text);

  // Same class and namespace (case-insensitive) and the same keys with
  // equal values, in any order; hosts are not compared.
  bool equals(const CIMObjectPath& o) const;
  bool operator==(const CIMObjectPath& o) const { return equals(o); }
  bool operator!=(const CIMObjectPath& o) const { return !equals(o); }

 private:
  String m_host;
  String m_nameSpace;
  String m_className;
  CIMPropertyArray m_keys;
};

}  // namespace OpenWBEM

#endif
