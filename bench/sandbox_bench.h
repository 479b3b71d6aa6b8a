// What the benchmarks against TavrelAgent in the appliance sandbox share:
// the agent started from the sample component file with changes of eth1,
// timings and their percentiles, the agent's memory, and the latency from a
// change until dhcpd offers the probing client an address.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent_runner.h"
#include "cim_connection.h"

namespace tavrel::bench {

// The probing DHCP client on the customer LAN; give it a reservation, so
// dhcpd answers without its ping check of pool addresses.
extern const uint8_t kProbeMac[6];
extern const char kProbeMacText[];

// The agent installed with the sample component file whose eth1 section
// holds the given reservations (and address ranges, when not empty, instead
// of the sample's), serving up to 64 connections (16 per client), and
// started; null (reported) when it does not serve.
std::unique_ptr<test::AgentUnderTest> startAgent(const std::string& reservations,
                                                 const std::string& ranges = "");
// The agent's process id from its PID file.
pid_t agentPid();

// Milliseconds since an earlier steady-clock reading.
double millisecondsSince(std::chrono::steady_clock::time_point begin);
// The value at that fraction of sorted values; the median.
double percentile(const std::vector<double>& sorted, double fraction);
double median(std::vector<double> values);
// Runs call() runs times: the sorted milliseconds. call returns the HTTP
// status; anything but 200 throws std::runtime_error.
std::vector<double> timed(const std::function<int()>& call, int runs);
// An intrinsic call that must answer HTTP 200 without a CIM error (else
// std::runtime_error); its answer.
std::string callOk(test::CimConnection& connection, const std::string& method, const std::string& params);
// EnumerateInstances of a class: the HTTP status, the answer in *answer.
int enumerateInstances(test::CimConnection& connection, const std::string& className, std::string* answer);

// VmRSS, VmHWM and RssAnon of a process, in kB.
struct Memory {
  long rss = 0;
  long peak = 0;
  long anonymous = 0;
};
Memory memoryOf(pid_t pid);

// Times changes until the probe is offered an address: for each i,
// prepare(i) (untimed), then trigger(i) and DHCPDISCOVERs every 2 ms until
// an offer (with subnet mask netmask(i), network order, when given) comes
// within 5 s.
struct OfferLatencies {
  double median = 0, fastest = 0, slowest = 0;
  int unanswered = 0;
};
OfferLatencies offerLatencies(int changes, const std::function<void(int)>& trigger,
                              const std::function<void(int)>& prepare = nullptr,
                              const std::function<uint32_t(int)>& netmask = nullptr);
// Prints them against the goal for the median; true when every change was
// answered.
bool reportOfferLatencies(const std::string& label, int changes, const OfferLatencies& figures,
                          double goalMs);

// Runs the benchmark as the program: 77 outside the sandbox, 1 when it
// throws std::runtime_error, else its result.
int runBenchmark(const char* name, const std::function<int()>& benchmark);

}  // namespace tavrel::bench
