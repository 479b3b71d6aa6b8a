// An instance of a CIM class: the class name and an ordered list of
// properties. Property names are matched case-insensitively, as in CIM.
#ifndef OPENWBEM_CIMINSTANCE_H
#define OPENWBEM_CIMINSTANCE_H

#include "openwbem/Array.h"
#include "openwbem/CIMFwd.h"
#include "openwbem/CIMProperty.h"
#include "openwbem/CIMValue.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMInstance {
 public:
  CIMInstance() = default;
  explicit CIMInstance(const String& className) : m_className(className) {}
  explicit CIMInstance(const char* className) : m_className(className) {}

  const String& getClassName() const { return m_className; }
  CIMInstance& setClassName(const String& name) {
    m_className = name;
    return *this;
  }

  const CIMPropertyArray& getProperties() const { return m_properties; }
  CIMInstance& setProperties(const CIMPropertyArray& props) {
    m_properties = props;
    return *this;
  }
  // The property of that name; null when absent.
  CIMProperty getProperty(const String& name) const;
  // The value of the property of that name; null when absent.
  CIMValue getPropertyValue(const String& name) const;
  // Sets the value of the property of that name, keeping its place and
  // qualifiers, or appends a new property.
  CIMInstance& setProperty(const String& name, const CIMValue& value);
  // Replaces the property of the same name or appends prop.
  CIMInstance& setProperty(const CIMProperty& prop);
  // Removes the property of that name if present.
  CIMInstance& removeProperty(const String& name);

  // Properties that carry a true Key qualifier.
  CIMPropertyArray getKeyValuePairs() const;
  // Path of this instance in ns. The keys are the class's key properties
  // (in class order) taken from this instance, or with a null class the
  // properties that carry a true Key qualifier. Key properties the
  // instance lacks are left out.
  CIMObjectPath createObjectPath(const String& ns, const CIMClass& cls) const;

  // Copy holding only the properties named in propertyList (all when it
  // is null), without qualifiers unless includeQualifiers.
  CIMInstance filterProperties(const StringArray* propertyList, bool includeQualifiers) const;

  bool isNull() const { return m_className.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }
  // Same class name (case-insensitive) and the same properties in order.
  bool operator==(const CIMInstance& o) const;
  bool operator!=(const CIMInstance& o) const { return !(*this == o); }

 private:
  String m_className;
  CIMPropertyArray m_properties;
};

}  // namespace OpenWBEM

#endif
