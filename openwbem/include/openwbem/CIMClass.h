// Definition of a CIM class: name, superclass, qualifiers, typed properties
// with their qualifiers, and methods. A default-constructed class is null.
#ifndef OPENWBEM_CIMCLASS_H
#define OPENWBEM_CIMCLASS_H

#include "openwbem/CIMFwd.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMMethod.h"
#include "openwbem/CIMProperty.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMClass {
 public:
  CIMClass() = default;
  explicit CIMClass(const String& name) : m_name(name) {}
  explicit CIMClass(const char* name) : m_name(name) {}

  const String& getName() const { return m_name; }
  CIMClass& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const String& getSuperClass() const { return m_superClass; }
  CIMClass& setSuperClass(const String& name) {
    m_superClass = name;
    return *this;
  }

  const CIMQualifierArray& getQualifiers() const { return m_qualifiers; }
  CIMClass& setQualifiers(const CIMQualifierArray& q) {
    m_qualifiers = q;
    return *this;
  }
  CIMClass& setQualifier(const CIMQualifier& q);
  CIMClass& addQualifier(const CIMQualifier& q) { return setQualifier(q); }
  CIMQualifier getQualifier(const String& name) const;
  bool hasTrueQualifier(const String& name) const { return CIMQualifierIsTrue(m_qualifiers, name); }
  bool isAssociation() const { return hasTrueQualifier("Association"); }

  const CIMPropertyArray& getAllProperties() const { return m_properties; }
  const CIMPropertyArray& getProperties() const { return m_properties; }
  // Replaces the property of the same name or appends it.
  CIMClass& addProperty(const CIMProperty& prop);
  CIMClass& setProperties(const CIMPropertyArray& props) {
    m_properties = props;
    return *this;
  }
  // The property of that name (case-insensitive); null when absent.
  CIMProperty getProperty(const String& name) const;
  // Properties that carry a true Key qualifier, in class order.
  CIMPropertyArray getKeys() const;

  const CIMMethodArray& getAllMethods() const { return m_methods; }
  const CIMMethodArray& getMethods() const { return m_methods; }
  // Replaces the method of the same name or appends it.
  CIMClass& addMethod(const CIMMethod& method);
  // The method of that name (case-insensitive); null when absent.
  CIMMethod getMethod(const String& name) const;

  // Converts the value of each property whose name is a property of this
  // class to that property's type (CIMValue::convertTo): a uint16 property
  // sent as text or as a signed 64-bit number becomes a uint16. Properties
  // the class does not define stay as they are. A failed conversion throws
  // CIMException with the status of convertTo and a message naming the
  // property.
  void typeProperties(CIMPropertyArray& props) const;

  bool isNull() const { return m_name.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }

 private:
  String m_name;
  String m_superClass;
  CIMQualifierArray m_qualifiers;
  CIMPropertyArray m_properties;
  CIMMethodArray m_methods;
};

}  // namespace OpenWBEM

#endif
