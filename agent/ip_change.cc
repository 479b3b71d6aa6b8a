// Rebuild of the whole configuration around changed addresses, when the
// flag file's events call for one, and the handler of the event service's
// answers.
#include <errno.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "agent.h"
#include "commit.h"
#include "dhcpd.h"
#include "dynamic.h"
#include "ip_change.h"
#include "messages.h"
#include "model/config_file.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/records.h"
#include "model/text_file.h"
#include "tavrel_agent_api.h"
#include "vornapi.h"

namespace {

const char kConfigFile[] = "/pq/etc/dhcpcomp.conf";
// Trace copies of the component configuration file at the steps of a
// rebuild: written from the snapshots, before it is read back, before and
// after the commit.
const char kTraceSaved[] = "/root/dhcp.check";
const char kTraceBeforeRead[] = "/root/dhcp.checkbeforeread";
const char kTraceBeforeCommit[] = "/root/dhcp.check2";
const char kTraceAfterCommit[] = "/root/dhcp.check3";

// Event packet fields (big-endian): type at byte 0, request code at byte 6.
const uint16_t kEmsPacketResponse = 1;
const uint16_t kEmsPacketEvent = 2;
const uint32_t kEmsIpChangeRequest = 1;

void logError(const char* text) {
  if (logger) logger->logError(OpenWBEM::String(text));
}

// Logs what an event service packet is.
void logPacket(const unsigned char* b) {
  uint16_t type = static_cast<uint16_t>((b[0] << 8) | b[1]);
  if (type == kEmsPacketEvent) {
    logError("EMS_PACKET_TYPE_EVENT");
  } else if (type == kEmsPacketResponse) {
    logError("EMS_PACKET_TYPE_RESPONSE");
    uint32_t request = (static_cast<uint32_t>(b[6]) << 24) | (static_cast<uint32_t>(b[7]) << 16) |
                       (static_cast<uint32_t>(b[8]) << 8) | b[9];
    if (request == kEmsIpChangeRequest) logError("EMS_IP_CHANGE_REQUEST");
  }
}

void saveLiveRecords() {
  CustomerLANDhcpCompConfigSaved = CustomerLANDhcpCompConfig;
  OAMLANDhcpCompConfigSaved = OAMLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    VLANDhcpCompConfigSaved[i] = VLANDhcpCompConfig[i];
}

// The customer LAN's DHCP client follows the LAN's addressing mode.
void followAddressingMode() {
  if (CustomerLANIpConfig.staticIP == 0) {
    if (g_bCustomerLANWasDynamic == 0) dhcpCompCheckCustLANDynamicIPStatus();
    g_bCustomerLANWasDynamic = 1;
  } else {
    if (g_bCustomerLANWasDynamic == 1) dhcpCompKillDhclient();
    g_bCustomerLANWasDynamic = 0;
  }
}

// The address and mask of every LAN's interface. dhcpd takes its server
// identifier from the interface when it starts, so a change of one calls for
// a restart even when dhcpd.conf stays the same.
std::vector<std::tuple<std::string, uint32_t, uint32_t>> servedInterfaces() {
  std::vector<std::tuple<std::string, uint32_t, uint32_t>> interfaces;
  auto add = [&interfaces](const s_ethIpConfig& eth) {
    interfaces.emplace_back(eth.interfaceName, eth.ipAddress.ipLong, eth.netmask.ipLong);
  };
  add(CustomerLANIpConfig);
  add(OAMLANIpConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) add(VLANIpConfig[i]);
  return interfaces;
}

// Rebuilds the configuration from the snapshots' text, or from the file as
// it stands (fromFile: a reload after the administrator edited it), with
// commits deferred (the caller commits once).
void rebuildRecords(bool fromFile) {
  CommitDeferral deferral;
  duplicateCommonPortion();
  saveLiveRecords();
  // The snapshots' text carries the configuration across the
  // re-initialisation; kept here as well in case the file cannot be read back.
  std::string saved = dhcpCompFormatDhcpCompConfig(1);
  // The records read back take their ids again.
  dhcpCompKeepInstanceIDs();
  dhcpCompCleanup();
  if (!fromFile) {
    dhcpCompWriteDhcpCompConfigFile(1);
    dhcpUtilCopyFile(kConfigFile, kTraceSaved);
  }

  dhcpCompInit();
  dhcpCompDiscoverInterfaces();
  dhcpUtilCopyFile(kConfigFile, kTraceBeforeRead);

  if (dhcpCompReadDhcpCompConfigFile() == 0) {
    int reason = errno;
    dhcpCompLogEvent(DHCP_MSG_CONFIG_FILE_KEPT, g_strT20ConfigFilename, strerror(reason));
    dhcpCompParseDhcpCompConfigText(&saved[0]);
  }
  dhcpCompForgetKeptInstanceIDs();

  followAddressingMode();
  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  dhcpCompFillEmptyCallServers();
  dhcpCompVerifyAllRangesInSubnets();
}

}  // namespace

void DhcpCompIpChangeCoalescer::flagRaised(Clock::time_point now) {
  if (!m_pending) m_first = now;
  m_pending = true;
  m_last = now;
}

DhcpCompIpChangeCoalescer::Clock::time_point DhcpCompIpChangeCoalescer::due() const {
  if (!m_pending) return Clock::time_point::max();
  Clock::time_point quiet = std::min(m_last + std::chrono::milliseconds(DHCP_IP_CHANGE_QUIET_MS),
                                     m_first + std::chrono::milliseconds(DHCP_IP_CHANGE_MAX_WAIT_MS));
  if (m_lastRebuild == Clock::time_point::min()) return quiet;
  return std::max(quiet, m_lastRebuild + std::chrono::milliseconds(DHCP_IP_CHANGE_SPACING_MS));
}

bool DhcpCompIpChangeCoalescer::takeDue(Clock::time_point now) {
  if (!m_pending || now < due()) return false;
  m_pending = false;
  return true;
}

void DhcpCompIpChangeCoalescer::rebuilt(Clock::time_point now) {
  m_lastRebuild = now;
}

namespace {

// One change: a rebuild whose commit fails leaves the records as before.
// The running server keeps serving while the records are rebuilt; the
// commit restarts it only when dhcpd.conf changes, or here when an
// interface's address or mask moved.
void rebuildAndCommit(bool fromFile) {
  DhcpCompChange change;
  auto before = servedInterfaces();
  rebuildRecords(fromFile);
  if (servedInterfaces() != before) dhcpCompRequestDhcpDaemonStop();
  dhcpUtilCopyFile(kConfigFile, kTraceBeforeCommit);
  change.commit();
  dhcpUtilCopyFile(kConfigFile, kTraceAfterCommit);
}

}  // namespace

void dhcpCompIPConfigurationChanged(void) {
  rebuildAndCommit(false);
  logError("dhcpCompIPConfigurationChanged 5");
}

void dhcpCompReloadConfiguration(void) {
  rebuildAndCommit(true);
}

int EmsIPChangePacketHandler(sEmsPacket* packet) {
  if (packet != nullptr) logPacket(packet->bytes);
  return 0;
}
