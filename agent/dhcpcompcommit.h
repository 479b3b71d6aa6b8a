// How a commit is checked and applied, and how the agent keeps its own dhcpd
// running. The commit itself (dhcpCompCommitConfigurationChanges) is
// declared with the process control in dhcpcompdaemon.h.
#ifndef TAVREL_AGENT_DHCPCOMPCOMMIT_H
#define TAVREL_AGENT_DHCPCOMPCOMMIT_H

#include <sys/types.h>

#include <string>

#include "dhcpcompdaemon.h"
#include "model/records.h"
#include "model/result.h"
#include "tavrel_agent_api.h"

// Where a new dhcpd.conf is checked before it replaces the live one, and
// where dhcpd's answer to the check goes.
#define DHCPD_CONF_CHECK_FILE "/pq/etc/dhcpd.conf.new"
#define DHCPD_CHECK_OUTPUT_FILE "/var/run/dhcpd.check.txt"

// Delays between restarts of a server that keeps ending: the first restart
// is immediate, the next ones wait 1 s, 2 s, 4 s ... up to the maximum. A
// server that ran for the stable time resets the delay.
#define DHCPD_RESTART_MAX_DELAY_S 60
#define DHCPD_RESTART_STABLE_S 60
// A server stopped (state T) for longer than this is replaced.
#define DHCPD_STOPPED_LIMIT_S 5

// Runs dhcpd with the given arguments (null-terminated, program name left
// out), its output in outputFile, and waits for the process started. The wait
// status, or -1 when dhcpd could not be run (logged).
int dhcpCompRunDhcpd(const char* const* args, const char* outputFile);
// What dhcpd printed into outputFile, on one line, without its banner and
// closing advice, cut to a length fit for the system log.
std::string dhcpCompDhcpdOutput(const char* outputFile);
// Process id of the running dhcpd named by its PID file, else 0.
pid_t dhcpCompRunningDhcpd();

// Checks text as dhcpd.conf with "dhcpd -t" without touching the live file.
// 0 when dhcpd accepts it; otherwise DHCP_RC_CONFIG_REFUSED and *said (may
// be null) holds what dhcpd printed (one line, banner left out).
int dhcpCompCheckDhcpdConfig(const std::string& text, std::string* said);

// Sets the text dhcpCompCommitFailureText (tavrel_agent_api.h) returns.
void dhcpCompSetCommitFailureText(const std::string& text);
// When the last commit ran (0: none since start-up) and its failure text
// (empty: it succeeded).
time_t dhcpCompLastCommit(std::string* failure);

// ---- Supervision of the agent's own dhcpd ----

// Tells the supervision what the process control just did: wanted is false
// after a stop (the server's end is no fault), true after a start, with the
// server's process id, or 0 when the start failed (then the supervision
// tries again later). Telling it of the server it already watches changes
// nothing. Called with the process-control lock held.
void dhcpCompSuperviseDhcpd(bool wanted, pid_t pid);

// Starts the supervision thread: from now on a server that ends on its own is
// reaped, logged with its status and started again with the live
// dhcpd.conf. Also reaps the other daemons the agent adopts. 0 or an errno
// value.
int dhcpCompStartDhcpdSupervision(void);
// Ends the supervision thread (before the agent stops dhcpd at shutdown).
void dhcpCompStopDhcpdSupervision(void);
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
// The agent stopped the customer LAN's dhclient itself: not restarted until
// the main loop asks for it again. Called with the process-control lock held.
void dhcpCompSuperviseDhclientStopped(void);
// Restarts done by the supervision since the program started.
unsigned dhcpCompDhcpdRestartCount(void);

#endif
