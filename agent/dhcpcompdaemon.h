// Control of the DHCP server and client processes, the commit of
// configuration changes, the generation of the server's dhcpd.conf and the
// agent's copy of the appliance's published address. The commit is called
// back by libTavrel, so these functions keep C linkage and are exported.
#ifndef TAVREL_AGENT_DHCPCOMPDAEMON_H
#define TAVREL_AGENT_DHCPCOMPDAEMON_H

#include <stddef.h>
#include <stdint.h>

#include <mutex>
#include <string>
#include <vector>

#include "dhcpcomp.h"
#include "tavrel_export.h"

#define DHCPD_PID_FILE "/var/run/dhcpd.pid"
#define DHCLIENT_PID_FILE "/var/run/dhclient-eth1.pid"
#define DHCPD_CONF_FILE "/pq/etc/dhcpd.conf"
// What dhcpd printed when it was last started (kept for diagnosis).
#define DHCPD_START_OUTPUT_FILE "/var/run/dhcpd.start.txt"

// How long a stop waits for a process to end after SIGTERM before it sends
// SIGKILL, and after SIGKILL before it gives up (milliseconds).
#define DHCP_STOP_TERM_WAIT_MS 3000
#define DHCP_STOP_KILL_WAIT_MS 2000
// How long a start waits for dhcpd's PID file to name the running server.
#define DHCPD_START_WAIT_MS 3000

TAVREL_EXTERN_C_BEGIN

// ---- Published address ----

TAVREL_EXPORT extern s_ipAddr publishedIpAddress;
TAVREL_EXPORT extern uint8_t publishedIpCallbackEnabled;
TAVREL_EXPORT extern uint32_t publishedIpListenerID;

// Reads the appliance's published address into publishedIpAddress; the first
// successful read also registers PublishedIpChangeNotificationHandler.
// Returns the registry status when the read fails (publishedIpAddress keeps
// its value), else the result of the address conversion (0 or 320; an
// invalid text leaves publishedIpAddress empty).
TAVREL_EXPORT int dhcpCompRefreshPublishedIPAddress(void);

// Registry callback: raises the IP-change flag file when the published
// address text changed. The first five arguments are not used.
TAVREL_EXPORT void PublishedIpChangeNotificationHandler(unsigned long, unsigned char, unsigned char,
                                                        unsigned long, void*, unsigned long oldLength,
                                                        void* oldValue, unsigned long newLength,
                                                        void* newValue);

// Hands the ranges of a LAN their gateway: the system's default gateway when
// it lies in the LAN, else the LAN's own address.
TAVREL_EXPORT void updateDefaultGatewayDynamic(s_dhcpCompConfig* config, s_ethIpConfig* ip);

// ---- Process control ----

// Makes the agent the reaper of the daemons it starts (they are re-parented
// to it when they detach), so a stop can wait until a server has really
// ended. Called once by the agent's main before any daemon is started.
// 0, or an errno value.
TAVREL_EXPORT int dhcpCompInitProcessControl(void);

// Formats a shell command into a buffer of tempBuf's size and runs it with
// system(). A command that does not fit is not run: -1 and a system-log error. Otherwise
// the status of system().
TAVREL_EXPORT int dhcpCompRunCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Stops the process recorded in pidFile and deletes the file. Only decimal
// process ids of the file are used, and only a process that is the file's
// program (the file name up to its first "." or "-": "dhcpd" for
// dhcpd.pid, "dhclient" for dhclient-eth1.pid) is signalled: SIGTERM, then
// SIGKILL when it has not ended in time. Returns once the process has ended
// (reaping it when it is the agent's child) or the wait gave up.
TAVREL_EXPORT void dhcpCompKillProcess(char* pidFile);
TAVREL_EXPORT void dhcpCompKillDhcpDaemon(void);
// Asks the dhcpd of the PID file to end (SIGTERM) without waiting and keeps
// the file, so that a later dhcpCompKillDhcpDaemon waits for the end while
// the caller does other work meanwhile. The server no longer counts as
// running (dhcpCompRunningDhcpd) nor is it supervised: the next commit starts
// a new one even when dhcpd.conf is unchanged.
TAVREL_EXPORT void dhcpCompRequestDhcpDaemonStop(void);
// Reaps the adopted daemons (dhcpd, dhclient) that ended on their own or were
// stopped by others (ifdown), so no zombie stays. Called from the main loop.
TAVREL_EXPORT void dhcpCompReapDaemons(void);
TAVREL_EXPORT void dhcpCompKillDhclient(void);

// Makes sure the lease file exists and starts dhcpd (without a shell, in
// the foreground of a session of its own: the agent knows the server by the
// pidfd it takes when spawning it). 0 once the server runs (its PID file
// names it); otherwise the wait status of its end, or -1 when dhcpd could
// not be run, did not come up in time or exited with 0; what dhcpd printed
// then goes to the system log.
TAVREL_EXPORT int dhcpCompStartDhcpDeamon(void);
// Stops the agent's servers (the dhcpd of the PID file, the one it knows,
// and any other dhcpd of its user and network namespace serving the live
// configuration) and starts dhcpd again, as
// dhcpCompKillDhcpDaemon followed by dhcpCompStartDhcpDeamon, but starts the
// new server as soon as the old one has begun to exit rather than once the
// kernel has released it, which shortens the time without a server. The
// result of the start.
TAVREL_EXPORT int dhcpCompRestartDhcpDaemon(void);
// Starts the customer LAN's DHCP client on eth1 with the PID file that
// dhcpCompKillDhclient reads, after stopping the client that file names; the
// client goes to the background at once. The status of system().
TAVREL_EXPORT int dhcpCompStartDhclient(void);

// An empty call-server address of the customer LAN stands for the published
// address: copies it into s1Address and s2Address where their empty-flags
// are set and the customer LAN has an address.
TAVREL_EXPORT void dhcpCompFillEmptyCallServers(void);

// Between these two calls (they nest) dhcpCompCommitConfigurationChanges
// does nothing and returns 0: for a rebuild that tears records down and
// commits once at its end. Prefer CommitDeferral.
TAVREL_EXPORT void dhcpCompDeferCommits(void);
TAVREL_EXPORT void dhcpCompResumeCommits(void);

// Applies the current records: first brings them to the state it stores
// (published address, dynamic gateways and call servers refreshed, the
// customer LAN's common settings copied to the VLANs, every range given its
// LAN's gateway), then generates the component configuration file and
// dhcpd.conf from that one state, has dhcpd check dhcpd.conf while the old
// server runs, writes the component file, and restarts dhcpd with the new
// file when it differs from the live one (or no server runs). Changes go
// through DhcpCompChange (dhcpcompchange.h), which rolls the records back
// when this fails. Commits are serialised. 0 when applied; DHCP_RC_CONFIG_REFUSED,
// DHCP_RC_SERVER_START_FAILED or DHCP_RC_CONFIG_WRITE_FAILED (dhcpcompcommit.h)
// otherwise, with the reason in dhcpCompCommitFailureText.
TAVREL_EXPORT int dhcpCompCommitConfigurationChanges(void);

// ---- dhcpd.conf ----

// Writes /pq/etc/dhcpd.conf from the records, replacing it atomically. May
// set the customer LAN's s2 call server to s1 when s2 is unset. 1 when
// written; 0 when it could not be (the old file stays; system-log error).
TAVREL_EXPORT int dhcpCompCreateDhcpdConfigFile(void);

// Room the subnet declaration of one LAN needs at *out, extra not counted.
#define DHCPD_SUBNET_SECTION_MAX_SIZE                                                                      \
  (512 + DHCP_MAX_ADDR_RANGES * (2 * DHCP_IP_STRING_SIZE + 16) + 256 +                                     \
   DHCP_MAX_RESERVED_ADDRS * (2 * DHCP_CLIENT_NAME_SIZE + DHCP_MAC_ADDR_SIZE + DHCP_IP_STRING_SIZE + 80) + \
   1024)

// Appends the subnet declaration of one LAN at *out, which must have room
// for DHCPD_SUBNET_SECTION_MAX_SIZE bytes plus the length of extra; extra
// (may be null) goes just before the closing brace. Advances *out and
// returns the new end. A LAN without a valid address and mask gets nothing.
TAVREL_EXPORT char* dhcpCompFormatSubnetSectionForDhcpdConfFile(char** out, char* extra, s_ethIpConfig* eth,
                                                                s_dhcpCompConfig* cfg);

TAVREL_EXTERN_C_END

// Runs a program without a shell (argv[0] its path; no descriptors of the
// agent inherited, standard error discarded) and waits for it. Up to
// maxOutput bytes of its standard output go to *output (may be null). The
// wait status, or -1 when it could not be run.
int dhcpCompRunProgram(const char* const argv[], std::string* output, size_t maxOutput);

// True when dhcpd's arguments (argv[0] first, as /proc/<pid>/cmdline gives
// them) are those of the server the agent runs: the live configuration file,
// lease file and PID file (dhcpd's default one when none is given), no
// interface list (the server serves every LAN of the file) and no option
// but -f and -q. A dhcpd started otherwise is replaced, not adopted.
bool dhcpCompDhcpdServesLiveConfiguration(const std::vector<std::string>& args);

// The state letter of a process (/proc/<pid>/stat: R, S, T, Z ...), 0 when
// it cannot be read.
char dhcpCompProcessState(pid_t pid);
// True when the customer LAN's dhclient (a dhclient of the agent's user and
// network namespace with its PID file) runs.
bool dhcpCompDhclientRunning(void);

// Serialises commits, stops and starts: they come from the main thread and
// from CIM request threads and share the records, tempBuf and the server.
std::recursive_mutex& dhcpCompProcessControlMutex();

// Defers commits for the life of the object (see dhcpCompDeferCommits).
class CommitDeferral {
 public:
  CommitDeferral() { dhcpCompDeferCommits(); }
  ~CommitDeferral() { dhcpCompResumeCommits(); }
  CommitDeferral(const CommitDeferral&) = delete;
  CommitDeferral& operator=(const CommitDeferral&) = delete;
};

// The text of dhcpd.conf for the current records (what
// dhcpCompCreateDhcpdConfigFile writes).
TAVREL_EXPORT std::string dhcpCompFormatDhcpdConfig(void);
// While the customer LAN serves its call servers, an unset second one takes
// the first one's settings (the record keeps them, flagged as derived).
TAVREL_EXPORT void dhcpCompFillSecondCallServer(s_dhcpCompConfig* lan);

#endif
