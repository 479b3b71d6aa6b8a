// ZPX_DHCPRangeOfIPAddressesProvider: the CIM instance and method provider
// of the address ranges. Requests reach it through the umbrella provider; it
// works on the current range instance manager: creating an instance adds a
// range under the lowest free id, deleting one removes the range, and both
// commit.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSESPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSESPROVIDER_H

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "framework/ClassProvider.h"
#include "tavrel_export.h"

class TAVREL_EXPORT ZPX_DHCPRangeOfIPAddressesProvider
    : public ClassProvider<ZPX_DHCPRangeOfIPAddressesProvider, ZPX_DHCPRangeOfIPAddresses,
                           ZPX_DHCPRangeOfIPAddressesInstanceManager,
                           ZPX_DHCPRangeOfIPAddressesImplInstanceManager> {
 public:
  ZPX_DHCPRangeOfIPAddressesProvider();
  ~ZPX_DHCPRangeOfIPAddressesProvider() override;

  using ClassProvider::modifyInstance;
  // The change bracket over object: the three addresses the instance
  // carries, then the agent's check in endChange.
  void modifyInstance(ZPX_DHCPRangeOfIPAddresses& object, const OpenWBEM::CIMInstance& instance);
  // The object named by the InstanceID key; CIM_ERR_NOT_FOUND when the key
  // is missing or null or names no object.
  ZPX_DHCPRangeOfIPAddresses* getZPX_DHCPRangeOfIPAddressesWithCIMObjectPath(
      const OpenWBEM::CIMObjectPath& path);
  ZPX_DHCPRangeOfIPAddresses* getZPX_DHCPRangeOfIPAddressesWithCIMInstance(
      const OpenWBEM::CIMInstance& instance);

  static void ZPX_DHCPRangeOfIPAddressesToCIMInstance(const OpenWBEM::String& ns,
                                                      const ZPX_DHCPRangeOfIPAddresses& object,
                                                      OpenWBEM::CIMInstance& instance);
  static void ZPX_DHCPRangeOfIPAddressesToCIMObjectPath(const ZPX_DHCPRangeOfIPAddresses& object,
                                                        OpenWBEM::CIMObjectPath& path);
};

// The provider of "ZPX_DHCPRangeOfIPAddresses", called by the umbrella
// provider.
TAVREL_EXPORT extern ZPX_DHCPRangeOfIPAddressesProvider ZPX_DHCPRangeOfIPAddressesProv;

#endif
