// Interface of a provider that serves instances of its classes.
#ifndef OPENWBEM_CPPINSTANCEPROVIDERIFC_H
#define OPENWBEM_CPPINSTANCEPROVIDERIFC_H

#include "openwbem/CIMClass.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CppProviderBaseIFC.h"
#include "openwbem/ResultHandlerIFC.h"
#include "openwbem/WBEMFlags.h"

namespace OpenWBEM {

// A null propertyList means all properties. The write operations answer
// CIMException(NOT_SUPPORTED) unless a provider overrides them.
class CppInstanceProviderIFC : public virtual CppProviderBaseIFC {
 public:
  ~CppInstanceProviderIFC() override;

  virtual void enumInstanceNames(const ProviderEnvironmentIFCRef& env, const String& ns,
                                 const String& className, CIMObjectPathResultHandlerIFC& result,
                                 const CIMClass& cimClass) = 0;

  virtual void enumInstances(const ProviderEnvironmentIFCRef& env, const String& ns, const String& className,
                             CIMInstanceResultHandlerIFC& result, WBEMFlags::ELocalOnlyFlag localOnly,
                             WBEMFlags::EDeepFlag deep, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                             WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                             const StringArray* propertyList, const CIMClass& requestedClass,
                             const CIMClass& cimClass) = 0;

  virtual CIMInstance getInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                                  const CIMObjectPath& instanceName, WBEMFlags::ELocalOnlyFlag localOnly,
                                  WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                  WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                  const StringArray* propertyList, const CIMClass& cimClass) = 0;

  virtual CIMObjectPath createInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                                       const CIMInstance& cimInstance);

  virtual void modifyInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                              const CIMInstance& modifiedInstance, const CIMInstance& previousInstance,
                              WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                              const StringArray* propertyList, const CIMClass& theClass);

  virtual void deleteInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                              const CIMObjectPath& cop);

  CppInstanceProviderIFC* getInstanceProvider() override { return this; }
};

}  // namespace OpenWBEM

#endif
