// A named, typed property of an instance or class, with qualifiers. A
// default-constructed property is null (no name): lookups return it when the
// property is absent. A property whose value is null is not a null property.
#ifndef OPENWBEM_CIMPROPERTY_H
#define OPENWBEM_CIMPROPERTY_H

#include "openwbem/CIMDataType.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/CIMValue.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMProperty {
 public:
  CIMProperty() = default;
  explicit CIMProperty(const String& name) : m_name(name) {}
  explicit CIMProperty(const char* name) : m_name(name) {}
  // The property takes the value's type.
  CIMProperty(const String& name, const CIMValue& value)
      : m_name(name), m_type(value.getCIMDataType()), m_value(value) {}
  // A property of the given type with a null value (class definitions).
  CIMProperty(const String& name, const CIMDataType& type) : m_name(name), m_type(type) {}

  const String& getName() const { return m_name; }
  CIMProperty& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const CIMValue& getValue() const { return m_value; }
  // Sets the value; a non-null value also sets the property's type.
  CIMProperty& setValue(const CIMValue& value);
  const CIMDataType& getDataType() const { return m_type; }
  CIMProperty& setDataType(const CIMDataType& type) {
    m_type = type;
    return *this;
  }
  bool isReference() const { return m_type.isReferenceType(); }

  const CIMQualifierArray& getQualifiers() const { return m_qualifiers; }
  CIMProperty& setQualifiers(const CIMQualifierArray& quals) {
    m_qualifiers = quals;
    return *this;
  }
  // Replaces a qualifier of the same name or appends q.
  CIMProperty& setQualifier(const CIMQualifier& q);
  CIMProperty& addQualifier(const CIMQualifier& q) { return setQualifier(q); }
  // The qualifier of that name (case-insensitive), null when absent.
  CIMQualifier getQualifier(const String& name) const;
  bool hasTrueQualifier(const String& name) const { return CIMQualifierIsTrue(m_qualifiers, name); }
  bool isKey() const { return hasTrueQualifier("Key"); }

  // The class that declares it (its class origin) and whether it is
  // inherited from a superclass unchanged; the class repository sets both.
  const String& getOriginClass() const { return m_originClass; }
  CIMProperty& setOriginClass(const String& name) {
    m_originClass = name;
    return *this;
  }
  bool getPropagated() const { return m_propagated; }
  CIMProperty& setPropagated(bool propagated) {
    m_propagated = propagated;
    return *this;
  }

  bool isNull() const { return m_name.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }
  // Same name (case-insensitive) and equal value; qualifiers not compared.
  bool operator==(const CIMProperty& o) const {
    return m_name.equalsIgnoreCase(o.m_name) && m_value == o.m_value;
  }
  bool operator!=(const CIMProperty& o) const { return !(*this == o); }

 private:
  String m_name;
  CIMDataType m_type;
  CIMValue m_value;
  CIMQualifierArray m_qualifiers;
  String m_originClass;
  bool m_propagated = false;
};

// Index of the property named name (case-insensitive) in props, or -1.
int CIMPropertyFind(const CIMPropertyArray& props, const String& name);
// The property named name in props; null when absent.
CIMProperty CIMPropertyGet(const CIMPropertyArray& props, const String& name);
// The value of the property named name in props; null when absent.
CIMValue CIMPropertyGetValue(const CIMPropertyArray& props, const String& name);
// Replaces the property of the same name or appends prop.
void CIMPropertySet(CIMPropertyArray& props, const CIMProperty& prop);
// Sets the value of the property named name, keeping its place and
// qualifiers, or appends a new property.
void CIMPropertySetValue(CIMPropertyArray& props, const String& name, const CIMValue& value);

}  // namespace OpenWBEM

#endif
