// Generic process control: what /proc tells of a process, process
// descriptors (pidfd), one way to run a program (an argument vector, no
// shell) and the stop of the processes a PID file names. Nothing here knows
// which daemon it serves; dhcpd.h says what to run.
#ifndef TAVREL_AGENT_PROCESS_H
#define TAVREL_AGENT_PROCESS_H

#include <stddef.h>
#include <sys/types.h>
#include <time.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tavrel_export.h"

// How long a stop waits for a process to end after SIGTERM before it sends
// SIGKILL, and after SIGKILL before it gives up (milliseconds).
#define DHCP_STOP_TERM_WAIT_MS 3000
#define DHCP_STOP_KILL_WAIT_MS 2000

TAVREL_EXTERN_C_BEGIN

// Makes the agent the reaper of the daemons it starts (they are re-parented
// to it when they detach), so a stop can wait until a server has really
// ended. Called once by the agent's main before any daemon is started.
// 0, or an errno value.
int dhcpCompInitProcessControl(void);

// Formats a shell command into a buffer of tempBuf's size and runs it with
// system(). A command that does not fit is not run: -1 and a system-log error. Otherwise
// the status of system().
int dhcpCompRunCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Stops the process recorded in pidFile and deletes the file. Only decimal
// process ids of the file are used, and only a process that is the file's
// program (the file name up to its first "." or "-": "dhcpd" for
// dhcpd.pid, "dhclient" for dhclient-eth1.pid) is signalled: SIGTERM, then
// SIGKILL when it has not ended in time. Returns once the process has ended
// (reaping it when it is the agent's child) or the wait gave up.
void dhcpCompKillProcess(char* pidFile);

TAVREL_EXTERN_C_END

// Serialises commits, stops and starts: they come from the main thread and
// from CIM request threads and share the records, tempBuf and the server.
std::recursive_mutex& dhcpCompProcessControlMutex();

// ---- Running a program ----

// Where a spawned program's standard output and error go: both into file
// (created or truncated) when it is set; else standard output into pipeFd
// (-1: inherited) and standard error to /dev/null.
struct ProcessOutput {
  const char* file = nullptr;
  int pipeFd = -1;
};

// Spawns argv (argv[0] the program's path, null-terminated) without a shell:
// no descriptor of the agent beyond the three standard ones is inherited, no
// signal is blocked and the termination signals have their default action.
// With newSession the program leads a session of its own. 0 with *pid set,
// else the error number (logged).
int processSpawn(const char* const argv[], const ProcessOutput& output, bool newSession, pid_t* pid);
// Waits for a child to end: its wait status, or -1.
int processWait(pid_t pid);

// Runs a program without a shell (processSpawn) and waits for it. Up to
// maxOutput bytes of its standard output go to *output (may be null). The
// wait status, or -1 when it could not be run.
int dhcpCompRunProgram(const char* const argv[], std::string* output, size_t maxOutput);

// ---- /proc ----

// What /proc/<pid>/stat tells: "<pid> (<comm>) <state> <ppid> <pgrp>
// <session> <tty> <tpgid> <flags> ..." and, as field 22, the start in
// clock ticks since boot.
struct ProcessStat {
  std::string comm;
  char state = 0;
  pid_t ppid = 0;
  unsigned flags = 0;
  unsigned long long startTicks = 0;
};
// Reads a stat file (/proc/<pid>/stat or /proc/<pid>/task/<tid>/stat);
// false when it cannot be read or parsed.
bool processReadStat(const std::string& path, ProcessStat* stat);
// The state letter of a process (R, S, T, Z ...), 0 when it cannot be read.
char dhcpCompProcessState(pid_t pid);
// When a process started (seconds since the epoch), 0 when it cannot be read.
time_t processStartTime(pid_t pid);
// Calls visit with every process id /proc lists.
void processForEach(const std::function<void(pid_t)>& visit);
// The arguments of a process (/proc/<pid>/cmdline); empty when unreadable.
std::vector<std::string> processCommandLine(pid_t pid);
// True when /proc shows that pid runs program: the base name of its
// executable ("<path> (deleted)" once the file was replaced), or, when that
// cannot be read (a zombie), its command name.
bool processIsProgram(pid_t pid, const std::string& program);
// True when pid is run by the agent's own user.
bool processIsOurs(pid_t pid);
// True when pid is in the agent's network namespace.
bool processInOurNetworkNamespace(pid_t pid);
// True once pid has ended: reaps it when it is the agent's child, or its
// pidfd has turned readable.
bool processEnded(pid_t pid, int pidfd);

// How a process ended: its wait status when the agent can reap it (through
// pidfd when that is not -1), else "status unknown".
std::string processDescribeEnd(pid_t pid, int pidfd);
// True once pid is gone, or was the agent's child and is reaped now.
bool processGone(pid_t pid);

// ---- Process descriptors ----

// A pidfd of pid, or -1 with errno set.
int pidfdOpen(pid_t pid);
bool pidfdSignal(int pidfd, int signal);
// True once the process of pidfd has ended.
bool pidfdEnded(int pidfd);

// Calls condition about every millisecond until it holds (true) or
// timeoutMs have passed (false).
bool processPollUntil(const std::function<bool()>& condition, int timeoutMs);

// ---- PID files ----

// The decimal process ids of a PID file (anything else in it is ignored);
// false when the file cannot be read.
bool processReadPidFile(const char* path, std::vector<pid_t>* pids);

// A process a stop has signalled: pidfd is -1 when nothing was signalled.
struct StoppingProcess {
  pid_t pid;
  int pidfd;
};

// True when the agent may signal pid: a process of program run by the
// agent's own user, and not the agent itself.
bool processMayStop(pid_t pid, const std::string& program);
// Signals the process of pidfd (taken by the caller, owned by the stop from
// now on) to end: SIGTERM with SIGCONT, so that a stopped one acts on it,
// then SIGKILL when it has not begun to exit in time. Returns once it has
// begun to exit, or at once when it is not program's process of the agent's
// user (then nothing is signalled).
StoppingProcess processBeginStop(pid_t pid, int pidfd, const std::string& program);
// Signals the processes of pidFile to end (processBeginStop) after deleting
// the file.
std::vector<StoppingProcess> processBeginStopOfPidFile(const char* pidFile, const std::string& program);
// Waits until each signalled process has ended, reaps it and closes its pidfd.
void processFinishStops(const std::vector<StoppingProcess>& stopping, const std::string& program);

#endif
