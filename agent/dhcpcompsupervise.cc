// Supervision of the dhcpd that the agent starts. dhcpd detaches and is
// re-parented to the agent (its subreaper); a thread watches it through a
// pidfd, so its end is seen at once. A server that ends without a stop by the
// agent is reaped, logged with its status and started again with the live
// dhcpd.conf; one that keeps ending is restarted with a growing delay.
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

namespace {

using Clock = std::chrono::steady_clock;

// How often the thread reaps the other adopted daemons (dhclient) when
// nothing else wakes it.
const int kReapIntervalMs = 5000;

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
      act();
    }
    if (m_pidfd >= 0) close(m_pidfd);
  }

 private:
  // Waits for a wake-up, the watched server's end, a due restart or the
  // reaping interval.
  void pollOnce() {
    Supervision& s = state();
    struct pollfd fds[2] = {{s.wakeFd, POLLIN, 0}, {m_pidfd, POLLIN, 0}};
    int timeout = kReapIntervalMs;
    if (m_restartDue) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_restartAt - Clock::now());
      timeout = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(left.count(), timeout)));
    }
    int ready = poll(fds, m_pidfd >= 0 ? 2 : 1, timeout);
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      uint64_t count = 0;
      ssize_t got = read(s.wakeFd, &count, sizeof(count));
      (void)got;
    }
    if (ready == 0) dhcpCompReapDaemons();
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
        m_restartDue = false;
        if (m_pid != 0) {
          m_pidfd = openPidfd(m_pid);
          if (m_pidfd < 0 && errno == ESRCH) m_pidfd = -2;  // ended already
        }
      }
      wanted = s.wanted;
      pid = s.pid;
      startedAt = s.startedAt;
    }
    if (!wanted) return;
    if (pid != 0 && !m_restartDue) {
      bool ended = m_pidfd == -2 || (m_pidfd >= 0 && pollEnded()) || (m_pidfd == -1 && processGone(pid));
      if (!ended) return;
      std::string how = describeEnd(pid, m_pidfd >= 0 ? m_pidfd : -1);
      schedule(Clock::now() - startedAt);
      syslog(LOG_ERR, "DHCP server (process %d) ended (%s); starting it again in %d s.",
             static_cast<int>(pid), how.c_str(), m_delaySeconds);
    } else if (pid == 0 && !m_restartDue) {
      // The last start failed.
      schedule(std::chrono::seconds(0));
      syslog(LOG_ERR, "DHCP server is not running; starting it again in %d s.", m_delaySeconds);
    }
    if (m_restartDue && Clock::now() >= m_restartAt) {
      m_restartDue = false;
      ++g_restarts;
      dhcpCompRestartDhcpDaemon();
    }
  }

  bool pollEnded() const {
    struct pollfd fd = {m_pidfd, POLLIN, 0};
    return poll(&fd, 1, 0) > 0;
  }

  // The next restart: at once after a server that ran for the stable time,
  // else after a delay that doubles up to its maximum.
  void schedule(Clock::duration ran) {
    if (ran >= std::chrono::seconds(DHCPD_RESTART_STABLE_S))
      m_delaySeconds = 0;
    else
      m_delaySeconds = m_delaySeconds == 0 ? (m_restarted ? 1 : 0)
                                           : std::min(2 * m_delaySeconds, DHCPD_RESTART_MAX_DELAY_S);
    m_restarted = true;
    m_restartDue = true;
    m_restartAt = Clock::now() + std::chrono::seconds(m_delaySeconds);
  }

  unsigned m_generation = 0;
  pid_t m_pid = 0;
  // -1 none, -2 the server had ended before it could be opened.
  int m_pidfd = -1;
  bool m_restartDue = false;
  bool m_restarted = false;
  int m_delaySeconds = 0;
  Clock::time_point m_restartAt;
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
