// IP change of a renumbered static customer LAN, against TavrelAgent in the
// appliance sandbox: from the creation of the flag file /pq/etc/ipchnged.tmp
// to the first DHCPOFFER of the reconfigured dhcpd (recognised by the new
// subnet mask). eth1 alternates between 192.168.1.1/24 and
// 192.168.1.129/25; the probing client holds a reservation inside both.
// Median, minimum and maximum over the changes against the goal for the
// median; before each change the agent is idle (the last flag file gone)
// for the settling time.
//   ipchange_bench [CHANGES SETTLE_MS GOAL_MS]   (default 20 200 100)
// With arguments a median at or above the goal fails too (the load
// driver's renumbering after its storm: 10 1200 400).
// Exit 77 outside the sandbox, 1 when a change went unanswered.
#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "sandbox_bench.h"
#include "test_support.h"

using namespace tavrel;

namespace {

const char kFlagFile[] = "/pq/etc/ipchnged.tmp";
const char kIfcfg[] = "/etc/sysconfig/network-scripts/ifcfg-eth1";

struct Numbering {
  const char* address;
  const char* netmask;
  int prefix;
};
const Numbering kNumberings[] = {{"192.168.1.129", "255.255.255.128", 25},
                                 {"192.168.1.1", "255.255.255.0", 24}};

void renumber(const Numbering& n) {
  test::writeFile(kIfcfg, std::string("DEVICE=eth1\nONBOOT=yes\nBOOTPROTO=static\nIPADDR=") + n.address +
                              "\nNETMASK=" + n.netmask + "\n");
  if (test::runCommand("ip addr flush dev eth1 && ip addr add " + std::string(n.address) + "/" +
                       std::to_string(n.prefix) + " dev eth1")
          .status != 0)
    throw std::runtime_error("cannot renumber eth1");
}

int benchmark(int changes, int settleMs, double goalMs, bool mustMeetGoal) {
  auto agent = bench::startAgent(std::string("192.168.1.200 ") + bench::kProbeMacText + " bench-probe Probe");
  bench::OfferLatencies figures = bench::offerLatencies(
      changes, [](int) { test::writeFile(kFlagFile, ""); },
      [&](int i) {
        renumber(kNumberings[i % 2]);
        // The agent is idle again once it has removed the last flag file.
        for (int waited = 0; test::fileExists(kFlagFile) && waited < 2000; ++waited)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
      },
      [](int i) { return inet_addr(kNumberings[i % 2].netmask); });
  const bool answered = bench::reportOfferLatencies(
      "Flag file until the reconfigured dhcpd offers on the renumbered eth1", changes, figures, goalMs);
  agent->stop();
  return answered && (!mustMeetGoal || figures.median < goalMs) ? 0 : 1;
}

// A whole number in [1, 100000] from the command line; 0 for anything else.
int countArgument(const char* text) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= 1 && value <= 100000 ? static_cast<int>(value) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool given = argc == 4;
  const int changes = given ? countArgument(argv[1]) : 20;
  const int settleMs = given ? countArgument(argv[2]) : 200;
  const int goalMs = given ? countArgument(argv[3]) : 100;
  if ((argc != 1 && !given) || changes == 0 || settleMs == 0 || goalMs == 0) {
    fprintf(stderr, "usage: %s [CHANGES SETTLE_MS GOAL_MS]\n", argv[0]);
    return 2;
  }
  return bench::runBenchmark("ipchange_bench", [&] { return benchmark(changes, settleMs, goalMs, given); });
}
