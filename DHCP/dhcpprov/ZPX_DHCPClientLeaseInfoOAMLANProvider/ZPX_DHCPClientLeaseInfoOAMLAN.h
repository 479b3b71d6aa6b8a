// ZPX_DHCPClientLeaseInfoOAMLAN: the leases the DHCP server granted on the OAM LAN.
// Data class, its instance managers and its provider; the bodies they share
// with the other lease class are in framework/LeaseInfo.h.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPCLIENTLEASEINFOOAMLAN_H
#define TAVREL_DHCPPROV_ZPX_DHCPCLIENTLEASEINFOOAMLAN_H

#include <string>

#include "framework/LeaseInfo.h"
#include "tavrel_export.h"

class ZPX_DHCPClientLeaseInfoOAMLANInstanceManager;

// Registers itself with the current instance manager on construction and
// leaves it on destruction.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoOAMLAN : public TavrelLeaseInfo {
 public:
  typedef ZPX_DHCPClientLeaseInfoOAMLANInstanceManager InstanceManager;

  explicit ZPX_DHCPClientLeaseInfoOAMLAN(const std::string& instanceID);
  ~ZPX_DHCPClientLeaseInfoOAMLAN() override;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* getInstanceManager();

  static ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* theInstanceManager;
  static ZPX_DHCPClientLeaseInfoOAMLANInstanceManager defaultInstanceManager;
};

class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoOAMLANInstanceManager
    : public TavrelLeaseInstanceManager<ZPX_DHCPClientLeaseInfoOAMLAN> {};

// Made and filled by the agent (initContents), owned by its lease list.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoOAMLANImpl
    : public TavrelLeaseInfoImpl<ZPX_DHCPClientLeaseInfoOAMLAN> {
 public:
  using TavrelLeaseInfoImpl::TavrelLeaseInfoImpl;
};

class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoOAMLANImplInstanceManager
    : public TavrelLeaseImplInstanceManager<ZPX_DHCPClientLeaseInfoOAMLAN,
                                            ZPX_DHCPClientLeaseInfoOAMLANImpl> {};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPClientLeaseInfoOAMLAN>& ZPX_DHCPClientLeaseInfoOAMLANBinding();

typedef ProviderOperations<ZPX_DHCPClientLeaseInfoOAMLAN, ZPX_DHCPClientLeaseInfoOAMLANInstanceManager>
    ZPX_DHCPClientLeaseInfoOAMLANOperationsType;
// The provider operations of the class over its current instance manager.
TAVREL_EXPORT const ZPX_DHCPClientLeaseInfoOAMLANOperationsType& ZPX_DHCPClientLeaseInfoOAMLANOperations();

// The CIM instance provider of the class, called by the umbrella provider.
class TAVREL_EXPORT ZPX_DHCPClientLeaseInfoOAMLANProvider
    : public TavrelLeaseProvider<ZPX_DHCPClientLeaseInfoOAMLANProvider, ZPX_DHCPClientLeaseInfoOAMLAN,
                                 ZPX_DHCPClientLeaseInfoOAMLANImplInstanceManager> {
 public:
  ZPX_DHCPClientLeaseInfoOAMLANProvider();
};

TAVREL_EXPORT extern ZPX_DHCPClientLeaseInfoOAMLANProvider ZPX_DHCPClientLeaseInfoOAMLANProv;

#endif
