// The agent's status (see tavrel_agent_api.h).
#include "tavrel_agent_api.h"

#include "commit.h"
#include "dhcpd.h"
#include "model/records.h"
#include "process.h"

namespace {

DhcpCompLanStatus lanOf(const s_ethIpConfig& eth) {
  DhcpCompLanStatus lan;
  lan.interfaceName = eth.interfaceName;
  if (eth.ipAddress.ipLong != 0) {
    lan.address = eth.ipAddress.ipString;
    lan.netmask = eth.netmask.ipString;
  }
  lan.dhcpClient = !eth.staticIP;
  return lan;
}

}  // namespace

DhcpCompAgentStatus dhcpCompAgentStatus(void) {
  DhcpCompAgentStatus status;
  status.version = TAVREL_VERSION;
  status.dhcpdPid = dhcpCompRunningDhcpd();
  if (status.dhcpdPid > 0) status.dhcpdStarted = processStartTime(status.dhcpdPid);
  status.lans.push_back(lanOf(CustomerLANIpConfig));
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    status.lans.push_back(lanOf(VLANIpConfig[i]));
    status.lans.back().dhcpClient = false;
  }
  DhcpCompLanStatus oam = lanOf(OAMLANIpConfig);
  oam.dhcpClient = false;
  status.lans.push_back(oam);
  status.lastCommit = dhcpCompLastCommit(&status.lastCommitFailure);
  return status;
}
