// Interface discovery inside the appliance sandbox: real ifcfg files,
// ifconfig, the registry, and a customer LAN addressed by a real dhclient
// from an upstream router that sends both vendor texts.
#include <gtest/gtest.h>
#include <syslog.h>

#include <string>

#include "corvane.h"
#include "model/config_file.h"
#include "model/interface.h"
#include "model/records.h"
#include "model/util.h"
#include "model_test_support.h"
#include "test_support.h"

namespace {

using namespace tavrel::test;

const char kScripts[] = "/etc/sysconfig/network-scripts/";

class InterfaceSystemTest : public ::testing::Test {
 protected:
  // The agent creates the LAN semaphore at start-up; the sandbox has its own
  // IPC namespace.
  static void SetUpTestSuite() {
    if (insideAppliance()) corvaneInitDHCPLANSemaphore();
  }
  static void TearDownTestSuite() {
    if (insideAppliance()) corvaneDeleteDHCPLANSemaphore();
  }
  void SetUp() override {
    if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    model_test::resetModel({100});
  }
};

TEST_F(InterfaceSystemTest, VlansFromTheRegistryStaticInterfacesFromTheirIfcfgFiles) {
  int list[DHCP_MAX_VLANS] = {0};
  ASSERT_EQ(1, getNumberOfVlans(list, DHCP_MAX_VLANS));
  EXPECT_EQ(100, list[0]);

  dhcpCompGetInterfaceIPParams(&OAMLANIpConfig);
  EXPECT_EQ(1, OAMLANIpConfig.staticIP);
  EXPECT_STREQ("172.31.0.1", OAMLANIpConfig.ipAddress.ipString);
  EXPECT_STREQ("255.255.255.0", OAMLANIpConfig.netmask.ipString);
  EXPECT_STREQ("172.31.0.0", OAMLANIpConfig.network.ipString);
  EXPECT_EQ(254u, OAMLANIpConfig.numHostAddrs);
  EXPECT_EQ(4u, OAMLANIpConfig.vendorDhcpMode);
  std::string hw = readFile("/sys/class/net/eth2/address").substr(0, 17);
  for (char& c : hw) c = static_cast<char>(toupper(c));
  EXPECT_EQ(hw, std::string(OAMLANIpConfig.macAddress).substr(0, 17));

  // "eth1.100" is described by "ifcfg-eth1_100".
  dhcpCompGetInterfaceIPParams(&VLANIpConfig[0]);
  EXPECT_EQ(1, VLANIpConfig[0].staticIP);
  EXPECT_STREQ("172.16.1.1", VLANIpConfig[0].ipAddress.ipString);
  EXPECT_STREQ("172.16.1.0", VLANIpConfig[0].network.ipString);

  // Without BOOTPROTO the interface counts as static; quoted values are read.
  std::string path = std::string(kScripts) + "ifcfg-eth2";
  std::string original = readFile(path);
  ASSERT_TRUE(writeFile(path, "DEVICE=eth2\r\nIPADDR=\"172.31.0.9\"\r\nNETMASK='255.255.255.128'\r\n"));
  dhcpCompGetInterfaceIPParams(&OAMLANIpConfig);
  EXPECT_EQ(1, OAMLANIpConfig.staticIP);
  EXPECT_STREQ("172.31.0.9", OAMLANIpConfig.ipAddress.ipString);
  EXPECT_EQ(126u, OAMLANIpConfig.numHostAddrs);
  ASSERT_TRUE(writeFile(path, original));

  // Without its ifcfg file an interface is static with the address it has
  // (none when it does not exist); a name that is unsafe in a path or
  // command is not looked up at all.
  ASSERT_EQ(0, rename(path.c_str(), (path + ".away").c_str()));
  struct {
    const char* name;
    const char* address;
  } missing[] = {{"eth2", "172.31.0.1"}, {"eth7", ""}, {"e;touch x", ""}};
  for (const auto& c : missing) {
    SCOPED_TRACE(c.name);
    s_ethIpConfig eth = {};
    snprintf(eth.interfaceName, sizeof(eth.interfaceName), "%s", c.name);
    eth.ipAddress = model_test::address("10.0.0.1");
    dhcpCompGetInterfaceIPParams(&eth);
    EXPECT_EQ(1, eth.staticIP);
    EXPECT_STREQ(c.address, eth.ipAddress.ipString);
    EXPECT_EQ(254u, eth.numHostAddrs);
  }
  ASSERT_EQ(0, rename((path + ".away").c_str(), path.c_str()));
  EXPECT_FALSE(fileExists("x"));
}

TEST_F(InterfaceSystemTest, DhcpCustomerLanTakesLeaseAndVendorTexts) {
  ASSERT_TRUE(contains(readFile(std::string(kScripts) + "ifcfg-eth1"), "BOOTPROTO=dhcp"));
  ASSERT_EQ(0, runCommand("/sbin/ifup eth1 >/dev/null 2>&1").status);
  ASSERT_TRUE(waitUntil([] { return contains(readFile("/var/lib/dhcp/dhclient-eth1.leases"), "T20-DHCP,"); },
                        std::chrono::seconds(30)))
      << "no lease from the router";
  ASSERT_TRUE(
      waitUntil([] { return contains(runCommand("/sbin/ifconfig eth1").output, "inet 192.168.1.5"); }));

  s_ethIpConfig& eth = CustomerLANIpConfig;
  dhcpCompGetInterfaceIPParams(&eth);
  EXPECT_EQ(0, eth.staticIP);
  EXPECT_GE(eth.ipAddress.ipOctets[3], 50) << eth.ipAddress.ipString;  // router's pool .50-.59
  EXPECT_LE(eth.ipAddress.ipOctets[3], 59) << eth.ipAddress.ipString;
  EXPECT_STREQ("255.255.255.0", eth.netmask.ipString);
  EXPECT_STREQ("192.168.1.0", eth.network.ipString);
  EXPECT_STREQ(eth.ipAddress.ipString, eth.leaseFixedAddress.ipString);
  EXPECT_STREQ("192.168.1.254", eth.leaseRouter.ipString);
  EXPECT_STREQ("192.168.1.254", eth.leaseDnsServer1.ipString);
  EXPECT_STREQ("192.168.1.253", eth.leaseDnsServer2.ipString);
  EXPECT_STREQ("192.168.1.254", eth.leaseServerIdentifier.ipString);
  EXPECT_STREQ("customer.lan", eth.leaseDomainName);
  EXPECT_NE('\0', eth.leaseRenewTime[0]);

  EXPECT_EQ("192.168.1.5:4100,1,3;192.168.1.6:7000,2,4.", model_test::callServers(eth));
  EXPECT_STREQ("", eth.vendorVlanIds);
  EXPECT_EQ(1, eth.vendorInfoPresent);
  EXPECT_EQ(2u, eth.vendorDhcpMode);
  EXPECT_STREQ("192.168.1.100", eth.vendorRangeStart.ipString);
  EXPECT_STREQ("192.168.1.200", eth.vendorRangeEnd.ipString);
}

// The host name, and the component file at its fixed path: a write leaves
// nothing else behind.
TEST_F(InterfaceSystemTest, HostNameAndConfigurationFileAtTheAppliancePaths) {
  char host[DHCP_HOSTNAME_SIZE] = "unchanged";
  ASSERT_EQ(1, dhcpUtilGetHostname(host));
  EXPECT_STREQ("appliance", host);

  ASSERT_STREQ("/pq/etc/dhcpcomp.conf", g_strT20ConfigFilename);
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_EQ("dhcpcomp.conf\n", runCommand("ls /pq/etc").output);
}

// Events of the model reach the system log as the agent opens it.
TEST_F(InterfaceSystemTest, EventsGoToTheSystemLog) {
  if (runCommand("command -v busybox").status != 0)
    GTEST_SKIP() << "busybox (the appliance's syslogd) is not installed";
  openlog("TavrelAgent", LOG_CONS | LOG_PERROR, LOG_DAEMON);

  // An OAM network without room for a second address: message 62006.
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.2", "255.255.255.254");
  std::string text = readFile(model_test::dataFile("eth2-section.conf"));
  dhcpCompParseDhcpCompContentsForInterface(&text[0], &OAMLANDhcpCompConfig);
  EXPECT_TRUE(
      model_test::logged("daemon.err TavrelAgent: {62006} {LAN eth2 IP Network does not allow enough "
                         "room for a default IP Address Range }"))
      << readFile("/var/log/messages");

  // A configuration file that cannot be written: the failure is logged, and
  // nothing is left behind.
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "/pq/etc/none/dhcpcomp.conf");
  EXPECT_EQ(0, dhcpCompWriteDhcpCompConfigFile(0));
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), DHCP_DEFAULT_CONFIG_FILENAME);
  EXPECT_FALSE(fileExists("/pq/etc/none"));
  EXPECT_TRUE(
      model_test::logged("daemon.err TavrelAgent: {62010} {Cannot write TavrelAgent config file: "
                         "/pq/etc/none/dhcpcomp.conf"))
      << readFile("/var/log/messages");
  closelog();
}

}  // namespace
