#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceSelfTest.h"

#include <functional>

#include "framework/ProviderErrors.h"
#include "openwbem/CIMException.h"
#include "tavrel_agent_api.h"

// Resolved from the agent that loads the library; weak, so that another
// host of the library still loads it.
int dhcpCompTestDhcpService(const std::string& interfaceName, const std::string& vendorClass,
                            const std::string& macAddress, std::vector<DhcpSelfTestOffer>* offers,
                            std::string* why) __attribute__((weak));

using OpenWBEM::CIMException;
using OpenWBEM::CIMParamValue;
using OpenWBEM::CIMParamValueArray;
using OpenWBEM::CIMValue;
using OpenWBEM::String;

namespace {

std::string parameter(const CIMParamValueArray& in, const char* name) {
  for (const CIMParamValue& p : in)
    if (p.getName().equalsIgnoreCase(name) && !p.getValue().isNull())
      return p.getValue().toString().toStdString();
  return "";
}

// One output array of the offers' values.
template <typename T>
CIMValue column(const std::vector<DhcpSelfTestOffer>& offers, OpenWBEM::CIMDataType::Type type,
                const std::function<T(const DhcpSelfTestOffer&)>& value) {
  OpenWBEM::CIMValueArray elements;
  for (const DhcpSelfTestOffer& o : offers) elements.push_back(CIMValue(value(o)));
  return CIMValue::createArray(type, elements);
}

}  // namespace

CIMValue ZPX_DHCPServiceTestDhcpService(const CIMParamValueArray& in, CIMParamValueArray& out) {
  if (dhcpCompTestDhcpService == nullptr)
    throw CIMException(__FILE__, __LINE__, CIMException::NOT_SUPPORTED,
                       "This agent has no DHCP self-test.\n");
  std::vector<DhcpSelfTestOffer> offers;
  std::string why;
  int rc = dhcpCompTestDhcpService(parameter(in, "interface"), parameter(in, "vendorClass"),
                                   parameter(in, "macAddress"), &offers, &why);
  if (rc != DHCP_RC_OK)
    throw CIMException(__FILE__, __LINE__,
                       rc == DHCP_RC_NO_LAN || rc == DHCP_RC_INVALID_MAC ? CIMException::INVALID_PARAMETER
                                                                         : CIMException::FAILED,
                       (why + "\n" + TavrelErrors::agentErrorTag(rc)).c_str());
  typedef OpenWBEM::CIMDataType D;
  typedef std::function<String(const DhcpSelfTestOffer&)> Text;
  auto text = [&](const char* name, const Text& f) {
    out.push_back(CIMParamValue(name, column<String>(offers, D::STRING, f)));
  };
  text("serverAddress", [](const DhcpSelfTestOffer& o) { return String(o.serverAddress); });
  out.push_back(CIMParamValue(
      "ownServer", column<bool>(offers, D::BOOLEAN, [](const DhcpSelfTestOffer& o) { return o.ownServer; })));
  text("offeredAddress", [](const DhcpSelfTestOffer& o) { return String(o.offeredAddress); });
  text("subnetMask", [](const DhcpSelfTestOffer& o) { return String(o.subnetMask); });
  text("routers", [](const DhcpSelfTestOffer& o) { return String(o.routers); });
  text("dnsServers", [](const DhcpSelfTestOffer& o) { return String(o.dnsServers); });
  out.push_back(CIMParamValue(
      "leaseTime",
      column<OpenWBEM::UInt32>(offers, D::UINT32, [](const DhcpSelfTestOffer& o) { return o.leaseTime; })));
  text("option128", [](const DhcpSelfTestOffer& o) { return String(o.option128); });
  text("option191", [](const DhcpSelfTestOffer& o) { return String(o.option191); });
  text("option151", [](const DhcpSelfTestOffer& o) { return String(o.option151); });
  return CIMValue(static_cast<OpenWBEM::UInt16>(0));
}
