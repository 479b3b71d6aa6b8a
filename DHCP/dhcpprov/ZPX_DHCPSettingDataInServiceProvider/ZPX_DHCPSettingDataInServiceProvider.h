// CIM providers of the association ZPX_DHCPSettingDataInService: the
// instance provider of the links themselves and, derived from it, the
// associator provider that follows them from a service or a setting data.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEPROVIDER_H

#include <functional>

#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInService.h"
#include "openwbem/CppAssociatorProviderIFC.h"
#include "openwbem/CppInstanceProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"
#include "tavrel_export.h"

class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceInstProvider
    : public OpenWBEM::CppMethodProviderIFC,
      public virtual OpenWBEM::CppInstanceProviderIFC {
 public:
  ~ZPX_DHCPSettingDataInServiceInstProvider() override;

  // The class has no method: CIM_ERR_METHOD_NOT_FOUND.
  OpenWBEM::CIMValue invokeMethod(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                                  const OpenWBEM::CIMObjectPath& path, const OpenWBEM::String& methodName,
                                  const OpenWBEM::CIMParamValueArray& in,
                                  OpenWBEM::CIMParamValueArray& out) override;
  // Installs a new ZPX_DHCPSettingDataInServiceImplInstanceManager.
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
  // Both references must name their object's keys, else
  // CIM_ERR_INVALID_PARAMETER "Invalid reference objectPath". The objects
  // named need not exist.
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

  void cleanup();
  // The change bracket; a link has no writable property.
  void modifyInstance(ZPX_DHCPSettingDataInService& object, const OpenWBEM::CIMInstance& instance);
  ZPX_DHCPSettingDataInService* getZPX_DHCPSettingDataInServiceWithCIMObjectPath(
      const OpenWBEM::CIMObjectPath& path);
  ZPX_DHCPSettingDataInService* getZPX_DHCPSettingDataInServiceWithCIMInstance(
      const OpenWBEM::CIMInstance& instance);

  // A link as an instance with the references "Antecedent" and "Dependent"
  // (into namespace ns), and as an object path with them as keys.
  static void ZPX_DHCPSettingDataInServiceToCIMInstance(const OpenWBEM::String& ns,
                                                        const ZPX_DHCPSettingDataInService& object,
                                                        OpenWBEM::CIMInstance& instance);
  static void ZPX_DHCPSettingDataInServiceToCIMObjectPath(const ZPX_DHCPSettingDataInService& object,
                                                          OpenWBEM::CIMObjectPath& path);
};

class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceProvider : public OpenWBEM::CppAssociatorProviderIFC,
                                                           public ZPX_DHCPSettingDataInServiceInstProvider {
 public:
  ~ZPX_DHCPSettingDataInServiceProvider() override;

  // The objects at the other end of the links of objectName: full
  // instances, or their paths. Role, result role and result class are
  // completed from each other when empty; flags and property lists are
  // ignored.
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
  // The links of objectName: instances, or their paths.
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
  void initialize(const OpenWBEM::ProviderEnvironmentIFCRef& env) override;

 private:
  // Fills in an empty role, result role and result class.
  void CheckRolesAndResults(const OpenWBEM::CIMObjectPath& objectName, OpenWBEM::String& role,
                            OpenWBEM::String& resultRole, OpenWBEM::String& resultClass);
  // Starts the iteration over the links of objectName in that role.
  void startIterationFrom(const OpenWBEM::CIMObjectPath& objectName, const OpenWBEM::String& role);
  // "Antecedent" for a service path, "Dependent" for a setting-data path,
  // else CIM_ERR_TYPE_MISMATCH.
  OpenWBEM::String ObjectNameToRole(const OpenWBEM::CIMObjectPath& path);
  OpenWBEM::String RoleToOtherRole(const OpenWBEM::String& role);

  // Hands every object at the other end of the links of objectName to
  // onService or onSettingData, as the result role says.
  void walkAssociated(const OpenWBEM::CIMObjectPath& objectName, OpenWBEM::String role,
                      OpenWBEM::String resultRole, OpenWBEM::String resultClass,
                      const std::function<void(const ZPX_DHCPService&)>& onService,
                      const std::function<void(const ZPX_DHCPSettingData&)>& onSettingData);
  // Hands every link of objectName to onLink.
  void walkReferences(const OpenWBEM::CIMObjectPath& objectName, OpenWBEM::String role,
                      const std::function<void(const ZPX_DHCPSettingDataInService&)>& onLink);
};

// The provider of "ZPX_DHCPSettingDataInService", called by the umbrella
// provider.
TAVREL_EXPORT extern ZPX_DHCPSettingDataInServiceProvider ZPX_DHCPSettingDataInServiceProv;

#endif
