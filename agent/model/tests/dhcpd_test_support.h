// Helpers shared by the tests of dhcpd.conf generation and daemon control:
// records filled directly, and dhcpd's own check of a generated file.
#ifndef TAVREL_AGENT_TESTS_DHCPD_TEST_SUPPORT_H
#define TAVREL_AGENT_TESTS_DHCPD_TEST_SUPPORT_H

#include <string>

#include "model/records.h"

namespace dhcpd_test {

// Put a range or a reservation into the given slot of cfg.
void addRange(s_dhcpCompConfig* cfg, int slot, const char* start, const char* end);
void addReservation(s_dhcpCompConfig* cfg, int slot, const char* address, const char* mac, const char* name);

// The appliance of the sandbox: eth1 192.168.1.1/24 serving all devices from
// 192.168.1.100-199, eth2 172.31.0.1/24 off, call servers .5 and .6 on port
// 4100 (action 1, 3 retries), VLAN list "100", handset SVP .7 and TFTP .8.
void setUpApplianceRecords();

// Runs "dhcpd -t -cf" over text; "" when dhcpd accepts it, else what it said
// (or that dhcpd is not installed).
std::string dhcpdCheck(const std::string& text);

}  // namespace dhcpd_test

#endif
