// The outage window of a commit, inside the appliance sandbox. A client on
// the customer LAN segment sends a DHCPDISCOVER every 2 ms throughout and
// notes each DHCPOFFER; the longest gap without an answer around a commit
// that changes dhcpd.conf is compared with the time a bare dhcpd takes from
// its start to its first answer, measured in the same run (goal: at most
// 1.3 times that). A commit without a change must leave no gap beyond the
// probing interval and start no new dhcpd. The probing client holds a
// reservation: an address from the pool would first be pinged by dhcpd
// (ping-check, one second), which is not the commit's cost. Prints medians and
// maxima over 20 commits of each kind; exits 1 when a restart failed or the
// unchanged commit restarted the server, 77 outside the sandbox.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "commit.h"
#include "dhcp_probe.h"
#include "dhcpd.h"
#include "dhcpd_test_support.h"
#include "foreign.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/records.h"
#include "model_test_support.h"
#include "process.h"
#include "tavrel_agent_api.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kCommits = 20;
const double kGoalFactor = 1.3;
const auto kAnswerTimeout = std::chrono::seconds(5);
const int kResendMs = 2;

const uint8_t kClientMac[6] = {0x02, 0x00, 0x00, 0x7a, 0x00, 0x01};

// Sends a DISCOVER every kResendMs and notes when OFFERs come back.
class Prober {
 public:
  explicit Prober(tavrel::bench::DhcpProbe& probe) : m_probe(probe), m_thread([this] { run(); }) {}
  ~Prober() {
    m_stop = true;
    m_thread.join();
  }
  // Longest gap between answers from the last answer before from until the
  // first answer after to; -1 when none came within the answer timeout.
  double longestGapMs(Clock::time_point from, Clock::time_point to) {
    if (firstAnswerAfterMs(to) < 0) return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto first = std::lower_bound(m_answers.begin(), m_answers.end(), from);
    if (first != m_answers.begin()) --first;
    double longest = 0;
    for (auto it = first; it + 1 != m_answers.end() && *it <= to; ++it)
      longest = std::max(longest, std::chrono::duration<double, std::milli>(*(it + 1) - *it).count());
    return longest;
  }

  // Time from from to the first answer after it; -1 when none came within
  // the answer timeout.
  double firstAnswerAfterMs(Clock::time_point from) {
    Clock::time_point deadline = Clock::now() + kAnswerTimeout;
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::upper_bound(m_answers.begin(), m_answers.end(), from);
        if (it != m_answers.end()) return std::chrono::duration<double, std::milli>(*it - from).count();
      }
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  void run() {
    while (!m_stop) {
      m_probe.sendDiscover();
      Clock::time_point next = Clock::now() + std::chrono::milliseconds(kResendMs);
      while (!m_stop && Clock::now() < next) {
        int offers = m_probe.receiveOffers(std::chrono::milliseconds(1));
        if (offers == 0) continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.insert(m_answers.end(), static_cast<size_t>(offers), Clock::now());
      }
    }
  }

  tavrel::bench::DhcpProbe& m_probe;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<Clock::time_point> m_answers;
  std::thread m_thread;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double maximum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

}  // namespace

int main() {
  if (!tavrel::test::insideAppliance()) {
    fprintf(stderr, "dhcpd_commit_bench: runs only inside tests/sandbox/appliance\n");
    return 77;
  }
  dhcpCompInitProcessControl();
  model_test::resetModel();
  dhcpd_test::setUpApplianceRecords();
  dhcpd_test::addReservation(&CustomerLANDhcpCompConfig, 5, "192.168.1.50", "02:00:00:7A:00:01",
                             "bench-probe");
  tavrel::bench::DhcpProbe probe(kClientMac, 0x7a000000);
  if (!probe.isOpen()) {
    perror("dhcpd_commit_bench: probe socket on the LAN segment");
    return 1;
  }
  if (dhcpCompCommitConfigurationChanges() != 0) {
    fprintf(stderr, "first commit failed: %s\n", dhcpCompCommitFailureText().c_str());
    return 1;
  }

  std::vector<double> bare, changing, unchanged;
  int failed = 0, restartedWithoutChange = 0;
  {
    Prober prober(probe);
    for (int i = 0; i < kCommits; ++i) {
      // A bare dhcpd: from its start to its first answer.
      dhcpCompKillDhcpDaemon();
      Clock::time_point start = Clock::now();
      int rc = dhcpCompStartDhcpDeamon();
      double toAnswer = rc == 0 ? prober.firstAnswerAfterMs(start) : -1;
      if (toAnswer < 0)
        ++failed;
      else
        bare.push_back(toAnswer);

      CustomerLANDhcpCompConfig.leaseTime = 3600 + static_cast<uint32_t>(i) + 1;
      start = Clock::now();
      rc = dhcpCompCommitConfigurationChanges();
      double gap = rc == 0 ? prober.longestGapMs(start, Clock::now()) : -1;
      if (gap < 0)
        ++failed;
      else
        changing.push_back(gap);

      pid_t before = dhcpCompRunningDhcpd();
      start = Clock::now();
      rc = dhcpCompCommitConfigurationChanges();
      gap = rc == 0 ? prober.longestGapMs(start, Clock::now()) : -1;
      if (gap < 0)
        ++failed;
      else
        unchanged.push_back(gap);
      if (dhcpCompRunningDhcpd() != before) ++restartedWithoutChange;
    }
  }
  dhcpCompKillDhcpDaemon();

  double goal = kGoalFactor * median(bare);
  printf("bare dhcpd, start to first answer: median %.1f ms, max %.1f ms\n", median(bare), maximum(bare));
  printf(
      "commit changing dhcpd.conf, longest gap without an answer: median %.1f ms, max %.1f ms "
      "(goal: at most %.1f x bare = %.1f ms: %s)\n",
      median(changing), maximum(changing), kGoalFactor, goal, median(changing) <= goal ? "met" : "NOT met");
  printf(
      "commit without a change, longest gap: median %.1f ms, max %.1f ms; new dhcpd started "
      "%d times (goal 0)\n",
      median(unchanged), maximum(unchanged), restartedWithoutChange);
  printf("failed restarts or answers: %d\n", failed);
  return failed == 0 && restartedWithoutChange == 0 ? 0 : 1;
}
