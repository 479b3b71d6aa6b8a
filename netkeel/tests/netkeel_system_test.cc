/* libnetkeel in the appliance sandbox: interfaces, ifup, /proc/net and tc. */
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_test_support.h"

namespace {

using netkeel_test::published;
using tavrel::test::runCommand;

std::string env(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

void run(const std::string& command) {
  const tavrel::test::CommandResult result = runCommand(command + " 2>&1");
  ASSERT_EQ(result.status, 0) << command << "\n" << result.output;
}

class NetkeelAppliance : public testing::Test {
 protected:
  void SetUp() override {
    if (!tavrel::test::insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    ASSERT_FALSE(lan_.empty());
  }
  netkeel_test::PlatformRoot root_;
  const std::string lanHost_ = env("APPLIANCE_LAN_HOST_ADDR", "192.168.1.2");
  const std::string lan_ = env("APPLIANCE_NS_LAN", "");  // the LAN's namespace
};

/* Without a recorded published interface the customer LAN is published
 * with its address; an interface that loses its address raises 60006 with
 * its description. */
TEST_F(NetkeelAppliance, PublishedAddressFollowsTheInterface) {
  root_.writeRegistry({{"if\\lan\\eth2", "description", "OAM LAN"}});
  uint8_t flag = 0;
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\eth1", &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(published("ipaddress"), env("APPLIANCE_ETH1_ADDR", "192.168.1.1"));

  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), 0);
  EXPECT_EQ(published("ipaddress"), env("APPLIANCE_ETH2_ADDR", "172.31.0.1"));
  run("ip addr flush dev eth2");
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\eth2"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(published("ipaddress"), "127.0.0.1");
  EXPECT_EQ(
      root_.alarms(),
      "NETKEEL\t1\t60006\tThe Published IP address is invalid. The Published IP interface is: [OAM LAN].\n");
}

/* Bring-up of eth1 while a host on the LAN holds its address, after that
 * host left, and of an interface without configuration. */
TEST_F(NetkeelAppliance, IfUpDetectsADuplicateAddress) {
  const std::string eth1 = env("APPLIANCE_ETH1_ADDR", "192.168.1.1");
  run("ip addr flush dev eth1");
  run("ip netns exec " + lan_ + " ip addr add " + eth1 + "/24 dev br0");
  EXPECT_EQ(NetkeelExecuteIfUp("eth1"), NETKEEL_IFUP_DUPLICATE_ADDRESS);
  const std::string duplicate = "NETKEEL\t1\t60005\tDuplicate IP address " + eth1 +
                                " has been detected on initialization of interface.\n";
  EXPECT_EQ(root_.alarms(), duplicate);

  run("ip netns exec " + lan_ + " ip addr del " + eth1 + "/24 dev br0");
  EXPECT_EQ(NetkeelExecuteIfUp("eth1"), NETKEEL_IFUP_OK);
  EXPECT_NE(runCommand("ip -4 -o addr show dev eth1").output.find("inet " + eth1 + "/24"), std::string::npos);
  EXPECT_EQ(NetkeelExecuteIfUp("eth3"), NETKEEL_IFUP_FAILED);
  EXPECT_EQ(root_.alarms(), duplicate);
}

/* Counters of eth1 grow by what ping sends over it (an echo request of
 * ping's default size is 98 bytes on the wire); so does its one HTB class,
 * read into block 0: fewer than nine classes make a short output. */
TEST_F(NetkeelAppliance, G2AndG4CountPingTraffic) {
  bool htb = true;
  for (const char* command : {"tc qdisc add dev eth1 root handle 1: htb default 10",
                              "tc class add dev eth1 parent 1: classid 1:10 htb rate 100mbit"}) {
    htb = htb && runCommand(command).status == 0;
  }
  s_operG2Stats before;
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("eth1", &before), 0);
  run("ping -c 5 -i 0.2 -q " + lanHost_);
  s_operG2Stats after;
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("eth1", &after), 0);
  EXPECT_GE(after.txPackets - before.txPackets, 5u);
  EXPECT_GE(after.rxPackets - before.rxPackets, 5u);
  EXPECT_GE(after.txBytes - before.txBytes, 5u * 98u);
  EXPECT_GE(after.rxBytes - before.rxBytes, 5u * 98u);
  EXPECT_EQ(after.txErrors, 0u);
  EXPECT_TRUE(netkeel_test::recent(after.timeStamp));
  if (!htb) GTEST_SKIP() << "the kernel refused HTB";
  s_operG4Stats stats = {};
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("eth1", &stats), NETKEEL_G4_SHORT_OUTPUT);
  EXPECT_GE(stats.blocks[0].sentPackets, 5u);
  EXPECT_GE(stats.blocks[0].sentBytes, 5u * 98u);
  EXPECT_EQ(stats.blocks[0].dropped, 0u);
  EXPECT_EQ(stats.blocks[0].borrowedOrOverlimits, 0u);
}

/* Without HTB the disciplines fill the blocks from 8 down: mq and its eight
 * pfifo_fast children on an eight-queue link are exactly nine. */
TEST_F(NetkeelAppliance, G4ReadsQueueingDisciplines) {
  for (const char* command : {"ip link add nkq0 numtxqueues 8 numrxqueues 8 type veth peer name nkq1",
                              "tc qdisc add dev nkq0 root handle 1: mq"}) {
    if (runCommand(command).status != 0) GTEST_SKIP() << "the kernel refused '" << command << "'";
  }
  run("ip link set nkq1 netns " + lan_);
  run("ip netns exec " + lan_ + " ip addr add 10.99.0.2/24 dev nkq1");
  run("ip netns exec " + lan_ + " ip link set nkq1 up");
  run("ip addr add 10.99.0.1/24 dev nkq0");
  run("ip link set nkq0 up");
  run("ping -c 4 -i 0.2 -q 10.99.0.2");

  s_operG4Stats stats = {};
  EXPECT_EQ(NetkeelGetUpdOperG4Stats("nkq0", &stats), NETKEEL_G4_OK);
  uint64_t packets = 0;
  for (int block = 0; block < 8; ++block) packets += stats.blocks[block].sentPackets;
  EXPECT_GE(stats.blocks[8].sentPackets, 4u);
  EXPECT_EQ(stats.blocks[8].sentPackets, packets);
  EXPECT_TRUE(netkeel_test::recent(stats.timeStamp));
}

}  // namespace
