// Interface discovery inside the appliance sandbox: real ifcfg files,
// ifconfig, the registry, and a customer LAN addressed by a real dhclient
// from an upstream router that sends both vendor texts.
#include <gtest/gtest.h>
#include <string.h>
#include <syslog.h>

#include <string>

#include "corvane.h"
#include "dhcpcomp.h"
#include "model_test_support.h"
#include "test_support.h"

namespace {

using namespace tavrel::test;

const char kScripts[] = "/etc/sysconfig/network-scripts/";
const char kClientLease[] = "/var/lib/dhcp/dhclient-eth1.leases";

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
  std::string mac = OAMLANIpConfig.macAddress;
  std::string hw = runCommand("cat /sys/class/net/eth2/address").output.substr(0, 17);
  for (char& c : hw) c = static_cast<char>(toupper(c));
  EXPECT_EQ(hw, mac.substr(0, 17));

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

  // Without its ifcfg file an interface has no address.
  s_ethIpConfig eth;
  memset(&eth, 0, sizeof(eth));
  snprintf(eth.interfaceName, sizeof(eth.interfaceName), "eth7");
  eth.staticIP = 1;
  eth.ipAddress = model_test::address("10.0.0.1");
  dhcpCompGetInterfaceIPParams(&eth);
  EXPECT_EQ(1, eth.staticIP);
  EXPECT_EQ(0u, eth.ipAddress.ipLong);
  EXPECT_EQ(0u, eth.network.ipLong);
  EXPECT_EQ(254u, eth.numHostAddrs);

  // A name that is unsafe in a path or command is not looked up at all.
  snprintf(eth.interfaceName, sizeof(eth.interfaceName), "e;touch x");
  dhcpCompGetInterfaceIPParams(&eth);
  EXPECT_FALSE(fileExists("x"));
  EXPECT_EQ(0u, eth.ipAddress.ipLong);
}

TEST_F(InterfaceSystemTest, DhcpCustomerLanTakesLeaseAndVendorTexts) {
  std::string ifcfg = readFile(std::string(kScripts) + "ifcfg-eth1");
  ASSERT_NE(std::string::npos, ifcfg.find("BOOTPROTO=dhcp"));
  ASSERT_EQ(0, runCommand("/sbin/ifup eth1 >/dev/null 2>&1").status);
  ASSERT_TRUE(waitUntil([] { return readFile(kClientLease).find("T20-DHCP,") != std::string::npos; },
                        std::chrono::seconds(30)))
      << "no lease from the router";
  ASSERT_TRUE(waitUntil(
      [] { return runCommand("/sbin/ifconfig eth1").output.find("inet 192.168.1.5") != std::string::npos; }));

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

  EXPECT_STREQ("192.168.1.5", eth.vendorS1Address.ipString);
  EXPECT_EQ(4100u, eth.vendorS1PortNumber);
  EXPECT_EQ(1, eth.vendorS1Action);
  EXPECT_EQ(3, eth.vendorS1RetryCount);
  EXPECT_STREQ("192.168.1.6", eth.vendorS2Address.ipString);
  EXPECT_EQ(7000u, eth.vendorS2PortNumber);
  EXPECT_EQ(2, eth.vendorS2Action);
  EXPECT_EQ(4, eth.vendorS2RetryCount);
  EXPECT_STREQ("", eth.vendorVlanIds);
  EXPECT_EQ(1, eth.vendorInfoPresent);
  EXPECT_EQ(2u, eth.vendorDhcpMode);
  EXPECT_STREQ("192.168.1.100", eth.vendorRangeStart.ipString);
  EXPECT_STREQ("192.168.1.200", eth.vendorRangeEnd.ipString);
}

TEST_F(InterfaceSystemTest, HostNameAndConfigurationFileAtTheAppliancePaths) {
  char host[DHCP_HOSTNAME_SIZE] = "unchanged";
  ASSERT_EQ(1, dhcpUtilGetHostname(host));
  EXPECT_STREQ("appliance", host);

  ASSERT_STREQ("/pq/etc/dhcpcomp.conf", g_strT20ConfigFilename);
  std::string sample = readFile(model_test::dataFile("dhcpcomp-sample.conf"));
  ASSERT_TRUE(writeFile(g_strT20ConfigFilename, sample));
  model_test::resetModel({12});
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[0], "10.12.0.1", "255.255.255.0");
  dhcpCompGetInterfaceIPParams(&OAMLANIpConfig);
  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_EQ(sample, readFile(g_strT20ConfigFilename));
  EXPECT_EQ("dhcpcomp.conf\n", runCommand("ls /pq/etc").output);
}

// Events of the model reach the system log as the agent opens it.
TEST_F(InterfaceSystemTest, EventsGoToTheSystemLog) {
  if (runCommand("command -v busybox").status != 0)
    GTEST_SKIP() << "busybox (the appliance's syslogd) is not installed";
  openlog("TavrelAgent", LOG_CONS | LOG_PERROR, LOG_DAEMON);

  // An OAM network without room for a second address: message 62006.
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.2", "255.255.255.254");
  std::string text =
      "[eth2]\ndhcpStatus = 2\ndnsServers = \ndomainName = \nwinsServer = \nwinsNodeType = 0\n"
      "defaultGateway = \nleaseTime = 600\naddrRange = \nreservedAddrs = \n";
  dhcpCompParseDhcpCompContentsForInterface(&text[0], &OAMLANDhcpCompConfig);
  EXPECT_EQ(0, OAMLANDhcpCompConfig.numAddrRanges);
  EXPECT_TRUE(waitUntil([] {
    return readFile("/var/log/messages")
               .find(
                   "daemon.err TavrelAgent: {62006} {LAN eth2 IP Network does not allow enough "
                   "room for a default IP Address Range }") != std::string::npos;
  })) << readFile("/var/log/messages");

  // A configuration file that cannot be written: the failure is logged.
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "/pq/etc/none/dhcpcomp.conf");
  EXPECT_EQ(0, dhcpCompWriteDhcpCompConfigFile(0));
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), DHCP_DEFAULT_CONFIG_FILENAME);
  EXPECT_TRUE(waitUntil([] {
    return readFile("/var/log/messages")
               .find(
                   "daemon.err TavrelAgent: {62010} {Cannot write TavrelAgent config file: "
                   "/pq/etc/none/dhcpcomp.conf") != std::string::npos;
  })) << readFile("/var/log/messages");
  closelog();
}

}  // namespace
