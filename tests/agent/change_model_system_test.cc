// The change path against a model, with the real agent, wbemcli and dhcpd in
// the appliance sandbox: seeded random sequences of CIM changes (lease time,
// ranges, reservations: create, modify, delete), renewals and IP changes,
// with injected failures (dhcpd -t refusing, a component file that cannot be
// replaced, a server that does not start). After every step what CIM shows, what the
// component file holds and what dhcpd.conf serves equal the model of the
// acknowledged changes, and one dhcpd runs. TAVREL_CHANGE_MODEL_SEED=<n>
// replays the sequence a failure names.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;
using Clock = std::chrono::steady_clock;
typedef std::set<std::string> Entries;

const char kRanges[] = "ZPX_DHCPRangeOfIPAddresses";
const char kReservations[] = "ZPX_DHCPReservedAddress";
// dhcpd as the agent runs it: refuses the check or the start while the
// test's flag file says so.
const char kDhcpdWrapper[] =
    "#!/bin/sh\ncase \" $* \" in *\" -t \"*) [ -e /run/model-refuse-check ] && "
    "{ echo 'refused by the test'; exit 1; } ;;\n"
    "*) [ -e /run/model-refuse-start ] && exit 1 ;; esac\nexec /usr/sbin/dhcpd \"$@\"\n";
// The failures injected into one change: what is armed, and its name.
const struct {
  const char* name;
  const char* arm;
} kFailures[] = {
    {"dhcpd -t refuses", "touch /run/model-refuse-check"},
    {"component file cannot be replaced",
     "mount --bind /pq/etc/dhcpcomp.conf /pq/etc/dhcpcomp.conf && "
     "mount -o remount,bind,ro /pq/etc/dhcpcomp.conf /pq/etc/dhcpcomp.conf"},
    {"dhcpd does not start", "touch /run/model-refuse-start"},
};
const char kDisarm[] = "rm -f /run/model-refuse-*; umount /pq/etc/dhcpcomp.conf 2>/dev/null";

// The acknowledged state: id -> "start-end" and id -> "ip MAC", lease time.
struct Model {
  std::map<std::string, std::string> ranges;
  std::map<std::string, std::string> reservations;
  std::string leaseTime;
};

std::string address(int last) {
  return "192.168.1." + std::to_string(last);
}

std::string field(const std::string& line, const std::string& name) {
  std::smatch m;
  return std::regex_search(line, m, std::regex(name + "=\"?([^\",]*)")) ? m[1].str() : "";
}

// Entries of an enumeration, one per instance: id -> value.
std::map<std::string, std::string> instances(const std::string& out, const char* a, const char* b,
                                             const char* separator) {
  std::map<std::string, std::string> found;
  size_t from = 0;
  for (size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1) {
    std::string line = out.substr(from, end - from);
    if (line.find("InstanceID") != std::string::npos)
      found[field(line, "InstanceID")] = field(line, a) + separator + field(line, b);
  }
  return found;
}

Entries valuesOf(const std::map<std::string, std::string>& map) {
  Entries values;
  for (const auto& kv : map) values.insert(kv.second);
  return values;
}

// The customer LAN's part of the component file and of dhcpd.conf.
std::string section(const std::string& text, const std::string& start, const std::string& end) {
  size_t from = text.find(start);
  if (from == std::string::npos) return "";
  return text.substr(from, text.find(end, from + start.size()) - from);
}

// Each match of pattern as "<first> <second>" (captures 1 and 2, or 2 and 1
// with swap), joined by joint.
Entries matches(const std::string& text, const std::string& pattern, const char* joint, bool swap = false) {
  Entries found;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.insert((*it)[swap ? 2 : 1].str() + joint + (*it)[swap ? 1 : 2].str());
  return found;
}

class ChangeModelTest : public CimSystemTest {
 protected:
  // Runs one sequence, counting its steps; false once a step failed.
  bool runSequence(unsigned seed, Clock::time_point deadline, int* steps);

  CommandOutput change(const std::string& op, const std::string& path, const std::string& extra = "") {
    return m_agent->wbemcli(op, path, extra);
  }
  static std::string path(const char* className, const std::string& id) {
    return std::string(className) + ".InstanceID=\"" + id + "\"";
  }
  void check(const Model& model);

  std::mt19937 m_random;
};

void ChangeModelTest::check(const Model& model) {
  auto ranges = instances(ok("ei", kRanges), "StartAddress", "EndAddress", "-");
  auto reservations = instances(ok("ei", kReservations), "IPv4Address", "reservedMACAddr", " ");
  EXPECT_EQ(model.ranges, ranges) << "CIM ranges";
  EXPECT_EQ(model.reservations, reservations) << "CIM reservations";
  EXPECT_THAT(ok("ei", "ZPX_DHCPSettingData"), HasSubstr("leaseTime=" + model.leaseTime + ","));

  std::string component = section(readFile(kComponentFile), "[eth1]\n", "\n[");
  EXPECT_THAT(component, HasSubstr("leaseTime = " + model.leaseTime + "\n"));
  EXPECT_EQ(valuesOf(model.ranges), matches(component, "([0-9.]+)-([0-9.]+)", "-")) << component;
  EXPECT_EQ(valuesOf(model.reservations), matches(component, "([0-9.]+) ([0-9A-F:]{17})", " ")) << component;

  std::string conf = section(readFile(kDhcpdConf), "# eth1\n", "\n}\n");
  EXPECT_EQ(valuesOf(model.ranges), matches(conf, "range ([0-9.]+) ([0-9.]+);", "-")) << conf;
  EXPECT_EQ(valuesOf(model.reservations),
            matches(conf, "ethernet ([0-9A-F:]+);\\s*fixed-address ([0-9.]+);", " ", true))
      << conf;
  if (!model.ranges.empty() || !model.reservations.empty()) {
    EXPECT_THAT(conf, HasSubstr("default-lease-time " + model.leaseTime + ";"));
  }

  // One server: a restart after a failed start may take a few seconds.
  EXPECT_TRUE(waitUntil([] { return runCommand("pgrep -x dhcpd | wc -l").output == "1\n"; },
                        std::chrono::seconds(10)))
      << runCommand("ps -eo pid,args | grep [d]hcpd").output;
}

bool ChangeModelTest::runSequence(unsigned seed, Clock::time_point deadline, int* steps) {
  m_random.seed(seed);
  auto pick = [this](int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); };
  Model model;
  model.ranges = instances(ok("ei", kRanges), "StartAddress", "EndAddress", "-");
  model.reservations = instances(ok("ei", kReservations), "IPv4Address", "reservedMACAddr", " ");
  model.leaseTime = field(ok("ei", "ZPX_DHCPSettingData"), "leaseTime");
  // Ranges lie in .100-.249, reservations in .20-.99: only ranges overlap
  // ranges, and a reservation's address or hardware address repeats.
  auto overlaps = [&model](const std::string& self, int start, int end) {
    for (const auto& kv : model.ranges) {
      int s = std::stoi(kv.second.substr(kv.second.rfind('.', kv.second.find('-')) + 1));
      int e = std::stoi(kv.second.substr(kv.second.rfind('.') + 1));
      if (kv.first != self && start <= e && s <= end) return true;
    }
    return false;
  };
  for (int step = 0; step < 300 && Clock::now() < deadline; ++step) {
    int what = pick(8);
    bool armed = what != 7 && pick(6) == 0;
    int kind = pick(3);
    if (armed) runCommand(kFailures[kind].arm);
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + " action " +
                 std::to_string(what) + (armed ? std::string(" with ") + kFailures[kind].name : ""));
    Model next = model;
    bool valid = true;
    CommandOutput r;
    int start = 100 + 10 * pick(15), end = start + pick(9), last = 20 + pick(80);
    std::string span = address(start) + "-" + address(end);
    std::string rangeText = "StartAddress=\"" + address(start) + "\",EndAddress=\"" + address(end) + "\"";
    std::string mac = "02:00:00:00:00:" + std::to_string(last);
    if (what == 0) {
      next.leaseTime = std::to_string(std::stoul(model.leaseTime) % 5000 + 600 + pick(100));
      r = change("mi", kSettingDataPath, "leaseTime=" + next.leaseTime);
    } else if (what == 1 || (what <= 3 && model.ranges.empty())) {
      valid = !overlaps("", start, end);
      r = change("ci", path(kRanges, "0"), "InstanceID=\"0\"," + rangeText);
      next.ranges[field(r.out, "InstanceID")] = span;
    } else if (what <= 3) {
      auto it = std::next(model.ranges.begin(), pick(static_cast<int>(model.ranges.size())));
      if (what == 2) {
        valid = !overlaps(it->first, start, end);
        r = change("mi", path(kRanges, it->first), rangeText);
        next.ranges[it->first] = span;
      } else {
        r = change("di", path(kRanges, it->first));
        next.ranges.erase(it->first);
      }
    } else if (what == 4 || (what <= 6 && model.reservations.empty())) {
      for (const auto& kv : model.reservations) valid = valid && kv.second.find(address(last) + " ") != 0;
      r = change("ci", path(kReservations, "0"),
                 "InstanceID=\"0\",IPv4Address=\"" + address(last) + "\",reservedMACAddr=\"" + mac + "\"");
      next.reservations[field(r.out, "InstanceID")] = address(last) + " " + mac;
    } else if (what == 5 || what == 6) {
      auto it = std::next(model.reservations.begin(), pick(static_cast<int>(model.reservations.size())));
      r = change("di", path(kReservations, it->first));
      next.reservations.erase(it->first);
    } else if (pick(2) == 0) {
      // A renewal (the static customer LAN keeps its address).
      ok("cm", kServicePath, "renewDynamicIPAddress");
    } else {
      // The flag file: the next request waits for the rebuild.
      writeFile("/pq/etc/ipchnged.tmp", "");
      EXPECT_TRUE(
          waitUntil([] { return access("/pq/etc/ipchnged.tmp", F_OK) != 0; }, std::chrono::seconds(10)));
    }
    runCommand(kDisarm);
    if (what != 7) {
      // A change that leaves dhcpd.conf as it is neither checks nor restarts:
      // a range modified to itself, or the lease time while the customer LAN
      // serves nothing (it then has no subnet declaration).
      bool same = (what == 2 && next.ranges == model.ranges) ||
                  (what == 0 && model.ranges.empty() && model.reservations.empty());
      bool accepted = valid && (!armed || (same && kind != 1));
      EXPECT_EQ(accepted, r.status == 0) << r.out << r.err;
      if (accepted && r.status == 0) model = next;
    }
    // The server refused to start, and so did the previous one: the next
    // commit (here one that changes nothing, after the step's own change was
    // taken into the model) starts it again.
    if (armed && kind == 2) ok("mi", kSettingDataPath, "leaseTime=" + model.leaseTime);
    check(model);
    ++*steps;
    if (HasFailure()) return false;
  }
  return true;
}

TEST_F(ChangeModelTest, RandomChangesAndFailuresKeepCimFilesAndServerInStep) {
  // The wrapper stands where the agent runs dhcpd from.
  ASSERT_EQ(0, runCommand("rm -f /opt/sbin/dhcpd").status);
  writeFile("/opt/sbin/dhcpd", kDhcpdWrapper);
  ASSERT_EQ(0, chmod("/opt/sbin/dhcpd", 0755));
  const char* fixed = getenv("TAVREL_CHANGE_MODEL_SEED");
  unsigned seed = fixed != nullptr ? static_cast<unsigned>(strtoul(fixed, nullptr, 10))
                                   : static_cast<unsigned>(time(nullptr));
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(50);
  int steps = 0;
  do {
    printf("sequence of seed %u\n", seed);
    ASSERT_TRUE(runSequence(seed, deadline, &steps)) << "replay with TAVREL_CHANGE_MODEL_SEED=" << seed;
    ++seed;
  } while (fixed == nullptr && Clock::now() < deadline);
  printf("%d steps\n", steps);
}

}  // namespace
