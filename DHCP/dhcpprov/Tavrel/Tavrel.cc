#include "Tavrel/Tavrel.h"

#include <utility>

#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"
#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"
#include "ZPX_DHCPForeignServerProvider/ZPX_DHCPForeignServer.h"
#include "ZPX_DHCPPoolStatisticsProvider/ZPX_DHCPPoolStatistics.h"
#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesProvider.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressProvider.h"
#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"
#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceProvider.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"
#include "framework/ClassNames.h"
#include "framework/ProviderErrors.h"
#include "openwbem/OWVersion.h"

using namespace OpenWBEM;
using TavrelErrors::Step;

namespace {

// One class served by the library, in the order the names are tried. The
// providers are looked up at request time: they are globals of other
// translation units.
struct ClassRoute {
  const char* const& name;
  CppInstanceProviderIFC* (*instances)();
  CppMethodProviderIFC* (*methods)();
};

template <class P, P& provider>
CppInstanceProviderIFC* instancesOf() {
  return &provider;
}
template <class P, P& provider>
CppMethodProviderIFC* methodsOf() {
  return &provider;
}

const ClassRoute kRoutes[] = {
    {ZPX_DHCPServiceName, instancesOf<ZPX_DHCPServiceProvider, ZPX_DHCPServiceProv>,
     methodsOf<ZPX_DHCPServiceProvider, ZPX_DHCPServiceProv>},
    {ZPX_DHCPSettingDataName, instancesOf<ZPX_DHCPSettingDataProvider, ZPX_DHCPSettingDataProv>,
     methodsOf<ZPX_DHCPSettingDataProvider, ZPX_DHCPSettingDataProv>},
    {ZPX_DHCPRangeOfIPAddressesName,
     instancesOf<ZPX_DHCPRangeOfIPAddressesProvider, ZPX_DHCPRangeOfIPAddressesProv>,
     methodsOf<ZPX_DHCPRangeOfIPAddressesProvider, ZPX_DHCPRangeOfIPAddressesProv>},
    {ZPX_DHCPReservedAddressName, instancesOf<ZPX_DHCPReservedAddressProvider, ZPX_DHCPReservedAddressProv>,
     methodsOf<ZPX_DHCPReservedAddressProvider, ZPX_DHCPReservedAddressProv>},
    {ZPX_DHCPClientLeaseInfoCustomerLANName,
     instancesOf<ZPX_DHCPClientLeaseInfoCustomerLANProvider, ZPX_DHCPClientLeaseInfoCustomerLANProv>,
     methodsOf<ZPX_DHCPClientLeaseInfoCustomerLANProvider, ZPX_DHCPClientLeaseInfoCustomerLANProv>},
    {ZPX_DHCPClientLeaseInfoOAMLANName,
     instancesOf<ZPX_DHCPClientLeaseInfoOAMLANProvider, ZPX_DHCPClientLeaseInfoOAMLANProv>,
     methodsOf<ZPX_DHCPClientLeaseInfoOAMLANProvider, ZPX_DHCPClientLeaseInfoOAMLANProv>},
    {ZPX_DHCPPoolStatisticsName, instancesOf<ZPX_DHCPPoolStatisticsProvider, ZPX_DHCPPoolStatisticsProv>,
     methodsOf<ZPX_DHCPPoolStatisticsProvider, ZPX_DHCPPoolStatisticsProv>},
    {ZPX_DHCPForeignServerName, instancesOf<ZPX_DHCPForeignServerProvider, ZPX_DHCPForeignServerProv>,
     methodsOf<ZPX_DHCPForeignServerProvider, ZPX_DHCPForeignServerProv>},
    // The instance side of the association is its instance provider base.
    {ZPX_DHCPSettingDataInServiceName,
     instancesOf<ZPX_DHCPSettingDataInServiceProvider, ZPX_DHCPSettingDataInServiceProv>,
     methodsOf<ZPX_DHCPSettingDataInServiceProvider, ZPX_DHCPSettingDataInServiceProv>},
};

[[noreturn]] void invalidClass() {
  throw CIMException(__FILE__, __LINE__, CIMException::INVALID_CLASS);
}

// The route of className (exact, case-sensitive); CIM_ERR_INVALID_CLASS
// when the library has no such class.
const ClassRoute& routeOf(const String& className) {
  for (const ClassRoute& route : kRoutes)
    if (className.equals(route.name)) return route;
  invalidClass();
}

// The association provider, for the one association class.
ZPX_DHCPSettingDataInServiceProvider& associationOf(const String& className) {
  if (!className.equals(ZPX_DHCPSettingDataInServiceName)) invalidClass();
  return ZPX_DHCPSettingDataInServiceProv;
}

// Runs call with the exception translation of step on className.
template <class F>
auto translated(const ProviderEnvironmentIFCRef& env, TavrelErrors::Step step, const String& className,
                F&& call) -> decltype(call()) {
  return TavrelErrors::withCIMErrors(step, className.c_str(), std::forward<F>(call), env);
}

}  // namespace

Tavrel::~Tavrel() = default;

CIMValue Tavrel::invokeMethod(const ProviderEnvironmentIFCRef& env, const String& ns,
                              const CIMObjectPath& path, const String& methodName,
                              const CIMParamValueArray& in, CIMParamValueArray& out) {
  const String& className = path.getClassName();
  const ClassRoute& route = routeOf(className);
  return translated(env, Step::InvokeMethod, className,
                    [&] { return route.methods()->invokeMethod(env, ns, path, methodName, in, out); });
}

void Tavrel::initialize(const ProviderEnvironmentIFCRef& env) {
  ZPX_DHCPServiceProv.initialize(env);
  ZPX_DHCPSettingDataProv.initialize(env);
  ZPX_DHCPRangeOfIPAddressesProv.initialize(env);
  ZPX_DHCPReservedAddressProv.initialize(env);
  ZPX_DHCPClientLeaseInfoCustomerLANProv.initialize(env);
  ZPX_DHCPClientLeaseInfoOAMLANProv.initialize(env);
  ZPX_DHCPPoolStatisticsProv.initialize(env);
  ZPX_DHCPForeignServerProv.initialize(env);
  ZPX_DHCPSettingDataInServiceProv.initialize(env);
}

void Tavrel::enumInstanceNames(const ProviderEnvironmentIFCRef& env, const String& ns,
                               const String& className, CIMObjectPathResultHandlerIFC& result,
                               const CIMClass& cimClass) {
  const ClassRoute& route = routeOf(className);
  translated(env, Step::EnumInstanceNames, className,
             [&] { route.instances()->enumInstanceNames(env, ns, className, result, cimClass); });
}

void Tavrel::enumInstances(const ProviderEnvironmentIFCRef& env, const String& ns, const String& className,
                           CIMInstanceResultHandlerIFC& result, WBEMFlags::ELocalOnlyFlag localOnly,
                           WBEMFlags::EDeepFlag deep, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                           WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                           const StringArray* propertyList, const CIMClass& requestedClass,
                           const CIMClass& cimClass) {
  const ClassRoute& route = routeOf(className);
  translated(env, Step::EnumInstances, className, [&] {
    route.instances()->enumInstances(env, ns, className, result, localOnly, deep, includeQualifiers,
                                     includeClassOrigin, propertyList, requestedClass, cimClass);
  });
}

CIMInstance Tavrel::getInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                                const CIMObjectPath& instanceName, WBEMFlags::ELocalOnlyFlag localOnly,
                                WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                const StringArray* propertyList, const CIMClass& cimClass) {
  const String& className = instanceName.getClassName();
  const ClassRoute& route = routeOf(className);
  return translated(env, Step::GetInstance, className, [&] {
    return route.instances()->getInstance(env, ns, instanceName, localOnly, includeQualifiers,
                                          includeClassOrigin, propertyList, cimClass);
  });
}

CIMObjectPath Tavrel::createInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                                     const CIMInstance& cimInstance) {
  const String& className = cimInstance.getClassName();
  const ClassRoute& route = routeOf(className);
  return translated(env, Step::CreateInstance, className,
                    [&] { return route.instances()->createInstance(env, ns, cimInstance); });
}

void Tavrel::deleteInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                            const CIMObjectPath& cop) {
  const String& className = cop.getClassName();
  const ClassRoute& route = routeOf(className);
  translated(env, Step::DeleteInstance, className, [&] { route.instances()->deleteInstance(env, ns, cop); });
}

void Tavrel::modifyInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                            const CIMInstance& modifiedInstance, const CIMInstance& previousInstance,
                            WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                            const StringArray* propertyList, const CIMClass& theClass) {
  const String& className = modifiedInstance.getClassName();
  const ClassRoute& route = routeOf(className);
  translated(env, Step::ModifyInstance, className, [&] {
    route.instances()->modifyInstance(env, ns, modifiedInstance, previousInstance, includeQualifiers,
                                      propertyList, theClass);
  });
}

void Tavrel::associators(const ProviderEnvironmentIFCRef& env, CIMInstanceResultHandlerIFC& result,
                         const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                         const String& resultClass, const String& role, const String& resultRole,
                         WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                         WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                         const StringArray* propertyList) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(assocClass);
  translated(env, Step::Associators, assocClass, [&] {
    provider.associators(env, result, ns, objectName, assocClass, resultClass, role, resultRole,
                         includeQualifiers, includeClassOrigin, propertyList);
  });
}

void Tavrel::associatorNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                             const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                             const String& resultClass, const String& role, const String& resultRole) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(assocClass);
  translated(env, Step::AssociatorNames, assocClass, [&] {
    provider.associatorNames(env, result, ns, objectName, assocClass, resultClass, role, resultRole);
  });
}

void Tavrel::references(const ProviderEnvironmentIFCRef& env, CIMInstanceResultHandlerIFC& result,
                        const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                        const String& role, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                        WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                        const StringArray* propertyList) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(resultClass);
  translated(env, Step::References, resultClass, [&] {
    provider.references(env, result, ns, objectName, resultClass, role, includeQualifiers, includeClassOrigin,
                        propertyList);
  });
}

void Tavrel::referenceNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                            const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                            const String& role) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(resultClass);
  translated(env, Step::ReferenceNames, resultClass,
             [&] { provider.referenceNames(env, result, ns, objectName, resultClass, role); });
}

void Tavrel::cleanup() {
  ZPX_DHCPServiceProv.cleanup();
  ZPX_DHCPSettingDataProv.cleanup();
  ZPX_DHCPRangeOfIPAddressesProv.cleanup();
  ZPX_DHCPReservedAddressProv.cleanup();
  ZPX_DHCPClientLeaseInfoCustomerLANProv.cleanup();
  ZPX_DHCPClientLeaseInfoOAMLANProv.cleanup();
  ZPX_DHCPPoolStatisticsProv.cleanup();
  ZPX_DHCPForeignServerProv.cleanup();
  ZPX_DHCPSettingDataInServiceProv.cleanup();
}

extern "C" {

CppProviderBaseIFC* createProviderTavrel() {
  return new Tavrel;
}

const char* getOWVersion() {
  return OW_VERSION;
}
}
