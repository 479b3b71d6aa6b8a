// The live DHCP service object. The agent creates one at start-up, after the
// provider is initialised, and records it in m_pInstanceDHCPService.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSERVICEIMPL_H
#define TAVREL_DHCPPROV_ZPX_DHCPSERVICEIMPL_H

#include <string>

#include "ZPX_DHCPServiceProvider/ZPX_DHCPService.h"

class TAVREL_EXPORT ZPX_DHCPServiceImpl : public ZPX_DHCPService {
 public:
  ZPX_DHCPServiceImpl(const std::string& systemCreationClassName, const std::string& systemName,
                      const std::string& creationClassName, const std::string& name);

  // The element name; empty, nothing sets it.
  int getElementName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const override;

  // The object the agent created at start-up.
  static ZPX_DHCPServiceImpl* m_pInstanceDHCPService;

 private:
  std::string m_ElementName;
};

// Creates and deletes service objects and runs the agent's renewal of the
// customer LAN's DHCP client address.
class TAVREL_EXPORT ZPX_DHCPServiceImplInstanceManager : public ZPX_DHCPServiceInstanceManager {
 public:
  ZPX_DHCPService* createZPX_DHCPService(const std::string& systemCreationClassName,
                                         const std::string& systemName, const std::string& creationClassName,
                                         const std::string& name) override;
  void destroyZPX_DHCPService(ZPX_DHCPService* object) override;
  // Calls the agent's dhcpcompRenewDynamicIPAddress() and returns 0. When
  // the agent in this process does not offer the renewal, throws
  // CIMException(NOT_SUPPORTED) instead of pretending to have renewed.
  int renewDynamicIPAddress() override;
};

#endif
