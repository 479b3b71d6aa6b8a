// The live setting-data object: every getter reads and every setter writes
// the agent's customer-LAN record CustomerLANDhcpCompConfig in place, and a
// completed change commits it (component file, dhcpd.conf, server restart).
// The agent creates one object at start-up, after the provider is
// initialised, and records it in m_pInstance.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAIMPL_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAIMPL_H

#include <string>

#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingData.h"
#include "tavrel_agent_api.h"

class TAVREL_EXPORT ZPX_DHCPSettingDataImpl : public ZPX_DHCPSettingData {
 public:
  // Bound to CustomerLANDhcpCompConfig and CustomerLANIpConfig.
  explicit ZPX_DHCPSettingDataImpl(const std::string& instanceID);

  // 0: the setters checked every value; the change bracket commits.
  int endChange() override;
  // Setter codes besides 0: 320 invalid address (or gateway outside the
  // customer LAN), 330 invalid VLAN list, 331 domain name too long, 333
  // number outside its allowed set, 352 domain name with a character other
  // than letters, digits, "." and "-" (dhcpUtilIsValidDomainName; the stored
  // name sent back unchanged is accepted). A refused value leaves the record as
  // it was; an address, mode or node type equal to the stored one is
  // accepted as no change (flags included).
  int getdhcpServerOnRouter(bool& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setdhcpServerOnRouter(bool value) override;
  int getdhcpServerCustomerLANStatus(unsigned short& value,
                                     OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setdhcpServerCustomerLANStatus(unsigned short value) override;
  int getdhcpServerOAMLANStatus(unsigned short& value,
                                OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int getdhcpServerDSPLANStatus(unsigned short& value,
                                OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int getleaseTime(unsigned int& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setleaseTime(unsigned int value) override;
  int getdefaultGatewayIPAddress(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setdefaultGatewayIPAddress(std::string value) override;
  int getdomainName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setdomainName(std::string value) override;
  int getprimaryDNSIPAddress(std::string& value,
                             OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setprimaryDNSIPAddress(std::string value) override;
  int getsecondaryDNSIPAddress(std::string& value,
                               OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setsecondaryDNSIPAddress(std::string value) override;
  int getnetbiosNodeType(unsigned char& value,
                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setnetbiosNodeType(unsigned char value) override;
  int getnetbiosIPAddress(std::string& value,
                          OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setnetbiosIPAddress(std::string value) override;
  int gets1IPAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets1IPAddress(std::string value) override;
  int gets1Port(unsigned short& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets1Port(unsigned short value) override;
  int gets1OtherPort(unsigned short& value,
                     OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets1OtherPort(unsigned short value) override;
  int gets1Action(unsigned char& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int gets1RetryCount(unsigned char& value,
                      OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets1RetryCount(unsigned char value) override;
  int gets2IPAddress(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets2IPAddress(std::string value) override;
  int gets2Port(unsigned short& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets2Port(unsigned short value) override;
  int gets2OtherPort(unsigned short& value,
                     OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets2OtherPort(unsigned short value) override;
  int gets2Action(unsigned char& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int gets2RetryCount(unsigned char& value,
                      OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int sets2RetryCount(unsigned char value) override;
  int getvlanIds(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setvlanIds(std::string value) override;
  int getspectraTFTPServerIPAddress(std::string& value,
                                    OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setspectraTFTPServerIPAddress(std::string value) override;
  int getspectraSVPServerIPAddress(std::string& value,
                                   OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;
  int setspectraSVPServerIPAddress(std::string value) override;

  // The object the agent created at start-up.
  static ZPX_DHCPSettingDataImpl* m_pInstance;

 private:
  // One address setter: the stored text is no change; empty text clears
  // target, else a valid address is stored in canonical form (320
  // otherwise, target unchanged). emptyFlag and validFlag (may be null)
  // receive emptyValue / 0.
  int setAddress(s_ipAddr* target, const std::string& text, uint8_t* validFlag, uint8_t* emptyFlag,
                 uint8_t emptyValue);

  s_dhcpCompConfig* m_config;
  s_ethIpConfig* m_ipConfig;
};

// Creates further setting-data objects (bound to the same records) and
// deletes them.
class TAVREL_EXPORT ZPX_DHCPSettingDataImplInstanceManager : public ZPX_DHCPSettingDataInstanceManager {
 public:
  ZPX_DHCPSettingData* createZPX_DHCPSettingData(const std::string& instanceID) override;
  void destroyZPX_DHCPSettingData(ZPX_DHCPSettingData* object) override;
};

#endif
