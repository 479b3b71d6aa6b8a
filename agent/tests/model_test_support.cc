#include "model_test_support.h"

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>

#include <stdexcept>

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
  s_ipAddr a;
  memset(&a, 0, sizeof(a));
  snprintf(a.ipString, sizeof(a.ipString), "%s", text);
  dhcpUtilConvertIPStringtoIPAddr(&a, ipTypeAddress, false);
  return a;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/tavrel-model-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::string command = "rm -rf '" + path_ + "'";
  if (system(command.c_str()) != 0) {}
}

std::vector<std::string> TempDir::entries() const {
  std::vector<std::string> names;
  DIR* dir = opendir(path_.c_str());
  if (dir == nullptr) return names;
  while (struct dirent* entry = readdir(dir))
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
  closedir(dir);
  return names;
}

std::string dataFile(const std::string& name) {
  const char* source = getenv("TAVREL_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/tests/data/agent/" + name;
}

}  // namespace model_test
