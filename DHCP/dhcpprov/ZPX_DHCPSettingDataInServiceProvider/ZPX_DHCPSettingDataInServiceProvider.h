// CIM providers of the association ZPX_DHCPSettingDataInService: the
// instance provider of the links themselves and, derived from it, the
// associator provider that follows them from a service or a setting data.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEPROVIDER_H

#include <functional>
#include <string>
#include <vector>

#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceImpl.h"
#include "framework/ClassProvider.h"
#include "openwbem/CppAssociatorProviderIFC.h"
#include "tavrel_export.h"

// The CIM side of a link: its keys are the references "Antecedent" (the
// four keys of a service) and "Dependent" (the InstanceID of a setting
// data), built into the request's namespace. It has the members of
// ClassBinding that ProviderOperations uses.
class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceLinkBinding {
 public:
  const char* className() const;
  void toCIMInstance(const ZPX_DHCPSettingDataInService& object, OpenWBEM::CIMInstance& instance,
                     const OpenWBEM::String& ns) const;
  // The references are built into the namespace of path.
  void toCIMObjectPath(const ZPX_DHCPSettingDataInService& object, OpenWBEM::CIMObjectPath& path) const;
  // The five key texts in key order; CIM_ERR_NOT_FOUND when a reference or
  // a key inside it is missing.
  std::vector<std::string> keysOf(const OpenWBEM::CIMObjectPath& path) const;
  std::vector<std::string> keysOf(const OpenWBEM::CIMInstance& instance) const;
  // Both references must name their object's keys, else
  // CIM_ERR_INVALID_PARAMETER "Invalid reference objectPath". The objects
  // named need not exist.
  std::vector<std::string> keysForCreate(const OpenWBEM::CIMInstance& instance) const;
  // The change bracket; a link has no writable property.
  void apply(ZPX_DHCPSettingDataInService& object, const OpenWBEM::CIMInstance& instance) const;
};

TAVREL_EXPORT const ZPX_DHCPSettingDataInServiceLinkBinding& ZPX_DHCPSettingDataInServiceBinding();

typedef ProviderOperations<ZPX_DHCPSettingDataInService, ZPX_DHCPSettingDataInServiceInstanceManager,
                           ZPX_DHCPSettingDataInServiceLinkBinding>
    ZPX_DHCPSettingDataInServiceOperationsType;
TAVREL_EXPORT const ZPX_DHCPSettingDataInServiceOperationsType& ZPX_DHCPSettingDataInServiceOperations();

// The instance and method provider of the links, on the shared framework.
class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceInstProvider
    : public ClassProvider<ZPX_DHCPSettingDataInServiceInstProvider, ZPX_DHCPSettingDataInService,
                           ZPX_DHCPSettingDataInServiceInstanceManager,
                           ZPX_DHCPSettingDataInServiceImplInstanceManager,
                           ZPX_DHCPSettingDataInServiceLinkBinding> {
 public:
  ZPX_DHCPSettingDataInServiceInstProvider();
  ~ZPX_DHCPSettingDataInServiceInstProvider() override;

  using ClassProvider::modifyInstance;
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
