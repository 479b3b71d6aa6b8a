#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceImpl.h"

#include "openwbem/CIMException.h"

// The agent's renewal of the customer LAN's DHCP client address, resolved
// from the program that loads the library. Weak: an agent without it still
// loads the library, and the method then reports that it cannot renew.
extern "C" int dhcpcompRenewDynamicIPAddress(void) __attribute__((weak));

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

namespace {

const char kRenewalUnavailableText[] =
    "The DHCP client address of the customer LAN cannot be renewed by this agent.\n";

}  // namespace

ZPX_DHCPServiceImpl* ZPX_DHCPServiceImpl::m_pInstanceDHCPService = nullptr;

ZPX_DHCPServiceImpl::ZPX_DHCPServiceImpl(const std::string& systemCreationClassName,
                                         const std::string& systemName, const std::string& creationClassName,
                                         const std::string& name)
    : ZPX_DHCPService(systemCreationClassName, systemName, creationClassName, name) {}

int ZPX_DHCPServiceImpl::getElementName(std::string& value, Array<CIMQualifier>&) const {
  value = m_ElementName;
  return TAVREL_RC_OK;
}

ZPX_DHCPService* ZPX_DHCPServiceImplInstanceManager::createZPX_DHCPService(
    const std::string& systemCreationClassName, const std::string& systemName,
    const std::string& creationClassName, const std::string& name) {
  return new ZPX_DHCPServiceImpl(systemCreationClassName, systemName, creationClassName, name);
}

void ZPX_DHCPServiceImplInstanceManager::destroyZPX_DHCPService(ZPX_DHCPService* object) {
  delete object;
}

int ZPX_DHCPServiceImplInstanceManager::renewDynamicIPAddress() {
  if (dhcpcompRenewDynamicIPAddress == nullptr)
    throw OpenWBEM::CIMException(__FILE__, __LINE__, OpenWBEM::CIMException::NOT_SUPPORTED,
                                 kRenewalUnavailableText);
  dhcpcompRenewDynamicIPAddress();
  return TAVREL_RC_OK;
}
