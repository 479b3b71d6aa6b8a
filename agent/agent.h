// The TavrelAgent process: its process-wide flags, the record start-up and
// release, the PID file, the stop callback and the main loop's wait, and the
// interface discovery and range check sequences that start-up and the
// IP-change rebuild share.
#ifndef TAVREL_AGENT_AGENT_H
#define TAVREL_AGENT_AGENT_H

#include <stdint.h>

#include <atomic>
#include <functional>

#include "openwbem/Logger.h"

#define TAVREL_AGENT_NAME "TavrelAgent"
#define TAVREL_AGENT_PID_FILE "/var/run/TavrelAgent.pid"
#define TAVREL_IP_CHANGE_FLAG_FILE "/pq/etc/ipchnged.tmp"
// The agent's working directory, root's alone (0700): the command output
// files ("temp.txt") of the agent and its libraries are written here.
#define TAVREL_AGENT_WORK_DIR "/var/run/TavrelAgent"

// Main-loop rhythm: pass length and passes between two checks of the
// integrated router's DHCP server. The agent's configuration file may
// shorten them (see tavrel-agent.conf).
#define DHCP_LOOP_PASS_MS 5000
#define DHCP_ROUTER_CHECK_PASSES 10

// Set to 1 by tavrelAgentStop (from a signal handler or another thread);
// ends the main loop.
extern std::atomic<uint8_t> g_dhcpStopService;
// Set to 1 by dhcpCompRequestReload (SIGHUP); the main loop clears it and
// reads the configuration files again.
extern std::atomic<uint8_t> g_dhcpReloadRequested;
// 1 when the customer LAN was DHCP-client addressed at the last start-up or
// IP change.
extern uint8_t g_bCustomerLANWasDynamic;
// 1 until the start-up checks are done.
extern uint8_t bTavrelJustStarted;
// The OpenWBEM logger shared with the provider agent; null until start-up
// has read the OpenWBEM configuration.
extern OpenWBEM::LoggerRef logger;

// Stop callback of the service framework: sets g_dhcpStopService and wakes
// dhcpCompWaitForFlagOrStop. Safe in a signal handler.
void tavrelAgentStop(unsigned long);

// Asks the main loop to read the configuration files again: sets
// g_dhcpReloadRequested and wakes dhcpCompWaitForFlagOrStop. Safe in a
// signal handler.
void dhcpCompRequestReload(void);

// Prepares the wake-up of the main loop's wait by tavrelAgentStop. 0, or an
// errno value (the wait then always lasts its full time).
int dhcpCompInitStopWakeup(void);

// Watches the directory of the IP-change flag file. 0, or an errno value
// (the wait then notices the flag file only when it ends).
int dhcpCompInitFlagWatch(void);

// Waits the given time, or less when a stop or a reload is requested or the
// IP-change flag file is created; true when it saw the flag file's event.
bool dhcpCompWaitForFlagOrStop(unsigned milliseconds);

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

// Runs a function under the agent's lock.
typedef std::function<void(const std::function<void()>&)> DhcpCompLocked;

#endif
