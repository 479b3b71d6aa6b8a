// What the agent reports of itself for status displays: its version, the
// dhcpd it runs and since when, the addressing of each LAN and the last
// commit.
#ifndef TAVREL_AGENT_DHCPCOMPSTATUS_H
#define TAVREL_AGENT_DHCPCOMPSTATUS_H

#include <sys/types.h>
#include <time.h>

#include <string>
#include <vector>

#include "tavrel_export.h"

struct DhcpCompLanStatus {
  std::string interfaceName;
  std::string address;  // empty when the LAN has none
  std::string netmask;
  bool dhcpClient = false;  // addressed by a DHCP client (eth1 only)
};

struct DhcpCompAgentStatus {
  std::string version;
  pid_t dhcpdPid = 0;                   // 0: no dhcpd runs
  time_t dhcpdStarted = 0;              // 0: unknown
  std::vector<DhcpCompLanStatus> lans;  // eth1, its VLANs, eth2
  time_t lastCommit = 0;                // 0: none since start-up
  std::string lastCommitFailure;        // empty: it succeeded
};

// The status now, from the records and /proc (take the agent's lock).
TAVREL_EXPORT DhcpCompAgentStatus dhcpCompAgentStatus(void);

#endif
