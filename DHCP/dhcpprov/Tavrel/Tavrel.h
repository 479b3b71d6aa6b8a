// The provider object OpenWBEM loads from libTavrel: it serves the instance,
// method and associator operations of the DHCP classes by handing each
// request, by exact class name, to the provider of that class, and turns
// whatever else those throw into CIM errors.
#ifndef TAVREL_DHCPPROV_TAVREL_H
#define TAVREL_DHCPPROV_TAVREL_H

#include "openwbem/CppAssociatorProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"
#include "tavrel_export.h"

class TAVREL_EXPORT Tavrel : public OpenWBEM::CppMethodProviderIFC,
                             public OpenWBEM::CppAssociatorProviderIFC {
 public:
  ~Tavrel() override;

  // Each operation routes by a class name: the class of the path, instance
  // or class argument, the association class (associators,
  // associatorNames) or the result class (references, referenceNames).
  // A name that no class of the library has is CIM_ERR_INVALID_CLASS.
  OpenWBEM::CIMValue invokeMethod(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                                  const OpenWBEM::CIMObjectPath& path, const OpenWBEM::String& methodName,
                                  const OpenWBEM::CIMParamValueArray& in,
                                  OpenWBEM::CIMParamValueArray& out) override;
  // Initialises every class provider, which installs its class's
  // implementation instance manager.
  void initialize(const OpenWBEM::ProviderEnvironmentIFCRef& env) override;
  void enumInstanceNames(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                         const OpenWBEM::String& className, OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                         const OpenWBEM::CIMClass& cimClass) override;
  void enumInstances(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                     const OpenWBEM::String& className, OpenWBEM::CIMInstanceResultHandlerIFC& result,
                     OpenWBEM::WBEMFlags::ELocalOnlyFlag localOnly, OpenWBEM::WBEMFlags::EDeepFlag deep,
                     OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                     OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                     const OpenWBEM::StringArray* propertyList, const OpenWBEM::CIMClass& requestedClass,
                     const OpenWBEM::CIMClass& cimClass) override;
  OpenWBEM::CIMInstance getInstance(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                                    const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& instanceName,
                                    OpenWBEM::WBEMFlags::ELocalOnlyFlag localOnly,
                                    OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                    OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                    const OpenWBEM::StringArray* propertyList,
                                    const OpenWBEM::CIMClass& cimClass) override;
  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                                         const OpenWBEM::String& ns,
                                         const OpenWBEM::CIMInstance& cimInstance) override;
  void deleteInstance(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                      const OpenWBEM::CIMObjectPath& cop) override;
  void modifyInstance(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                      const OpenWBEM::CIMInstance& modifiedInstance,
                      const OpenWBEM::CIMInstance& previousInstance,
                      OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                      const OpenWBEM::StringArray* propertyList, const OpenWBEM::CIMClass& theClass) override;
  void associators(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                   OpenWBEM::CIMInstanceResultHandlerIFC& result, const OpenWBEM::String& ns,
                   const OpenWBEM::CIMObjectPath& objectName, const OpenWBEM::String& assocClass,
                   const OpenWBEM::String& resultClass, const OpenWBEM::String& role,
                   const OpenWBEM::String& resultRole,
                   OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                   OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                   const OpenWBEM::StringArray* propertyList) override;
  void associatorNames(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                       OpenWBEM::CIMObjectPathResultHandlerIFC& result, const OpenWBEM::String& ns,
                       const OpenWBEM::CIMObjectPath& objectName, const OpenWBEM::String& assocClass,
                       const OpenWBEM::String& resultClass, const OpenWBEM::String& role,
                       const OpenWBEM::String& resultRole) override;
  void references(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                  OpenWBEM::CIMInstanceResultHandlerIFC& result, const OpenWBEM::String& ns,
                  const OpenWBEM::CIMObjectPath& objectName, const OpenWBEM::String& resultClass,
                  const OpenWBEM::String& role, OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                  OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                  const OpenWBEM::StringArray* propertyList) override;
  void referenceNames(const OpenWBEM::ProviderEnvironmentIFCRef& env,
                      OpenWBEM::CIMObjectPathResultHandlerIFC& result, const OpenWBEM::String& ns,
                      const OpenWBEM::CIMObjectPath& objectName, const OpenWBEM::String& resultClass,
                      const OpenWBEM::String& role) override;

  // Calls cleanup() of every class provider (they release nothing).
  void cleanup();
};

extern "C" {
// A new Tavrel provider; the caller owns it.
TAVREL_EXPORT OpenWBEM::CppProviderBaseIFC* createProviderTavrel();
// The OpenWBEM provider interface version the library is built for: "3.0.3".
TAVREL_EXPORT const char* getOWVersion();
}

#endif
