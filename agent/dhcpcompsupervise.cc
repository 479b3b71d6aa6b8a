// Supervision of the dhcpd that the agent starts and of the customer LAN's
// dhclient. A thread watches dhcpd through a pidfd, so its end is seen at
// once. A server that ends without a stop by the agent, that stays stopped
// (state T) for more than DHCPD_STOPPED_LIMIT_S, or that no longer answers
// the agent's own DHCPDISCOVER (a telephone's, never followed by a
// DHCPREQUEST) twice in a row is started again with the live dhcpd.conf; a
// DHCP-addressed customer LAN's dhclient that ends likewise. One that keeps
// ending is restarted with a growing delay. Each restart is logged with its
// reason.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "dhcpcompcommit.h"
#include "dhcpcompdaemon.h"
#include "foreign.h"
#include "model/records.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the thread reaps the other adopted daemons when nothing else
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

// What the process control last did, and the thread's handle. Guarded by
// mutex; the thread alone opens and closes the pidfd.
struct Supervision {
  std::mutex mutex;
  bool wanted = false;
  pid_t pid = 0;
  unsigned generation = 0;
  Clock::time_point startedAt;
  int wakeFd = -1;
  bool stop = false;
  std::thread thread;
  // From the main loop: the customer LAN's address when the probe applies
  // (0: not probed), and whether its dhclient is to run.
  uint32_t probeAddress = 0;
  bool clientWanted = false;
};

Supervision& state() {
  static Supervision s;
  return s;
}

std::atomic<unsigned> g_restarts{0};

void wake(const Supervision& s) {
  if (s.wakeFd < 0) return;
  uint64_t one = 1;
  ssize_t written = write(s.wakeFd, &one, sizeof(one));
  (void)written;  // a full counter already holds a wake-up
}

int openPidfd(pid_t pid) {
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// The end of a server: its wait status when the agent could reap it.
std::string describeEnd(pid_t pid, int pidfd) {
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
  void run() {
    Supervision& s = state();
    for (;;) {
      pollOnce();
      {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stop) break;
      }
      probeIfDue();
      act();
      superviseClient();
    }
    if (m_pidfd >= 0) close(m_pidfd);
  }

 private:
  // Waits for a wake-up, the watched server's end, a due restart, the next
  // check or the reaping interval.
  void pollOnce() {
    Supervision& s = state();
    struct pollfd fds[2] = {{s.wakeFd, POLLIN, 0}, {m_pidfd, POLLIN, 0}};
    int timeout = m_pid != 0 || m_clientWanted ? kCheckIntervalMs : kReapIntervalMs;
    if (m_backoff.due) timeout = std::min(timeout, m_backoff.msLeft());
    if (m_clientBackoff.due) timeout = std::min(timeout, m_clientBackoff.msLeft());
    int ready = poll(fds, m_pidfd >= 0 ? 2 : 1, timeout);
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      uint64_t count = 0;
      ssize_t got = read(s.wakeFd, &count, sizeof(count));
      (void)got;
    }
    if (ready == 0) dhcpCompReapDaemons();
  }

  // The liveness probe, without any lock: it waits for the answer.
  void probeIfDue() {
    uint32_t address;
    {
      Supervision& s = state();
      std::lock_guard<std::mutex> lock(s.mutex);
      address = s.wanted && s.pid != 0 && s.generation == m_generation ? s.probeAddress : 0;
    }
    if (address == 0 || m_backoff.due || Clock::now() < m_nextProbe) return;
    bool answered = serverAnswersProbe(address);
    m_probeMisses = answered ? 0 : m_probeMisses + 1;
    if (!answered)
      syslog(LOG_WARNING, "DHCP server did not answer the agent's DHCPDISCOVER within %d ms (miss %d of %d).",
             kProbeWaitMs, m_probeMisses, kProbeMissesToRestart);
    m_nextProbe = Clock::now() + (answered ? kProbeInterval : kProbeRetry);
  }

  void act() {
    Supervision& s = state();
    std::lock_guard<std::recursive_mutex> control(dhcpCompProcessControlMutex());
    bool wanted;
    pid_t pid;
    Clock::time_point startedAt;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      if (s.generation != m_generation) {
        // The process control stopped or started a server since.
        m_generation = s.generation;
        if (m_pidfd >= 0) close(m_pidfd);
        m_pidfd = -1;
        m_pid = s.pid;
        m_backoff.due = false;
        m_probeMisses = 0;
        m_stoppedSince = Clock::time_point();
        m_nextProbe = Clock::now() + kProbeAfterStart;
        if (m_pid != 0) {
          m_pidfd = openPidfd(m_pid);
          if (m_pidfd < 0 && errno == ESRCH) m_pidfd = -2;  // ended already
        }
      }
      wanted = s.wanted;
      pid = s.pid;
      startedAt = s.startedAt;
      m_clientWanted = s.clientWanted;
    }
    if (!wanted) return;
    if (pid != 0 && !m_backoff.due) {
      bool ended = m_pidfd == -2 || (m_pidfd >= 0 && pollEnded()) || (m_pidfd == -1 && processGone(pid));
      std::string why;
      if (ended)
        why = "ended (" + describeEnd(pid, m_pidfd >= 0 ? m_pidfd : -1) + ")";
      else if (stoppedTooLong(pid))
        why = "stayed stopped for more than " + std::to_string(DHCPD_STOPPED_LIMIT_S) + " s";
      else if (m_probeMisses >= kProbeMissesToRestart)
        why = "does not answer the agent's DHCPDISCOVER (" + std::to_string(m_probeMisses) + " probes)";
      if (why.empty()) return;
      m_backoff.schedule(Clock::now() - startedAt);
      syslog(LOG_ERR, "DHCP server (process %d) %s; starting it again in %d s.", static_cast<int>(pid),
             why.c_str(), m_backoff.delaySeconds);
    } else if (pid == 0 && !m_backoff.due) {
      // The last start failed.
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

  bool pollEnded() const {
    struct pollfd fd = {m_pidfd, POLLIN, 0};
    return poll(&fd, 1, 0) > 0;
  }

  unsigned m_generation = 0;
  pid_t m_pid = 0;
  // -1 none, -2 the server had ended before it could be opened.
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

void dhcpCompSuperviseDhcpd(bool wanted, pid_t pid) {
  Supervision& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (pid != 0 && wanted == s.wanted && pid == s.pid) return;
  s.wanted = wanted;
  s.pid = pid;
  ++s.generation;
  s.startedAt = Clock::now();
  wake(s);
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
  const s_dhcpCompConfig& cfg = CustomerLANDhcpCompConfig;
  bool ranges = false;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) ranges = ranges || cfg.addrRanges[i].isFree == 0;
  // A full pool leaves a new telephone without an offer from a healthy
  // server: no probe then, or every probe would restart dhcpd. The first
  // pool is the customer LAN's as a whole.
  s_poolStatistics pool;
  bool room = ranges && dhcpCompCollectPoolStatistics(&pool, 1) == 1 && pool.freeAddresses > 0;
  uint32_t address = cfg.dhcpStatus != 0 && room ? CustomerLANIpConfig.ipAddress.ipLong : 0;
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
  if (s.thread.joinable()) return 0;
  s.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (s.wakeFd < 0) return errno;
  s.stop = false;
  s.thread = std::thread([] { Supervisor().run(); });
  wake(s);
  return 0;
}

void dhcpCompStopDhcpdSupervision(void) {
  Supervision& s = state();
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.thread.joinable()) return;
    s.stop = true;
    wake(s);
    thread = std::move(s.thread);
  }
  thread.join();
  std::lock_guard<std::mutex> lock(s.mutex);
  close(s.wakeFd);
  s.wakeFd = -1;
}

unsigned dhcpCompDhcpdRestartCount(void) {
  return g_restarts;
}
