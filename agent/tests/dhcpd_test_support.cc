#include "dhcpd_test_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "model_test_support.h"
#include "test_support.h"

namespace dhcpd_test {

void addRange(s_dhcpCompConfig* cfg, int slot, const char* start, const char* end) {
  s_ipAddrRange& range = cfg->addrRanges[slot];
  range.isFree = 0;
  range.startAddr = model_test::address(start);
  range.endAddr = model_test::address(end);
  ++cfg->numAddrRanges;
}

void addReservation(s_dhcpCompConfig* cfg, int slot, const char* address, const char* mac, const char* name) {
  s_reservedAddr& rec = cfg->reservedAddrs[slot];
  rec.isFree = 0;
  rec.ipAddr = model_test::address(address);
  snprintf(rec.macAddr, sizeof(rec.macAddr), "%s", mac);
  snprintf(rec.clientName, sizeof(rec.clientName), "%s", name);
  ++cfg->numReservedAddrs;
}

void setCallServer(s_ipAddr* address, uint32_t* port, uint8_t* action, uint8_t* retry, const char* text,
                   uint32_t portNumber, uint8_t actionCode, uint8_t retryCount) {
  *address = model_test::address(text);
  *port = portNumber;
  *action = actionCode;
  *retry = retryCount;
}

void setUpApplianceRecords() {
  s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  CustomerLANIpConfig.staticIP = 1;
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  OAMLANIpConfig.staticIP = 1;
  lan.dhcpStatus = 2;
  lan.leaseTime = 3600;
  lan.defaultGateway = model_test::address("192.168.1.254");
  lan.dnsServer1 = model_test::address("192.168.1.2");
  addRange(&lan, 0, "192.168.1.100", "192.168.1.199");
  setCallServer(&lan.s1Address, &lan.s1PortNumber, &lan.s1Action, &lan.s1RetryCount, "192.168.1.5", 4100, 1,
                3);
  setCallServer(&lan.s2Address, &lan.s2PortNumber, &lan.s2Action, &lan.s2RetryCount, "192.168.1.6", 4100, 1,
                3);
  snprintf(lan.vlanIds, sizeof(lan.vlanIds), "100");
  lan.spectraSVPAddress = model_test::address("192.168.1.7");
  lan.spectraTFTPAddress = model_test::address("192.168.1.8");
}

std::string dataFile(const std::string& name) {
  const char* source = getenv("TAVREL_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/tests/data/dhcpd/" + name;
}

std::string dhcpdPath() {
  for (const char* path : {"/usr/sbin/dhcpd", "/opt/sbin/dhcpd"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

std::string dhcpdCheck(const std::string& text) {
  char path[] = "/tmp/tavrel-dhcpd-check-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return "cannot create a temporary file";
  close(fd);
  tavrel::test::writeFile(path, text);
  tavrel::test::CommandResult result = tavrel::test::runCommand(dhcpdPath() + " -t -cf " + path + " 2>&1");
  unlink(path);
  if (result.status == 0) return "";
  // The lines after the banner: what dhcpd found wrong.
  size_t from = result.output.find(path);
  return "dhcpd -t failed (" + std::to_string(result.status) +
         "): " + result.output.substr(from == std::string::npos ? 0 : from);
}

std::vector<GatewaySync>& gatewaySyncs() {
  static std::vector<GatewaySync> calls;
  return calls;
}

}  // namespace dhcpd_test

// Weak, so the range operations' own definition wins wherever it is linked.
__attribute__((weak)) void syncUpGatewayForAddrRanges(s_dhcpCompConfig* cfg, s_ipAddr* gateway) {
  dhcpd_test::gatewaySyncs().push_back({cfg, gateway->ipString});
}
