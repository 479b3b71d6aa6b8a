// ZPX_DHCPSettingData: data class and instance registry of the DHCP server
// settings of the customer LAN, keyed by InstanceID.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATA_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATA_H

#include <string>

#include "framework/ClassBinding.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_export.h"

class ZPX_DHCPSettingDataInstanceManager;

// Abstract view of the settings: registers itself with the current instance
// manager on construction and leaves it on destruction. Getters return 100
// (not readable) and setters 101 (not writable) unless an implementation
// class binds them; getInstanceID returns the key.
class TAVREL_EXPORT ZPX_DHCPSettingData {
 public:
  explicit ZPX_DHCPSettingData(const std::string& instanceID);
  ZPX_DHCPSettingData(const ZPX_DHCPSettingData&) = delete;
  ZPX_DHCPSettingData& operator=(const ZPX_DHCPSettingData&) = delete;

  virtual ~ZPX_DHCPSettingData();
  virtual int startChange();
  virtual int endChange();
  virtual int getdhcpServerOnRouter(bool& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setdhcpServerOnRouter(bool value);
  virtual int getdhcpServerCustomerLANStatus(unsigned short& value,
                                             OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setdhcpServerCustomerLANStatus(unsigned short value);
  virtual int getdhcpServerOAMLANStatus(unsigned short& value,
                                        OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getdhcpServerDSPLANStatus(unsigned short& value,
                                        OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getleaseTime(unsigned int& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setleaseTime(unsigned int value);
  virtual int getdefaultGatewayIPAddress(std::string& value,
                                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setdefaultGatewayIPAddress(std::string value);
  virtual int getdomainName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setdomainName(std::string value);
  virtual int getprimaryDNSIPAddress(std::string& value,
                                     OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setprimaryDNSIPAddress(std::string value);
  virtual int getsecondaryDNSIPAddress(std::string& value,
                                       OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setsecondaryDNSIPAddress(std::string value);
  virtual int getnetbiosNodeType(unsigned char& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setnetbiosNodeType(unsigned char value);
  virtual int getnetbiosIPAddress(std::string& value,
                                  OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setnetbiosIPAddress(std::string value);
  virtual int gets1IPAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets1IPAddress(std::string value);
  virtual int gets1Port(unsigned short& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets1Port(unsigned short value);
  virtual int gets1OtherPort(unsigned short& value,
                             OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets1OtherPort(unsigned short value);
  virtual int gets1Action(unsigned char& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int gets1RetryCount(unsigned char& value,
                              OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets1RetryCount(unsigned char value);
  virtual int gets2IPAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets2IPAddress(std::string value);
  virtual int gets2Port(unsigned short& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets2Port(unsigned short value);
  virtual int gets2OtherPort(unsigned short& value,
                             OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets2OtherPort(unsigned short value);
  virtual int gets2Action(unsigned char& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int gets2RetryCount(unsigned char& value,
                              OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int sets2RetryCount(unsigned char value);
  virtual int getvlanIds(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setvlanIds(std::string value);
  virtual int getspectraTFTPServerIPAddress(std::string& value,
                                            OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setspectraTFTPServerIPAddress(std::string value);
  virtual int getspectraSVPServerIPAddress(std::string& value,
                                           OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int setspectraSVPServerIPAddress(std::string value);
  virtual int getInstanceID(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPSettingDataInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPSettingDataInstanceManager* getInstanceManager();

  static ZPX_DHCPSettingDataInstanceManager* theInstanceManager;
  static ZPX_DHCPSettingDataInstanceManager defaultInstanceManager;

 protected:
  std::string m_InstanceID;
};

// Registry of the setting-data objects. Creation and destruction are refused
// here (CFG_InstanceCreationFailed, CFG_InstanceDeletionFailed); the
// implementation manager provides them.
class TAVREL_EXPORT ZPX_DHCPSettingDataInstanceManager {
 public:
  ZPX_DHCPSettingDataInstanceManager() = default;
  ZPX_DHCPSettingDataInstanceManager(const ZPX_DHCPSettingDataInstanceManager&) = delete;
  ZPX_DHCPSettingDataInstanceManager& operator=(const ZPX_DHCPSettingDataInstanceManager&) = delete;

  virtual ~ZPX_DHCPSettingDataInstanceManager();
  virtual void init();
  virtual ZPX_DHCPSettingData* createZPX_DHCPSettingData(const std::string& instanceID);
  virtual void destroyZPX_DHCPSettingData(ZPX_DHCPSettingData* object);
  virtual void add(ZPX_DHCPSettingData* object);
  virtual void remove(ZPX_DHCPSettingData* object);
  // The object of that InstanceID; CFG_NoInstance when there is none.
  virtual ZPX_DHCPSettingData* get(const std::string& instanceID);
  virtual void startIteration();
  virtual bool hasNext();
  // CFG_NoInstance at the end.
  virtual ZPX_DHCPSettingData* next();
  virtual void endIteration();

 private:
  // The agent's setting data and at most kExtraSingletonsMax more made over
  // CIM.
  InstanceRegistry<ZPX_DHCPSettingData> m_registry{kExtraSingletonsMax + 1};
};

// The CIM properties of the class in class order, bound to the accessors,
// with the length and maximum checks that run before a setter.
TAVREL_EXPORT const ClassBinding<ZPX_DHCPSettingData>& ZPX_DHCPSettingDataBinding();

// The provider operations of the class over its current instance manager.
typedef ProviderOperations<ZPX_DHCPSettingData, ZPX_DHCPSettingDataInstanceManager>
    ZPX_DHCPSettingDataOperationsType;
TAVREL_EXPORT const ZPX_DHCPSettingDataOperationsType& ZPX_DHCPSettingDataOperations();

#endif
