// Interface of a provider that serves association classes. Class names and
// roles are empty when the request does not give them.
#ifndef OPENWBEM_CPPASSOCIATORPROVIDERIFC_H
#define OPENWBEM_CPPASSOCIATORPROVIDERIFC_H

#include "openwbem/CppInstanceProviderIFC.h"

namespace OpenWBEM {

class CppAssociatorProviderIFC : public virtual CppInstanceProviderIFC {
 public:
  ~CppAssociatorProviderIFC() override;

  virtual void associators(const ProviderEnvironmentIFCRef& env, CIMInstanceResultHandlerIFC& result,
                           const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                           const String& resultClass, const String& role, const String& resultRole,
                           WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                           WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                           const StringArray* propertyList) = 0;

  virtual void associatorNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                               const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                               const String& resultClass, const String& role, const String& resultRole) = 0;

  virtual void references(const ProviderEnvironmentIFCRef& env, CIMInstanceResultHandlerIFC& result,
                          const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                          const String& role, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                          WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                          const StringArray* propertyList) = 0;

  virtual void referenceNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                              const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                              const String& role) = 0;

  CppAssociatorProviderIFC* getAssociatorProvider() override { return this; }
};

}  // namespace OpenWBEM

#endif
