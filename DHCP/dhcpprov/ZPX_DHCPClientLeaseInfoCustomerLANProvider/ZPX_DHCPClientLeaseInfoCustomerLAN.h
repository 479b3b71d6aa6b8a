// ZPX_DHCPClientLeaseInfoCustomerLAN: the leases the DHCP server granted on the customer LAN and its VLANs.
// Data class, its instance managers and its provider; the bodies they share
// with the other lease class are in framework/LeaseInfo.h.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPCLIENTLEASEINFOCUSTOMERLAN_H
#define TAVREL_DHCPPROV_ZPX_DHCPCLIENTLEASEINFOCUSTOMERLAN_H

#include <string>

#include "framework/LeaseInfo.h"
#include "tavrel_export.h"

class ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager;

// Registers itself with the current instance manager on construction and
// leaves it on destruction.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoCustomerLAN : public TavrelLeaseInfo {
 public:
  typedef ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager InstanceManager;

  explicit ZPX_DHCPClientLeaseInfoCustomerLAN(const std::string& instanceID);
  ~ZPX_DHCPClientLeaseInfoCustomerLAN() override;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* getInstanceManager();

  static ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* theInstanceManager;
  static ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager defaultInstanceManager;
};

class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager
    : public TavrelLeaseInstanceManager<ZPX_DHCPClientLeaseInfoCustomerLAN> {};

// Made and filled by the agent (initContents), owned by its lease list.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoCustomerLANImpl
    : public TavrelLeaseInfoImpl<ZPX_DHCPClientLeaseInfoCustomerLAN> {
 public:
  using TavrelLeaseInfoImpl::TavrelLeaseInfoImpl;
};

class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoCustomerLANImplInstanceManager
    : public TavrelLeaseImplInstanceManager<ZPX_DHCPClientLeaseInfoCustomerLAN,
                                            ZPX_DHCPClientLeaseInfoCustomerLANImpl> {};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPClientLeaseInfoCustomerLAN>&
ZPX_DHCPClientLeaseInfoCustomerLANBinding();

typedef ProviderOperations<ZPX_DHCPClientLeaseInfoCustomerLAN,
                           ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager>
    ZPX_DHCPClientLeaseInfoCustomerLANOperationsType;
// The provider operations of the class over its current instance manager.
TAVREL_EXPORT const ZPX_DHCPClientLeaseInfoCustomerLANOperationsType&
ZPX_DHCPClientLeaseInfoCustomerLANOperations();

// The CIM instance provider of the class, called by the umbrella provider.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoCustomerLANProvider
    : public TavrelLeaseProvider<ZPX_DHCPClientLeaseInfoCustomerLANProvider,
                                 ZPX_DHCPClientLeaseInfoCustomerLAN,
                                 ZPX_DHCPClientLeaseInfoCustomerLANImplInstanceManager> {
 public:
  ZPX_DHCPClientLeaseInfoCustomerLANProvider();
};

TAVREL_EXPORT extern ZPX_DHCPClientLeaseInfoCustomerLANProvider ZPX_DHCPClientLeaseInfoCustomerLANProv;

#endif
