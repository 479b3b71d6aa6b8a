// The agent's status (see tavrel_agent_api.h).
#include "tavrel_agent_api.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "commit.h"
#include "dhcpd.h"
#include "model/records.h"

namespace {

// Field 22 of /proc/<pid>/stat (start time in clock ticks since boot) and
// the boot time ("btime" of /proc/stat); 0 when either cannot be read.
time_t processStartTime(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t paren = text.rfind(')');
  if (paren == std::string::npos) return 0;
  std::istringstream fields(text.substr(paren + 1));
  std::string field;
  unsigned long long ticks = 0;
  // Fields 3 (state) to 22 follow the command name.
  for (int number = 3; number <= 22 && fields >> field; ++number)
    if (number == 22) ticks = strtoull(field.c_str(), nullptr, 10);
  std::ifstream system("/proc/stat");
  long long boot = 0;
  for (std::string line; std::getline(system, line);)
    if (line.compare(0, 6, "btime ") == 0) boot = atoll(line.c_str() + 6);
  long hz = sysconf(_SC_CLK_TCK);
  if (ticks == 0 || boot == 0 || hz <= 0) return 0;
  return static_cast<time_t>(boot + static_cast<long long>(ticks / static_cast<unsigned long long>(hz)));
}

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
