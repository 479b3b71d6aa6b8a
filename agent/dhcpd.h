// dhcpd and the customer LAN's dhclient: start, stop, restart, and the
// supervision that keeps the agent's own dhcpd (and a DHCP-addressed
// customer LAN's dhclient) running.
#ifndef TAVREL_AGENT_DHCPD_H
#define TAVREL_AGENT_DHCPD_H

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tavrel_export.h"

#define DHCPD_PID_FILE "/var/run/dhcpd.pid"
#define DHCLIENT_PID_FILE "/var/run/dhclient-eth1.pid"
// What dhcpd printed when it was last started (kept for diagnosis).
#define DHCPD_START_OUTPUT_FILE "/var/run/dhcpd.start.txt"
// How long a start waits for dhcpd's PID file to name the running server.
#define DHCPD_START_WAIT_MS 3000

// Delays between restarts of a server that keeps ending: the first restart
// is immediate, the next ones wait 1 s, 2 s, 4 s ... up to the maximum. A
// server that ran for the stable time resets the delay.
#define DHCPD_RESTART_MAX_DELAY_S 60
#define DHCPD_RESTART_STABLE_S 60
// A server stopped (state T) for longer than this is replaced.
#define DHCPD_STOPPED_LIMIT_S 5

TAVREL_EXTERN_C_BEGIN

void dhcpCompKillDhcpDaemon(void);
// Asks the dhcpd of the PID file to end (SIGTERM) without waiting and keeps
// the file, so that a later dhcpCompKillDhcpDaemon waits for the end while
// the caller does other work meanwhile. The server no longer counts as
// running (dhcpCompRunningDhcpd) nor is it supervised: the next commit starts
// a new one even when dhcpd.conf is unchanged.
void dhcpCompRequestDhcpDaemonStop(void);
// Reaps the adopted daemons (dhcpd, dhclient) that ended on their own or were
// stopped by others (ifdown), so no zombie stays. Called from the main loop.
void dhcpCompReapDaemons(void);
void dhcpCompKillDhclient(void);

// Makes sure the lease file exists and starts dhcpd (without a shell, in
// the foreground of a session of its own: the agent knows the server by the
// pidfd it takes when spawning it). 0 once the server runs (its PID file
// names it); otherwise the wait status of its end, or -1 when dhcpd could
// not be run, did not come up in time or exited with 0; what dhcpd printed
// then goes to the system log.
int dhcpCompStartDhcpDeamon(void);
// Stops the agent's servers (the dhcpd of the PID file, the one it knows,
// and any other dhcpd of its user and network namespace serving the live
// configuration) and starts dhcpd again, as
// dhcpCompKillDhcpDaemon followed by dhcpCompStartDhcpDeamon, but starts the
// new server as soon as the old one has begun to exit rather than once the
// kernel has released it, which shortens the time without a server. The
// result of the start.
int dhcpCompRestartDhcpDaemon(void);
// Starts the customer LAN's DHCP client on eth1 with the PID file that
// dhcpCompKillDhclient reads, after stopping the client that file names; the
// client goes to the background at once. The status of system().
int dhcpCompStartDhclient(void);

TAVREL_EXTERN_C_END

// Starts the supervision on a worker thread: from now on a server that ends
// on its own is reaped, logged with its status and started again with the
// live dhcpd.conf. Also reaps the other daemons the agent adopts. 0 or an
// errno value.
int dhcpCompStartDhcpdSupervision(void);
// Ends the supervision (before the agent stops dhcpd at shutdown).
void dhcpCompStopDhcpdSupervision(void);
// Restarts done by the supervision since the program started.
unsigned dhcpCompDhcpdRestartCount(void);

// Runs dhcpd with the given arguments (null-terminated, program name left
// out), its output in outputFile, and waits for the process started. The wait
// status, or -1 when dhcpd could not be run (logged).
int dhcpCompRunDhcpd(const char* const* args, const char* outputFile);
// What dhcpd printed into outputFile, on one line, without its banner and
// closing advice, cut to a length fit for the system log.
std::string dhcpCompDhcpdOutput(const char* outputFile);
// Process id of the running dhcpd: the one the agent knows, else one named by
// its PID file that serves the live configuration (adopted then); else 0.
pid_t dhcpCompRunningDhcpd();

// True when dhcpd's arguments (argv[0] first, as /proc/<pid>/cmdline gives
// them) are those of the server the agent runs: the live configuration file,
// lease file and PID file (dhcpd's default one when none is given), no
// interface list (the server serves every LAN of the file) and no option
// but -f and -q. A dhcpd started otherwise is replaced, not adopted.
bool dhcpCompDhcpdServesLiveConfiguration(const std::vector<std::string>& args);
// True when the customer LAN's dhclient (a dhclient of the agent's user and
// network namespace with its PID file) runs.
bool dhcpCompDhclientRunning(void);

// ---- What the supervision is told ----
// By the process control, with its lock held. Telling it of the server it
// already watches changes nothing.

// A server with this process id runs (started, or found running).
void dhcpdStarted(pid_t pid);
// A start failed: the supervision tries again later.
void dhcpdStartFailed(void);
// The agent stopped the server: its end is no fault.
void dhcpdStoppedByAgent(void);
// The agent stopped the customer LAN's dhclient itself: not restarted until
// the main loop asks for it again.
void dhcpCompSuperviseDhclientStopped(void);

// What the supervision checks beyond the server's end (called by the main
// loop with the records at hand): probeAddress is the customer LAN's address
// when its server is to answer a telephone's DHCPDISCOVER there (its DHCP
// service on, with a free address in its ranges), else 0; clientWanted says
// the customer LAN is DHCP-addressed, so its dhclient is restarted when it
// ends.
void dhcpCompSuperviseLiveness(uint32_t probeAddress, bool clientWanted);
// dhcpCompSuperviseLiveness with the values of the records (take the
// agent's lock).
void dhcpCompSuperviseFromRecords(void);

#endif
