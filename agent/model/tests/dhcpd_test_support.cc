#include "dhcpd_test_support.h"

#include <stdio.h>
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
  lan.s1Address = model_test::address("192.168.1.5");
  lan.s2Address = model_test::address("192.168.1.6");
  lan.s1PortNumber = lan.s2PortNumber = 4100;
  lan.s1Action = lan.s2Action = 1;
  lan.s1RetryCount = lan.s2RetryCount = 3;
  snprintf(lan.vlanIds, sizeof(lan.vlanIds), "100");
  lan.spectraSVPAddress = model_test::address("192.168.1.7");
  lan.spectraTFTPAddress = model_test::address("192.168.1.8");
}

std::string dhcpdCheck(const std::string& text) {
  std::string dhcpd;
  for (const char* path : {"/usr/sbin/dhcpd", "/opt/sbin/dhcpd"})
    if (dhcpd.empty() && access(path, X_OK) == 0) dhcpd = path;
  if (dhcpd.empty()) return "dhcpd is not installed (isc-dhcp-server)";
  tavrel::test::TempDir dir;
  std::string path = dir.file("dhcpd.conf");
  tavrel::test::writeFile(path, text);
  tavrel::test::CommandResult result = tavrel::test::runCommand(dhcpd + " -t -cf " + path + " 2>&1");
  if (result.status == 0) return "";
  // The lines after the banner: what dhcpd found wrong.
  size_t from = result.output.find(path);
  return "dhcpd -t failed (" + std::to_string(result.status) +
         "): " + result.output.substr(from == std::string::npos ? 0 : from);
}

}  // namespace dhcpd_test
