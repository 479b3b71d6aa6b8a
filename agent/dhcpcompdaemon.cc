// Control of dhcpd and of the customer LAN's dhclient.
//
// dhcpd runs in the foreground of a session of its own, so the agent knows
// its server by the pidfd it takes when spawning it. A server found through
// the PID file (an earlier agent's) is adopted only when its arguments are
// those of the live configuration; any other is replaced.
//
// A stop signals only a process that /proc shows to be the PID file's program
// run by the agent's own user (a file left by a power cut may name an
// unrelated process by now, another user may run a program of that name),
// through a pidfd taken before the check, so that a process id recycled in
// between is never signalled; it then waits until the process has ended:
// dhcpd refuses to start while its predecessor still exists, and a daemon
// killed by the agent stays a zombie until the agent, its subreaper, reaps
// it.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "dhcpcompcommit.h"
#include "dhcpcompdaemon.h"
#include "model/leases.h"
#include "model/records.h"
#include "model/util.h"

namespace {

// dhcpd is started without a shell. Without -q its messages, a failure's
// reason among them, go to a file that the agent logs when the start fails.
const char kDhcpdProgramPath[] = "/opt/sbin/dhcpd";
// dhcpd's banner ends with this line; its closing advice starts with the
// second. Neither says why a start failed.
const char kDhcpdBannerEnd[] = "For info, please visit";
const char kDhcpdAdviceStart[] = "If you think you have received";
// With the PID file and interface that dhcpCompKillDhclient and the
// interface scripts use for the customer LAN's client.
// -nw: it goes to the background at once, so a start never waits for a lease.
const char kDhclientStartCommand[] = "/opt/sbin/dhclient -cf %s -lf %s -sf %s -q -nw -pf %s %s";
const char kDhclientConfFile[] = "/etc/dhclient-eth1.conf";
const char kDhclientLeaseFile[] = "/var/lib/dhcp/dhclient-eth1.leases";
const char kDhclientScript[] = "/opt/sbin/dhclient-script";
const char kLeaseFileTouchCommand[] = "cd /pq/etc; /usr/bin/touch dhcpd.leases";
const char kDhcpdProgram[] = "dhcpd";
const char kDhclientProgram[] = "dhclient";

const int kPollIntervalMs = 1;
const mode_t kOutputFileMode = 0644;
// Longest kernel command name (comm) of a process, TASK_COMM_LEN - 1.
const size_t kCommMaxLength = 15;
// Enough of a /proc/<pid>/stat line for pid, command name, state and parent.
const size_t kProcStatLineSize = 128;
// Most of dhcpd's start output that goes to the system log.
const size_t kStartOutputLogMax = 1000;

void sleepMs(int ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

// The program a PID file belongs to: its name up to the first "." or "-".
std::string programOfPidFile(const char* pidFile) {
  const char* base = strrchr(pidFile, '/');
  base = base != nullptr ? base + 1 : pidFile;
  return std::string(base, strcspn(base, ".-"));
}

// Decimal process ids of a PID file's text; anything else is ignored.
std::vector<pid_t> pidsOfText(const char* text) {
  std::vector<pid_t> pids;
  const char* p = text;
  while (*p != '\0') {
    size_t blanks = strspn(p, " \t\n");
    p += blanks;
    size_t length = strcspn(p, " \t\n");
    if (length == 0) break;
    if (strspn(p, "0123456789") == length) {
      errno = 0;
      char* end = nullptr;
      unsigned long value = strtoul(p, &end, 10);
      if (errno == 0 && end == p + length && value > 0 && value <= INT_MAX)
        pids.push_back(static_cast<pid_t>(value));
    }
    p += length;
  }
  return pids;
}

// True when /proc shows that pid runs program: the base name of its
// executable, or, when that cannot be read (a zombie), its command name.
// A program whose file was replaced since it started (a package upgrade
// renames the new file over the old) is still that program: its executable
// then reads "<path> (deleted)".
bool processIsProgram(pid_t pid, const std::string& program) {
  std::string proc = "/proc/" + std::to_string(pid);
  char exe[PATH_MAX];
  ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof(exe) - 1);
  if (length > 0) {
    std::string path(exe, static_cast<size_t>(length));
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
    return program == path.substr(path.rfind('/') + 1);
  }
  FILE* f = fopen((proc + "/comm").c_str(), "r");
  if (f == nullptr) return false;
  char comm[kCommMaxLength + 2] = "";
  bool read = fgets(comm, sizeof(comm), f) != nullptr;
  fclose(f);
  if (!read) return false;
  comm[strcspn(comm, "\n")] = '\0';
  return program.compare(0, kCommMaxLength, comm) == 0;
}

// The process descriptor calls, by system call number (glibc's header does
// not declare them for C++).
int pidfdOpen(pid_t pid) {
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool pidfdSignal(int pidfd, int signal) {
  return syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0;
}

// True when pid is run by the agent's own user (/proc/<pid> belongs to the
// process's effective user).
bool processIsOurs(pid_t pid) {
  struct stat st;
  return stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0 && st.st_uid == geteuid();
}

// True when the agent may signal pid: a process of program run by the agent's
// own user, and not the agent itself.
bool mayStop(pid_t pid, const std::string& program) {
  return pid != getpid() && processIsProgram(pid, program) && processIsOurs(pid);
}

// Reaps pid when it is the agent's child; true once it has ended (pidfd,
// the process's descriptor, turns readable when it exits).
bool processEnded(pid_t pid, int pidfd) {
  pid_t reaped = waitpid(pid, nullptr, WNOHANG);
  if (reaped == pid) return true;
  struct pollfd p = {pidfd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

// Polls condition until it holds or timeoutMs have passed.
template <typename Condition>
bool pollUntil(Condition condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    sleepMs(kPollIntervalMs);
  }
}

bool waitForEnd(pid_t pid, int pidfd, int timeoutMs) {
  bool ended = pollUntil([pid, pidfd] { return processEnded(pid, pidfd); }, timeoutMs);
  // An ended child of the agent is reaped as soon as it can be.
  if (ended) waitpid(pid, nullptr, WNOHANG);
  return ended;
}

// True once no thread of pid runs its own code any more: each has begun to
// exit (PF_EXITING in the flags of /proc/<pid>/task/<tid>/stat), or the
// process is gone. The kernel may still be closing its sockets then, which
// takes tens of milliseconds for dhcpd's packet sockets, but the process
// answers nothing more.
// The line of a /proc stat file, "<pid> (<comm>) <state> <ppid> <pgrp>
// <session> <tty> <tpgid> <flags> ..." (comm may hold blanks and ")"); /proc
// files have no size, so it is read by line. False when it cannot be read.
bool readProcStat(const std::string& path, char (&stat)[kProcStatLineSize]) {
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  bool read = fgets(stat, sizeof(stat), f) != nullptr;
  fclose(f);
  return read;
}

bool processExiting(pid_t pid) {
  const unsigned kPfExiting = 0x4;
  std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return true;
  bool exiting = true;
  while (struct dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    char stat[kProcStatLineSize] = "";
    if (!readProcStat(tasks + "/" + entry->d_name + "/stat", stat)) continue;
    const char* close = strrchr(stat, ')');
    unsigned flags = 0;
    if (close != nullptr && sscanf(close + 1, " %*c %*d %*d %*d %*d %*d %u", &flags) == 1 &&
        (flags & kPfExiting) == 0) {
      exiting = false;
      break;
    }
  }
  closedir(dir);
  return exiting;
}

// Signals the process of pidfd to end (SIGTERM, with SIGCONT so that a
// stopped one acts on it; SIGKILL when it has not begun to exit in time) and
// returns pidfd once it has begun to exit, or -1 (pidfd closed, nothing
// signalled) when it is not the program's process of the agent's user.
int beginStopOf(pid_t pid, int pidfd, const std::string& program) {
  if (pidfd < 0) return -1;
  if (!mayStop(pid, program) || !pidfdSignal(pidfd, SIGTERM)) {
    close(pidfd);
    return -1;
  }
  pidfdSignal(pidfd, SIGCONT);
  auto gone = [pid, pidfd] { return processEnded(pid, pidfd) || processExiting(pid); };
  if (!pollUntil(gone, DHCP_STOP_TERM_WAIT_MS)) {
    syslog(LOG_WARNING, "%s (process %d) did not end on SIGTERM; sending SIGKILL.", program.c_str(),
           static_cast<int>(pid));
    pidfdSignal(pidfd, SIGKILL);
    pollUntil(gone, DHCP_STOP_KILL_WAIT_MS);
  }
  return pidfd;
}

int beginStop(pid_t pid, const std::string& program) {
  return beginStopOf(pid, pidfdOpen(pid), program);
}

// Waits until a process beginStop signalled has ended, reaps it and closes
// its pidfd.
void finishStop(pid_t pid, int pidfd, const std::string& program) {
  if (pidfd < 0) return;
  if (!waitForEnd(pid, pidfd, DHCP_STOP_KILL_WAIT_MS))
    syslog(LOG_ERR, "%s (process %d) did not end.", program.c_str(), static_cast<int>(pid));
  close(pidfd);
}

// Signals the processes of pidFile to end after deleting the file; the
// processes with their pidfds once each has begun to exit.
std::vector<std::pair<pid_t, int>> beginStopOfPidFile(const char* pidFile, const std::string& program) {
  std::vector<std::pair<pid_t, int>> stopping;
  char* text = dhcpUtilReadTextFile(pidFile);
  if (text == nullptr) return stopping;
  std::vector<pid_t> pids = pidsOfText(text);
  free(text);
  unlink(pidFile);
  for (pid_t pid : pids) stopping.emplace_back(pid, beginStop(pid, program));
  return stopping;
}

void finishStops(const std::vector<std::pair<pid_t, int>>& stopping, const std::string& program) {
  for (const auto& [pid, pidfd] : stopping) finishStop(pid, pidfd, program);
}

// Zombies among the agent's children that run a daemon it adopts (dhcpd,
// dhclient: they detach and are re-parented to the agent). Other children
// are left to the code that waits for them, system() among it.
std::vector<pid_t> adoptedDaemonZombies() {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  pid_t self = getpid();
  while (struct dirent* entry = readdir(proc)) {
    size_t digits = strspn(entry->d_name, "0123456789");
    if (digits == 0 || entry->d_name[digits] != '\0') continue;
    char stat[kProcStatLineSize] = "";
    if (!readProcStat("/proc/" + std::string(entry->d_name) + "/stat", stat)) continue;
    const char* open = strchr(stat, '(');
    const char* close = strrchr(stat, ')');
    char state = 0;
    int ppid = 0;
    if (open != nullptr && close != nullptr && close > open &&
        sscanf(close + 1, " %c %d", &state, &ppid) == 2 && state == 'Z' && ppid == self) {
      std::string comm(open + 1, static_cast<size_t>(close - open - 1));
      if (comm == kDhcpdProgram || comm == kDhclientProgram)
        pids.push_back(static_cast<pid_t>(atoi(entry->d_name)));
    }
  }
  closedir(proc);
  return pids;
}

// The server dhcpCompRequestDhcpDaemonStop asked to end: it no longer counts
// as running while it ends, so the next commit starts a new one even when
// dhcpd.conf is unchanged. Guarded by the process control mutex.
pid_t g_stopRequested = 0;

// The server the agent started (or adopted from an earlier agent), held by
// its pidfd: a process id recycled after its end is never taken for it, and
// it is stopped even when its PID file has gone. Guarded by the process
// control mutex.
struct KnownServer {
  pid_t pid = 0;
  int pidfd = -1;
};
KnownServer g_server;

void forgetServer() {
  if (g_server.pidfd >= 0) close(g_server.pidfd);
  g_server = KnownServer();
}

bool pidfdReadable(int pidfd) {
  struct pollfd p = {pidfd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

// The arguments of a process (/proc/<pid>/cmdline); empty when unreadable.
std::vector<std::string> commandLineOf(pid_t pid) {
  const size_t kCommandLineMax = 4096;
  std::vector<std::string> args;
  int fd = open(("/proc/" + std::to_string(pid) + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return args;
  std::string text(kCommandLineMax, '\0');
  ssize_t length = read(fd, &text[0], text.size());
  close(fd);
  if (length <= 0) return args;
  text.resize(static_cast<size_t>(length));
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\0', at);
    if (end == std::string::npos) end = text.size();
    args.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return args;
}

// True when pid is in the agent's network namespace (a server of another
// namespace serves other LANs).
bool sameNetworkNamespace(pid_t pid) {
  struct stat own, their;
  return stat("/proc/self/ns/net", &own) == 0 &&
         stat(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), &their) == 0 &&
         own.st_ino == their.st_ino && own.st_dev == their.st_dev;
}

// A dhcpd of the agent's user in its namespace that serves the live
// configuration (dhcpCompDhcpdServesLiveConfiguration).
bool isAgentsDhcpd(pid_t pid) {
  return pid != getpid() && processIsProgram(pid, kDhcpdProgram) && processIsOurs(pid) &&
         sameNetworkNamespace(pid) && dhcpCompDhcpdServesLiveConfiguration(commandLineOf(pid));
}

// Process id of the running server: the one the agent knows, else a server
// named by the PID file that serves the live configuration, which is adopted.
// 0 when there is none; a dhcpd of another configuration does not count (the
// next start replaces it).
pid_t runningDhcpd() {
  if (g_server.pidfd >= 0) {
    if (!pidfdReadable(g_server.pidfd)) return g_server.pid != g_stopRequested ? g_server.pid : 0;
    forgetServer();
  }
  char* text = dhcpUtilReadTextFile(DHCPD_PID_FILE);
  if (text == nullptr) return 0;
  std::vector<pid_t> pids = pidsOfText(text);
  free(text);
  for (pid_t pid : pids) {
    if (pid == g_stopRequested || !isAgentsDhcpd(pid)) continue;
    int pidfd = pidfdOpen(pid);
    if (pidfd < 0) continue;
    g_server.pid = pid;
    g_server.pidfd = pidfd;
    return pid;
  }
  return 0;
}

// Other dhcpds that serve the live configuration (one whose PID file was
// lost): after a start exactly one serves.
std::vector<pid_t> strayServers() {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  while (struct dirent* entry = readdir(proc)) {
    size_t digits = strspn(entry->d_name, "0123456789");
    if (digits == 0 || entry->d_name[digits] != '\0') continue;
    pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
    if (pid != g_server.pid && isAgentsDhcpd(pid)) pids.push_back(pid);
  }
  closedir(proc);
  return pids;
}

// Signals every server of the agent to end: those of the PID file (after
// deleting it), the known one and strays; each with its pidfd once it has
// begun to exit.
std::vector<std::pair<pid_t, int>> beginStopOfServers() {
  std::vector<std::pair<pid_t, int>> stopping = beginStopOfPidFile(DHCPD_PID_FILE, kDhcpdProgram);
  auto listed = [&stopping](pid_t pid) {
    for (const auto& entry : stopping) {
      if (entry.first == pid && entry.second >= 0) return true;
    }
    return false;
  };
  if (g_server.pidfd >= 0 && !listed(g_server.pid))
    stopping.emplace_back(g_server.pid, beginStopOf(g_server.pid, dup(g_server.pidfd), kDhcpdProgram));
  for (pid_t pid : strayServers()) {
    if (!listed(pid)) stopping.emplace_back(pid, beginStop(pid, kDhcpdProgram));
  }
  forgetServer();
  g_stopRequested = 0;
  return stopping;
}

// Logs why dhcpd did not come up, with what it printed.
// status is the start's wait status, or 0 when it exited with 0 but no
// server runs.
void logStartFailure(int status) {
  std::string said = dhcpCompDhcpdOutput(DHCPD_START_OUTPUT_FILE);
  std::string how;
  if (status == 0)
    how = "no server running";
  else if (WIFEXITED(status))
    how = "exit status " + std::to_string(WEXITSTATUS(status));
  else if (WIFSIGNALED(status))
    how = "signal " + std::to_string(WTERMSIG(status));
  else
    how = "status " + std::to_string(status);
  syslog(LOG_ERR, "DHCP server did not start (%s): %s", how.c_str(), said.c_str());
}

// Spawns dhcpd (argv[0] its path) without a shell, its standard output and
// error in outputFile; with newSession in a session of its own. 0 with *pid
// set, else the error number.
int spawnDhcpd(const std::vector<const char*>& argv, const char* outputFile, bool newSession, pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile, O_WRONLY | O_CREAT | O_TRUNC,
                                   kOutputFileMode);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // The daemon outlives this start: it must hold none of the agent's files
  // or sockets (the provider agent's listening port above all).
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                           (newSession ? POSIX_SPAWN_SETSID : 0)));
  int rc = posix_spawn(pid, argv[0], &actions, &attributes, const_cast<char* const*>(argv.data()), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) syslog(LOG_ERR, "Cannot run %s: %s", argv[0], strerror(rc));
  return rc;
}

// True when the PID file names pid.
bool pidFileNames(pid_t pid) {
  char* text = dhcpUtilReadTextFile(DHCPD_PID_FILE);
  if (text == nullptr) return false;
  std::vector<pid_t> pids = pidsOfText(text);
  free(text);
  return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

// Starts the server in the foreground (-f), so that the process spawned is
// the server itself and its pidfd names it, and waits until it serves (its
// PID file names it) or ends. 0 with g_server set; else the wait status of
// its end, or -1 when dhcpd could not be run or did not come up in time.
int startDhcpd() {
  const std::vector<const char*> argv = {kDhcpdProgramPath, "-f",  "-cf",          DHCPD_CONF_FILE, "-lf",
                                         DHCPD_LEASE_FILE,  "-pf", DHCPD_PID_FILE, nullptr};
  pid_t pid = 0;
  if (spawnDhcpd(argv, DHCPD_START_OUTPUT_FILE, true, &pid) != 0) return -1;
  int pidfd = pidfdOpen(pid);
  int status = 0;
  bool ended = false;
  bool serving = pollUntil(
      [&] {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        return ended || pidFileNames(pid);
      },
      DHCPD_START_WAIT_MS);
  if (serving && !ended && pidfd >= 0) {
    forgetServer();
    g_server.pid = pid;
    g_server.pidfd = pidfd;
    return 0;
  }
  if (!ended) {
    syslog(LOG_ERR, "DHCP server (process %d) did not come up in %d ms; stopping it.", static_cast<int>(pid),
           DHCPD_START_WAIT_MS);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    status = -1;
  } else if (status == 0) {
    logStartFailure(0);
    status = -1;
  }
  if (pidfd >= 0) close(pidfd);
  return status;
}

}  // namespace

int dhcpCompRunDhcpd(const char* const* args, const char* outputFile) {
  std::vector<const char*> argv = {kDhcpdProgramPath};
  for (const char* const* a = args; *a != nullptr; ++a) argv.push_back(*a);
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (spawnDhcpd(argv, outputFile, false, &pid) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

char dhcpCompProcessState(pid_t pid) {
  char stat[kProcStatLineSize] = "";
  if (!readProcStat("/proc/" + std::to_string(pid) + "/stat", stat)) return 0;
  const char* close = strrchr(stat, ')');
  char state = 0;
  return close != nullptr && sscanf(close + 1, " %c", &state) == 1 ? state : 0;
}

bool dhcpCompDhclientRunning(void) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  bool found = false;
  while (!found) {
    struct dirent* entry = readdir(proc);
    if (entry == nullptr) break;
    size_t digits = strspn(entry->d_name, "0123456789");
    if (digits == 0 || entry->d_name[digits] != '\0') continue;
    pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
    if (!processIsProgram(pid, kDhclientProgram) || !processIsOurs(pid) || !sameNetworkNamespace(pid) ||
        dhcpCompProcessState(pid) == 'Z')
      continue;
    std::vector<std::string> args = commandLineOf(pid);
    for (size_t i = 1; i + 1 < args.size(); ++i)
      found = found || (args[i] == "-pf" && args[i + 1] == DHCLIENT_PID_FILE);
  }
  closedir(proc);
  return found;
}

bool dhcpCompDhcpdServesLiveConfiguration(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  std::string conf, leases, pidFile = DHCPD_PID_FILE;  // dhcpd's own default PID file
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-f" || a == "-q") continue;
    if ((a == "-cf" || a == "-lf" || a == "-pf") && i + 1 < args.size()) {
      (a == "-cf" ? conf : a == "-lf" ? leases : pidFile) = args[++i];
      continue;
    }
    // Interfaces or other options: not the server the agent runs.
    return false;
  }
  return conf == DHCPD_CONF_FILE && leases == DHCPD_LEASE_FILE && pidFile == DHCPD_PID_FILE;
}

std::string dhcpCompDhcpdOutput(const char* outputFile) {
  char* output = dhcpUtilReadTextFile(outputFile);
  std::string said = output != nullptr ? output : "";
  free(output);
  size_t banner = said.find(kDhcpdBannerEnd);
  if (banner != std::string::npos) said.erase(0, said.find('\n', banner));
  size_t advice = said.find(kDhcpdAdviceStart);
  if (advice != std::string::npos) said.erase(advice);
  if (said.size() > kStartOutputLogMax) said.resize(kStartOutputLogMax);
  for (char& c : said) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  size_t first = said.find_first_not_of(' ');
  size_t last = said.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : said.substr(first, last - first + 1);
}

pid_t dhcpCompRunningDhcpd() {
  return runningDhcpd();
}

int dhcpCompRunProgram(const char* const argv[], std::string* output, size_t maxOutput) {
  if (argv == nullptr || argv[0] == nullptr) return -1;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    return -1;
  }
  // Read to the end so the program never blocks on a full pipe; keep only
  // the first maxOutput bytes.
  char chunk[DHCP_TEMP_BUF_SIZE];
  for (;;) {
    ssize_t n = read(pipeFds[0], chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (output != nullptr && output->size() < maxOutput)
      output->append(chunk, std::min(static_cast<size_t>(n), maxOutput - output->size()));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

std::recursive_mutex& dhcpCompProcessControlMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

int dhcpCompInitProcessControl(void) {
  return prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0 ? 0 : errno;
}

int dhcpCompRunCommand(const char* format, ...) {
  // A buffer of tempBuf's size, private to the call: commands are formatted
  // on several threads.
  char command[DHCP_TEMP_BUF_SIZE];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(command, sizeof(command), format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= sizeof(command)) {
    syslog(LOG_ERR, "Command too long for the command buffer; not run.");
    return -1;
  }
  return system(command);
}

void dhcpCompKillProcess(char* pidFile) {
  if (pidFile == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  std::string program = programOfPidFile(pidFile);
  finishStops(beginStopOfPidFile(pidFile, program), program);
}

void dhcpCompReapDaemons(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  for (pid_t pid : adoptedDaemonZombies()) waitpid(pid, nullptr, WNOHANG);
}

void dhcpCompRequestDhcpDaemonStop(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  char* text = dhcpUtilReadTextFile(DHCPD_PID_FILE);
  if (text == nullptr) return;
  std::vector<pid_t> pids = pidsOfText(text);
  free(text);
  // Its end is the agent's own doing, not one for the supervision to restart.
  dhcpCompSuperviseDhcpd(false, 0);
  if (g_server.pidfd >= 0 && pidfdSignal(g_server.pidfd, SIGTERM)) g_stopRequested = g_server.pid;
  for (pid_t pid : pids) {
    if (mayStop(pid, kDhcpdProgram) && kill(pid, SIGTERM) == 0) g_stopRequested = pid;
  }
}

void dhcpCompKillDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpCompSuperviseDhcpd(false, 0);
  finishStops(beginStopOfServers(), kDhcpdProgram);
}

void dhcpCompKillDhclient(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpCompSuperviseDhclientStopped();
  char pidFile[] = DHCLIENT_PID_FILE;
  dhcpCompKillProcess(pidFile);
}

int dhcpCompStartDhcpDeamon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  FILE* leases = fopen(DHCPD_LEASE_FILE, "a");
  if (leases != nullptr)
    fclose(leases);
  else
    dhcpCompRunCommand("%s", kLeaseFileTouchCommand);

  int status = startDhcpd();
  if (status == -1) {
    dhcpCompSuperviseDhcpd(true, 0);
    return -1;
  }
  if (status != 0) {
    logStartFailure(status);
    dhcpCompSuperviseDhcpd(true, 0);
    return status;
  }
  dhcpCompSuperviseDhcpd(true, g_server.pid);
  return 0;
}

int dhcpCompRestartDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpCompSuperviseDhcpd(false, 0);
  // The new server starts while the kernel still tears down the old one: the
  // PID file that would make it refuse is gone, and the old one answers no
  // more. Its end is awaited (and reaped) once the new one serves.
  std::vector<std::pair<pid_t, int>> stopping = beginStopOfServers();
  int rc = dhcpCompStartDhcpDeamon();
  finishStops(stopping, kDhcpdProgram);
  return rc;
}

int dhcpCompStartDhclient(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  // Never two clients on the interface.
  dhcpCompKillDhclient();
  return dhcpCompRunCommand(kDhclientStartCommand, kDhclientConfFile, kDhclientLeaseFile, kDhclientScript,
                            DHCLIENT_PID_FILE, DHCP_CUSTOMER_LAN_IFNAME);
}
