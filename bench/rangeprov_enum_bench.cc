// EnumerateInstances of 64 reserved addresses through CIM on loopback.
//
// Runs inside the appliance sandbox: TavrelAgent starts from a component
// file with 64 reservations and serves them over CIM-XML; one keep-alive
// client times the requests. Prints p50 and p99; goal p50 <= 2 ms.
// Exit 77 outside the sandbox.
#include <stdio.h>

#include "sandbox_bench.h"
#include "test_support.h"

using namespace tavrel;

namespace {

const int kRuns = 500;
const int kWarmup = 50;
const int kReservations = 64;
const char kClass[] = "ZPX_DHCPReservedAddress";

int benchmark() {
  std::string reservations;
  for (int i = 0; i < kReservations; ++i) {
    char entry[80];
    snprintf(entry, sizeof(entry), "%s192.168.1.%d 02:00:00:00:01:%02X desk%d Desk %d", i > 0 ? ", " : "",
             10 + i, i, i, i);
    reservations += entry;
  }
  auto agent = bench::startAgent(reservations);
  test::CimConnection connection;
  std::string body;
  if (!test::waitUntil(
          [&] {
            return bench::enumerateInstances(connection, kClass, &body) == 200 &&
                   test::occurrences(body, "<VALUE.NAMEDINSTANCE>") == kReservations;
          },
          std::chrono::seconds(60)))
    throw std::runtime_error("the agent does not list the reservations");
  for (int i = 0; i < kWarmup; ++i) bench::enumerateInstances(connection, kClass, &body);
  std::vector<double> times =
      bench::timed([&] { return bench::enumerateInstances(connection, kClass, &body); }, kRuns);
  printf("EnumerateInstances(%s, %d): p50 %.3f ms  p99 %.3f ms  %zu bytes  (goal p50 <= 2 ms)\n", kClass,
         kReservations, bench::percentile(times, 0.5), bench::percentile(times, 0.99), body.size());
  agent->stop();
  return 0;
}

}  // namespace

int main() {
  return bench::runBenchmark("rangeprov_enum_bench", benchmark);
}
