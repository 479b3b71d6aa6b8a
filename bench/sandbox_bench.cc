#include "sandbox_bench.h"

#include <arpa/inet.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "dhcp_probe.h"
#include "test_support.h"

namespace tavrel::bench {

using Clock = std::chrono::steady_clock;

const uint8_t kProbeMac[6] = {0x02, 0x00, 0x00, 0x7B, 0x00, 0x01};
const char kProbeMacText[] = "02:00:00:7B:00:01";

std::unique_ptr<test::AgentUnderTest> startAgent(const std::string& reservations, const std::string& ranges) {
  std::string sample = test::readFile(test::sourceDir() + "/agent/dhcpcomp-sample.conf");
  // Only the first section, eth1, gets them.
  const std::string empty = "reservedAddrs = \n";
  const size_t at = sample.find(empty);
  if (at != std::string::npos) sample.replace(at, empty.size(), "reservedAddrs = " + reservations + "\n");
  if (!ranges.empty())
    sample = std::regex_replace(sample, std::regex("addrRange = .*\n"), "addrRange = " + ranges + "\n",
                                std::regex_constants::format_first_only);
  test::AgentOptions options;
  options.componentFile = test::scratchDir() + "/dhcpcomp.conf";
  options.settings = {"http_server.max_connections = 64", "http_server.max_connections_per_client = 16"};
  if (!test::writeFile(options.componentFile, sample))
    throw std::runtime_error("cannot write the component file");
  auto agent = std::make_unique<test::AgentUnderTest>(options);
  if (!agent->running()) throw std::runtime_error("the agent did not get ready:\n" + agent->log());
  return agent;
}

pid_t agentPid() {
  return test::pidInFile("/var/run/TavrelAgent.pid");
}

double millisecondsSince(Clock::time_point begin) {
  return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1,
                         static_cast<size_t>(static_cast<double>(sorted.size()) * fraction))];
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<double> timed(const std::function<int()>& call, int runs) {
  std::vector<double> times;
  times.reserve(static_cast<size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    const Clock::time_point begin = Clock::now();
    const int status = call();
    times.push_back(millisecondsSince(begin));
    if (status != 200) throw std::runtime_error("HTTP " + std::to_string(status));
  }
  std::sort(times.begin(), times.end());
  return times;
}

std::string callOk(test::CimConnection& connection, const std::string& method, const std::string& params) {
  std::string answer;
  const int status = connection.call(method, params, &answer);
  if (status != 200 || test::contains(answer, "<ERROR"))
    throw std::runtime_error(method + ": HTTP " + std::to_string(status) + " " + answer.substr(0, 300));
  return answer;
}

int enumerateInstances(test::CimConnection& connection, const std::string& className, std::string* answer) {
  return connection.call(
      "EnumerateInstances",
      "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"" + className + "\"/></IPARAMVALUE>", answer);
}

Memory memoryOf(pid_t pid) {
  std::istringstream status(test::readFile("/proc/" + std::to_string(pid) + "/status"));
  Memory memory;
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:" && status >> value) memory.rss = value;
    if (key == "VmHWM:" && status >> value) memory.peak = value;
    if (key == "RssAnon:" && status >> value) memory.anonymous = value;
  }
  return memory;
}

OfferLatencies offerLatencies(int changes, const std::function<void(int)>& trigger,
                              const std::function<void(int)>& prepare,
                              const std::function<uint32_t(int)>& netmask) {
  DhcpProbe probe(kProbeMac, 0x7b000000);
  if (!probe.isOpen()) throw std::runtime_error("no probe socket on the LAN segment");
  std::vector<double> latencies;
  OfferLatencies figures;
  for (int i = 0; i < changes; ++i) {
    if (prepare) prepare(i);
    probe.receiveOffers(std::chrono::microseconds(0));
    const Clock::time_point begin = Clock::now();
    trigger(i);
    if (probe.waitForOffer(netmask ? netmask(i) : 0))
      latencies.push_back(millisecondsSince(begin));
    else
      ++figures.unanswered;
  }
  if (!latencies.empty()) {
    figures.median = median(latencies);
    figures.fastest = *std::min_element(latencies.begin(), latencies.end());
    figures.slowest = *std::max_element(latencies.begin(), latencies.end());
  }
  return figures;
}

bool reportOfferLatencies(const std::string& label, int changes, const OfferLatencies& figures,
                          double goalMs) {
  const bool met = figures.unanswered == 0 && figures.median < goalMs;
  printf("%s, %d changes: median %.1f ms  min %.1f ms  max %.1f ms  no answer %d (goal median < %g ms: %s)\n",
         label.c_str(), changes, figures.median, figures.fastest, figures.slowest, figures.unanswered, goalMs,
         met ? "met" : "NOT met");
  return figures.unanswered == 0;
}

int runBenchmark(const char* name, const std::function<int()>& benchmark) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!test::insideAppliance()) {
    fprintf(stderr, "%s: needs the appliance sandbox\n", name);
    return 77;
  }
  try {
    return benchmark();
  } catch (const std::runtime_error& e) {
    fprintf(stderr, "%s: %s\n", name, e.what());
    return 1;
  }
}

}  // namespace tavrel::bench
