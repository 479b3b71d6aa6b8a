// Self-test of the appliance sandbox with a DHCP-addressed customer LAN
// (--router --eth1-dhcp): the ifup stand-in runs the appliance's dhclient
// command line and the upstream router's dhcpd addresses eth1; peers keep
// private filesystems.
#include <gtest/gtest.h>

#include <string>

#include "sandbox_util.h"

namespace {

using tavrel::sandbox::fileExists;
using tavrel::sandbox::readFile;
using tavrel::sandbox::runCommand;
using tavrel::sandbox::waitUntil;

const std::string kIfcfgEth1 = "/etc/sysconfig/network-scripts/ifcfg-eth1";
const std::string kPidFile = "/var/run/dhclient-eth1.pid";
const std::string kLeaseFile = "/var/lib/dhcp/dhclient-eth1.leases";

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tavrel::sandbox::insideAppliance()) {
      GTEST_SKIP() << "runs only inside tests/sandbox/appliance";
    }
  }
  void TearDown() override { runCommand("/sbin/ifdown eth1"); }

  static std::string eth1Address() { return runCommand("ip -o -4 addr show eth1 | awk '{print $4}'").output; }
};

TEST_F(RouterTest, CustomerLanStartsAsDhcpClientWithoutAddress) {
  EXPECT_NE(readFile(kIfcfgEth1).find("BOOTPROTO=dhcp\n"), std::string::npos);
  EXPECT_EQ(eth1Address(), "");
  EXPECT_NE(runCommand("ip -o link show eth1").output.find("state UP"), std::string::npos);
  EXPECT_FALSE(fileExists(kPidFile));
  const std::string registry = readFile("/pq/platform/registry");
  EXPECT_NE(registry.find("PublishedIP\\default\tinterface\tif\\lan\\eth1\n"), std::string::npos);
  EXPECT_EQ(registry.find("ipaddress"), std::string::npos);
  EXPECT_TRUE(fileExists("/pq/platform/router-present"));
}

TEST_F(RouterTest, IfupRunsTheApplianceClientAndGetsTheRoutersLease) {
  ASSERT_EQ(runCommand("/sbin/ifup eth1").status, 0);
  EXPECT_EQ(eth1Address().rfind("192.168.1.5", 0), 0u) << eth1Address();

  const std::string lease = readFile(kLeaseFile);
  EXPECT_NE(lease.find("interface \"eth1\";"), std::string::npos) << lease;
  EXPECT_NE(lease.find("option dhcp-server-identifier 192.168.1.254;"), std::string::npos);
  EXPECT_NE(lease.find("option domain-name \"customer.lan\";"), std::string::npos);
  EXPECT_NE(runCommand("ip route show default").output.find("via 192.168.1.254"), std::string::npos);

  const std::string pid = runCommand("tr -d '\\n' < " + kPidFile).output;
  ASSERT_FALSE(pid.empty());
  EXPECT_EQ(runCommand("tr '\\0' ' ' < /proc/" + pid + "/cmdline").output,
            "/opt/sbin/dhclient -cf /etc/dhclient-eth1.conf -lf " + kLeaseFile +
                " -sf /opt/sbin/dhclient-script -q -pf " + kPidFile + " eth1 ");

  // The router handed the address to eth1's hardware address.
  const std::string mac = readFile("/sys/class/net/eth1/address");
  const std::string routerLeases =
      runCommand("appliance-peer upstream -- cat /var/lib/dhcp/dhcpd.leases").output;
  EXPECT_NE(routerLeases.find("hardware ethernet " + mac.substr(0, mac.size() - 1) + ";"), std::string::npos)
      << routerLeases;

  // ifdown stops exactly that client and removes the address.
  ASSERT_EQ(runCommand("/etc/sysconfig/network-scripts/ifdown eth1").status, 0);
  EXPECT_FALSE(fileExists(kPidFile));
  EXPECT_TRUE(waitUntil([&] { return !fileExists("/proc/" + pid + "/cmdline"); }));
  EXPECT_EQ(eth1Address(), "");
}

TEST_F(RouterTest, NoServerLeavesTheInterfaceWithoutAddress) {
  ASSERT_EQ(runCommand("appliance-peer upstream -- sh -c 'kill $(cat /run/dhcpd.pid)'").status, 0);
  const auto restart = [] {
    runCommand(
        "appliance-peer upstream -- /usr/sbin/dhcpd -4 -q -cf /etc/dhcp/dhcpd-router.conf "
        "-lf /var/lib/dhcp/dhcpd.leases -pf /run/dhcpd.pid eth0");
  };
  ASSERT_EQ(runCommand("sed -i 's/^timeout .*/timeout 2;/' /etc/dhclient-eth1.conf").status, 0);
  // Without a recorded lease that the client could fall back on.
  ASSERT_EQ(runCommand("rm -f " + kLeaseFile).status, 0);
  const auto ifup = runCommand("/sbin/ifup eth1");
  restart();
  EXPECT_EQ(ifup.status, 0);  // the client stays in the background, waiting
  EXPECT_EQ(eth1Address(), "");
  EXPECT_TRUE(fileExists(kPidFile));
  ASSERT_EQ(runCommand("sed -i 's/^timeout .*/timeout 20;/' /etc/dhclient-eth1.conf").status, 0);
}

TEST_F(RouterTest, PeersKeepPrivateFilesystems) {
  // The router's dhcpd PID file is its own, not the appliance's.
  EXPECT_EQ(runCommand("appliance-peer upstream -- test -s /run/dhcpd.pid").status, 0);
  EXPECT_FALSE(fileExists("/var/run/dhcpd.pid"));
  ASSERT_EQ(runCommand("appliance-peer lan -- sh -c 'echo lan > /etc/peer-note'").status, 0);
  EXPECT_EQ(runCommand("appliance-peer lan -- cat /etc/peer-note").output, "lan\n");
  EXPECT_FALSE(fileExists("/etc/peer-note"));
  EXPECT_NE(runCommand("appliance-peer oam -- test -e /etc/peer-note").status, 0);
  EXPECT_EQ(runCommand("appliance-peer oam -- ip -o -4 addr show br0 | awk '{print $4}'").output,
            "172.31.0.2/24\n");
  EXPECT_EQ(runCommand("appliance-peer nowhere -- true 2>/dev/null").status, 2);
}

}  // namespace
