// ZPX_DHCPReservedAddress: data class and instance registry of the
// reserved-address objects, keyed by InstanceID (the decimal reservation id).
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESS_H
#define TAVREL_DHCPPROV_ZPX_DHCPRESERVEDADDRESS_H

#include <string>

#include "framework/ClassBinding.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_export.h"

class ZPX_DHCPReservedAddressInstanceManager;

// Abstract view of one reservation: registers itself with the current
// instance manager on construction and leaves it on destruction. Getters
// return 100 and setters 101 unless an implementation class binds them.
class TAVREL_EXPORT ZPX_DHCPReservedAddress {
 public:
  explicit ZPX_DHCPReservedAddress(const std::string& instanceID);
  ZPX_DHCPReservedAddress(const ZPX_DHCPReservedAddress&) = delete;
  ZPX_DHCPReservedAddress& operator=(const ZPX_DHCPReservedAddress&) = delete;

  virtual ~ZPX_DHCPReservedAddress();
  virtual int startChange();
  virtual int endChange();
  virtual int getIPv4Address(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setIPv4Address(std::string value);
  virtual int getreservedMACAddr(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setreservedMACAddr(std::string value);
  virtual int getreservedClientName(std::string& value,
                                    OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setreservedClientName(std::string value);
  virtual int getreservedClientDescription(std::string& value,
                                           OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setreservedClientDescription(std::string value);
  virtual int getInstanceID(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPReservedAddressInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPReservedAddressInstanceManager* getInstanceManager();

  static ZPX_DHCPReservedAddressInstanceManager* theInstanceManager;
  static ZPX_DHCPReservedAddressInstanceManager defaultInstanceManager;

 protected:
  std::string m_InstanceID;
};

// Registry of the reservation objects. Creation and destruction are refused
// here; the implementation manager provides them.
class TAVREL_EXPORT ZPX_DHCPReservedAddressInstanceManager {
 public:
  ZPX_DHCPReservedAddressInstanceManager() = default;
  ZPX_DHCPReservedAddressInstanceManager(const ZPX_DHCPReservedAddressInstanceManager&) = delete;
  ZPX_DHCPReservedAddressInstanceManager& operator=(const ZPX_DHCPReservedAddressInstanceManager&) = delete;

  virtual ~ZPX_DHCPReservedAddressInstanceManager();
  virtual void init();
  virtual ZPX_DHCPReservedAddress* createZPX_DHCPReservedAddress(const std::string& instanceID);
  virtual void destroyZPX_DHCPReservedAddress(ZPX_DHCPReservedAddress* object);
  virtual void add(ZPX_DHCPReservedAddress* object);
  virtual void remove(ZPX_DHCPReservedAddress* object);
  // The object of that InstanceID; CFG_NoInstance when there is none.
  virtual ZPX_DHCPReservedAddress* get(const std::string& instanceID);
  virtual void startIteration();
  virtual bool hasNext();
  // CFG_NoInstance at the end.
  virtual ZPX_DHCPReservedAddress* next();
  virtual void endIteration();

 private:
  InstanceRegistry<ZPX_DHCPReservedAddress> m_registry;
};

// The CIM properties of the class in class order, bound to the accessors,
// with the longest texts a request may carry.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPReservedAddress>& ZPX_DHCPReservedAddressBinding();

// The provider operations of the class over its current instance manager.
typedef ProviderOperations<ZPX_DHCPReservedAddress, ZPX_DHCPReservedAddressInstanceManager>
    ZPX_DHCPReservedAddressOperationsType;
TAVREL_EXPORT const ZPX_DHCPReservedAddressOperationsType& ZPX_DHCPReservedAddressOperations();

#endif
