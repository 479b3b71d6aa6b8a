// The commit: the single path by which a change of the records reaches the
// files and the running DHCP server.
#include <syslog.h>

#include <mutex>

#include "dhcpcomp.h"
#include "dhcpcompdaemon.h"
#include "dhcputil_file.h"

namespace {

// Trace copy of the component configuration file after each commit.
const char kConfigFile[] = "/pq/etc/dhcpcomp.conf";
const char kConfigTraceFile[] = "/root/dhcp.check4";
const int kStatusAllDevices = 2;

void copyPublishedAddressIfEmpty(uint8_t empty, s_ipAddr* address) {
  if (empty && CustomerLANIpConfig.ipAddress.ipLong != 0) *address = publishedIpAddress;
}

// Commits asked for while a rebuild defers them (by the destructors of the
// range and reservation objects it tears down) are dropped: the rebuild
// commits once at its end, and dhcpd never serves a half-built state.
int g_commitDeferrals = 0;

}  // namespace

void dhcpCompDeferCommits(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  ++g_commitDeferrals;
}

void dhcpCompResumeCommits(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  if (g_commitDeferrals > 0) --g_commitDeferrals;
}

void dhcpCompFillEmptyCallServers(void) {
  copyPublishedAddressIfEmpty(CustomerLANDhcpCompConfig.s1AddressEmpty,
                              &CustomerLANDhcpCompConfig.s1Address);
  copyPublishedAddressIfEmpty(CustomerLANDhcpCompConfig.s2AddressEmpty,
                              &CustomerLANDhcpCompConfig.s2Address);
}

int dhcpCompCommitConfigurationChanges(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  if (g_commitDeferrals > 0) return 0;
  dhcpCompKillDhcpDaemon();
  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    if (VLANDhcpCompConfig[i].defaultGatewayEmpty)
      updateDefaultGatewayDynamic(&VLANDhcpCompConfig[i], &VLANIpConfig[i]);
  }
  dhcpCompFillEmptyCallServers();
  dhcpCompWriteDhcpCompConfigFile(0);
  dhcpUtilCopyFile(kConfigFile, kConfigTraceFile);
  dhcpCompCreateDhcpdConfigFile();
  if (CustomerLANDhcpCompConfig.dhcpStatus == kStatusAllDevices && CustomerLANIpConfig.externalDhcpServer &&
      CustomerLANDhcpCompConfig.externalServerWarning) {
    syslog(LOG_ERR,
           "{%d} {External Corporate DHCP Server detected on Customer LAN AND T20 has DHCP Server "
           "enabled for ALL Devices}",
           DHCP_MSG_FOREIGN_SERVER);
    CustomerLANDhcpCompConfig.externalServerWarning = 0;
  }
  return dhcpCompStartDhcpDeamon();
}
