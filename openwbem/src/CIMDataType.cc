#include "openwbem/CIMDataType.h"

#include <strings.h>

namespace OpenWBEM {

namespace {

// Indexed by CIMDataType::Type.
const char* const s_typeNames[] = {
    "",       "uint8",  "sint8",   "uint16", "sint16", "uint32",   "sint32",    "uint64",
    "sint64", "string", "boolean", "real32", "real64", "datetime", "reference",
};

}  // namespace

CIMDataType CIMDataType::reference(const String& refClassName) {
  CIMDataType t(REFERENCE);
  t.m_refClassName = refClassName;
  return t;
}

const char* CIMDataType::typeName(Type t) {
  int i = static_cast<int>(t);
  if (i < 0 || i >= static_cast<int>(sizeof(s_typeNames) / sizeof(s_typeNames[0]))) return "";
  return s_typeNames[i];
}

CIMDataType::Type CIMDataType::strToSimpleType(const String& name) {
  for (int i = UINT8; i <= REFERENCE; ++i) {
    if (strcasecmp(name.c_str(), s_typeNames[i]) == 0) return static_cast<Type>(i);
  }
  if (strcasecmp(name.c_str(), "ref") == 0) return REFERENCE;
  return CIMNULL;
}

}  // namespace OpenWBEM
