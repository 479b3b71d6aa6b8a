// Control of dhcpd and of the customer LAN's dhclient through their PID files.
//
// A stop signals only a process that /proc shows to be the PID file's program
// run by the agent's own user (a file left by a power cut may name an
// unrelated process by now, another user may run a program of that name),
// through a pidfd taken before the check, so that a process id recycled in
// between is never signalled; it then waits until the process has ended: dhcpd refuses to start while its predecessor still
// exists, and a daemon killed by the agent stays a zombie until the agent,
// its subreaper, reaps it.
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

#include "dhcpcomp.h"
#include "dhcpcompcommit.h"
#include "dhcpcompdaemon.h"
#include "dhcputil_internal.h"

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
const char kDhclientStartCommand[] = "/opt/sbin/dhclient -cf %s -lf %s -sf %s -q -pf %s %s";
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
bool processIsProgram(pid_t pid, const std::string& program) {
  std::string proc = "/proc/" + std::to_string(pid);
  char exe[PATH_MAX];
  ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof(exe) - 1);
  if (length > 0) {
    exe[length] = '\0';
    const char* base = strrchr(exe, '/');
    return program == (base != nullptr ? base + 1 : exe);
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

// Signals pid to end (SIGTERM, then SIGKILL when it has not begun to exit in
// time) and returns its pidfd once it has begun to exit, or -1 when it is not
// the program's process of the agent's user (nothing signalled).
int beginStop(pid_t pid, const std::string& program) {
  int pidfd = pidfdOpen(pid);
  if (pidfd < 0) return -1;
  if (!mayStop(pid, program) || !pidfdSignal(pidfd, SIGTERM)) {
    close(pidfd);
    return -1;
  }
  auto gone = [pid, pidfd] { return processEnded(pid, pidfd) || processExiting(pid); };
  if (!pollUntil(gone, DHCP_STOP_TERM_WAIT_MS)) {
    syslog(LOG_WARNING, "%s (process %d) did not end on SIGTERM; sending SIGKILL.", program.c_str(),
           static_cast<int>(pid));
    pidfdSignal(pidfd, SIGKILL);
    pollUntil(gone, DHCP_STOP_KILL_WAIT_MS);
  }
  return pidfd;
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

// Process id of a running dhcpd named by its PID file, else 0.
pid_t runningDhcpd() {
  char* text = dhcpUtilReadTextFile(DHCPD_PID_FILE);
  if (text == nullptr) return 0;
  std::vector<pid_t> pids = pidsOfText(text);
  free(text);
  for (pid_t pid : pids) {
    if (pid != g_stopRequested && kill(pid, 0) == 0 && processIsProgram(pid, kDhcpdProgram)) return pid;
  }
  return 0;
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

// Runs dhcpd with its output in DHCPD_START_OUTPUT_FILE and waits for the
// process started (it exits once the server has detached). The wait status,
// or -1 when dhcpd could not be run (logged here).
int startDhcpd() {
  const char* const args[] = {"-cf", DHCPD_CONF_FILE, "-lf", DHCPD_LEASE_FILE, nullptr};
  return dhcpCompRunDhcpd(args, DHCPD_START_OUTPUT_FILE);
}

}  // namespace

int dhcpCompRunDhcpd(const char* const* args, const char* outputFile) {
  std::vector<const char*> argv = {kDhcpdProgramPath};
  for (const char* const* a = args; *a != nullptr; ++a) argv.push_back(*a);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile, O_WRONLY | O_CREAT | O_TRUNC,
                                   kOutputFileMode);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // The daemon outlives this start: it must hold none of the agent's files
  // or sockets (the provider agent's listening port above all).
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  pid_t pid = 0;
  int rc =
      posix_spawn(&pid, kDhcpdProgramPath, &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    syslog(LOG_ERR, "Cannot run %s: %s", kDhcpdProgramPath, strerror(rc));
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
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
  for (pid_t pid : pids) {
    if (mayStop(pid, kDhcpdProgram) && kill(pid, SIGTERM) == 0) g_stopRequested = pid;
  }
}

void dhcpCompKillDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpCompSuperviseDhcpd(false, 0);
  char pidFile[] = DHCPD_PID_FILE;
  dhcpCompKillProcess(pidFile);
}

void dhcpCompKillDhclient(void) {
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
  // dhcpd writes its PID file once it has detached.
  pid_t server = 0;
  if (pollUntil([&server] { return (server = runningDhcpd()) != 0; }, DHCPD_START_WAIT_MS)) {
    dhcpCompSuperviseDhcpd(true, server);
    return 0;
  }
  logStartFailure(status);
  dhcpCompSuperviseDhcpd(true, 0);
  return -1;
}

int dhcpCompRestartDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpCompSuperviseDhcpd(false, 0);
  // The new server starts while the kernel still tears down the old one: the
  // PID file that would make it refuse is gone, and the old one answers no
  // more. Its end is awaited (and reaped) once the new one serves.
  std::vector<std::pair<pid_t, int>> stopping = beginStopOfPidFile(DHCPD_PID_FILE, kDhcpdProgram);
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
