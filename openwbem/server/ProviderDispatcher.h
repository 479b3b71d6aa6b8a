// The provider agent's CIM operations over its providers: serves the
// configured namespaces, routes each request by class name (association
// calls without a class filter to every association class that can link
// the object), types incoming values by the class definitions,
// runs provider calls one at a time under the agent's lock, and turns any
// failure of a provider into CIMException.
#ifndef OW_SERVER_PROVIDERDISPATCHER_H
#define OW_SERVER_PROVIDERDISPATCHER_H

#include "ClassRepository.h"

#include "openwbem/CIMOMHandleIFC.h"
#include "openwbem/CppProviderBaseIFC.h"
#include "openwbem/Logger.h"
#include "openwbem/ProviderAgentLockerIFC.h"
#include "openwbem/ProviderEnvironmentIFC.h"

#include <mutex>
#include <string>
#include <vector>

namespace OpenWBEM {

class ProviderDispatcher : public CIMOMHandleIFC {
 public:
  // Configuration item naming the namespaces served (separated by commas
  // or blanks); root/cimv2 when it is unset. Operations on any other
  // namespace answer CIM_ERR_INVALID_NAMESPACE.
  static constexpr const char* kNamespacesConfigItem = "provider_agent.namespaces";

  // Null providers are left out (and logged). With a null locker an
  // internal mutex serialises the calls.
  ProviderDispatcher(const Array<CppProviderBaseIFCRef>& providers, const ClassRepository& classes,
                     const ProviderEnvironmentIFCRef& env, const LoggerRef& logger,
                     const ProviderAgentLockerIFCRef& locker);

  // Names the caller of the requests that follow (for the audit trail of
  // the changes: create, modify, delete and method calls are logged to
  // syslog with the caller, class, key and old and new values; refusals
  // with their CIM status).
  void setCaller(std::string caller) { m_caller = std::move(caller); }
  // The caller as setCaller named it: the client of per-client limits.
  String getCallerId() const override { return String(m_caller); }

  // Calls initialize() of each provider under the lock. A provider that
  // throws makes it throw std::runtime_error naming the provider.
  void initializeProviders();

  CIMClass getClass(const String& ns, const String& className, WBEMFlags::ELocalOnlyFlag localOnly,
                    WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                    WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                    const StringArray* propertyList) override;
  void enumClassNames(const String& ns, const String& className, StringResultHandlerIFC& result,
                      WBEMFlags::EDeepFlag deep) override;
  void enumClasses(const String& ns, const String& className, CIMClassResultHandlerIFC& result,
                   WBEMFlags::EDeepFlag deep, WBEMFlags::ELocalOnlyFlag localOnly,
                   WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                   WBEMFlags::EIncludeClassOriginFlag includeClassOrigin) override;
  void enumInstanceNames(const String& ns, const String& className,
                         CIMObjectPathResultHandlerIFC& result) override;
  void enumInstances(const String& ns, const String& className, CIMInstanceResultHandlerIFC& result,
                     WBEMFlags::EDeepFlag deep, WBEMFlags::ELocalOnlyFlag localOnly,
                     WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                     WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                     const StringArray* propertyList) override;
  CIMInstance getInstance(const String& ns, const CIMObjectPath& instanceName,
                          WBEMFlags::ELocalOnlyFlag localOnly,
                          WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                          WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                          const StringArray* propertyList) override;
  CIMObjectPath createInstance(const String& ns, const CIMInstance& instance) override;
  void modifyInstance(const String& ns, const CIMInstance& modifiedInstance,
                      WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                      const StringArray* propertyList) override;
  void deleteInstance(const String& ns, const CIMObjectPath& instanceName) override;
  void associators(const String& ns, const CIMObjectPath& objectName, CIMInstanceResultHandlerIFC& result,
                   const String& assocClass, const String& resultClass, const String& role,
                   const String& resultRole, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                   WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                   const StringArray* propertyList) override;
  void associatorNames(const String& ns, const CIMObjectPath& objectName,
                       CIMObjectPathResultHandlerIFC& result, const String& assocClass,
                       const String& resultClass, const String& role, const String& resultRole) override;
  void references(const String& ns, const CIMObjectPath& objectName, CIMInstanceResultHandlerIFC& result,
                  const String& resultClass, const String& role,
                  WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                  WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                  const StringArray* propertyList) override;
  void referenceNames(const String& ns, const CIMObjectPath& objectName,
                      CIMObjectPathResultHandlerIFC& result, const String& resultClass,
                      const String& role) override;
  CIMValue invokeMethod(const String& ns, const CIMObjectPath& path, const String& methodName,
                        const CIMParamValueArray& in, CIMParamValueArray& out) override;

 private:
  struct Provider {
    CppProviderBaseIFCRef ref;
    String id;  // from the library name; "" for linked-in providers
  };

  // INVALID_NAMESPACE unless ns is one of the namespaces served.
  void checkNamespace(const String& ns) const;
  template <class F>
  void forAssociations(const char* operation, const String& ns, const CIMObjectPath& objectName,
                       const String& assocClass, const String& role, const String& resultClass,
                       const String& resultRole, F&& call);
  CppProviderBaseIFC& route(const String& className) const;
  CppInstanceProviderIFC& instanceProvider(const String& className) const;
  CppAssociatorProviderIFC& associatorProvider(const String& className) const;
  const CIMClass& classOf(const String& className) const;
  template <class F>
  auto guarded(const char* operation, const String& className, F&& call) -> decltype(call());
  // Runs a change with its audit line: change() returns the path changed
  // and fills the changes text; a CIM error is logged as a refusal.
  template <class F>
  void audited(const char* operation, const String& className, const std::string& key, F&& change);
  CIMInstance currentInstance(const String& ns, const CIMObjectPath& path);

  std::vector<Provider> m_providers;
  const ClassRepository& m_classes;
  ProviderEnvironmentIFCRef m_env;
  LoggerRef m_logger;
  ProviderAgentLockerIFCRef m_locker;
  std::mutex m_mutex;
  std::string m_caller = "the host";
  StringArray m_namespaces;
};

}  // namespace OpenWBEM

#endif
