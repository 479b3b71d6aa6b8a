#include "model_test_support.h"

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "model/interface.h"
#include "model/util.h"

#include <stdlib.h>
#include <string.h>

namespace model_test {

void resetModel(const std::vector<int>& vlans) {
  num_of_available_vlans = static_cast<int>(vlans.size());
  for (size_t i = 0; i < vlans.size(); ++i) vlanlists[i] = vlans[i];
  dhcpCompInitRecords();
  memset(&CustomerLANDhcpCompConfigSaved, 0, sizeof(CustomerLANDhcpCompConfigSaved));
  memset(&OAMLANDhcpCompConfigSaved, 0, sizeof(OAMLANDhcpCompConfigSaved));
  memset(VLANDhcpCompConfigSaved, 0, sizeof(VLANDhcpCompConfigSaved));
  g_NumberOfRanges = 0;
  g_NumberOfReservedIPs = 0;
  g_bIntegratedRouterPresent = 0;
}

void deleteObjects() {
  for (s_addrRangePoolEntry& entry : g_AddressRangePool) delete entry.object;
  for (s_reservedAddrPoolEntry& entry : g_reservedAddrPool) delete entry.object;
}

void setInterface(s_ethIpConfig* eth, const char* addressText, const char* netmask) {
  snprintf(eth->ipAddress.ipString, sizeof(eth->ipAddress.ipString), "%s", addressText);
  dhcpUtilConvertIPStringtoIPAddr(&eth->ipAddress, ipTypeAddress, false);
  snprintf(eth->netmask.ipString, sizeof(eth->netmask.ipString), "%s", netmask);
  dhcpUtilConvertIPStringtoIPAddr(&eth->netmask, ipTypeNetmask, false);
  dhcpCompCalcIPNetwork(eth);
}

s_ipAddr address(const char* text) {
  s_ipAddr a = {};
  snprintf(a.ipString, sizeof(a.ipString), "%s", text);
  dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false);
  return a;
}

std::string dataFile(const std::string& name) {
  return tavrel::test::sourceDir() + "/tests/data/agent/" + name;
}

std::string callServers(const s_ethIpConfig& e) {
  char text[128];
  snprintf(text, sizeof(text), "%s:%u,%d,%d;%s:%u,%d,%d.", e.vendorS1Address.ipString, e.vendorS1PortNumber,
           e.vendorS1Action, e.vendorS1RetryCount, e.vendorS2Address.ipString, e.vendorS2PortNumber,
           e.vendorS2Action, e.vendorS2RetryCount);
  return text;
}

bool logged(const std::string& text) {
  return tavrel::test::waitUntil(
      [&] { return tavrel::test::contains(tavrel::test::readFile("/var/log/messages"), text); });
}

}  // namespace model_test
