#include "openwbem/CIMInstance.h"

#include "openwbem/CIMClass.h"
#include "openwbem/CIMObjectPath.h"

namespace OpenWBEM {

CIMProperty CIMInstance::getProperty(const String& name) const {
  return CIMPropertyGet(m_properties, name);
}

CIMValue CIMInstance::getPropertyValue(const String& name) const {
  return CIMPropertyGetValue(m_properties, name);
}

CIMInstance& CIMInstance::setProperty(const String& name, const CIMValue& value) {
  CIMPropertySetValue(m_properties, name, value);
  return *this;
}

CIMInstance& CIMInstance::setProperty(const CIMProperty& prop) {
  CIMPropertySet(m_properties, prop);
  return *this;
}

CIMInstance& CIMInstance::removeProperty(const String& name) {
  int i = CIMPropertyFind(m_properties, name);
  if (i >= 0) m_properties.remove(i);
  return *this;
}

CIMPropertyArray CIMInstance::getKeyValuePairs() const {
  CIMPropertyArray keys;
  for (const CIMProperty& p : m_properties) {
    if (p.isKey()) keys.push_back(CIMProperty(p.getName(), p.getValue()));
  }
  return keys;
}

CIMObjectPath CIMInstance::createObjectPath(const String& ns, const CIMClass& cls) const {
  CIMObjectPath path(m_className, ns);
  if (!cls) {
    path.setKeys(getKeyValuePairs());
    return path;
  }
  CIMPropertyArray keys;
  for (const CIMProperty& classKey : cls.getKeys()) {
    int i = CIMPropertyFind(m_properties, classKey.getName());
    if (i >= 0) keys.push_back(CIMProperty(classKey.getName(), m_properties[i].getValue()));
  }
  path.setKeys(keys);
  return path;
}

CIMInstance CIMInstance::filterProperties(const StringArray* propertyList, bool includeQualifiers) const {
  CIMInstance out(m_className);
  out.m_properties.reserve(m_properties.size());
  for (const CIMProperty& p : m_properties) {
    if (propertyList) {
      bool wanted = false;
      for (const String& name : *propertyList) {
        if (name.equalsIgnoreCase(p.getName())) {
          wanted = true;
          break;
        }
      }
      if (!wanted) continue;
    }
    out.m_properties.push_back(p);
    if (!includeQualifiers) out.m_properties.back().setQualifiers(CIMQualifierArray());
  }
  return out;
}

bool CIMInstance::operator==(const CIMInstance& o) const {
  return m_className.equalsIgnoreCase(o.m_className) && m_properties == o.m_properties;
}

}  // namespace OpenWBEM
