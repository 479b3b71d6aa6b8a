/* libnetkeel against the real appliance: interfaces, ifup, /proc/net, tc
 * and the platform stand-ins' registry and diagnostics log. Runs inside the
 * appliance sandbox (started with the VLAN eth1.100). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_test_support.h"

namespace {

using netkeel_test::Alarm;
using netkeel_test::PlatformRoot;
using netkeel_test::runCommand;

std::string env(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

void run(const std::string& command) {
  std::string output;
  ASSERT_TRUE(runCommand(command + " 2>&1", &output)) << command << "\n" << output;
}

std::string published(const char* valueName) {
  char buffer[NETKEEL_IF_KEY_SIZE] = {0};
  if (VexGetRegEntryStringEx(5, "PublishedIP\\default", valueName, buffer, sizeof(buffer)) != 0) {
    return "<absent>";
  }
  return buffer;
}

std::vector<uint32_t> alarmNumbers(const PlatformRoot& root) {
  std::vector<uint32_t> numbers;
  for (const Alarm& alarm : root.alarms()) {
    numbers.push_back(alarm.number);
  }
  return numbers;
}

class NetkeelAppliance : public testing::Test {
 protected:
  void SetUp() override {
    if (getenv("TAVREL_APPLIANCE") == nullptr) {
      GTEST_SKIP() << "needs the appliance sandbox (tests/sandbox/appliance run)";
    }
  }
};

/* The published-IP record follows the interface's real address: invalid
 * (60006) once, resolved (60007) once, invalid again for another interface
 * that has no address. */
TEST_F(NetkeelAppliance, PublishedAddressFollowsTheInterface) {
  PlatformRoot root;
  root.writeRegistry({{"if\\lan\\eth2", "description", "OAM LAN"},
                      {"if\\vlan\\eth1.100", "description", "Voice VLAN"},
                      {"if\\vlan\\eth1.100", "vlanid", "100"},
                      {"PublishedIP\\default", "interface", "if\\lan\\eth2"},
                      {"PublishedIP\\default", "ipaddress", "172.31.0.1"}});
  const std::string eth2 = env("APPLIANCE_ETH2_ADDR", "172.31.0.1");

  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), 0);
  EXPECT_TRUE(root.alarms().empty());

  run("ip addr flush dev eth2");
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(published("ipaddress"), "127.0.0.1");
  std::vector<Alarm> alarms = root.alarms();
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].number, 60006u);
  EXPECT_EQ(alarms[0].severity, 1);
  EXPECT_EQ(alarms[0].text, "The Published IP address is invalid. The Published IP interface is: [OAM LAN].");

  run("ip addr add " + eth2 + "/24 dev eth2");
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), 0);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), 0);
  EXPECT_EQ(published("ipaddress"), eth2);
  alarms = root.alarms();
  ASSERT_EQ(alarms.size(), 2u);
  EXPECT_EQ(alarms[1].number, 60007u);
  EXPECT_EQ(alarms[1].severity, 4);
  EXPECT_EQ(alarms[1].text, "The invalid Published IP address issue has now been resolved.");

  /* Invalid again, then another interface without address. */
  run("ip addr flush dev eth2");
  run("ip addr flush dev eth1.100");
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\vlan\\eth1.100"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(published("interface"), "if\\vlan\\eth1.100");
  alarms = root.alarms();
  ASSERT_EQ(alarms.size(), 4u);
  EXPECT_EQ(alarms[2].number, 60006u);
  EXPECT_EQ(alarms[3].number, 60006u);
  EXPECT_EQ(alarms[3].text,
            "The Published IP address is invalid. The Published IP interface is: [VLAN 100: "
            "Voice VLAN].");

  run("ip addr add " + eth2 + "/24 dev eth2");
  run("ip addr add 172.16.1.1/24 dev eth1.100");
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\vlan\\eth1.100"), 0);
  EXPECT_EQ(published("ipaddress"), "172.16.1.1");
  EXPECT_EQ(alarmNumbers(root), (std::vector<uint32_t>{60006, 60007, 60006, 60006, 60007}));
}

/* Without a recorded published interface the customer LAN is published. */
TEST_F(NetkeelAppliance, SanitizePublishesTheCustomerLAN) {
  PlatformRoot root;
  root.writeRegistry({{"if\\lan\\eth1", "description", "Customer LAN"}});

  uint8_t flag[2] = {0, 0xAA};
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\eth1", flag), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(flag[1], 0xAA);
  EXPECT_EQ(published("interface"), "if\\lan\\eth1");
  EXPECT_EQ(published("ipaddress"), env("APPLIANCE_ETH1_ADDR", "192.168.1.1"));

  char key[NETKEEL_IF_KEY_SIZE] = {0};
  EXPECT_EQ(NetkeelGetIfKeyOfPublishedIP(key), 0);
  EXPECT_STREQ(key, "if\\lan\\eth1");
  EXPECT_EQ(NetkeelSanitizePublishedIP(), 0);
  EXPECT_TRUE(root.alarms().empty());
}

/* The appliance's own registry lists its interfaces, which exist. */
TEST_F(NetkeelAppliance, IteratesTheApplianceRegistry) {
  std::vector<std::string> all;
  VexPdrKeyIterator iterator = nullptr;
  ASSERT_EQ(NetkeelBeginIteration(&iterator), 0);
  char key[NETKEEL_IF_KEY_SIZE];
  while (NetkeelGetNextKey(iterator, key) == 0) {
    all.push_back(key);
  }
  EXPECT_EQ(NetkeelEndIteration(iterator), 0);
  for (const char* expected : {"if\\lan\\eth1", "if\\lan\\eth2", "if\\vlan\\eth1.100"}) {
    EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end()) << expected;
  }

  std::vector<std::string> vlans;
  ASSERT_EQ(NetkeelBeginIterationForMedia(&iterator, NETKEEL_IF_TYPE_VLAN), 0);
  while (NetkeelGetNextKey(iterator, key) == 0) {
    vlans.push_back(key);
  }
  NetkeelEndIteration(iterator);
  EXPECT_EQ(vlans, std::vector<std::string>{"if\\vlan\\eth1.100"});

  for (const std::string& each : all) {
    SCOPED_TRACE(each);
    uint16_t index = 0;
    EXPECT_EQ(NetkeelFindIfIndexForIfKey(each.c_str(), &index), 0);
    EXPECT_NE(index, 0);
  }
}

/* Puts a wrapper in front of the appliance's /sbin/ifup that records each
 * call and then runs the real one; restores the link afterwards. */
class IfUpCallRecorder {
 public:
  IfUpCallRecorder() {
    const std::string script = "#!/bin/sh\necho \"$*\" >> " + std::string(kCalls) +
                               "\nexec /etc/sysconfig/network-scripts/ifup \"$@\"\n";
    FILE* file = fopen("netkeel-ifup", "w");
    if (file != nullptr) {
      fputs(script.c_str(), file);
      fclose(file);
    }
    installed_ = runCommand("chmod 755 netkeel-ifup && mv -f netkeel-ifup /sbin/ifup");
  }
  ~IfUpCallRecorder() {
    runCommand("ln -sfn /etc/sysconfig/network-scripts/ifup /sbin/ifup");
    unlink(kCalls);
  }
  bool installed() const { return installed_; }
  /* Calls since the last look, one line each. */
  std::string takeCalls() {
    std::string calls;
    runCommand(std::string("cat ") + kCalls + " 2>/dev/null", &calls);
    unlink(kCalls);
    return calls;
  }

 private:
  static constexpr const char* kCalls = "netkeel-ifup.calls";
  bool installed_ = false;
};

/* Bring-up of eth1 while a host on the LAN holds its address, after that
 * host left, and of an interface without configuration. */
TEST_F(NetkeelAppliance, IfUpDetectsADuplicateAddress) {
  PlatformRoot root;
  IfUpCallRecorder ifup;
  ASSERT_TRUE(ifup.installed());
  const std::string lan = env("APPLIANCE_NS_LAN", "");
  const std::string eth1 = env("APPLIANCE_ETH1_ADDR", "192.168.1.1");
  ASSERT_FALSE(lan.empty());

  run("ip addr flush dev eth1");
  run("ip netns exec " + lan + " ip addr add " + eth1 + "/24 dev br0");
  EXPECT_EQ(NetkeelExecuteIfUp("eth1"), NETKEEL_IFUP_DUPLICATE_ADDRESS);
  EXPECT_EQ(ifup.takeCalls(), "eth1\neth1\n");
  std::vector<Alarm> alarms = root.alarms();
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].number, 60005u);
  EXPECT_EQ(alarms[0].severity, 1);
  EXPECT_EQ(alarms[0].text,
            "Duplicate IP address " + eth1 + " has been detected on initialization of interface.");

  run("ip netns exec " + lan + " ip addr del " + eth1 + "/24 dev br0");
  EXPECT_EQ(NetkeelExecuteIfUp("eth1"), NETKEEL_IFUP_OK);
  EXPECT_EQ(ifup.takeCalls(), "eth1\n");
  std::string output;
  ASSERT_TRUE(runCommand("ip -4 -o addr show dev eth1", &output));
  EXPECT_NE(output.find("inet " + eth1 + "/24"), std::string::npos) << output;

  EXPECT_EQ(NetkeelExecuteIfUp("eth3"), NETKEEL_IFUP_FAILED);
  EXPECT_EQ(ifup.takeCalls(), "eth3\neth3\n");
  EXPECT_EQ(root.alarms().size(), 1u);
}

/* Counters of eth1 grow by what ping sends over it. */
TEST_F(NetkeelAppliance, G2CountsPingTraffic) {
  const std::string host = env("APPLIANCE_LAN_HOST_ADDR", "192.168.1.2");
  s_operG2Stats before;
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("eth1", &before), 0);
  run("ping -c 5 -i 0.2 -q " + host);
  s_operG2Stats after;
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("eth1", &after), 0);

  EXPECT_GE(after.txPackets - before.txPackets, 5u);
  EXPECT_GE(after.rxPackets - before.rxPackets, 5u);
  /* An echo request of ping's default size is 98 bytes on the wire. */
  EXPECT_GE(after.txBytes - before.txBytes, 5u * 98u);
  EXPECT_GE(after.rxBytes - before.rxBytes, 5u * 98u);
  EXPECT_EQ(after.txErrors, 0u);
  EXPECT_EQ(after.rxErrors, 0u);
  const uint32_t now = static_cast<uint32_t>(time(nullptr));
  EXPECT_LE(after.timeStamp, now);
  EXPECT_GE(after.timeStamp + 5, now);

  s_operG2Stats missing;
  memset(&missing, 0x5A, sizeof(missing));
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("nosuch0", &missing), 0);
  EXPECT_EQ(missing.rxPackets, 0u);
  EXPECT_EQ(missing.txBytes, 0u);
  EXPECT_GE(missing.timeStamp + 5, now);
}

/* This kernel has no 802.1Q support: /proc/net/vlan does not exist and
 * every counter reads 0. */
TEST_F(NetkeelAppliance, G3WithoutVlanFileReadsZero) {
  s_operG3Stats stats;
  memset(&stats, 0x5A, sizeof(stats));
  EXPECT_EQ(NetkeelGetUpdOperG3Stats("eth1.100", &stats), 0);
  EXPECT_EQ(stats.framesReceived, 0u);
  EXPECT_EQ(stats.bytesReceived, 0u);
  EXPECT_EQ(stats.multicastReceived, 0u);
  EXPECT_EQ(stats.framesTransmitted, 0u);
  EXPECT_EQ(stats.bytesTransmitted, 0u);
  EXPECT_EQ(stats.headroomIncreases, 0u);
  EXPECT_EQ(stats.encapsulationsOnTransmit, 0u);
  EXPECT_GE(stats.timeStamp + 5, static_cast<uint32_t>(time(nullptr)));
}

class NetkeelTrafficControl : public NetkeelAppliance {
 protected:
  void TearDown() override {
    runCommand("tc qdisc del dev eth1 root 2>/dev/null");
    runCommand("ip link del nkq0 2>/dev/null");
  }

  /* Skips the test when the kernel lacks the discipline. */
  bool supported(const std::string& command) {
    std::string output;
    if (!runCommand(command + " 2>&1", &output)) {
      skipReason_ = "kernel refused '" + command + "': " + output;
      return false;
    }
    return true;
  }

  static s_operG4Stats pattern() {
    s_operG4Stats stats;
    memset(&stats, 0x5A, sizeof(stats));
    return stats;
  }

  std::string skipReason_;
};

/* One HTB class: block 0 gets its counters; the output holds fewer than
 * nine classes, so the call reports 1 and leaves the rest alone. */
TEST_F(NetkeelTrafficControl, G4ReadsOneHtbClass) {
  if (!supported("tc qdisc add dev eth1 root handle 1: htb default 10") ||
      !supported("tc class add dev eth1 parent 1: classid 1:10 htb rate 100mbit")) {
    GTEST_SKIP() << skipReason_;
  }
  run("ping -c 4 -i 0.2 -q " + env("APPLIANCE_LAN_HOST_ADDR", "192.168.1.2"));

  s_operG4Stats stats = pattern();
  const s_operG4Stats before = stats;
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("eth1", &stats), NETKEEL_G4_SHORT_OUTPUT);
  EXPECT_GE(stats.blocks[0].sentPackets, 4u);
  EXPECT_GE(stats.blocks[0].sentBytes, 4u * 98u);
  EXPECT_EQ(stats.blocks[0].dropped, 0u);
  EXPECT_EQ(stats.blocks[0].borrowedOrOverlimits, 0u);
  EXPECT_EQ(stats.timeStamp, before.timeStamp);
  EXPECT_EQ(memcmp(&stats.blocks[1], &before.blocks[1], sizeof(s_operG4Block) * 8), 0);
}

/* Nine HTB classes fill all blocks in tc's order. */
TEST_F(NetkeelTrafficControl, G4ReadsNineHtbClasses) {
  if (!supported("tc qdisc add dev eth1 root handle 1: htb default 11")) {
    GTEST_SKIP() << skipReason_;
  }
  for (int minor = 11; minor <= 19; ++minor) {
    run("tc class add dev eth1 parent 1: classid 1:" + std::to_string(minor) + " htb rate 10mbit");
  }
  run("ping -c 3 -i 0.2 -q " + env("APPLIANCE_LAN_HOST_ADDR", "192.168.1.2"));

  s_operG4Stats stats = pattern();
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("eth1", &stats), NETKEEL_G4_OK);
  EXPECT_GE(stats.timeStamp + 5, static_cast<uint32_t>(time(nullptr)));
  uint64_t packets = 0;
  for (int block = 0; block < NETKEEL_G4_BLOCKS; ++block) {
    SCOPED_TRACE(block);
    EXPECT_EQ(stats.blocks[block].dropped, 0u);
    EXPECT_EQ(stats.blocks[block].borrowedOrOverlimits, 0u);
    EXPECT_LT(stats.blocks[block].sentPackets, 1000u);
    packets += stats.blocks[block].sentPackets;
  }
  /* The default class 1:11 carries the traffic; tc lists it first. */
  std::string listing;
  ASSERT_TRUE(runCommand("tc class show dev eth1", &listing));
  EXPECT_EQ(listing.find("class htb 1:11 "), 0u) << listing;
  EXPECT_GE(stats.blocks[0].sentPackets, 3u);
  EXPECT_EQ(packets, stats.blocks[0].sentPackets);
}

/* Without HTB the disciplines fill the blocks from 8 down: mq and its eight
 * pfifo_fast children on an eight-queue link are exactly nine. */
TEST_F(NetkeelTrafficControl, G4ReadsQueueingDisciplinesInReverse) {
  const std::string lan = env("APPLIANCE_NS_LAN", "");
  ASSERT_FALSE(lan.empty());
  if (!supported("ip link add nkq0 numtxqueues 8 numrxqueues 8 type veth peer name nkq1") ||
      !supported("tc qdisc add dev nkq0 root handle 1: mq")) {
    GTEST_SKIP() << skipReason_;
  }
  run("ip link set nkq1 netns " + lan);
  run("ip netns exec " + lan + " ip addr add 10.99.0.2/24 dev nkq1");
  run("ip netns exec " + lan + " ip link set nkq1 up");
  run("ip addr add 10.99.0.1/24 dev nkq0");
  run("ip link set nkq0 up");
  run("ping -c 4 -i 0.2 -q 10.99.0.2");

  s_operG4Stats stats = pattern();
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("nkq0", &stats), NETKEEL_G4_OK);
  /* Block 8 is mq, the sum of its eight queues in blocks 0..7. */
  uint64_t packets = 0;
  uint64_t bytes = 0;
  for (int block = 0; block < 8; ++block) {
    packets += stats.blocks[block].sentPackets;
    bytes += stats.blocks[block].sentBytes;
    EXPECT_EQ(stats.blocks[block].dropped, 0u);
  }
  EXPECT_GE(stats.blocks[8].sentPackets, 4u);
  EXPECT_EQ(stats.blocks[8].sentPackets, packets);
  EXPECT_EQ(stats.blocks[8].sentBytes, bytes);
  EXPECT_GE(stats.timeStamp + 5, static_cast<uint32_t>(time(nullptr)));

  /* A single discipline lands in block 8 and the output is short. */
  run("tc qdisc replace dev nkq0 root pfifo");
  s_operG4Stats single = pattern();
  const s_operG4Stats before = single;
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("nkq0", &single), NETKEEL_G4_SHORT_OUTPUT);
  EXPECT_LT(single.blocks[8].sentPackets, 100u);
  EXPECT_EQ(single.blocks[8].dropped, 0u);
  EXPECT_EQ(memcmp(&single.blocks[0], &before.blocks[0], sizeof(s_operG4Block) * 8), 0);
  EXPECT_EQ(single.timeStamp, before.timeStamp);
}

}  // namespace
