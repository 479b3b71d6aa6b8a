// ZPX_DHCPService: data class and instance registry of the DHCP service
// object, keyed by SystemCreationClassName, SystemName, CreationClassName
// and Name. The service carries no settings; it anchors the association to
// its setting data and offers the method renewDynamicIPAddress.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSERVICE_H
#define TAVREL_DHCPPROV_ZPX_DHCPSERVICE_H

#include <string>
#include <vector>

#include "framework/ClassBinding.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_export.h"

class ZPX_DHCPServiceInstanceManager;

// Abstract view of the service: registers itself with the current instance
// manager on construction and leaves it on destruction. The key getters
// return the keys; getElementName returns 100 (not readable) here.
class TAVREL_EXPORT ZPX_DHCPService {
 public:
  ZPX_DHCPService(const std::string& systemCreationClassName, const std::string& systemName,
                  const std::string& creationClassName, const std::string& name);
  ZPX_DHCPService(const ZPX_DHCPService&) = delete;
  ZPX_DHCPService& operator=(const ZPX_DHCPService&) = delete;

  virtual ~ZPX_DHCPService();
  virtual int startChange();
  virtual int endChange();
  virtual int getSystemCreationClassName(std::string& value,
                                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getSystemName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getCreationClassName(std::string& value,
                                   OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getElementName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

  // The agent's status (ZPX_DHCPServiceStatus.cc): read from the agent
  // that loads the library; 100 (not readable) when it reports none.
  int getAgentVersion(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getDhcpdProcessID(unsigned int& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getDhcpdStartTime(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getLanInterfaces(std::vector<std::string>& value,
                       OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getLanAddresses(std::vector<std::string>& value,
                      OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getLanAddressing(std::vector<std::string>& value,
                       OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getLastCommitTime(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  int getLastCommitResult(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPServiceInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPServiceInstanceManager* getInstanceManager();

  static ZPX_DHCPServiceInstanceManager* theInstanceManager;
  static ZPX_DHCPServiceInstanceManager defaultInstanceManager;

 protected:
  std::string m_SystemCreationClassName;
  std::string m_SystemName;
  std::string m_CreationClassName;
  std::string m_Name;
};

// Registry of the service objects. Creation and destruction are refused
// here (CFG_InstanceCreationFailed, CFG_InstanceDeletionFailed) and the
// renewal does nothing; the implementation manager provides them.
class TAVREL_EXPORT ZPX_DHCPServiceInstanceManager {
 public:
  ZPX_DHCPServiceInstanceManager() = default;
  ZPX_DHCPServiceInstanceManager(const ZPX_DHCPServiceInstanceManager&) = delete;
  ZPX_DHCPServiceInstanceManager& operator=(const ZPX_DHCPServiceInstanceManager&) = delete;

  virtual ~ZPX_DHCPServiceInstanceManager();
  virtual void init();
  virtual ZPX_DHCPService* createZPX_DHCPService(const std::string& systemCreationClassName,
                                                 const std::string& systemName,
                                                 const std::string& creationClassName,
                                                 const std::string& name);
  virtual void destroyZPX_DHCPService(ZPX_DHCPService* object);
  // Renews the customer LAN's DHCP client address; returns the method's code.
  virtual int renewDynamicIPAddress();
  virtual void add(ZPX_DHCPService* object);
  virtual void remove(ZPX_DHCPService* object);
  // The object of those keys; CFG_NoInstance when there is none.
  virtual ZPX_DHCPService* get(const std::string& systemCreationClassName, const std::string& systemName,
                               const std::string& creationClassName, const std::string& name);
  virtual void startIteration();
  virtual bool hasNext();
  // CFG_NoInstance at the end.
  virtual ZPX_DHCPService* next();
  virtual void endIteration();

 private:
  // The agent's service object and at most kExtraSingletonsMax more made
  // over CIM.
  InstanceRegistry<ZPX_DHCPService> m_registry{kExtraSingletonsMax + 1};
};

// The CIM properties of the class in class order, bound to the accessors.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPService>& ZPX_DHCPServiceBinding();

// The provider operations of the class over its current instance manager.
typedef ProviderOperations<ZPX_DHCPService, ZPX_DHCPServiceInstanceManager> ZPX_DHCPServiceOperationsType;
TAVREL_EXPORT const ZPX_DHCPServiceOperationsType& ZPX_DHCPServiceOperations();

#endif
