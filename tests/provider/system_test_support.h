// What the system tests of the agent and of its CIM classes share: the
// appliance's files they read, a telephone's DHCP exchange, and the agent's
// fixture with wbemcli requests that must succeed.
#pragma once

#include <string>

#include "agent_runner.h"

namespace tavrel::test {

const char kComponentFile[] = "/pq/etc/dhcpcomp.conf";
const char kDhcpdConf[] = "/pq/etc/dhcpd.conf";
const char kAlarmLog[] = "/pq/platform/LAN.log";

// The lease a telephone got from the appliance (appliance-phone with the
// given options, 20 s at most), as the phone prints it; it must get one.
inline std::string phoneLease(const std::string& options = "--vendor Zelkor-p4100-A") {
  CommandResult r = runCommand("appliance-phone --timeout 20 " + options);
  EXPECT_EQ(0, r.status) << r.output;
  return r.output;
}

class CimSystemTest : public AgentSystemTest {
 protected:
  // wbemcli's output of a request that must succeed.
  std::string ok(const std::string& op, const std::string& path, const std::string& extra = "",
                 const std::string& options = "") const {
    CommandOutput r = m_agent->wbemcli(op, path, extra, options);
    EXPECT_EQ(0, r.status) << r.err;
    return r.out;
  }
};

}  // namespace tavrel::test
