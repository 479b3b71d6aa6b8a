// Method and parameter definitions of a CIM class.
#ifndef OPENWBEM_CIMMETHOD_H
#define OPENWBEM_CIMMETHOD_H

#include "openwbem/CIMDataType.h"
#include "openwbem/CIMFwd.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CIMParameter {
 public:
  CIMParameter() = default;
  CIMParameter(const String& name, const CIMDataType& type) : m_name(name), m_type(type) {}

  const String& getName() const { return m_name; }
  CIMParameter& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const CIMDataType& getType() const { return m_type; }
  CIMParameter& setType(const CIMDataType& type) {
    m_type = type;
    return *this;
  }
  const CIMQualifierArray& getQualifiers() const { return m_qualifiers; }
  CIMParameter& setQualifiers(const CIMQualifierArray& q) {
    m_qualifiers = q;
    return *this;
  }
  CIMParameter& setQualifier(const CIMQualifier& q);
  CIMQualifier getQualifier(const String& name) const;
  bool hasTrueQualifier(const String& name) const { return CIMQualifierIsTrue(m_qualifiers, name); }

  bool isNull() const { return m_name.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }

 private:
  String m_name;
  CIMDataType m_type;
  CIMQualifierArray m_qualifiers;
};

class CIMMethod {
 public:
  CIMMethod() = default;
  explicit CIMMethod(const String& name) : m_name(name) {}
  CIMMethod(const String& name, const CIMDataType& returnType) : m_name(name), m_returnType(returnType) {}

  const String& getName() const { return m_name; }
  CIMMethod& setName(const String& name) {
    m_name = name;
    return *this;
  }
  const CIMDataType& getReturnType() const { return m_returnType; }
  CIMMethod& setReturnType(const CIMDataType& t) {
    m_returnType = t;
    return *this;
  }
  const CIMParameterArray& getParameters() const { return m_parameters; }
  CIMMethod& setParameters(const CIMParameterArray& p) {
    m_parameters = p;
    return *this;
  }
  CIMMethod& addParameter(const CIMParameter& p) {
    m_parameters.push_back(p);
    return *this;
  }
  // The parameter of that name (case-insensitive); null when absent.
  CIMParameter getParameter(const String& name) const;
  const CIMQualifierArray& getQualifiers() const { return m_qualifiers; }
  CIMMethod& setQualifiers(const CIMQualifierArray& q) {
    m_qualifiers = q;
    return *this;
  }
  CIMMethod& setQualifier(const CIMQualifier& q);
  CIMQualifier getQualifier(const String& name) const;
  bool hasTrueQualifier(const String& name) const { return CIMQualifierIsTrue(m_qualifiers, name); }

  // Converts each value whose name matches a parameter to the parameter's
  // type (CIMValue::convertTo); values of unknown names stay as they are.
  // A failed conversion throws CIMException with the status of convertTo
  // and a message naming the parameter.
  void typeParamValues(CIMParamValueArray& values) const;

  // The class that declares it (its class origin) and whether it is
  // inherited from a superclass unchanged; the class repository sets both.
  const String& getOriginClass() const { return m_originClass; }
  CIMMethod& setOriginClass(const String& name) {
    m_originClass = name;
    return *this;
  }
  bool getPropagated() const { return m_propagated; }
  CIMMethod& setPropagated(bool propagated) {
    m_propagated = propagated;
    return *this;
  }

  bool isNull() const { return m_name.empty(); }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }

 private:
  String m_name;
  CIMDataType m_returnType;
  CIMParameterArray m_parameters;
  CIMQualifierArray m_qualifiers;
  String m_originClass;
  bool m_propagated = false;
};

}  // namespace OpenWBEM

#endif
