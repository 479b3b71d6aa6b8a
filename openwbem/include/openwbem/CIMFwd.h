// Forward declarations and array names of the CIM object model.
#ifndef OPENWBEM_CIMFWD_H
#define OPENWBEM_CIMFWD_H

#include "openwbem/Array.h"

namespace OpenWBEM {

class String;
class CIMDataType;
class CIMDateTime;
class CIMValue;
class CIMQualifier;
class CIMProperty;
class CIMInstance;
class CIMObjectPath;
class CIMParameter;
class CIMMethod;
class CIMClass;
class CIMParamValue;

typedef Array<CIMValue> CIMValueArray;
typedef Array<CIMQualifier> CIMQualifierArray;
typedef Array<CIMProperty> CIMPropertyArray;
typedef Array<CIMInstance> CIMInstanceArray;
typedef Array<CIMObjectPath> CIMObjectPathArray;
typedef Array<CIMParameter> CIMParameterArray;
typedef Array<CIMMethod> CIMMethodArray;
typedef Array<CIMClass> CIMClassArray;
typedef Array<CIMParamValue> CIMParamValueArray;

}  // namespace OpenWBEM

#endif
