// A thread that follows dhcpd's lease file: when dhcpd writes or replaces
// it, and when a listed lease ends, the agent's check runs (it brings the
// lease lists up to date and looks at the pools' use), at most once a
// second, so the exhaustion alarms do not wait for a management station to
// ask.
#include "dhcpcompleasewatch.h"

#include <errno.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <climits>

#include "dhcpcompworker.h"
#include "model/leases.h"

namespace {

const auto kMinimumInterval = std::chrono::seconds(1);
const size_t kEventBufferSize = 4096;

DhcpCompWorker s_worker;
int s_watch = -1;

// True when the pending events name the lease file; reads them all.
bool leaseFileEvent() {
  bool touched = false;
  alignas(struct inotify_event) char events[kEventBufferSize];
  for (;;) {
    ssize_t length = read(s_watch, events, sizeof(events));
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const struct inotify_event* event = reinterpret_cast<const struct inotify_event*>(events + offset);
      if (event->len > 0 && strcmp(event->name, DHCPD_LEASE_FILE_NAME) == 0) touched = true;
      offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
    }
  }
  return touched;
}

// Milliseconds until the first listed lease ends (at most a day); -1 when
// none does.
int untilNextLeaseEnd() {
  long long end = dhcpCompNextLeaseEnd();
  if (end == LLONG_MAX) return -1;
  long long seconds = end - static_cast<long long>(time(nullptr));
  if (seconds <= 0) return 0;
  return static_cast<int>(seconds > 86400 ? 86400000 : seconds * 1000);
}

// Checks after each change and when a lease ends; changes within a second
// of a check wait for that second to pass.
void follow(DhcpCompWorker& worker, const std::function<void()>& check) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point notBefore = Clock::now();
  bool pending = false;
  for (;;) {
    int timeout = untilNextLeaseEnd();
    if (pending) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(notBefore - Clock::now());
      timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    DhcpCompWorker::Event event = worker.wait(s_watch, timeout);
    if (event == DhcpCompWorker::kStopped) return;
    if (event == DhcpCompWorker::kReadable && leaseFileEvent()) pending = true;
    if (untilNextLeaseEnd() == 0) pending = true;
    if (pending && Clock::now() >= notBefore) {
      pending = false;
      check();
      notBefore = Clock::now() + kMinimumInterval;
    }
  }
}

}  // namespace

int dhcpCompStartLeaseWatch(std::function<void()> check) {
  if (s_watch >= 0) return EBUSY;
  s_watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (s_watch < 0) return errno;
  // dhcpd appends to the file, and replaces it (a rename) when it rewrites it.
  int rc = inotify_add_watch(s_watch, DHCPD_LEASE_DIRECTORY, IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) < 0
               ? errno
               : s_worker.start([check](DhcpCompWorker& worker) { follow(worker, check); });
  if (rc != 0) {
    close(s_watch);
    s_watch = -1;
  }
  return rc;
}

void dhcpCompStopLeaseWatch(void) {
  s_worker.stop();
  if (s_watch >= 0) close(s_watch);
  s_watch = -1;
}
