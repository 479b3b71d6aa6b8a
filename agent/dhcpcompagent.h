// The TavrelAgent process: its process-wide flags, the record start-up and
// release, the PID file, the stop callback, and the interface discovery and
// range check sequences that start-up and the IP-change rebuild share.
#ifndef TAVREL_AGENT_DHCPCOMPAGENT_H
#define TAVREL_AGENT_DHCPCOMPAGENT_H

#include <stdint.h>

#include <atomic>

#include "openwbem/Logger.h"

#define TAVREL_AGENT_NAME "TavrelAgent"
#define TAVREL_AGENT_PID_FILE "/var/run/TavrelAgent.pid"
#define TAVREL_IP_CHANGE_FLAG_FILE "/pq/etc/ipchnged.tmp"
// The agent's working directory, root's alone (0700): the command output
// files ("temp.txt") of the agent and its libraries are written here.
#define TAVREL_AGENT_WORK_DIR "/var/run/TavrelAgent"

// Event message ids of the agent process ("{%d} {...}").
#define DHCP_MSG_SERVICE_STARTED 62000
#define DHCP_MSG_SERVICE_STOPPED 62001
#define DHCP_MSG_NO_CONFIG_OPTION 62007
#define DHCP_MSG_ROUTER_UNREACHABLE 62008

// Set to 1 by tavrelAgentStop (from a signal handler or another thread);
// ends the main loop.
extern std::atomic<uint8_t> g_dhcpStopService;
// 1 when the customer LAN was DHCP-client addressed at the last start-up or
// IP change.
extern uint8_t g_bCustomerLANWasDynamic;
// 1 until the start-up checks are done.
extern uint8_t bTavrelJustStarted;
// The OpenWBEM logger shared with the provider agent; null until start-up
// has read the OpenWBEM configuration.
extern OpenWBEM::LoggerRef logger;

// Stop callback of the service framework: sets g_dhcpStopService and wakes
// dhcpCompSleepUnlessStopped. Safe in a signal handler.
void tavrelAgentStop(unsigned long);

// Prepares the wake-up of the main loop's wait by tavrelAgentStop. 0, or an
// errno value (the wait then always lasts its full time).
int dhcpCompInitStopWakeup(void);

// Waits the given number of seconds, or less when a stop is requested.
void dhcpCompSleepUnlessStopped(unsigned seconds);

// Creates or truncates /var/run/TavrelAgent.pid with "<pid>\n"; does nothing
// when the file cannot be written.
void dhcpCompCreatePIDFile(int pid);

// Creates the LAN semaphore, reads the VLAN list, initialises every record
// and pool, adds the broadcast host route on the customer LAN and reads
// whether the integrated router is fitted. Returns osIsCNICOnePresent's
// result.
int dhcpCompInit(void);

// Deletes the LAN semaphore, closes the system log and releases the
// published-IP notification when one is registered.
void dhcpCompCleanupBeforeExit(void);

// Releases the ranges, reservations and leases of the customer LAN (their
// provider objects deleted), the OAM LAN (slots freed) and each VLAN.
void dhcpCompCleanup(void);

// Refreshes the IP parameters of the customer LAN, the OAM LAN and each
// VLAN, and their networks.
void dhcpCompDiscoverInterfaces(void);

// Recomputes the networks and drops or adjusts the ranges that no longer
// fit them: customer LAN, OAM LAN, then each VLAN.
void dhcpCompVerifyAllRangesInSubnets(void);

#endif
