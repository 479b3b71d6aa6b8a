#include "openwbem/CIMClass.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMMethod.h"
#include "openwbem/CIMParamValue.h"

namespace OpenWBEM {

namespace {

// value converted to type; a failure is raised again with the element's
// name in front of the reason.
CIMValue typedValue(const CIMValue& value, const CIMDataType& type, const char* what, const String& name) {
  if (value.isNull() || type.isNull()) return value;
  if (value.isArray() != type.isArrayType()) {
    std::string msg = std::string(what) + " \"" + name.toStdString() + "\": " +
                      (type.isArrayType() ? "an array value is required" : "a single value is required");
    OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, msg.c_str());
  }
  try {
    return value.convertTo(type.getType());
  } catch (const CIMException& e) {
    std::string msg = std::string(what) + " \"" + name.toStdString() + "\": " + e.getMessage();
    throw CIMException(e.getFile(), e.getLine(), e.getErrNo(), msg.c_str());
  }
}

}  // namespace

CIMClass& CIMClass::setQualifier(const CIMQualifier& q) {
  CIMQualifierSet(m_qualifiers, q);
  return *this;
}

CIMQualifier CIMClass::getQualifier(const String& name) const {
  return CIMQualifierGet(m_qualifiers, name);
}

CIMClass& CIMClass::addProperty(const CIMProperty& prop) {
  CIMPropertySet(m_properties, prop);
  return *this;
}

CIMProperty CIMClass::getProperty(const String& name) const {
  return CIMPropertyGet(m_properties, name);
}

CIMPropertyArray CIMClass::getKeys() const {
  CIMPropertyArray keys;
  for (const CIMProperty& p : m_properties) {
    if (p.isKey()) keys.push_back(p);
  }
  return keys;
}

CIMClass& CIMClass::addMethod(const CIMMethod& method) {
  for (CIMMethod& m : m_methods) {
    if (m.getName().equalsIgnoreCase(method.getName())) {
      m = method;
      return *this;
    }
  }
  m_methods.push_back(method);
  return *this;
}

CIMMethod CIMClass::getMethod(const String& name) const {
  for (const CIMMethod& m : m_methods) {
    if (m.getName().equalsIgnoreCase(name)) return m;
  }
  return CIMMethod();
}

void CIMClass::typeProperties(CIMPropertyArray& props) const {
  for (CIMProperty& p : props) {
    int i = CIMPropertyFind(m_properties, p.getName());
    if (i < 0) continue;
    const CIMDataType& type = m_properties[i].getDataType();
    p.setValue(typedValue(p.getValue(), type, "Property", p.getName()));
    if (!type.isNull()) p.setDataType(type);
  }
}

CIMParameter& CIMParameter::setQualifier(const CIMQualifier& q) {
  CIMQualifierSet(m_qualifiers, q);
  return *this;
}

CIMQualifier CIMParameter::getQualifier(const String& name) const {
  return CIMQualifierGet(m_qualifiers, name);
}

CIMParameter CIMMethod::getParameter(const String& name) const {
  for (const CIMParameter& p : m_parameters) {
    if (p.getName().equalsIgnoreCase(name)) return p;
  }
  return CIMParameter();
}

CIMMethod& CIMMethod::setQualifier(const CIMQualifier& q) {
  CIMQualifierSet(m_qualifiers, q);
  return *this;
}

CIMQualifier CIMMethod::getQualifier(const String& name) const {
  return CIMQualifierGet(m_qualifiers, name);
}

void CIMMethod::typeParamValues(CIMParamValueArray& values) const {
  for (CIMParamValue& v : values) {
    CIMParameter p = getParameter(v.getName());
    if (p) v.setValue(typedValue(v.getValue(), p.getType(), "Parameter", v.getName()));
  }
}

CIMValue CIMParamValueGet(const CIMParamValueArray& params, const String& name) {
  for (const CIMParamValue& p : params) {
    if (p.getName().equalsIgnoreCase(name)) return p.getValue();
  }
  return CIMValue();
}

}  // namespace OpenWBEM
