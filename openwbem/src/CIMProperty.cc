#include "openwbem/CIMProperty.h"
#include "openwbem/CIMQualifier.h"

namespace OpenWBEM {

int CIMQualifierFind(const CIMQualifierArray& quals, const String& name) {
  for (std::size_t i = 0; i < quals.size(); ++i) {
    if (quals[i].getName().equalsIgnoreCase(name)) return static_cast<int>(i);
  }
  return -1;
}

CIMQualifier CIMQualifierGet(const CIMQualifierArray& quals, const String& name) {
  int i = CIMQualifierFind(quals, name);
  return i >= 0 ? quals[i] : CIMQualifier();
}

void CIMQualifierSet(CIMQualifierArray& quals, const CIMQualifier& q) {
  int i = CIMQualifierFind(quals, q.getName());
  if (i >= 0)
    quals[i] = q;
  else
    quals.push_back(q);
}

bool CIMQualifierIsTrue(const CIMQualifierArray& quals, const String& name) {
  int i = CIMQualifierFind(quals, name);
  if (i < 0) return false;
  const CIMValue& v = quals[i].getValue();
  return !v.isArray() && v.getType() == CIMDataType::BOOLEAN && v.toBool();
}

int CIMPropertyFind(const CIMPropertyArray& props, const String& name) {
  for (std::size_t i = 0; i < props.size(); ++i) {
    if (props[i].getName().equalsIgnoreCase(name)) return static_cast<int>(i);
  }
  return -1;
}

CIMProperty CIMPropertyGet(const CIMPropertyArray& props, const String& name) {
  int i = CIMPropertyFind(props, name);
  return i >= 0 ? props[i] : CIMProperty();
}

CIMValue CIMPropertyGetValue(const CIMPropertyArray& props, const String& name) {
  int i = CIMPropertyFind(props, name);
  return i >= 0 ? props[i].getValue() : CIMValue();
}

void CIMPropertySet(CIMPropertyArray& props, const CIMProperty& prop) {
  int i = CIMPropertyFind(props, prop.getName());
  if (i >= 0)
    props[i] = prop;
  else
    props.push_back(prop);
}

void CIMPropertySetValue(CIMPropertyArray& props, const String& name, const CIMValue& value) {
  int i = CIMPropertyFind(props, name);
  if (i >= 0)
    props[i].setValue(value);
  else
    props.push_back(CIMProperty(name, value));
}

CIMProperty& CIMProperty::setValue(const CIMValue& value) {
  m_value = value;
  if (!value.isNull()) m_type = value.getCIMDataType();
  return *this;
}

CIMProperty& CIMProperty::setQualifier(const CIMQualifier& q) {
  CIMQualifierSet(m_qualifiers, q);
  return *this;
}

CIMQualifier CIMProperty::getQualifier(const String& name) const {
  return CIMQualifierGet(m_qualifiers, name);
}

}  // namespace OpenWBEM
