#include "model_test_support.h"

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

void setInterface(s_ethIpConfig* eth, const char* addressText, const char* netmask) {
  snprintf(eth->ipAddress.ipString, sizeof(eth->ipAddress.ipString), "%s", addressText);
  dhcpUtilConvertIPStringtoIPAddr(&eth->ipAddress, ipTypeAddress, false);
  snprintf(eth->netmask.ipString, sizeof(eth->netmask.ipString), "%s", netmask);
  dhcpUtilConvertIPStringtoIPAddr(&eth->netmask, ipTypeNetmask, false);
  dhcpCompCalcIPNetwork(eth);
}

s_ipAddr address(const char* text) {
  s_ipAddr a;
  memset(&a, 0, sizeof(a));
  snprintf(a.ipString, sizeof(a.ipString), "%s", text);
  dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false);
  return a;
}

std::string dataFile(const std::string& name) {
  return tavrel::test::sourceDir() + "/tests/data/agent/" + name;
}

}  // namespace model_test
