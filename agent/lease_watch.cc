// A thread that follows dhcpd's lease file: when dhcpd writes or replaces
// it, and when a listed lease ends, the agent's check runs (it brings the
// lease lists up to date and looks at the pools' use), at most once a
// second, so the exhaustion alarms do not wait for a management station to
// ask.
#include "lease_watch.h"

#include <errno.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "directory_watch.h"
#include "model/leases.h"
#include "model/records.h"
#include "worker.h"

namespace {

const auto kMinimumInterval = std::chrono::seconds(1);

DhcpCompWorker s_worker;
DirectoryWatch s_watch(DHCPD_LEASE_DIRECTORY, {DHCPD_LEASE_FILE_NAME});

// Milliseconds until the first listed lease ends (at most a day); -1 when
// none does.
int untilNextLeaseEnd() {
  long long end = dhcpCompNextLeaseEnd();
  if (end == LLONG_MAX) return -1;
  long long seconds = end - static_cast<long long>(time(nullptr));
  if (seconds <= 0) return 0;
  return static_cast<int>(std::min(seconds, 86400LL) * 1000);
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
    DhcpCompWorker::Event event = worker.wait(s_watch.fd(), timeout);
    if (event == DhcpCompWorker::kStopped) return;
    if (event == DhcpCompWorker::kReadable && s_watch.changed()) pending = true;
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
  // dhcpd appends to the file, and replaces it (a rename) when it rewrites it.
  int rc = s_watch.open();
  if (rc != 0) return rc;
  rc = s_worker.start([check](DhcpCompWorker& worker) { follow(worker, check); });
  if (rc != 0) s_watch.close();
  return rc;
}

void dhcpCompStopLeaseWatch(void) {
  s_worker.stop();
  s_watch.close();
}
