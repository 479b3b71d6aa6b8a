// The TavrelAgent process: its process-wide flags, the record start-up and
// release, the PID file, the stop callback and the main loop's wait, the
// interface discovery and range check sequences that start-up and the
// IP-change rebuild share, the DHCP-client customer LAN, the supervision of
// the integrated router's DHCP server and the IP-change rebuild itself.
#ifndef TAVREL_AGENT_DHCPCOMPAGENT_H
#define TAVREL_AGENT_DHCPCOMPAGENT_H

#include <stdint.h>

#include <atomic>
#include <functional>

#include "openwbem/Logger.h"
#include "tavrel_export.h"
#include "vornapi.h"

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
#define DHCP_MSG_DEFAULT_ADDRESS 62009

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

TAVREL_EXTERN_C_BEGIN

// ---- Customer LAN as a DHCP client ----

// Brings the DHCP-client customer LAN up (restarting interface and client
// unless startedFromPowerUp is set), decides from the lease whether a
// server answered (else the default address 192.168.2.2/23 via 192.168.2.1,
// message 62009), merges the lease's settings where the configuration leaves
// them empty, updates the hosts file and the published address, restarts the
// telephony services when the published address moved and, after start-up,
// announces an address change to the event service.
TAVREL_EXPORT void dhcpCompCheckCustLANDynamicIPStatus(void);
// Takes the call servers, VLAN list and range from the integrated router's
// vendor texts. A range the range operations refuse is logged; the customer
// LAN then has none.
TAVREL_EXPORT void dhcpCompProcessVendorInfoForCustomerLAN(void);

// ---- Router supervision and renewal ----

// 1 when the DHCP server of the current lease answers one of up to ten
// pings a second apart; 0 when it does not, or the customer LAN has no
// address or the server is unknown.
TAVREL_EXPORT int dhcpcompCheckDhcpServerPingable(void);
// One ping of the lease's DHCP server (no shell; output read through a
// pipe): 1 when answered, else 0.
TAVREL_EXPORT int dhcpcompPingDhcpServer(void);
// Renews the customer LAN's DHCP client address when the LAN is a DHCP
// client (see dhcpCompCheckCustLANDynamicIPStatus); nothing for a static
// LAN. Returns 0 once done. Called by the main loop and by libTavrel (under
// the lock the provider agent shares with the main loop).
TAVREL_EXPORT int dhcpcompRenewDynamicIPAddress(void);

// ---- IP changes ----

// Rebuilds the whole configuration around the current addresses: dhcpd
// stopped, records saved, written, re-initialised, interfaces rediscovered,
// configuration read back (the saved configuration when the file cannot be
// read: message 62004), the DHCP client started or stopped with the
// addressing mode, ranges checked, committed.
TAVREL_EXPORT void dhcpCompIPConfigurationChanged(void);

// As dhcpCompIPConfigurationChanged, but reads the component configuration
// file as it stands instead of writing the records first: the reload after
// an administrator's edit (the running configuration stays when the file
// cannot be read).
void dhcpCompReloadConfiguration(void);
// Answers of the event service: logs the packet type and an IP-change
// request code through the OpenWBEM logger. Returns 0.
TAVREL_EXPORT int EmsIPChangePacketHandler(sEmsPacket* packet);

TAVREL_EXTERN_C_END

// Runs a function under the agent's lock.
typedef std::function<void(const std::function<void()>&)> DhcpCompLocked;

// One main-loop pass of the router supervision: counts passes while the
// integrated router is fitted and the DHCP-client customer LAN has the
// router's vendor text; every passesBetweenChecks-th pass checks the server
// and, when it does not answer, logs 62008 and renews the address. Only the
// reading of the records and the renewal run under locked; the pings and
// the pauses between them run without the lock.
void dhcpCompSuperviseRouterPass(int* passCounter, int passesBetweenChecks, const DhcpCompLocked& locked);

#endif
