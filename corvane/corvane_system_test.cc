// libcorvane on the appliance's fixed paths, inside the appliance sandbox:
// the DHCP client lease, /etc/hosts, the IP-change flag file, the default
// gateway and interface addresses from the real ifconfig, netstat and ip.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "corvane.h"
#include "corvane_test_support.h"

namespace fs = std::filesystem;
using corvane_test::GuardedBuffer;
using corvane_test::readFile;
using corvane_test::sample;
using corvane_test::writeFile;

namespace {

const char kLeaseFile[] = "/var/lib/dhcp/dhclient-eth1.leases";
const char kHostsFile[] = "/etc/hosts";
const char kHostsNewFile[] = "/etc/hosts.new";
const char kFlagFile[] = "/pq/etc/ipchnged.tmp";
const char kNetworkFile[] = "/etc/sysconfig/network";

int run(const std::string& command) {
  int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class CorvaneSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    // The fixed paths are the appliance's: never touch the host's.
    const char* inside = getenv("TAVREL_APPLIANCE");
    if (inside == nullptr || std::string(inside) != "1") {
      GTEST_SKIP() << "needs the appliance sandbox (tests/sandbox/appliance run)";
    }
    corvaneInitDHCPLANSemaphore();
    networkSettings_ = readFile(kNetworkFile);
  }
  void TearDown() override {
    if (!networkSettings_.empty()) writeFile(kNetworkFile, networkSettings_);
  }

  std::string networkSettings_;
};

// One lease sample and what the parser gives for it. Outputs start as "old"
// so that untouched and cleared outputs can be told apart.
struct LeaseCase {
  const char* file;
  const char* ifname;
  int result;
  const char* fixedAddress;
  const char* subnetMask;
  const char* routers;
  const char* dns1;
  const char* dns2;
  const char* netbiosServer;
  unsigned char nodeType;
  const char* domainName;
  const char* renew;
  const char* serverId;
  const char* ipSet;
  const char* dhcpText;
};

const LeaseCase kLeaseCases[] = {
    {"three-blocks.leases", "eth1", 1, "10.20.30.40", "255.255.254.0", "10.20.30.1", "10.20.0.53",
     "10.20.0.54", "10.20.0.139", 8, "office.example", "1 2026/12/07 09:41:27", "10.20.30.2", "", ""},
    {"other-interface-last.leases", "eth1", 0, "old", "old", "old", "old", "old", "old", 77, "old", "old",
     "old", "", ""},
    {"other-interface-last.leases", "eth2", 1, "172.31.0.77", "255.255.255.0", "172.31.0.2", "", "", "", 0,
     "", "0 2026/12/06 18:24:55", "172.31.0.2", "", ""},
    {"three-dns-trailing-point.leases", "eth1", 1, "192.168.1.53", "255.255.255.0", "192.168.1.254",
     "192.168.1.254", "8.8.8.8", "", 0, "customer.lan", "0 2026/12/06 18:33:40", "192.168.1.254", "", ""},
    {"no-routers.leases", "eth1", 1, "192.168.1.54", "255.255.255.0", "", "", "", "", 0, "",
     "0 2026/12/06 18:43:01", "192.168.1.254", "", ""},
    {"truncated-last-block.leases", "eth1", 1, "192.168.1.55", "255.255.255.0", "192.168.1.254",
     "192.168.1.254", "", "", 0, "customer.lan", "0 2026/12/06 18:53:18", "192.168.1.254", "", ""},
    {"vendor-texts.leases", "eth1", 1, "192.168.1.50", "255.255.255.0", "192.168.1.254", "192.168.1.254",
     "192.168.1.253", "", 0, "customer.lan", "0 2026/12/06 20:27:36", "192.168.1.254",
     "192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.VLAN-A:100,200.", "2,100-200."},
    // Every value longer than its buffer is cut to it.
    {"overlong-values.leases", "eth1", 1, "192.168.1.57", "255.255.255.0", "192.168.1.254",
     "192.168.100.100.100", "192.168.200.200.200", "192.168.111.111.111", 0,
     "a-very-long-subdomain-name-for-testing.a-", "0 2026/12/06 19:03:18 and som", "192.168.1.254.254.2",
     "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:100,101,102,103,104,105,106,107,108,109,110,"
     "111,112,113,114,115,116,117,118,119,120,121,122,123,124,125,126,127,128,129,130,131,132,"
     "133,134,135,136,137,138,",
     "2,1111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
     "1111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
     "111111111111111111"},
};

TEST_F(CorvaneSystemTest, LeaseFileSamplesGiveTheCurrentLease) {
  for (const LeaseCase& c : kLeaseCases) {
    SCOPED_TRACE(std::string(c.file) + " for " + c.ifname);
    writeFile(kLeaseFile, sample(c.file));
    GuardedBuffer<CORVANE_LEASE_ADDR_SIZE> fixed, mask, routers, dns1, dns2, nbs, serverId;
    GuardedBuffer<CORVANE_LEASE_DOMAIN_SIZE> domain;
    GuardedBuffer<CORVANE_LEASE_RENEW_SIZE> renew;
    // The agent passes 208-byte buffers for the vendor texts.
    GuardedBuffer<208> ipSet, dhcpText;
    unsigned char nodeType = 77;
    int result = corvaneParseDhclientLeaseFile(c.ifname, fixed.get(), mask.get(), routers.get(), dns1.get(),
                                               dns2.get(), nbs.get(), &nodeType, domain.get(), renew.get(),
                                               serverId.get(), ipSet.get(), dhcpText.get());
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(fixed.text(), c.fixedAddress);
    EXPECT_EQ(mask.text(), c.subnetMask);
    EXPECT_EQ(routers.text(), c.routers);
    EXPECT_EQ(dns1.text(), c.dns1);
    EXPECT_EQ(dns2.text(), c.dns2);
    EXPECT_EQ(nbs.text(), c.netbiosServer);
    EXPECT_EQ(nodeType, c.nodeType);
    EXPECT_EQ(domain.text(), c.domainName);
    EXPECT_EQ(renew.text(), c.renew);
    EXPECT_EQ(serverId.text(), c.serverId);
    EXPECT_EQ(ipSet.text(), c.ipSet);
    EXPECT_EQ(dhcpText.text(), c.dhcpText);
    for (auto* guarded : {&fixed, &mask, &routers, &dns1, &dns2, &nbs, &serverId}) {
      EXPECT_TRUE(guarded->guardIntact());
    }
    EXPECT_TRUE(domain.guardIntact());
    EXPECT_TRUE(renew.guardIntact());
    EXPECT_TRUE(ipSet.guardIntact());
    EXPECT_TRUE(dhcpText.guardIntact());
  }
}

TEST_F(CorvaneSystemTest, LeaseOutputsAreFilledOnlyWhenAskedFor) {
  writeFile(kLeaseFile, sample("vendor-texts.leases"));
  GuardedBuffer<CORVANE_LEASE_ADDR_SIZE> fixed;
  GuardedBuffer<CORVANE_VENDOR_TEXT_SIZE> ipSet;
  EXPECT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, ipSet.get(), nullptr),
            1);
  EXPECT_EQ(fixed.text(), "192.168.1.50");
  // The vendor texts are cleared, and filled only when both are given.
  EXPECT_EQ(ipSet.text(), "");

  // Without the fixed address the lease is not usable.
  writeFile(kLeaseFile, "lease {\n  interface \"eth1\";\n  option subnet-mask 255.0.0.0;\n}\n");
  GuardedBuffer<CORVANE_LEASE_ADDR_SIZE> mask;
  EXPECT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed.get(), mask.get(), nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(fixed.text(), "");
  EXPECT_EQ(mask.text(), "old");

  fs::remove(kLeaseFile);
  EXPECT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(corvaneParseDhclientLeaseFile(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
}

const char kHostsHeader[] =
    "# Do not remove the following line, or various programs\n"
    "# that require network functionality will fail.\n"
    "127.0.0.1\tlocalhost\n";

TEST_F(CorvaneSystemTest, HostsFileHoldsHeaderHostAndRouter) {
  char host[] = "appliance", domain[] = "customer.lan", addr[] = "192.168.1.1", router[] = "192.168.1.254",
       none[] = "";
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, addr, router), 1);
  EXPECT_EQ(readFile(kHostsFile), std::string(kHostsHeader) +
                                      "192.168.1.1\tappliance.customer.lan\tappliance\n"
                                      "192.168.1.254\trouter\n");
  // Every process reads the file, whatever the writer's umask.
  mode_t umaskBefore = umask(077);
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, addr, none), 1);
  umask(umaskBefore);
  EXPECT_EQ(readFile(kHostsFile),
            std::string(kHostsHeader) + "192.168.1.1\tappliance.customer.lan\tappliance\n");
  EXPECT_EQ(fs::status(kHostsFile).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(fs::exists(kHostsNewFile));
}

TEST_F(CorvaneSystemTest, HostsFileRefusesTextsThatWouldCorruptIt) {
  char host[] = "appliance", domain[] = "customer.lan", addr[] = "192.168.1.1", router[] = "192.168.1.254";
  ASSERT_EQ(corvaneUpdateHostsFile(host, domain, addr, router), 1);
  const std::string before = readFile(kHostsFile);
  struct Case {
    std::string host, domain, addr, router;
  } cases[] = {
      {"app liance", "customer.lan", "192.168.1.1", ""},
      {"appliance\n10.0.0.1", "customer.lan", "192.168.1.1", ""},
      {"appliance", "customer.lan\tevil", "192.168.1.1", ""},
      {"appliance", "customer.lan#", "192.168.1.1", ""},
      {"appliance\x01", "customer.lan", "192.168.1.1", ""},
      {"appliance", "customer.lan", "192.168.1.1\n", ""},
      {"appliance", "customer.lan", "192.168.1", ""},
      {"appliance", "customer.lan", "", ""},
      {"appliance", "customer.lan", "192.168.1.1", "router"},
      {"appliance", "customer.lan", "192.168.1.1", "192.168.1.254 x"},
      // Longer than the entry's 144-byte work area.
      {std::string(50, 'h'), std::string(50, 'd'), "192.168.1.1", "192.168.1.254"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.host + "|" + c.domain + "|" + c.addr + "|" + c.router));
    EXPECT_EQ(corvaneUpdateHostsFile(c.host.data(), c.domain.data(), c.addr.data(), c.router.data()), 0);
    EXPECT_EQ(readFile(kHostsFile), before);
    EXPECT_FALSE(fs::exists(kHostsNewFile));
  }
}

TEST_F(CorvaneSystemTest, HostsFileThatCannotBeWrittenIsReported) {
  char host[] = "appliance", domain[] = "customer.lan", addr[] = "192.168.1.1", router[] = "";
  ASSERT_EQ(corvaneUpdateHostsFile(host, domain, addr, router), 1);
  const std::string before = readFile(kHostsFile);
  char other[] = "10.1.1.1";
  // A directory where the new file should go: it cannot be created.
  fs::create_directory(kHostsNewFile);
  EXPECT_EQ(corvaneUpdateHostsFile(host, domain, other, router), 0);
  fs::remove(kHostsNewFile);
  EXPECT_EQ(readFile(kHostsFile), before);
}

TEST_F(CorvaneSystemTest, FlagFileIsCreatedOrTheFailureReported) {
  fs::remove(kFlagFile);
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 1);
  EXPECT_TRUE(fs::exists(kFlagFile));
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 1);
  EXPECT_TRUE(fs::exists(kFlagFile));
  fs::remove(kFlagFile);

  fs::rename("/pq/etc", "/pq/etc.away");
  EXPECT_EQ(corvaneInformTavrelOfIPConfigChange(), 0);
  fs::rename("/pq/etc.away", "/pq/etc");
  EXPECT_FALSE(fs::exists(kFlagFile));
}

TEST_F(CorvaneSystemTest, DefaultGatewayFromRouteOrNetworkSettings) {
  ASSERT_EQ(run("ip route replace default via 192.168.1.254 dev eth1"), 0);
  char gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "192.168.1.254");

  // Two default routes name no single gateway.
  ASSERT_EQ(run("ip route add default via 172.31.0.2 dev eth2 metric 50"), 0);
  corvaneGetDefaultGateway(gateway);
  EXPECT_STREQ(gateway, "");
  ASSERT_EQ(run("ip route del default via 172.31.0.2 dev eth2 metric 50"), 0);

  ASSERT_EQ(run("ip route del default"), 0);
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
  EXPECT_FALSE(fs::exists("temp.txt"));
}

TEST_F(CorvaneSystemTest, IPInfoOfAnInterfaceWithAddress) {
  ASSERT_EQ(run("ip route replace default via 172.31.0.2 dev eth2"), 0);
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old",
       gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo("eth2", addr, mask, gateway);
  EXPECT_STREQ(addr, "172.31.0.1");
  EXPECT_STREQ(mask, "255.255.255.0");
  EXPECT_STREQ(gateway, "172.31.0.2");
  EXPECT_FALSE(fs::exists("temp.txt"));
  ASSERT_EQ(run("ip route del default"), 0);

  char onlyMask[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo("eth1", nullptr, onlyMask, nullptr);
  EXPECT_STREQ(onlyMask, "255.255.255.0");
}

TEST_F(CorvaneSystemTest, IPInfoRefusesNamesThatAreNoInterface) {
  const std::string marker = "/tmp/corvane-injected";
  const std::string names[] = {"",   "eth1;touch " + marker, "$(touch " + marker + ")", "eth1 eth2",
                               "-a", std::string(16, 'e')};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old";
    corvaneGetIPInfo(name.c_str(), addr, mask, nullptr);
    EXPECT_STREQ(addr, "");
    EXPECT_STREQ(mask, "old");
    EXPECT_FALSE(fs::exists(marker));
  }
  char addr[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo(nullptr, addr, nullptr, nullptr);
  EXPECT_STREQ(addr, "");
}

// Where the command output cannot be kept (here: the working directory is
// gone), nothing is known and every output says so.
TEST_F(CorvaneSystemTest, IPInfoWithoutCommandOutputGivesEmptyTexts) {
  const fs::path home = fs::current_path();
  const fs::path gone = home / "gone";
  fs::create_directory(gone);
  fs::current_path(gone);
  fs::remove(gone);
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old",
       gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo("eth2", addr, mask, gateway);
  fs::current_path(home);
  EXPECT_STREQ(addr, "");
  EXPECT_STREQ(mask, "");
  EXPECT_STREQ(gateway, "");
}

// Only "eth1" is waited for: any other interface without an address is
// asked once, and one retry would already take 3 seconds.
TEST_F(CorvaneSystemTest, IPInfoOfOtherInterfaceWithoutAddressIsAskedOnce) {
  ASSERT_EQ(run("ip addr flush dev eth2"), 0);
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old";
  auto start = std::chrono::steady_clock::now();
  corvaneGetIPInfo("eth2", addr, mask, nullptr);
  double seconds = secondsSince(start);
  EXPECT_STREQ(addr, "");
  EXPECT_STREQ(mask, "");
  EXPECT_LT(seconds, 3.0);
  ASSERT_EQ(run("ip addr add 172.31.0.1/24 dev eth2"), 0);
}

TEST_F(CorvaneSystemTest, IPInfoOfEth1FindsAnAddressThatAppearsLater) {
  ASSERT_EQ(run("ip addr flush dev eth1"), 0);
  // The address comes as from a DHCP client finishing a few seconds late.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sleep(4);
    _exit(run("ip addr add 192.168.1.1/24 dev eth1"));
  }
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old";
  auto start = std::chrono::steady_clock::now();
  corvaneGetIPInfo("eth1", addr, mask, nullptr);
  double seconds = secondsSince(start);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_STREQ(addr, "192.168.1.1");
  EXPECT_STREQ(mask, "255.255.255.0");
  EXPECT_GE(seconds, 3.0);
}

TEST_F(CorvaneSystemTest, IPInfoOfEth1WithoutAddressGivesUpAfterElevenAttempts) {
  ASSERT_EQ(run("ip addr flush dev eth1"), 0);
  char addr[CORVANE_IP_TEXT_SIZE] = "old";
  auto start = std::chrono::steady_clock::now();
  corvaneGetIPInfo("eth1", addr, nullptr, nullptr);
  double seconds = secondsSince(start);
  EXPECT_STREQ(addr, "");
  // Ten pauses of 3 seconds between the eleven attempts.
  EXPECT_GE(seconds, 30.0);
  EXPECT_LT(seconds, 45.0);
  ASSERT_EQ(run("ip addr add 192.168.1.1/24 dev eth1"), 0);
}

}  // namespace
