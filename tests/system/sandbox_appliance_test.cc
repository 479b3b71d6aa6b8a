// Self-test of the appliance sandbox, run inside it (with --vlans 100,200):
// fixed paths, interfaces, a telephone served by the real dhcpd, the ifup
// stand-in for static addresses and its duplicate-address complaint.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sandbox_util.h"

namespace {

using tavrel::sandbox::fileExists;
using tavrel::sandbox::readFile;
using tavrel::sandbox::runCommand;
using tavrel::sandbox::waitUntil;
using tavrel::sandbox::writeFile;

const std::string kScripts = "/etc/sysconfig/network-scripts/";

std::string sourceDir() {
  const char* dir = std::getenv("TAVREL_SOURCE_DIR");
  return dir != nullptr ? dir : "";
}

class ApplianceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tavrel::sandbox::insideAppliance()) {
      GTEST_SKIP() << "runs only inside tests/sandbox/appliance";
    }
  }

  // The real dhcpd as the appliance starts it, with a given configuration.
  void startDhcpd(const std::string& conf) {
    ASSERT_TRUE(writeFile("/pq/etc/dhcpd.conf", conf));
    ASSERT_TRUE(writeFile("/pq/etc/dhcpd.leases", ""));
    ASSERT_EQ(runCommand("/opt/sbin/dhcpd -cf /pq/etc/dhcpd.conf -lf /pq/etc/dhcpd.leases -q").status, 0);
    ASSERT_TRUE(fileExists("/var/run/dhcpd.pid"));
  }

  void TearDown() override {
    runCommand("kill $(cat /var/run/dhcpd.pid 2>/dev/null) 2>/dev/null; rm -f /var/run/dhcpd.pid");
  }
};

TEST_F(ApplianceTest, FixedPathsExistAndAreWritable) {
  const std::vector<std::string> dirs = {"/pq/etc",      "/pq/bin",  "/pq/lib/remoteprovider",
                                         "/pq/platform", "/var/run", "/var/lib/dhcp",
                                         "/root",        kScripts,   "/tmp"};
  for (const auto& dir : dirs) {
    SCOPED_TRACE(dir);
    const std::string probe = dir + "/.probe";
    EXPECT_TRUE(writeFile(probe, "x"));
    EXPECT_EQ(readFile(probe), "x");
    EXPECT_EQ(std::remove(probe.c_str()), 0);
  }
  const std::vector<std::string> files = {"/etc/hosts",
                                          "/etc/sysconfig/network",
                                          kScripts + "ifcfg-eth1",
                                          kScripts + "ifcfg-eth2",
                                          kScripts + "ifcfg-eth1_100",
                                          kScripts + "ifcfg-eth1_200",
                                          "/etc/dhclient-eth1.conf"};
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(readFile(file).empty());
    EXPECT_EQ(runCommand("echo '# probe' >> " + file).status, 0);
  }
  EXPECT_NE(readFile(kScripts + "ifcfg-eth1").find("IPADDR=192.168.1.1\n"), std::string::npos);
  EXPECT_NE(readFile(kScripts + "ifcfg-eth1_200").find("IPADDR=172.16.2.1\n"), std::string::npos);
}

TEST_F(ApplianceTest, ProgramPathsLeadToTheRealPrograms) {
  const std::vector<std::pair<std::string, std::string>> links = {
      {"/opt/sbin/dhcpd", "/usr/sbin/dhcpd"},
      {"/opt/sbin/dhclient", "/usr/sbin/dhclient"},
      {"/opt/sbin/dhclient-script", "/usr/sbin/dhclient-script"}};
  for (const auto& [path, target] : links) {
    SCOPED_TRACE(path);
    EXPECT_EQ(runCommand("readlink -f " + path).output, target + "\n");
  }
  const std::vector<std::string> programs = {"/sbin/ifup", "/sbin/ifdown", kScripts + "ifup",
                                             kScripts + "ifdown", "/pq/bin/Restart_VoIP_Services.sh"};
  for (const auto& path : programs) {
    SCOPED_TRACE(path);
    EXPECT_EQ(runCommand("test -x " + path).status, 0);
  }
  EXPECT_EQ(runCommand("/pq/bin/Restart_VoIP_Services.sh now").status, 0);
  EXPECT_NE(readFile("/var/run/Restart_VoIP_Services.calls").find(" now\n"), std::string::npos);
}

TEST_F(ApplianceTest, SystemLogIsKept) {
  if (runCommand("command -v busybox").status != 0) {
    GTEST_SKIP() << "busybox (the appliance's syslogd) is not installed";
  }
  ASSERT_EQ(runCommand("logger -t TavrelAgent -p daemon.err '{62008} {probe}'").status, 0);
  EXPECT_TRUE(waitUntil([] {
    return readFile("/var/log/messages").find("daemon.err TavrelAgent: {62008} {probe}") != std::string::npos;
  })) << readFile("/var/log/messages");
}

TEST_F(ApplianceTest, RegistryDescribesTheInterfaces) {
  const std::string registry = readFile("/pq/platform/registry");
  for (const std::string line :
       {"if\\lan\\eth1\t", "if\\lan\\eth2\t", "if\\vlan\\eth1.100\tvlanid\t100\n",
        "if\\vlan\\eth1.200\tvlanid\t200\n", "PublishedIP\\default\tinterface\tif\\lan\\eth1\n",
        "PublishedIP\\default\tipaddress\t192.168.1.1\n"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(registry.find(line), std::string::npos);
  }
  EXPECT_FALSE(fileExists("/pq/platform/router-present"));
}

// The real net-tools ifconfig shows each interface with its ifcfg address.
TEST_F(ApplianceTest, InterfacesCarryTheirIfcfgAddresses) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"eth1", "inet 192.168.1.1  netmask 255.255.255.0  broadcast 192.168.1.255\n"},
      {"eth2", "inet 172.31.0.1  netmask 255.255.255.0  broadcast 172.31.0.255\n"},
      {"eth1.100", "inet 172.16.1.1  netmask 255.255.255.0  broadcast 172.16.1.255\n"},
      {"eth1.200", "inet 172.16.2.1  netmask 255.255.255.0  broadcast 172.16.2.255\n"}};
  for (const auto& [name, line] : expected) {
    SCOPED_TRACE(name);
    const auto listing = runCommand("/sbin/ifconfig " + name);
    EXPECT_EQ(listing.status, 0);
    EXPECT_EQ(listing.output.rfind(name + ": ", 0), 0u) << listing.output;
    EXPECT_NE(listing.output.find(line), std::string::npos) << listing.output;
  }
  // Each VLAN is its own segment, reachable from the LAN side.
  EXPECT_EQ(runCommand("appliance-peer lan -- ping -c 1 -W 5 172.16.2.1 >/dev/null").status, 0);
}

TEST_F(ApplianceTest, TelephoneGetsItsOptionsFromTheRealDhcpd) {
  startDhcpd(readFile(sourceDir() + "/tests/data/sandbox/dhcpd-eth1.conf"));
  const auto phone = runCommand("appliance-phone --vendor Zelkor-p4100-A --mac 02:00:00:00:01:01");
  ASSERT_EQ(phone.status, 0);
  EXPECT_NE(phone.output.find("fixed-address 192.168.1.1"), std::string::npos) << phone.output;
  EXPECT_NE(phone.output.find("option zx-callservers "
                              "\"Zelkor-p4100-A,192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.\";"),
            std::string::npos)
      << phone.output;
  EXPECT_NE(phone.output.find("option dhcp-server-identifier 192.168.1.1;"), std::string::npos);
  // The server recorded the vendor class the telephone sent.
  const std::string leases = readFile("/pq/etc/dhcpd.leases");
  EXPECT_NE(leases.find("hardware ethernet 02:00:00:00:01:01;"), std::string::npos);
  EXPECT_NE(leases.find("set vendor-class-identifier = \"Zelkor-p4100-A\";"), std::string::npos);

  // A handset of the other class gets its SVP server (option 151) instead.
  const auto handset = runCommand("appliance-phone --vendor Zelkor-330x-A");
  ASSERT_EQ(handset.status, 0);
  EXPECT_NE(handset.output.find("option zx-svp-server 192.168.1.7;"), std::string::npos);
  EXPECT_EQ(handset.output.find("zx-callservers"), std::string::npos);
}

TEST_F(ApplianceTest, KeptTelephoneStaysReachable) {
  startDhcpd(readFile(sourceDir() + "/tests/data/sandbox/dhcpd-eth1.conf"));
  const auto phone = runCommand("appliance-phone --keep desk-phone --mac 02:00:00:00:01:02");
  ASSERT_EQ(phone.status, 0);
  const std::string address =
      runCommand("ip netns exec desk-phone ip -o -4 addr show eth0 | awk '{print $4}'").output;
  EXPECT_EQ(address.rfind("192.168.1.1", 0), 0u) << address;
  EXPECT_EQ(runCommand("ip netns exec desk-phone ping -c 1 -W 5 192.168.1.1 >/dev/null").status, 0);
  EXPECT_NE(runCommand("appliance-phone --keep desk-phone 2>&1").output.find("exists already"),
            std::string::npos);
  EXPECT_EQ(runCommand("appliance-phone --drop desk-phone").status, 0);
  EXPECT_FALSE(fileExists("/run/netns/desk-phone"));
  EXPECT_NE(runCommand("appliance-phone --drop desk-phone 2>/dev/null").status, 0);
}

TEST_F(ApplianceTest, TelephoneOnAVlanSegmentIsServedThere) {
  startDhcpd(
      "ddns-update-style none;\n"
      "subnet 172.16.1.0 netmask 255.255.255.0 { range 172.16.1.50 172.16.1.60; }\n");
  const auto phone = runCommand("appliance-phone --iface eth1.100");
  ASSERT_EQ(phone.status, 0);
  EXPECT_NE(phone.output.find("fixed-address 172.16.1.5"), std::string::npos) << phone.output;
  // Nothing serves the other VLAN: the telephone gives up within its timeout.
  EXPECT_EQ(runCommand("appliance-phone --iface eth1.200 --timeout 2 2>/dev/null").status, 2);
}

class IfupTest : public ApplianceTest {
 protected:
  void TearDown() override {
    runCommand("appliance-peer lan -- ip addr del 192.168.1.77/24 dev br0 2>/dev/null");
    writeFile(kScripts + "ifcfg-eth1", original_);
    runCommand("/sbin/ifdown eth1; /sbin/ifup eth1");
  }
  void SetUp() override {
    ApplianceTest::SetUp();
    original_ = readFile(kScripts + "ifcfg-eth1");
  }
  std::string original_;
};

TEST_F(IfupTest, StaticAddressFromIfcfg) {
  ASSERT_TRUE(writeFile(kScripts + "ifcfg-eth1",
                        "DEVICE=eth1\nBOOTPROTO=static\nIPADDR=192.168.1.20\n"
                        "NETMASK=255.255.255.128\nGATEWAY=192.168.1.126\n"));
  EXPECT_EQ(runCommand(kScripts + "ifdown eth1").status, 0);
  EXPECT_NE(runCommand("ip -o link show eth1").output.find("state DOWN"), std::string::npos);
  EXPECT_EQ(runCommand(kScripts + "ifup eth1").status, 0);
  EXPECT_EQ(runCommand("ip -o -4 addr show eth1 | awk '{print $4}'").output, "192.168.1.20/25\n");
  EXPECT_NE(runCommand("ip route show default").output.find("via 192.168.1.126 dev eth1"), std::string::npos);
  // A file without BOOTPROTO is static as well.
  ASSERT_TRUE(writeFile(kScripts + "ifcfg-eth1", "IPADDR=192.168.1.21\nNETMASK=255.255.255.0\n"));
  EXPECT_EQ(runCommand("/sbin/ifup eth1").status, 0);
  EXPECT_EQ(runCommand("ip -o -4 addr show eth1 | awk '{print $4}'").output, "192.168.1.21/24\n");
}

TEST_F(IfupTest, DuplicateAddressIsRefusedWithTheComplaint) {
  ASSERT_EQ(runCommand("appliance-peer lan -- ip addr add 192.168.1.77/24 dev br0").status, 0);
  ASSERT_TRUE(writeFile(kScripts + "ifcfg-eth1",
                        "DEVICE=eth1\nBOOTPROTO=static\nIPADDR=192.168.1.77\nNETMASK=255.255.255.0\n"));
  ASSERT_EQ(runCommand("/sbin/ifdown eth1").status, 0);
  const auto ifup = runCommand("/sbin/ifup eth1 2>/dev/null");
  EXPECT_EQ(ifup.status, 1);
  EXPECT_EQ(ifup.output, "Error, some other host already uses address 192.168.1.77.\n");
  EXPECT_EQ(runCommand("ip -o -4 addr show eth1").output, "");
  // The pipeline the interface library uses leaves the address and a point.
  EXPECT_EQ(runCommand("/sbin/ifup eth1  2> /dev/null | sed -e 's/Error, some other host "
                       "already uses address //'")
                .output,
            "192.168.1.77.\n");
}

TEST_F(IfupTest, BadRequestsFailWithAMessage) {
  EXPECT_NE(runCommand("/sbin/ifup eth9 2>&1").output.find("configuration for eth9 not found"),
            std::string::npos);
  EXPECT_NE(runCommand("/sbin/ifup 'eth1;touch /tmp/x' 2>/dev/null").status, 0);
  EXPECT_FALSE(fileExists("/tmp/x"));
  ASSERT_TRUE(writeFile(kScripts + "ifcfg-eth1", "BOOTPROTO=static\nIPADDR=$(touch /tmp/y)\n"));
  EXPECT_EQ(runCommand("/sbin/ifup eth1 2>/dev/null").status, 1);
  EXPECT_FALSE(fileExists("/tmp/y"));
}

}  // namespace
