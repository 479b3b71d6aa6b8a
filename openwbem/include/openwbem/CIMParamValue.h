// A named parameter value of an extrinsic method call or result.
#ifndef OPENWBEM_CIMPARAMVALUE_H
#define OPENWBEM_CIMPARAMVALUE_H

#include "openwbem/CIMFwd.h"
#include "openwbem/CIMValue.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMParamValue {
 public:
  CIMParamValue() = default;
  explicit CIMParamValue(const String& name) : m_name(name) {}
  CIMParamValue(const String& name, const CIMValue& value) : m_name(name), m_value(value) {}

  const String& getName() const { return m_name; }
  CIMParamValue& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const CIMValue& getValue() const { return m_value; }
  CIMParamValue& setValue(const CIMValue& value) {
    m_value = value;
    return *this;
  }

  bool operator==(const CIMParamValue& o) const {
    return m_name.equalsIgnoreCase(o.m_name) && m_value == o.m_value;
  }
  bool operator!=(const CIMParamValue& o) const { return !(*this == o); }

 private:
  String m_name;
  CIMValue m_value;
};

// The value of the parameter of that name (case-insensitive); null when
// absent.
CIMValue CIMParamValueGet(const CIMParamValueArray& params, const String& name);

}  // namespace OpenWBEM

#endif
