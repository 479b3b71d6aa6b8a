// ZPX_DHCPRangeOfIPAddresses: data class and instance registry of the
// address-range objects, keyed by InstanceID (the decimal range id).
#ifndef TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSES_H
#define TAVREL_DHCPPROV_ZPX_DHCPRANGEOFIPADDRESSES_H

#include <string>

#include "framework/ClassBinding.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_export.h"

class ZPX_DHCPRangeOfIPAddressesInstanceManager;

// Abstract view of one range: registers itself with the current instance
// manager on construction and leaves it on destruction. Getters return 100
// (not readable) and setters 101 (not writable) unless an implementation
// class binds them.
class TAVREL_EXPORT ZPX_DHCPRangeOfIPAddresses {
 public:
  explicit ZPX_DHCPRangeOfIPAddresses(const std::string& instanceID);
  ZPX_DHCPRangeOfIPAddresses(const ZPX_DHCPRangeOfIPAddresses&) = delete;
  ZPX_DHCPRangeOfIPAddresses& operator=(const ZPX_DHCPRangeOfIPAddresses&) = delete;

  virtual ~ZPX_DHCPRangeOfIPAddresses();
  virtual int startChange();
  virtual int endChange();
  virtual int getStartAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setStartAddress(std::string value);
  virtual int getEndAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setEndAddress(std::string value);
  virtual int getDefaultGatewayIPAddress(std::string& value,
                                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setDefaultGatewayIPAddress(std::string value);
  virtual int getInstanceID(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getCaption(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getDescription(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getAddressType(unsigned short& value,
                             OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPRangeOfIPAddressesInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPRangeOfIPAddressesInstanceManager* getInstanceManager();

  static ZPX_DHCPRangeOfIPAddressesInstanceManager* theInstanceManager;
  static ZPX_DHCPRangeOfIPAddressesInstanceManager defaultInstanceManager;

 protected:
  std::string m_InstanceID;
};

// Registry of the range objects. Creation and destruction are refused here
// (CFG_InstanceCreationFailed, CFG_InstanceDeletionFailed); the
// implementation manager provides them.
class TAVREL_EXPORT ZPX_DHCPRangeOfIPAddressesInstanceManager {
 public:
  ZPX_DHCPRangeOfIPAddressesInstanceManager() = default;
  ZPX_DHCPRangeOfIPAddressesInstanceManager(const ZPX_DHCPRangeOfIPAddressesInstanceManager&) = delete;
  ZPX_DHCPRangeOfIPAddressesInstanceManager& operator=(const ZPX_DHCPRangeOfIPAddressesInstanceManager&) =
      delete;

  virtual ~ZPX_DHCPRangeOfIPAddressesInstanceManager();
  virtual void init();
  virtual ZPX_DHCPRangeOfIPAddresses* createZPX_DHCPRangeOfIPAddresses(const std::string& instanceID);
  virtual void destroyZPX_DHCPRangeOfIPAddresses(ZPX_DHCPRangeOfIPAddresses* object);
  virtual void add(ZPX_DHCPRangeOfIPAddresses* object);
  virtual void remove(ZPX_DHCPRangeOfIPAddresses* object);
  // The object of that InstanceID; CFG_NoInstance when there is none.
  virtual ZPX_DHCPRangeOfIPAddresses* get(const std::string& instanceID);
  virtual void startIteration();
  virtual bool hasNext();
  // CFG_NoInstance at the end.
  virtual ZPX_DHCPRangeOfIPAddresses* next();
  virtual void endIteration();

 private:
  InstanceRegistry<ZPX_DHCPRangeOfIPAddresses> m_registry;
};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPRangeOfIPAddresses>& ZPX_DHCPRangeOfIPAddressesBinding();

// The provider operations of the class over its current instance manager.
typedef ProviderOperations<ZPX_DHCPRangeOfIPAddresses, ZPX_DHCPRangeOfIPAddressesInstanceManager>
    ZPX_DHCPRangeOfIPAddressesOperationsType;
TAVREL_EXPORT const ZPX_DHCPRangeOfIPAddressesOperationsType& ZPX_DHCPRangeOfIPAddressesOperations();

#endif
