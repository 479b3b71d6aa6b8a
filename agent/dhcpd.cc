// Control of dhcpd and of the customer LAN's dhclient, and their
// supervision.
//
// dhcpd runs in the foreground of a session of its own, so the agent knows
// its server by the pidfd it takes when spawning it. A server found through
// the PID file (an earlier agent's) is adopted only when its arguments are
// those of the live configuration; any other is replaced.
//
// The supervision runs on a worker thread and watches dhcpd through a pidfd,
// so its end is seen at once. A server that ends without a stop by the
// agent, that stays stopped (state T) for more than DHCPD_STOPPED_LIMIT_S, or
// that no longer answers the agent's own DHCPDISCOVER (a telephone's, never
// followed by a DHCPREQUEST) twice in a row is started again with the live
// dhcpd.conf; a DHCP-addressed customer LAN's dhclient that ends likewise.
// One that keeps ending is restarted with a growing delay. Each restart is
// logged with its reason.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "commit.h"
#include "dhcpd.h"
#include "foreign.h"
#include "model/dhcpd_conf.h"
#include "model/leases.h"
#include "model/records.h"
#include "model/util.h"
#include "process.h"
#include "worker.h"

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

// Most of dhcpd's start output that goes to the system log.
const size_t kStartOutputLogMax = 1000;

// Zombies among the agent's children that run a daemon it adopts (dhcpd,
// dhclient: they detach and are re-parented to the agent). Other children
// are left to the code that waits for them, system() among it.
std::vector<pid_t> adoptedDaemonZombies() {
  std::vector<pid_t> pids;
  pid_t self = getpid();
  processForEach([&pids, self](pid_t pid) {
    ProcessStat stat;
    if (processReadStat("/proc/" + std::to_string(pid) + "/stat", &stat) && stat.state == 'Z' &&
        stat.ppid == self && (stat.comm == kDhcpdProgram || stat.comm == kDhclientProgram))
      pids.push_back(pid);
  });
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

// A dhcpd of the agent's user in its namespace that serves the live
// configuration (dhcpCompDhcpdServesLiveConfiguration).
bool isAgentsDhcpd(pid_t pid) {
  return pid != getpid() && processIsProgram(pid, kDhcpdProgram) && processIsOurs(pid) &&
         processInOurNetworkNamespace(pid) && dhcpCompDhcpdServesLiveConfiguration(processCommandLine(pid));
}

// Process id of the running server: the one the agent knows, else a server
// named by the PID file that serves the live configuration, which is adopted.
// 0 when there is none; a dhcpd of another configuration does not count (the
// next start replaces it).
pid_t runningDhcpd() {
  if (g_server.pidfd >= 0) {
    if (!pidfdEnded(g_server.pidfd)) return g_server.pid != g_stopRequested ? g_server.pid : 0;
    forgetServer();
  }
  std::vector<pid_t> pids;
  if (!processReadPidFile(DHCPD_PID_FILE, &pids)) return 0;
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
  processForEach([&pids](pid_t pid) {
    if (pid != g_server.pid && isAgentsDhcpd(pid)) pids.push_back(pid);
  });
  return pids;
}

// Signals every server of the agent to end: those of the PID file (after
// deleting it), the known one and strays; each with its pidfd once it has
// begun to exit.
std::vector<StoppingProcess> beginStopOfServers() {
  std::vector<StoppingProcess> stopping = processBeginStopOfPidFile(DHCPD_PID_FILE, kDhcpdProgram);
  auto listed = [&stopping](pid_t pid) {
    for (const StoppingProcess& p : stopping) {
      if (p.pid == pid && p.pidfd >= 0) return true;
    }
    return false;
  };
  if (g_server.pidfd >= 0 && !listed(g_server.pid))
    stopping.push_back(processBeginStop(g_server.pid, dup(g_server.pidfd), kDhcpdProgram));
  for (pid_t pid : strayServers()) {
    if (!listed(pid)) stopping.push_back(processBeginStop(pid, pidfdOpen(pid), kDhcpdProgram));
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

// True when the PID file names pid.
bool pidFileNames(pid_t pid) {
  std::vector<pid_t> pids;
  return processReadPidFile(DHCPD_PID_FILE, &pids) && std::find(pids.begin(), pids.end(), pid) != pids.end();
}

// Starts the server in the foreground (-f), so that the process spawned is
// the server itself and its pidfd names it, and waits until it serves (its
// PID file names it) or ends. 0 with g_server set; else the wait status of
// its end, or -1 when dhcpd could not be run or did not come up in time.
int startDhcpd() {
  const std::vector<const char*> argv = {kDhcpdProgramPath, "-f",  "-cf",          DHCPD_CONF_FILE, "-lf",
                                         DHCPD_LEASE_FILE,  "-pf", DHCPD_PID_FILE, nullptr};
  ProcessOutput output;
  output.file = DHCPD_START_OUTPUT_FILE;
  pid_t pid = 0;
  if (processSpawn(argv.data(), output, true, &pid) != 0) return -1;
  int pidfd = pidfdOpen(pid);
  int status = 0;
  bool ended = false;
  bool serving = processPollUntil(
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

// ---- Supervision ----

using Clock = std::chrono::steady_clock;

// How often the supervision reaps the other adopted daemons when nothing else
// wakes it, and how often it looks at a watched server's state and the
// customer LAN's client.
const int kReapIntervalMs = 5000;
const int kCheckIntervalMs = 1000;
// The liveness probe: its period, the retry after a miss, how long it waits
// for the offer (dhcpd may ping an address for a second first), the misses
// that make a server count as hung, and the telephone it poses as.
const auto kProbeInterval = std::chrono::seconds(60);
const auto kProbeRetry = std::chrono::seconds(5);
const auto kProbeAfterStart = std::chrono::seconds(1);
const int kProbeWaitMs = 3000;
const int kProbeMissesToRestart = 2;
const char kProbeVendorClass[] = "Zelkor-p4100-A";
// Checks without a client before the customer LAN's dhclient counts as
// ended (an interface restart stops and starts it).
const int kClientMissesToRestart = 3;

// What the process control last did with the server.
enum class ServerState {
  kStoppedByAgent,  // its end is no fault
  kStartFailed,     // to be started again later
  kStarted,         // runs with Supervision::pid
};

// What the process control last did, and whether the worker runs. Guarded by
// mutex; the worker alone opens and closes the pidfd.
struct Supervision {
  std::mutex mutex;
  ServerState server = ServerState::kStoppedByAgent;
  pid_t pid = 0;
  unsigned generation = 0;
  Clock::time_point startedAt;
  bool running = false;
  // From the main loop: the customer LAN's address when the probe applies
  // (0: not probed), and whether its dhclient is to run.
  uint32_t probeAddress = 0;
  bool clientWanted = false;
};

Supervision& state() {
  static Supervision s;
  return s;
}

DhcpCompWorker s_supervisor;
std::atomic<unsigned> g_restarts{0};

// Wakes the worker; called with Supervision::mutex held, so that the worker
// is not being started or stopped meanwhile.
void wake(const Supervision& s) {
  if (s.running) s_supervisor.wake();
}

// Tells the supervision what the process control did.
void tell(ServerState server, pid_t pid) {
  Supervision& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (server == ServerState::kStarted && s.server == server && pid == s.pid) return;
  s.server = server;
  s.pid = pid;
  ++s.generation;
  s.startedAt = Clock::now();
  wake(s);
}

// Delays between restarts of a process that keeps ending: none after one
// that ran for the stable time, else 0 s, 1 s, 2 s, 4 s ... up to the maximum.
struct Backoff {
  bool due = false;
  bool restarted = false;
  int delaySeconds = 0;
  Clock::time_point at;

  void schedule(Clock::duration ran) {
    if (ran >= std::chrono::seconds(DHCPD_RESTART_STABLE_S))
      delaySeconds = 0;
    else
      delaySeconds =
          delaySeconds == 0 ? (restarted ? 1 : 0) : std::min(2 * delaySeconds, DHCPD_RESTART_MAX_DELAY_S);
    restarted = true;
    due = true;
    at = Clock::now() + std::chrono::seconds(delaySeconds);
  }
  bool ready() const { return due && Clock::now() >= at; }
  int msLeft() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    return static_cast<int>(std::max<int64_t>(0, left));
  }
};

// True when the agent's own server at address answers a telephone's
// DHCPDISCOVER on the customer LAN.
bool serverAnswersProbe(uint32_t address) {
  DhcpProbeTarget target;
  target.interfaceName = DHCP_CUSTOMER_LAN_IFNAME;
  for (const DhcpOffer& offer :
       dhcpCompProbeForeignServers({target}, kProbeWaitMs, nullptr, kProbeVendorClass)) {
    if (offer.server == address) return true;
  }
  return false;
}

class Supervisor {
 public:
  void run(DhcpCompWorker& worker) {
    while (waitOnce(worker)) {
      probeIfDue();
      act();
      superviseClient();
    }
    if (m_watch == Watch::kPidfd) close(m_pidfd);
  }

 private:
  // How the watched server is followed.
  enum class Watch {
    kNone,        // no pidfd: by its process id
    kPidfd,       // through m_pidfd
    kEndedEarly,  // it had ended before its pidfd could be opened
  };

  // Waits for a wake-up, the watched server's end, a due restart, the next
  // check or the reaping interval; false once the worker is stopped.
  bool waitOnce(DhcpCompWorker& worker) {
    int timeout = m_pid != 0 || m_clientWanted ? kCheckIntervalMs : kReapIntervalMs;
    if (m_backoff.due) timeout = std::min(timeout, m_backoff.msLeft());
    if (m_clientBackoff.due) timeout = std::min(timeout, m_clientBackoff.msLeft());
    // Once its end is seen, the ended server's pidfd stays readable.
    int fd = m_watch == Watch::kPidfd && !m_backoff.due ? m_pidfd : -1;
    DhcpCompWorker::Event event = worker.wait(fd, timeout);
    if (event == DhcpCompWorker::kTimedOut) dhcpCompReapDaemons();
    return event != DhcpCompWorker::kStopped;
  }

  // The liveness probe, without any lock: it waits for the answer.
  void probeIfDue() {
    uint32_t address;
    {
      Supervision& s = state();
      std::lock_guard<std::mutex> lock(s.mutex);
      address = s.server == ServerState::kStarted && s.generation == m_generation ? s.probeAddress : 0;
    }
    if (address == 0 || m_backoff.due || Clock::now() < m_nextProbe) return;
    bool answered = serverAnswersProbe(address);
    m_probeMisses = answered ? 0 : m_probeMisses + 1;
    if (!answered)
      syslog(LOG_WARNING, "DHCP server did not answer the agent's DHCPDISCOVER within %d ms (miss %d of %d).",
             kProbeWaitMs, m_probeMisses, kProbeMissesToRestart);
    m_nextProbe = Clock::now() + (answered ? kProbeInterval : kProbeRetry);
  }

  // Takes what the process control did since the last look.
  void follow(const Supervision& s) {
    m_generation = s.generation;
    if (m_watch == Watch::kPidfd) close(m_pidfd);
    m_watch = Watch::kNone;
    m_pidfd = -1;
    m_pid = s.pid;
    m_backoff.due = false;
    m_probeMisses = 0;
    m_stoppedSince = Clock::time_point();
    m_nextProbe = Clock::now() + kProbeAfterStart;
    if (m_pid == 0) return;
    m_pidfd = pidfdOpen(m_pid);
    if (m_pidfd >= 0)
      m_watch = Watch::kPidfd;
    else if (errno == ESRCH)
      m_watch = Watch::kEndedEarly;
  }

  bool ended(pid_t pid) const {
    switch (m_watch) {
      case Watch::kEndedEarly:
        return true;
      case Watch::kPidfd:
        return pidfdEnded(m_pidfd);
      case Watch::kNone:
        break;
    }
    return processGone(pid);
  }

  void act() {
    Supervision& s = state();
    std::lock_guard<std::recursive_mutex> control(dhcpCompProcessControlMutex());
    ServerState server;
    pid_t pid;
    Clock::time_point startedAt;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      if (s.generation != m_generation) follow(s);
      server = s.server;
      pid = s.pid;
      startedAt = s.startedAt;
      m_clientWanted = s.clientWanted;
    }
    if (server == ServerState::kStoppedByAgent) return;
    if (server == ServerState::kStarted && !m_backoff.due) {
      std::string why;
      if (ended(pid))
        why = "ended (" + processDescribeEnd(pid, m_watch == Watch::kPidfd ? m_pidfd : -1) + ")";
      else if (stoppedTooLong(pid))
        why = "stayed stopped for more than " + std::to_string(DHCPD_STOPPED_LIMIT_S) + " s";
      else if (m_probeMisses >= kProbeMissesToRestart)
        why = "does not answer the agent's DHCPDISCOVER (" + std::to_string(m_probeMisses) + " probes)";
      if (why.empty()) return;
      m_backoff.schedule(Clock::now() - startedAt);
      syslog(LOG_ERR, "DHCP server (process %d) %s; starting it again in %d s.", static_cast<int>(pid),
             why.c_str(), m_backoff.delaySeconds);
    } else if (server == ServerState::kStartFailed && !m_backoff.due) {
      m_backoff.schedule(std::chrono::seconds(0));
      syslog(LOG_ERR, "DHCP server is not running; starting it again in %d s.", m_backoff.delaySeconds);
    }
    if (m_backoff.ready()) {
      m_backoff.due = false;
      ++g_restarts;
      dhcpCompRestartDhcpDaemon();
    }
  }

  // True once the watched server has been in state T (stopped or traced)
  // for more than DHCPD_STOPPED_LIMIT_S.
  bool stoppedTooLong(pid_t pid) {
    char state = dhcpCompProcessState(pid);
    if (state != 'T' && state != 't') {
      m_stoppedSince = Clock::time_point();
      return false;
    }
    if (m_stoppedSince == Clock::time_point()) m_stoppedSince = Clock::now();
    return Clock::now() - m_stoppedSince > std::chrono::seconds(DHCPD_STOPPED_LIMIT_S);
  }

  // The customer LAN's DHCP client, while the LAN is DHCP-addressed.
  void superviseClient() {
    if (!m_clientWanted) {
      m_clientMisses = 0;
      m_clientBackoff.due = false;
      return;
    }
    if (!m_clientBackoff.due) {
      if (dhcpCompDhclientRunning()) {
        if (m_clientMisses >= kClientMissesToRestart) m_clientStartedAt = Clock::now();
        m_clientMisses = 0;
        return;
      }
      if (++m_clientMisses < kClientMissesToRestart) return;
      m_clientBackoff.schedule(Clock::now() - m_clientStartedAt);
      syslog(LOG_ERR, "DHCP client of %s ended; starting it again in %d s.", DHCP_CUSTOMER_LAN_IFNAME,
             m_clientBackoff.delaySeconds);
    }
    if (!m_clientBackoff.ready()) return;
    m_clientBackoff.due = false;
    m_clientMisses = 0;
    m_clientStartedAt = Clock::now();
    // A stop by the agent (dhcpCompKillDhclient) may have come meanwhile.
    std::lock_guard<std::recursive_mutex> control(dhcpCompProcessControlMutex());
    bool wanted;
    {
      Supervision& s = state();
      std::lock_guard<std::mutex> lock(s.mutex);
      wanted = s.clientWanted;
    }
    if (wanted && !dhcpCompDhclientRunning()) dhcpCompStartDhclient();
  }

  unsigned m_generation = 0;
  pid_t m_pid = 0;
  Watch m_watch = Watch::kNone;
  int m_pidfd = -1;
  Backoff m_backoff;
  int m_probeMisses = 0;
  Clock::time_point m_nextProbe;
  Clock::time_point m_stoppedSince;
  bool m_clientWanted = false;
  int m_clientMisses = 0;
  Backoff m_clientBackoff;
  Clock::time_point m_clientStartedAt;
};

}  // namespace

int dhcpCompRunDhcpd(const char* const* args, const char* outputFile) {
  std::vector<const char*> argv = {kDhcpdProgramPath};
  for (const char* const* a = args; *a != nullptr; ++a) argv.push_back(*a);
  argv.push_back(nullptr);
  ProcessOutput output;
  output.file = outputFile;
  pid_t pid = 0;
  if (processSpawn(argv.data(), output, false, &pid) != 0) return -1;
  return processWait(pid);
}

bool dhcpCompDhclientRunning(void) {
  bool found = false;
  processForEach([&found](pid_t pid) {
    if (found || !processIsProgram(pid, kDhclientProgram) || !processIsOurs(pid) ||
        !processInOurNetworkNamespace(pid) || dhcpCompProcessState(pid) == 'Z')
      return;
    std::vector<std::string> args = processCommandLine(pid);
    for (size_t i = 1; i + 1 < args.size(); ++i)
      found = found || (args[i] == "-pf" && args[i + 1] == DHCLIENT_PID_FILE);
  });
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

void dhcpCompReapDaemons(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  for (pid_t pid : adoptedDaemonZombies()) waitpid(pid, nullptr, WNOHANG);
}

void dhcpCompRequestDhcpDaemonStop(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  std::vector<pid_t> pids;
  if (!processReadPidFile(DHCPD_PID_FILE, &pids)) return;
  // Its end is the agent's own doing, not one for the supervision to restart.
  dhcpdStoppedByAgent();
  if (g_server.pidfd >= 0 && pidfdSignal(g_server.pidfd, SIGTERM)) g_stopRequested = g_server.pid;
  for (pid_t pid : pids) {
    if (processMayStop(pid, kDhcpdProgram) && kill(pid, SIGTERM) == 0) g_stopRequested = pid;
  }
}

void dhcpCompKillDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpdStoppedByAgent();
  processFinishStops(beginStopOfServers(), kDhcpdProgram);
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
  if (status == 0) {
    dhcpdStarted(g_server.pid);
    return 0;
  }
  if (status != -1) logStartFailure(status);
  dhcpdStartFailed();
  return status;
}

int dhcpCompRestartDhcpDaemon(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  dhcpdStoppedByAgent();
  // The new server starts while the kernel still tears down the old one: the
  // PID file that would make it refuse is gone, and the old one answers no
  // more. Its end is awaited (and reaped) once the new one serves.
  std::vector<StoppingProcess> stopping = beginStopOfServers();
  int rc = dhcpCompStartDhcpDeamon();
  processFinishStops(stopping, kDhcpdProgram);
  return rc;
}

int dhcpCompStartDhclient(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  // Never two clients on the interface.
  dhcpCompKillDhclient();
  return dhcpCompRunCommand(kDhclientStartCommand, kDhclientConfFile, kDhclientLeaseFile, kDhclientScript,
                            DHCLIENT_PID_FILE, DHCP_CUSTOMER_LAN_IFNAME);
}

void dhcpdStarted(pid_t pid) {
  tell(ServerState::kStarted, pid);
}

void dhcpdStartFailed(void) {
  tell(ServerState::kStartFailed, 0);
}

void dhcpdStoppedByAgent(void) {
  tell(ServerState::kStoppedByAgent, 0);
}

void dhcpCompSuperviseLiveness(uint32_t probeAddress, bool clientWanted) {
  Supervision& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.probeAddress == probeAddress && s.clientWanted == clientWanted) return;
  s.probeAddress = probeAddress;
  s.clientWanted = clientWanted;
  wake(s);
}

void dhcpCompSuperviseFromRecords(void) {
  // A full pool (or none: no range) leaves a new telephone without an offer
  // from a healthy server: no probe then, or every probe would restart
  // dhcpd. The first pool is the customer LAN's as a whole, the sum of its
  // ranges.
  s_poolStatistics pool;
  bool room = dhcpCompCollectPoolStatistics(&pool, 1) == 1 && pool.freeAddresses > 0;
  uint32_t address =
      CustomerLANDhcpCompConfig.dhcpStatus != 0 && room ? CustomerLANIpConfig.ipAddress.ipLong : 0;
  dhcpCompSuperviseLiveness(address, CustomerLANIpConfig.staticIP == 0);
}

void dhcpCompSuperviseDhclientStopped(void) {
  Supervision& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.clientWanted = false;
}

int dhcpCompStartDhcpdSupervision(void) {
  Supervision& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.running) return 0;
  int rc = s_supervisor.start([](DhcpCompWorker& worker) { Supervisor().run(worker); });
  if (rc != 0) return rc;
  s.running = true;
  wake(s);
  return 0;
}

void dhcpCompStopDhcpdSupervision(void) {
  Supervision& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.running) return;
    s.running = false;
  }
  // Outside the lock: the worker takes it until it sees the stop.
  s_supervisor.stop();
}

unsigned dhcpCompDhcpdRestartCount(void) {
  return g_restarts;
}
