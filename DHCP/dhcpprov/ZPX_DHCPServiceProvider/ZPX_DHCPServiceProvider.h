// ZPX_DHCPServiceProvider: the CIM instance and method provider of the DHCP
// service, with the extrinsic methods "renewDynamicIPAddress" and
// "testDhcpService" (ZPX_DHCPServiceSelfTest.h). Requests reach
// it through the umbrella provider.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSERVICEPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPSERVICEPROVIDER_H

#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceImpl.h"
#include "framework/ClassProvider.h"
#include "tavrel_export.h"

class TAVREL_EXPORT ZPX_DHCPServiceProvider
    : public ClassProvider<ZPX_DHCPServiceProvider, ZPX_DHCPService, ZPX_DHCPServiceInstanceManager,
                           ZPX_DHCPServiceImplInstanceManager> {
 public:
  ZPX_DHCPServiceProvider();
  ~ZPX_DHCPServiceProvider() override;

  // "renewDynamicIPAddress" (exact name) runs the renewal of the current
  // manager and returns its code as uint16, whatever the path's keys;
  // "testDhcpService" runs the self-test; any other name is
  // CIM_ERR_METHOD_NOT_FOUND.
  OpenWBEM::CIMValue invokeMethod(const OpenWBEM::ProviderEnvironmentIFCRef& env, const OpenWBEM::String& ns,
                                  const OpenWBEM::CIMObjectPath& path, const OpenWBEM::String& methodName,
                                  const OpenWBEM::CIMParamValueArray& in,
                                  OpenWBEM::CIMParamValueArray& out) override;

  using ClassProvider::modifyInstance;
  // The change bracket; the service has no writable property.
  void modifyInstance(ZPX_DHCPService& object, const OpenWBEM::CIMInstance& instance);
  ZPX_DHCPService* getZPX_DHCPServiceWithCIMObjectPath(const OpenWBEM::CIMObjectPath& path);
  ZPX_DHCPService* getZPX_DHCPServiceWithCIMInstance(const OpenWBEM::CIMInstance& instance);

  static void ZPX_DHCPServiceToCIMInstance(const OpenWBEM::String& ns, const ZPX_DHCPService& object,
                                           OpenWBEM::CIMInstance& instance);
  static void ZPX_DHCPServiceToCIMObjectPath(const ZPX_DHCPService& object, OpenWBEM::CIMObjectPath& path);
};

// The provider of "ZPX_DHCPService", called by the umbrella provider.
TAVREL_EXPORT extern ZPX_DHCPServiceProvider ZPX_DHCPServiceProv;

#endif
