// Generic process control.
//
// A stop signals only a process that /proc shows to be the PID file's program
// run by the agent's own user (a file left by a power cut may name an
// unrelated process by now, another user may run a program of that name),
// through a pidfd taken before the check, so that a process id recycled in
// between is never signalled; it then waits until the process has ended: a
// daemon refuses to start while its predecessor still exists, and a daemon
// killed by the agent stays a zombie until the agent, its subreaper, reaps
// it.
#include "process.h"

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
#include <sys/wait.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "model/records.h"
#include "model/util.h"

namespace {

const auto kPollInterval = std::chrono::milliseconds(1);
const mode_t kOutputFileMode = 0644;
// Longest kernel command name (comm) of a process, TASK_COMM_LEN - 1.
const size_t kCommMaxLength = 15;
// Enough of a /proc stat line for its first 22 fields (at most about 420
// characters).
const size_t kProcStatLineSize = 512;
const size_t kCommandLineMax = 4096;
// PF_EXITING in the flags of a task's stat line.
const unsigned kPfExiting = 0x4;

std::string procPath(pid_t pid) {
  return "/proc/" + std::to_string(pid);
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
    p += strspn(p, " \t\n");
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

// True once no thread of pid runs its own code any more: each has begun to
// exit (PF_EXITING), or the process is gone. The kernel may still be closing
// its sockets then, which takes tens of milliseconds for dhcpd's packet
// sockets, but the process answers nothing more.
bool processExiting(pid_t pid) {
  std::string tasks = procPath(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return true;
  bool exiting = true;
  while (struct dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    ProcessStat stat;
    if (processReadStat(tasks + "/" + entry->d_name + "/stat", &stat) && (stat.flags & kPfExiting) == 0) {
      exiting = false;
      break;
    }
  }
  closedir(dir);
  return exiting;
}

bool waitForEnd(pid_t pid, int pidfd, int timeoutMs) {
  bool ended = processPollUntil([pid, pidfd] { return processEnded(pid, pidfd); }, timeoutMs);
  // An ended child of the agent is reaped as soon as it can be.
  if (ended) waitpid(pid, nullptr, WNOHANG);
  return ended;
}

}  // namespace

// ---- Running a program ----

int processSpawn(const char* const argv[], const ProcessOutput& output, bool newSession, pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output.file != nullptr) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.file, O_WRONLY | O_CREAT | O_TRUNC,
                                     kOutputFileMode);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  } else {
    if (output.pipeFd >= 0) posix_spawn_file_actions_adddup2(&actions, output.pipeFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  // A daemon outlives its start: it must hold none of the agent's files or
  // sockets (the provider agent's listening port above all).
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
  int rc = posix_spawn(pid, argv[0], &actions, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) syslog(LOG_ERR, "Cannot run %s: %s", argv[0], strerror(rc));
  return rc;
}

int processWait(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int dhcpCompRunProgram(const char* const argv[], std::string* output, size_t maxOutput) {
  if (argv == nullptr || argv[0] == nullptr) return -1;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  ProcessOutput to;
  to.pipeFd = pipeFds[1];
  pid_t pid = 0;
  int rc = processSpawn(argv, to, false, &pid);
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
  return processWait(pid);
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

std::recursive_mutex& dhcpCompProcessControlMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

int dhcpCompInitProcessControl(void) {
  return prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0 ? 0 : errno;
}

// ---- /proc ----

bool processReadStat(const std::string& path, ProcessStat* stat) {
  // /proc files have no size: read by line. comm may hold blanks and ")".
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return false;
  char line[kProcStatLineSize] = "";
  bool read = fgets(line, sizeof(line), f) != nullptr;
  fclose(f);
  if (!read) return false;
  const char* open = strchr(line, '(');
  const char* close = strrchr(line, ')');
  int ppid = 0;
  if (open == nullptr || close == nullptr || close < open ||
      sscanf(close + 1, " %c %d %*d %*d %*d %*d %u %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu",
             &stat->state, &ppid, &stat->flags, &stat->startTicks) != 4)
    return false;
  stat->comm.assign(open + 1, static_cast<size_t>(close - open - 1));
  stat->ppid = static_cast<pid_t>(ppid);
  return true;
}

char dhcpCompProcessState(pid_t pid) {
  ProcessStat stat;
  return processReadStat(procPath(pid) + "/stat", &stat) ? stat.state : 0;
}

time_t processStartTime(pid_t pid) {
  ProcessStat stat;
  if (!processReadStat(procPath(pid) + "/stat", &stat)) return 0;
  std::ifstream system("/proc/stat");
  long long boot = 0;
  for (std::string line; boot == 0 && std::getline(system, line);)
    if (line.compare(0, 6, "btime ") == 0) boot = atoll(line.c_str() + 6);
  if (boot == 0) return 0;
  return static_cast<time_t>(
      boot + static_cast<long long>(stat.startTicks / static_cast<unsigned long long>(sysconf(_SC_CLK_TCK))));
}

void processForEach(const std::function<void(pid_t)>& visit) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  while (struct dirent* entry = readdir(proc)) {
    size_t digits = strspn(entry->d_name, "0123456789");
    if (digits == 0 || entry->d_name[digits] != '\0') continue;
    visit(static_cast<pid_t>(atoi(entry->d_name)));
  }
  closedir(proc);
}

std::vector<std::string> processCommandLine(pid_t pid) {
  std::ifstream file(procPath(pid) + "/cmdline", std::ios::binary);
  std::string text(kCommandLineMax, '\0');
  file.read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  std::vector<std::string> args;
  std::istringstream parts(text);
  for (std::string arg; std::getline(parts, arg, '\0');) args.push_back(arg);
  return args;
}

bool processIsProgram(pid_t pid, const std::string& program) {
  std::string proc = procPath(pid);
  char exe[PATH_MAX];
  ssize_t length = readlink((proc + "/exe").c_str(), exe, sizeof(exe) - 1);
  if (length > 0) {
    // A package upgrade renames the new file over the old one.
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

bool processIsOurs(pid_t pid) {
  // /proc/<pid> belongs to the process's effective user.
  struct stat st;
  return stat(procPath(pid).c_str(), &st) == 0 && st.st_uid == geteuid();
}

bool processInOurNetworkNamespace(pid_t pid) {
  struct stat own, their;
  return stat("/proc/self/ns/net", &own) == 0 && stat((procPath(pid) + "/ns/net").c_str(), &their) == 0 &&
         own.st_ino == their.st_ino && own.st_dev == their.st_dev;
}

bool processEnded(pid_t pid, int pidfd) {
  return waitpid(pid, nullptr, WNOHANG) == pid || pidfdEnded(pidfd);
}

std::string processDescribeEnd(pid_t pid, int pidfd) {
  siginfo_t info;
  memset(&info, 0, sizeof(info));
  int rc = pidfd >= 0
               ? static_cast<int>(syscall(SYS_waitid, P_PIDFD, pidfd, &info, WEXITED | WNOHANG, nullptr))
               : waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG);
  if (rc != 0 || info.si_pid == 0) return "status unknown";
  if (info.si_code == CLD_EXITED) return "exit status " + std::to_string(info.si_status);
  return "signal " + std::to_string(info.si_status);
}

bool processGone(pid_t pid) {
  if (kill(pid, 0) != 0) return errno == ESRCH;
  // A zombie still answers kill(0).
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

// ---- Process descriptors ----

// By system call number: glibc's header does not declare them for C++.
int pidfdOpen(pid_t pid) {
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool pidfdSignal(int pidfd, int signal) {
  return syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0;
}

bool pidfdEnded(int pidfd) {
  // A pidfd turns readable when its process exits.
  struct pollfd p = {pidfd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

bool processPollUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

// ---- PID files ----

bool processReadPidFile(const char* path, std::vector<pid_t>* pids) {
  char* text = dhcpUtilReadTextFile(path);
  if (text == nullptr) return false;
  *pids = pidsOfText(text);
  free(text);
  return true;
}

bool processMayStop(pid_t pid, const std::string& program) {
  return pid != getpid() && processIsProgram(pid, program) && processIsOurs(pid);
}

StoppingProcess processBeginStop(pid_t pid, int pidfd, const std::string& program) {
  if (pidfd < 0) return {pid, -1};
  if (!processMayStop(pid, program) || !pidfdSignal(pidfd, SIGTERM)) {
    close(pidfd);
    return {pid, -1};
  }
  pidfdSignal(pidfd, SIGCONT);
  auto gone = [pid, pidfd] { return processEnded(pid, pidfd) || processExiting(pid); };
  if (!processPollUntil(gone, DHCP_STOP_TERM_WAIT_MS)) {
    syslog(LOG_WARNING, "%s (process %d) did not end on SIGTERM; sending SIGKILL.", program.c_str(),
           static_cast<int>(pid));
    pidfdSignal(pidfd, SIGKILL);
    processPollUntil(gone, DHCP_STOP_KILL_WAIT_MS);
  }
  return {pid, pidfd};
}

std::vector<StoppingProcess> processBeginStopOfPidFile(const char* pidFile, const std::string& program) {
  std::vector<StoppingProcess> stopping;
  std::vector<pid_t> pids;
  if (!processReadPidFile(pidFile, &pids)) return stopping;
  unlink(pidFile);
  for (pid_t pid : pids) stopping.push_back(processBeginStop(pid, pidfdOpen(pid), program));
  return stopping;
}

void processFinishStops(const std::vector<StoppingProcess>& stopping, const std::string& program) {
  for (const StoppingProcess& p : stopping) {
    if (p.pidfd < 0) continue;
    if (!waitForEnd(p.pid, p.pidfd, DHCP_STOP_KILL_WAIT_MS))
      syslog(LOG_ERR, "%s (process %d) did not end.", program.c_str(), static_cast<int>(p.pid));
    close(p.pidfd);
  }
}

void dhcpCompKillProcess(char* pidFile) {
  if (pidFile == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  std::string program = programOfPidFile(pidFile);
  processFinishStops(processBeginStopOfPidFile(pidFile, program), program);
}
