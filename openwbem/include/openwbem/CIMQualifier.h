// A named qualifier value (for example Key = true) of a class, property,
// method or parameter. A default-constructed qualifier is null.
#ifndef OPENWBEM_CIMQUALIFIER_H
#define OPENWBEM_CIMQUALIFIER_H

#include "openwbem/CIMValue.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMQualifier {
 public:
  CIMQualifier() = default;
  explicit CIMQualifier(const String& name) : m_name(name) {}
  explicit CIMQualifier(const char* name) : m_name(name) {}
  CIMQualifier(const String& name, const CIMValue& value) : m_name(name), m_value(value) {}

  // The boolean qualifier Key = true.
  static CIMQualifier createKey() { return CIMQualifier("Key", CIMValue(true)); }

  const String& getName() const { return m_name; }
  CIMQualifier& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const CIMValue& getValue() const { return m_value; }
  CIMQualifier& setValue(const CIMValue& value) {
    m_value = value;
    return *this;
  }

  bool isNull() const { return m_name.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }
  bool operator==(const CIMQualifier& o) const {
    return m_name.equalsIgnoreCase(o.m_name) && m_value == o.m_value;
  }
  bool operator!=(const CIMQualifier& o) const { return !(*this == o); }

 private:
  String m_name;
  CIMValue m_value;
};

// Index of the qualifier named name (case-insensitive) in quals, or -1.
int CIMQualifierFind(const CIMQualifierArray& quals, const String& name);
// The qualifier named name (case-insensitive) in quals; null when absent.
CIMQualifier CIMQualifierGet(const CIMQualifierArray& quals, const String& name);
// Replaces the qualifier of the same name or appends q.
void CIMQualifierSet(CIMQualifierArray& quals, const CIMQualifier& q);
// True when quals holds a boolean qualifier of that name whose value is true.
bool CIMQualifierIsTrue(const CIMQualifierArray& quals, const String& name);

}  // namespace OpenWBEM

#endif
