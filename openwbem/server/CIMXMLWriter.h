// Writers of the CIM-XML elements (DSP0201) the provider agent sends. Each
// appends one element to out. Element and attribute sets are those the
// strict CIM-XML clients accept (no attributes beyond the DTD's).
#ifndef OW_SERVER_CIMXMLWRITER_H
#define OW_SERVER_CIMXMLWRITER_H

#include "openwbem/CIMClass.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/CIMValue.h"

#include <string>

namespace OpenWBEM {

// VALUE, VALUE.ARRAY, VALUE.REFERENCE or VALUE.REFARRAY; nothing for null.
void cimxmlWriteValue(std::string& out, const CIMValue& value);
// INSTANCENAME with KEYBINDINGs (KEYVALUE or VALUE.REFERENCE).
void cimxmlWriteInstanceName(std::string& out, const CIMObjectPath& path);
// LOCALNAMESPACEPATH: one NAMESPACE per "/"-separated part.
void cimxmlWriteLocalNamespacePath(std::string& out, const String& ns);
// INSTANCEPATH (NAMESPACEPATH with HOST) using host and ns when the path
// has none.
void cimxmlWriteInstancePath(std::string& out, const CIMObjectPath& path, const String& host,
                             const String& ns);
// INSTANCE; qualifiers only when includeQualifiers, the properties' class
// origins (where set) only when includeClassOrigin.
void cimxmlWriteInstance(std::string& out, const CIMInstance& instance, bool includeQualifiers,
                         bool includeClassOrigin = false);
// QUALIFIER with TYPE and its value.
void cimxmlWriteQualifier(std::string& out, const CIMQualifier& qualifier);
// CLASS with its qualifiers, properties and methods, as given; properties
// and methods with CLASSORIGIN where their origin is set, PROPAGATED where
// they are inherited.
void cimxmlWriteClass(std::string& out, const CIMClass& cls);
// ERROR with CODE and DESCRIPTION (the message exactly, escaped); no
// DESCRIPTION when the message is empty.
void cimxmlWriteError(std::string& out, int code, const String& description);
// PARAMVALUE with NAME and PARAMTYPE (when the value is not null).
void cimxmlWriteParamValue(std::string& out, const CIMParamValue& param);
// RETURNVALUE with PARAMTYPE; nothing for a null value.
void cimxmlWriteReturnValue(std::string& out, const CIMValue& value);

}  // namespace OpenWBEM

#endif
