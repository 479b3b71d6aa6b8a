// A thread that follows dhcpd's lease file: when dhcpd writes or replaces
// it, the agent's check runs (it rebuilds the lease lists and looks at the
// pools' use), at most once a second, so the exhaustion alarms do not wait
// for a management station to ask.
#include "dhcpcompleasewatch.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/inotify.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "dhcpcomp.h"

namespace {

const char kLeaseDirectory[] = "/pq/etc";
const char kLeaseFileName[] = "dhcpd.leases";
const auto kMinimumInterval = std::chrono::seconds(1);
const size_t kEventBufferSize = 4096;

int s_watch = -1;
int s_stop[2] = {-1, -1};
std::thread s_thread;

// True when the pending events name the lease file; reads them all.
bool leaseFileEvent() {
  bool touched = false;
  alignas(struct inotify_event) char events[kEventBufferSize];
  for (;;) {
    ssize_t length = read(s_watch, events, sizeof(events));
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const struct inotify_event* event =
          reinterpret_cast<const struct inotify_event*>(events + offset);
      if (event->len > 0 && strcmp(event->name, kLeaseFileName) == 0) touched = true;
      offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
    }
  }
  return touched;
}

// Waits for an event of the lease file; false when the watch is stopped.
// Events that come within a second of the last check wait for that second.
bool waitForChange(std::chrono::steady_clock::time_point notBefore) {
  bool pending = false;
  for (;;) {
    int timeout = -1;
    if (pending) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          notBefore - std::chrono::steady_clock::now());
      if (left.count() <= 0) return true;
      timeout = static_cast<int>(left.count());
    }
    struct pollfd fds[2] = {{s_stop[0], POLLIN, 0}, {s_watch, POLLIN, 0}};
    int ready = poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) return false;
    if (fds[0].revents != 0) return false;
    if (fds[1].revents != 0 && leaseFileEvent()) pending = true;
  }
}

void run(std::function<void()> check) {
  auto notBefore = std::chrono::steady_clock::now();
  while (waitForChange(notBefore)) {
    check();
    notBefore = std::chrono::steady_clock::now() + kMinimumInterval;
  }
}

}  // namespace

int dhcpCompStartLeaseWatch(std::function<void()> check) {
  if (s_thread.joinable()) return EBUSY;
  s_watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (s_watch < 0) return errno;
  // dhcpd appends to the file, and replaces it (a rename) when it rewrites it.
  if (inotify_add_watch(s_watch, kLeaseDirectory, IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) < 0 ||
      pipe2(s_stop, O_CLOEXEC | O_NONBLOCK) != 0) {
    int rc = errno;
    close(s_watch);
    s_watch = -1;
    return rc;
  }
  s_thread = std::thread(run, std::move(check));
  return 0;
}

void dhcpCompStopLeaseWatch(void) {
  if (!s_thread.joinable()) return;
  ssize_t written = write(s_stop[1], "", 1);
  (void)written;  // the thread also ends on a failed wait
  s_thread.join();
  for (int* fd : {&s_watch, &s_stop[0], &s_stop[1]}) {
    close(*fd);
    *fd = -1;
  }
}
