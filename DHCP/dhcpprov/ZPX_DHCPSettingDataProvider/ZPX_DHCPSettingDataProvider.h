// ZPX_DHCPSettingDataProvider: the CIM instance provider of the customer
// LAN's DHCP server settings. Requests reach it through the umbrella
// provider. A change is applied to the agent's record and committed; a
// refused change puts the record back as it was.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAPROVIDER_H

#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataImpl.h"
#include "framework/ClassProvider.h"
#include "tavrel_export.h"

class TAVREL_EXPORT ZPX_DHCPSettingDataProvider
    : public ClassProvider<ZPX_DHCPSettingDataProvider, ZPX_DHCPSettingData,
                           ZPX_DHCPSettingDataInstanceManager, ZPX_DHCPSettingDataImplInstanceManager> {
 public:
  ZPX_DHCPSettingDataProvider();
  ~ZPX_DHCPSettingDataProvider() override;

  using ClassProvider::modifyInstance;
  // The change bracket over the instance's writable properties.
  void modifyInstance(ZPX_DHCPSettingData& object, const OpenWBEM::CIMInstance& instance);
  ZPX_DHCPSettingData* getZPX_DHCPSettingDataWithCIMObjectPath(const OpenWBEM::CIMObjectPath& path);
  ZPX_DHCPSettingData* getZPX_DHCPSettingDataWithCIMInstance(const OpenWBEM::CIMInstance& instance);

  static void ZPX_DHCPSettingDataToCIMInstance(const OpenWBEM::String& ns, const ZPX_DHCPSettingData& object,
                                               OpenWBEM::CIMInstance& instance);
  static void ZPX_DHCPSettingDataToCIMObjectPath(const ZPX_DHCPSettingData& object,
                                                 OpenWBEM::CIMObjectPath& path);
};

// The provider of "ZPX_DHCPSettingData", called by the umbrella provider.
TAVREL_EXPORT extern ZPX_DHCPSettingDataProvider ZPX_DHCPSettingDataProv;

#endif
