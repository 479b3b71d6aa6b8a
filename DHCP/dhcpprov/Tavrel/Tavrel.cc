#include "Tavrel/Tavrel.h"

#include <exception>
#include <string>

#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"
#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"
#include "ZPX_DHCPForeignServerProvider/ZPX_DHCPForeignServer.h"
#include "ZPX_DHCPPoolStatisticsProvider/ZPX_DHCPPoolStatistics.h"
#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesProvider.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressProvider.h"
#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"
#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceProvider.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"
#include "framework/CFG_Exception.h"
#include "framework/ClassNames.h"
#include "openwbem/OWVersion.h"

using namespace OpenWBEM;

namespace {

const char* UnknownStdException = "Unknown std::exception caught in Tavrel\n";
const char* UnknownException = "Unknown throw caught in Tavrel\n";

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

// An operation as the exception translation sees it.
struct Operation {
  const char* name;
  bool mapsReadError;   // CFG_ReadError becomes a plain CIM_ERR_FAILED
  bool mapsWriteError;  // CFG_WriteError likewise
};

const Operation kEnumInstanceNames = {"enumInstanceNames", true, false};
const Operation kEnumInstances = {"enumInstances", true, false};
const Operation kGetInstance = {"getInstance", true, false};
const Operation kCreateInstance = {"createInstance", false, true};
const Operation kDeleteInstance = {"deleteInstance", false, true};
const Operation kModifyInstance = {"modifyInstance", false, true};
const Operation kInvokeMethod = {"invokeMethod", true, true};
const Operation kAssociators = {"associators", true, false};
const Operation kAssociatorNames = {"associatorNames", true, false};
const Operation kReferences = {"references", true, false};
const Operation kReferenceNames = {"referenceNames", true, false};

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

// Logs message on the request's logger and raises it as CIM_ERR_FAILED.
[[noreturn]] void failUnexpected(const ProviderEnvironmentIFCRef& env, const std::string& message) {
  if (env) {
    LoggerRef logger = env->getLogger();
    if (logger) logger->logError(message);
  }
  throw CIMException(__FILE__, __LINE__, CIMException::FAILED, message.c_str());
}

// Runs call with the exception translation of operation on className.
template <class F>
auto translated(const ProviderEnvironmentIFCRef& env, const Operation& operation, const String& className,
                F&& call) -> decltype(call()) {
  std::string piece =
      std::string(" while performing ") + operation.name + " operation on " + className.c_str();
  try {
    return call();
  } catch (const CFG_ReadError& e) {
    if (!operation.mapsReadError) failUnexpected(env, UnknownStdException + piece + "\n" + e.what() + "\n");
    throw CIMException(__FILE__, __LINE__, CIMException::FAILED, "");
  } catch (const CFG_WriteError& e) {
    if (!operation.mapsWriteError) failUnexpected(env, UnknownStdException + piece + "\n" + e.what() + "\n");
    throw CIMException(__FILE__, __LINE__, CIMException::FAILED, "");
  } catch (const CIMException&) {
    throw;
  } catch (const std::exception& e) {
    failUnexpected(env, UnknownStdException + piece + "\n" + e.what() + "\n");
  } catch (...) {
    failUnexpected(env, UnknownException + piece + "\n");
  }
}

// The association provider, for the one association class.
ZPX_DHCPSettingDataInServiceProvider& associationOf(const String& className) {
  if (!className.equals(ZPX_DHCPSettingDataInServiceName)) invalidClass();
  return ZPX_DHCPSettingDataInServiceProv;
}

}  // namespace

Tavrel::~Tavrel() = default;

CIMValue Tavrel::invokeMethod(const ProviderEnvironmentIFCRef& env, const String& ns,
                              const CIMObjectPath& path, const String& methodName,
                              const CIMParamValueArray& in, CIMParamValueArray& out) {
  const String& className = path.getClassName();
  const ClassRoute& route = routeOf(className);
  return translated(env, kInvokeMethod, className,
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
  translated(env, kEnumInstanceNames, className,
             [&] { route.instances()->enumInstanceNames(env, ns, className, result, cimClass); });
}

void Tavrel::enumInstances(const ProviderEnvironmentIFCRef& env, const String& ns, const String& className,
                           CIMInstanceResultHandlerIFC& result, WBEMFlags::ELocalOnlyFlag localOnly,
                           WBEMFlags::EDeepFlag deep, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                           WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                           const StringArray* propertyList, const CIMClass& requestedClass,
                           const CIMClass& cimClass) {
  const ClassRoute& route = routeOf(className);
  translated(env, kEnumInstances, className, [&] {
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
  return translated(env, kGetInstance, className, [&] {
    return route.instances()->getInstance(env, ns, instanceName, localOnly, includeQualifiers,
                                          includeClassOrigin, propertyList, cimClass);
  });
}

CIMObjectPath Tavrel::createInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                                     const CIMInstance& cimInstance) {
  const String& className = cimInstance.getClassName();
  const ClassRoute& route = routeOf(className);
  return translated(env, kCreateInstance, className,
                    [&] { return route.instances()->createInstance(env, ns, cimInstance); });
}

void Tavrel::deleteInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                            const CIMObjectPath& cop) {
  const String& className = cop.getClassName();
  const ClassRoute& route = routeOf(className);
  translated(env, kDeleteInstance, className, [&] { route.instances()->deleteInstance(env, ns, cop); });
}

void Tavrel::modifyInstance(const ProviderEnvironmentIFCRef& env, const String& ns,
                            const CIMInstance& modifiedInstance, const CIMInstance& previousInstance,
                            WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                            const StringArray* propertyList, const CIMClass& theClass) {
  const String& className = modifiedInstance.getClassName();
  const ClassRoute& route = routeOf(className);
  translated(env, kModifyInstance, className, [&] {
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
  translated(env, kAssociators, assocClass, [&] {
    provider.associators(env, result, ns, objectName, assocClass, resultClass, role, resultRole,
                         includeQualifiers, includeClassOrigin, propertyList);
  });
}

void Tavrel::associatorNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                             const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                             const String& resultClass, const String& role, const String& resultRole) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(assocClass);
  translated(env, kAssociatorNames, assocClass, [&] {
    provider.associatorNames(env, result, ns, objectName, assocClass, resultClass, role, resultRole);
  });
}

void Tavrel::references(const ProviderEnvironmentIFCRef& env, CIMInstanceResultHandlerIFC& result,
                        const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                        const String& role, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                        WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                        const StringArray* propertyList) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(resultClass);
  translated(env, kReferences, resultClass, [&] {
    provider.references(env, result, ns, objectName, resultClass, role, includeQualifiers, includeClassOrigin,
                        propertyList);
  });
}

void Tavrel::referenceNames(const ProviderEnvironmentIFCRef& env, CIMObjectPathResultHandlerIFC& result,
                            const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                            const String& role) {
  ZPX_DHCPSettingDataInServiceProvider& provider = associationOf(resultClass);
  translated(env, kReferenceNames, resultClass,
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
