// Type of a CIM value, property, parameter or method result.
#ifndef OPENWBEM_CIMDATATYPE_H
#define OPENWBEM_CIMDATATYPE_H

#include "openwbem/String.h"

namespace OpenWBEM {

class CIMDataType {
 public:
  enum Type {
    CIMNULL = 0,  // no type: a null value or an unset type
    UINT8,
    SINT8,
    UINT16,
    SINT16,
    UINT32,
    SINT32,
    UINT64,
    SINT64,
    STRING,
    BOOLEAN,
    REAL32,
    REAL64,
    DATETIME,
    REFERENCE
  };

  CIMDataType() = default;
  CIMDataType(Type type, bool isArray = false) : m_type(type), m_isArray(isArray) {}
  // A reference to the named class.
  static CIMDataType reference(const String& refClassName);

  Type getType() const { return m_type; }
  bool isArrayType() const { return m_isArray; }
  void setArrayType(bool isArray) { m_isArray = isArray; }
  bool isReferenceType() const { return m_type == REFERENCE; }
  // Class named by a reference type ("" when not given).
  const String& getRefClassName() const { return m_refClassName; }
  bool isNull() const { return m_type == CIMNULL; }
  bool isIntegerType() const { return isIntegerType(m_type); }
  bool isNumericType() const { return isNumericType(m_type); }

  // CIM-XML/MOF name of the element type: "uint16", "string", "boolean",
  // "datetime", "reference"... ("" for CIMNULL).
  String toString() const { return String(typeName(m_type)); }

  static const char* typeName(Type t);
  // Type named by a CIM-XML/MOF type name (case-insensitive); CIMNULL when
  // the name is unknown. "ref" and "reference" give REFERENCE.
  static Type strToSimpleType(const String& name);
  static bool isIntegerType(Type t) { return t >= UINT8 && t <= SINT64; }
  static bool isNumericType(Type t) { return (t >= UINT8 && t <= SINT64) || t == REAL32 || t == REAL64; }

  bool operator==(const CIMDataType& o) const {
    return m_type == o.m_type && m_isArray == o.m_isArray &&
           m_refClassName.equalsIgnoreCase(o.m_refClassName);
  }
  bool operator!=(const CIMDataType& o) const { return !(*this == o); }

 private:
  Type m_type = CIMNULL;
  bool m_isArray = false;
  String m_refClassName;
};

}  // namespace OpenWBEM

#endif
