// EnumerateInstances of 10,000 leases through CIM on loopback.
//
// Runs inside the appliance sandbox: the customer LAN is widened to a /16,
// TavrelAgent starts, and a lease file with 10,000 active leases takes the
// place of dhcpd's. One keep-alive client enumerates
// ZPX_DHCPClientLeaseInfoCustomerLAN: the first request re-reads the file,
// the others find it unchanged. Prints the re-read, p50 and p99 of the
// unchanged case, and the agent's resident and private (RssAnon) memory;
// goals p50 < 100 ms, under 16 MB resident, private memory at most 2 MB idle
// and at most 4 MB above idle with the leases. Then times EnumerateInstances
// of ZPX_DHCPPoolStatistics over the 32 ranges the leases lie in: goal p50 <
// 5 ms with the lease file unchanged. Last, a LAN host grows the lease file
// (request and release, about 2 MB/s) while root asks for the pool
// statistics over its Unix socket: goal p99 < 50 ms.
//
// Before that, with the leases read, a pull enumeration in pages of 500
// (OpenEnumerateInstances, PullInstancesWithPath) against one
// EnumerateInstances, each on a fresh connection: the agent's peak resident
// memory above idle during each (goal for pull at most 2 MB), the time to
// the first page (goal under 10 ms) and to the last. The pulled instances
// must be those EnumerateInstances gives.
// Exit 77 outside the sandbox.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>

#include "sandbox_bench.h"
#include "test_support.h"

using namespace tavrel;
using Clock = std::chrono::steady_clock;

namespace {

const int kLeases = 10000;
const int kRuns = 30;
const int kPoolRuns = 200;
const int kPage = 500;
const char kLeaseClass[] = "ZPX_DHCPClientLeaseInfoCustomerLAN";
const char kPoolClass[] = "ZPX_DHCPPoolStatistics";
const char kLeaseFile[] = "/pq/etc/dhcpd.leases";
const auto kGrowthTime = std::chrono::seconds(10);
const double kGrowthBytesPerSecond = 2 << 20;

// 32 ranges of 250 addresses: 192.168.10.1-250 to 192.168.41.1-250.
std::string ranges() {
  std::string text;
  for (int n = 0; n < 32; ++n)
    text += (n > 0 ? ", " : "") +
            ("192.168." + std::to_string(10 + n) + ".1-192.168." + std::to_string(10 + n) + ".250");
  return text;
}

// A lease file's time: "weekday year/month/day hour:minute:second", UTC.
std::string when(time_t t) {
  char text[40];
  struct tm utc;
  gmtime_r(&t, &utc);
  strftime(text, sizeof(text), "%w %Y/%m/%d %H:%M:%S", &utc);
  return text;
}

// eth1 as 192.168.1.1/16, in its ifcfg file and on the interface.
void widenCustomerLan() {
  const std::string path = "/etc/sysconfig/network-scripts/ifcfg-eth1";
  test::writeFile(
      path, std::regex_replace(test::readFile(path), std::regex("NETMASK=\\S+"), "NETMASK=255.255.0.0"));
  if (test::runCommand("ip addr flush dev eth1 && ip addr add 192.168.1.1/16 dev eth1").status != 0)
    throw std::runtime_error("cannot widen eth1");
}

// kLeases active telephone leases in the 32 ranges, in place of dhcpd's file.
void replaceLeaseFile() {
  const time_t now = time(nullptr);
  const std::string starts = when(now - 600), ends = when(now + 3600);
  std::string records;
  char record[512];
  for (int n = 0; n < kLeases; ++n) {
    snprintf(record, sizeof(record),
             "lease 192.168.%d.%d {\n  starts %s;\n  ends %s;\n  cltt %s;\n  binding state active;\n"
             "  next binding state free;\n  hardware ethernet 00:1a:e8:%02x:%02x:%02x;\n"
             "  set vendor-class-identifier = \"Zelkor-p4100-A\";\n  client-hostname \"phone%d\";\n}\n",
             10 + n / 250, 1 + n % 250, starts.c_str(), ends.c_str(), starts.c_str(), n >> 16 & 255,
             n >> 8 & 255, n & 255, n);
    records += record;
  }
  const std::string fresh = std::string(kLeaseFile) + ".new";
  if (!test::writeFile(fresh, records) || rename(fresh.c_str(), kLeaseFile) != 0)
    throw std::runtime_error("cannot write the lease file");
}

// The INSTANCE elements of an answer.
std::vector<std::string> instancesOf(const std::string& body) {
  std::vector<std::string> instances;
  const std::string open = "<INSTANCE ", close = "</INSTANCE>";
  for (size_t at = body.find(open); at != std::string::npos; at = body.find(open, at)) {
    const size_t end = body.find(close, at);
    if (end == std::string::npos) break;
    instances.push_back(body.substr(at, end + close.size() - at));
    at = end;
  }
  return instances;
}

struct Page {
  std::string body;
  std::string context;
  bool end = false;
};

Page pullCall(test::CimConnection& connection, const std::string& method, const std::string& params) {
  Page page;
  page.body = bench::callOk(connection, method, params);
  const size_t name = page.body.find("NAME=\"EnumerationContext\"");
  const size_t value = name == std::string::npos ? name : page.body.find("><VALUE>", name);
  if (value != std::string::npos) {
    const size_t start = value + strlen("><VALUE>");
    page.context = page.body.substr(start, page.body.find('<', start) - start);
  }
  page.end = test::contains(page.body, "NAME=\"EndOfSequence\" PARAMTYPE=\"boolean\"><VALUE>TRUE");
  return page;
}

std::string classParam() {
  return std::string("<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"") + kLeaseClass +
         "\"/></IPARAMVALUE>";
}

std::string countParam(int count) {
  return "<IPARAMVALUE NAME=\"MaxObjectCount\"><VALUE>" + std::to_string(count) + "</VALUE></IPARAMVALUE>";
}

// Lets VmHWM start again from the current resident memory.
void resetPeak(pid_t pid) {
  test::writeFile("/proc/" + std::to_string(pid) + "/clear_refs", "5");
}

// Peak memory above idle and times of a pull and of EnumerateInstances.
void pullAgainstEnumerate(pid_t pid) {
  {
    test::CimConnection connection;  // reads the lease file
    pullCall(connection, "OpenEnumerateInstancePaths", classParam() + countParam(1));
  }
  const long idle = bench::memoryOf(pid).rss;
  std::vector<std::string> pulled;
  double firstMs = 0, lastMs = 0;
  long pullPeak = 0;
  {
    test::CimConnection connection;
    resetPeak(pid);
    const Clock::time_point begin = Clock::now();
    Page page = pullCall(connection, "OpenEnumerateInstances", classParam() + countParam(kPage));
    firstMs = bench::millisecondsSince(begin);
    pulled = instancesOf(page.body);
    while (!page.end) {
      page = pullCall(connection, "PullInstancesWithPath",
                      "<IPARAMVALUE NAME=\"EnumerationContext\"><VALUE>" + page.context +
                          "</VALUE></IPARAMVALUE>" + countParam(kPage));
      std::vector<std::string> more = instancesOf(page.body);
      pulled.insert(pulled.end(), more.begin(), more.end());
    }
    lastMs = bench::millisecondsSince(begin);
    pullPeak = bench::memoryOf(pid).peak;
  }
  std::string body;
  double enumMs = 0;
  long enumPeak = 0;
  int status = 0;
  {
    test::CimConnection connection;
    resetPeak(pid);
    const Clock::time_point begin = Clock::now();
    status = bench::enumerateInstances(connection, kLeaseClass, &body);
    enumMs = bench::millisecondsSince(begin);
    enumPeak = bench::memoryOf(pid).peak;
  }
  std::vector<std::string> enumerated = instancesOf(body);
  if (status != 200 || enumerated.size() != kLeases || pulled != enumerated)
    throw std::runtime_error("pulled " + std::to_string(pulled.size()) + " leases, enumerated " +
                             std::to_string(enumerated.size()) + ": not the same");
  printf(
      "Pull of %d leases in pages of %d: first page %.1f ms (goal < 10 ms), last page %.1f ms, peak %.1f MB "
      "above "
      "%.1f MB idle (goal <= 2 MB)\n",
      kLeases, kPage, firstMs, lastMs, (pullPeak - idle) / 1024.0, idle / 1024.0);
  printf("EnumerateInstances of the same %d leases: %.1f ms, peak %.1f MB above idle\n", kLeases, enumMs,
         (enumPeak - idle) / 1024.0);
}

// A LAN host cycling request and release with a telephone's vendor class:
// dhcpd appends an active and a free record each time.
void growLeaseFile(const std::atomic<bool>& stop) {
  const time_t now = time(nullptr);
  std::string cycle;
  for (const char* state : {"active", "free"})
    cycle += "lease 192.168.50.7 {\n  starts " + when(now) + ";\n  ends " + when(now + 3600) + ";\n  cltt " +
             when(now) + ";\n  binding state " + state +
             ";\n  next binding state free;\n  rewind binding state free;\n  hardware ethernet "
             "00:1a:e8:99:00:07;\n"
             "  set vendor-class-identifier = \"Zelkor-p4100-A\";\n  client-hostname \"host7\";\n}\n";
  const auto step = std::chrono::milliseconds(20);
  std::string chunk;
  const size_t cycles = std::max<size_t>(1, static_cast<size_t>(kGrowthBytesPerSecond * 0.02 / cycle.size()));
  for (size_t i = 0; i < cycles; ++i) chunk += cycle;
  FILE* file = fopen(kLeaseFile, "a");
  if (file == nullptr) return;
  while (!stop) {
    fwrite(chunk.data(), 1, chunk.size(), file);
    fflush(file);
    std::this_thread::sleep_for(step);
  }
  fclose(file);
}

long fileSize(const char* path) {
  struct stat st = {};
  return stat(path, &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Root's pool statistics requests while the lease file grows.
void rootRequestsUnderGrowth() {
  std::atomic<bool> stop{false};
  const long size = fileSize(kLeaseFile);
  std::thread writer([&] { growLeaseFile(stop); });
  std::vector<double> times;
  int status = 200;
  {
    test::CimConnection connection(test::kAgentSocket);
    const Clock::time_point deadline = Clock::now() + kGrowthTime;
    while (Clock::now() < deadline && status == 200) {
      const Clock::time_point begin = Clock::now();
      status = bench::enumerateInstances(connection, kPoolClass, nullptr);
      times.push_back(bench::millisecondsSince(begin));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  stop = true;
  writer.join();
  if (status != 200) throw std::runtime_error("HTTP " + std::to_string(status) + " on the root socket");
  std::sort(times.begin(), times.end());
  const double grown = static_cast<double>(fileSize(kLeaseFile) - size);
  printf(
      "Root socket, %s while the lease file grows by %.1f MB/s: p50 %.1f ms p99 %.1f ms (goal p99 < 50 ms)\n",
      kPoolClass, grown / static_cast<double>(kGrowthTime.count()) / 1e6, bench::percentile(times, 0.5),
      bench::percentile(times, 0.99));
}

int benchmark() {
  widenCustomerLan();
  auto agent = bench::startAgent("", ranges());
  const pid_t pid = bench::agentPid();
  const bench::Memory idle = bench::memoryOf(pid);
  replaceLeaseFile();
  pullAgainstEnumerate(pid);
  // The same leases again, in a file the agent has not read yet.
  replaceLeaseFile();

  test::CimConnection connection;
  std::string body;
  const Clock::time_point begin = Clock::now();
  const int status = bench::enumerateInstances(connection, kLeaseClass, &body);
  const double rereadMs = bench::millisecondsSince(begin);
  const size_t count = test::occurrences(body, "<VALUE.NAMEDINSTANCE>");
  if (status != 200 || count != kLeases)
    throw std::runtime_error("HTTP " + std::to_string(status) + ", " + std::to_string(count) +
                             " leases listed");
  std::vector<double> times =
      bench::timed([&] { return bench::enumerateInstances(connection, kLeaseClass, &body); }, kRuns);
  // The next request is read once the last answer's buffer is given back.
  bench::enumerateInstances(connection, "ZPX_DHCPService", nullptr);
  const bench::Memory leases = bench::memoryOf(pid);
  printf(
      "EnumerateInstances(%s, %d): re-read %.1f ms, unchanged p50 %.1f ms p99 %.1f ms, %.1f MB (goal p50 < "
      "100 "
      "ms)\n",
      kLeaseClass, kLeases, rereadMs, bench::percentile(times, 0.5), bench::percentile(times, 0.99),
      static_cast<double>(body.size()) / 1e6);
  printf("Agent resident memory: %.1f MB idle, %.1f MB with %d leases (peak %.1f MB; goal < 16 MB)\n",
         idle.rss / 1024.0, leases.rss / 1024.0, kLeases, leases.peak / 1024.0);
  printf(
      "Agent private memory (RssAnon): %.1f MB idle (goal <= 2 MB), %.1f MB with %d leases, %.1f MB above "
      "idle "
      "(goal <= 4 MB)\n",
      idle.anonymous / 1024.0, leases.anonymous / 1024.0, kLeases,
      (leases.anonymous - idle.anonymous) / 1024.0);

  times = bench::timed([&] { return bench::enumerateInstances(connection, kPoolClass, &body); }, kPoolRuns);
  printf(
      "EnumerateInstances(%s, %zu pools, %d leases, file unchanged): p50 %.2f ms p99 %.2f ms (goal p50 < 5 "
      "ms)\n",
      kPoolClass, test::occurrences(body, "<VALUE.NAMEDINSTANCE>"), kLeases, bench::percentile(times, 0.5),
      bench::percentile(times, 0.99));

  rootRequestsUnderGrowth();
  agent->stop();
  return 0;
}

}  // namespace

int main() {
  return bench::runBenchmark("lease_enum_bench", benchmark);
}
