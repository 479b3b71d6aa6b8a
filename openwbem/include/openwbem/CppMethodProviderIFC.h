// Interface of a provider that runs extrinsic methods of its classes.
#ifndef OPENWBEM_CPPMETHODPROVIDERIFC_H
#define OPENWBEM_CPPMETHODPROVIDERIFC_H

#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMValue.h"
#include "openwbem/CppProviderBaseIFC.h"

namespace OpenWBEM {

class CppMethodProviderIFC : public virtual CppProviderBaseIFC {
 public:
  ~CppMethodProviderIFC() override;

  // Runs methodName on path (an instance or class path) with the in
  // parameters; appends out parameters to out and returns the method's
  // return value.
  virtual CIMValue invokeMethod(const ProviderEnvironmentIFCRef& env, const String& ns,
                                const CIMObjectPath& path, const String& methodName,
                                const CIMParamValueArray& in, CIMParamValueArray& out) = 0;

  CppMethodProviderIFC* getMethodProvider() override { return this; }
};

}  // namespace OpenWBEM

#endif
