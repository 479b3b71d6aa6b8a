// libcorvane on the appliance's fixed paths, in the appliance sandbox, with
// the real ifconfig, netstat and ip.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "corvane.h"
#include "test_support.h"

namespace fs = std::filesystem;
using tavrel::test::readFile;
using tavrel::test::writeFile;

namespace {

const char kHostsFile[] = "/etc/hosts";
const char kNetworkFile[] = "/etc/sysconfig/network";

void run(const std::string& command) {
  ASSERT_EQ(tavrel::test::runCommand(command).status, 0) << command;
}

// What corvaneGetIPInfo gives for ifname as "address/mask/gateway", each
// output "old" before the call.
std::string ipInfo(const std::string& ifname) {
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old",
       gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo(ifname.c_str(), addr, mask, gateway);
  return std::string(addr) + "/" + mask + "/" + gateway;
}

double ipInfoSeconds(const char* ifname, char* addr, char* mask) {
  const auto start = std::chrono::steady_clock::now();
  corvaneGetIPInfo(ifname, addr, mask, nullptr);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class CorvaneSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    // The fixed paths are the appliance's: never touch the host's.
    if (!tavrel::test::insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    corvaneInitDHCPLANSemaphore();
  }
};

TEST_F(CorvaneSystemTest, HostsFileIsReplacedOrLeftAlone) {
  // The administrator's lines stay; the agent's own follow them.
  const std::string header =
      readFile(kHostsFile) + "192.168.1.1\tappliance.customer.lan\tappliance\t# TavrelAgent\n";
  char host[] = "appliance", domain[] = "customer.lan", addr[] = "192.168.1.1", router[] = "192.168.1.254",
       none[] = "";
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, addr, router), 1);
  EXPECT_EQ(readFile(kHostsFile), header + "192.168.1.254\trouter\t# TavrelAgent\n");
  // Every process reads the file, whatever the writer's umask.
  mode_t umaskBefore = umask(077);
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, addr, none), 1);
  umask(umaskBefore);
  EXPECT_EQ(readFile(kHostsFile), header);
  EXPECT_EQ(fs::status(kHostsFile).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

  struct {
    std::string host, domain, addr, router;
  } refused[] = {
      {"appliance\n10.0.0.1", "customer.lan", "192.168.1.1", ""},
      {"appliance", "customer.lan\tevil", "192.168.1.1", ""},
      {"appliance", "customer.lan", "192.168.1.1\n", ""},
      {"appliance", "customer.lan", "192.168.1.1", "192.168.1.254 x"},
      // Longer than the entry's 144-byte work area.
      {std::string(50, 'h'), std::string(50, 'd'), "192.168.1.1", "192.168.1.254"},
      // A host line of 192 bytes, one more than the entry holds.
      {std::string(50, 'h'), std::string(63, 'd'), "192.168.1.1", ""},
  };
  for (auto& c : refused) {
    SCOPED_TRACE(testing::PrintToString(c.host + "|" + c.domain + "|" + c.addr + "|" + c.router));
    EXPECT_EQ(corvaneUpdateHostsFile(c.host.data(), c.domain.data(), c.addr.data(), c.router.data()), 0);
    EXPECT_EQ(readFile(kHostsFile), header);
  }
  // A directory where the new file should go: it cannot be created.
  char other[] = "10.1.1.1";
  fs::create_directory("/etc/hosts.new");
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, other, none), 0);
  fs::remove("/etc/hosts.new");
  EXPECT_EQ(readFile(kHostsFile), header);

  // No host name in the network file: the system's ("appliance"), and no
  // empty name ever.
  char empty[] = "", lan[] = "customer.lan";
  EXPECT_EQ(corvaneUpdateHostsFile(empty, lan, addr, none), 1);
  EXPECT_EQ(readFile(kHostsFile), header);
}

TEST_F(CorvaneSystemTest, FlagFileAndLeaseFile) {
  const char flag[] = "/pq/etc/ipchnged.tmp";
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 1);
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 1);
  EXPECT_TRUE(fs::exists(flag));
  fs::remove(flag);
  fs::rename("/pq/etc", "/pq/etc.away");
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 0);
  fs::rename("/pq/etc.away", "/pq/etc");

  // No lease file: no lease (the reader itself is covered by the unit tests).
  fs::remove("/var/lib/dhcp/dhclient-eth1.leases");
  char fixed[CORVANE_LEASE_ADDR_SIZE];
  EXPECT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
}

// One default route gives its gateway (IPInfoOfAnInterface); two name no
// single gateway; without any the network settings are read.
TEST_F(CorvaneSystemTest, DefaultGatewayFromRouteOrNetworkSettings) {
  run("ip route replace default via 192.168.1.254 dev eth1");
  run("ip route add default via 172.31.0.2 dev eth2 metric 50");
  char gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "");

  run("ip route flush exact 0.0.0.0/0");
  writeFile(kNetworkFile, "NETWORKING=yes\nHOSTNAME=appliance\nGATEWAY=10.9.8.7\n");
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "10.9.8.7");
  // Only a line of its own counts, not a longer key that ends the same.
  writeFile(kNetworkFile, "NETWORKING=yes\r\nIPV6_DEFAULTGATEWAY=fe80::1\r\n");
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "");
  fs::remove(kNetworkFile);
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "");
}

TEST_F(CorvaneSystemTest, IPInfoOfAnInterface) {
  run("ip route replace default via 172.31.0.2 dev eth2");
  EXPECT_EQ(ipInfo("eth2"), "172.31.0.1/255.255.255.0/172.31.0.2");
  EXPECT_FALSE(fs::exists("temp.txt"));

  // A name that is no interface runs nothing and leaves mask and gateway.
  const std::string marker = "/tmp/corvane-injected";
  EXPECT_EQ(ipInfo("eth1;touch " + marker), "/old/old");
  EXPECT_FALSE(fs::exists(marker));

  // Where the command output cannot be kept (the working directory is
  // gone), nothing is known and every output says so.
  const fs::path home = fs::current_path();
  fs::create_directory(home / "gone");
  fs::current_path(home / "gone");
  fs::remove(home / "gone");
  const std::string info = ipInfo("eth2");
  fs::current_path(home);
  EXPECT_EQ(info, "//");
}

// Only "eth1" is waited for, 11 attempts 3 seconds apart; any other
// interface without an address is asked once.
TEST_F(CorvaneSystemTest, IPInfoWaitsForAnAddressOnlyOnEth1) {
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old";
  run("ip addr flush dev eth2");
  EXPECT_LT(ipInfoSeconds("eth2", addr, mask), 3.0);
  EXPECT_STREQ(addr, "");
  EXPECT_STREQ(mask, "");
  run("ip addr add 172.31.0.1/24 dev eth2");

  run("ip addr flush dev eth1");
  const double seconds = ipInfoSeconds("eth1", addr, nullptr);
  EXPECT_STREQ(addr, "");
  EXPECT_GE(seconds, 30.0);
  EXPECT_LT(seconds, 45.0);
  run("ip addr add 192.168.1.1/24 dev eth1");
}

}  // namespace
