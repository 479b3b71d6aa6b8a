// ZPX_DHCPReservedAddressProvider: the CIM instance and method provider of
// the reserved addresses. Requests reach it through the umbrella provider;
// it works on the current reservation instance manager: creating an instance
// adds a reservation under the lowest free id, deleting one removes it, and
// both commit.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESSPROVIDER_H
#define TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESSPROVIDER_H

#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "framework/ClassProvider.h"
#include "tavrel_export.h"

class TAVREL_EXPORT ZPX_DHCPReservedAddressProvider
    : public ClassProvider<ZPX_DHCPReservedAddressProvider, ZPX_DHCPReservedAddress,
                           ZPX_DHCPReservedAddressInstanceManager,
                           ZPX_DHCPReservedAddressImplInstanceManager> {
 public:
  ZPX_DHCPReservedAddressProvider();
  ~ZPX_DHCPReservedAddressProvider() override;

  using ClassProvider::modifyInstance;
  // The change bracket over object: the four texts the instance carries,
  // then the agent's check in endChange. A refused change leaves the
  // object showing what it showed before.
  void modifyInstance(ZPX_DHCPReservedAddress& object, const OpenWBEM::CIMInstance& instance);
  // The object named by the InstanceID key; CIM_ERR_NOT_FOUND when the key
  // is missing or null or names no object.
  ZPX_DHCPReservedAddress* getZPX_DHCPReservedAddressWithCIMObjectPath(const OpenWBEM::CIMObjectPath& path);
  ZPX_DHCPReservedAddress* getZPX_DHCPReservedAddressWithCIMInstance(const OpenWBEM::CIMInstance& instance);

  static void ZPX_DHCPReservedAddressToCIMInstance(const OpenWBEM::String& ns,
                                                   const ZPX_DHCPReservedAddress& object,
                                                   OpenWBEM::CIMInstance& instance);
  static void ZPX_DHCPReservedAddressToCIMObjectPath(const ZPX_DHCPReservedAddress& object,
                                                     OpenWBEM::CIMObjectPath& path);
};

// The provider of "ZPX_DHCPReservedAddress", called by the umbrella provider.
TAVREL_EXPORT extern ZPX_DHCPReservedAddressProvider ZPX_DHCPReservedAddressProv;

#endif
