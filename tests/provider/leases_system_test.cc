// The leases the appliance's dhcpd granted, as a management station lists
// them with the real wbemcli: telephones on the customer LAN, a VLAN and the
// OAM LAN get leases from the real dhcpd, release them, and the lists follow;
// the VLAN's pool fills up and raises its alarm.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kCustomer[] = "ZPX_DHCPClientLeaseInfoCustomerLAN";
const char kOam[] = "ZPX_DHCPClientLeaseInfoOAMLAN";
const char kPools[] = "ZPX_DHCPPoolStatistics";

class LeaseSystemTest : public CimSystemTest {
 protected:
  void TearDown() override {
    for (const std::string& name : m_phones) runCommand("appliance-phone --drop " + name);
    CimSystemTest::TearDown();
  }

  // A kept telephone on segment iface; returns the address it was given.
  std::string phone(const std::string& name, const std::string& iface, const std::string& mac) {
    m_phones.push_back(name);
    const std::string lease =
        phoneLease("--keep " + name + " --iface " + iface + " --mac " + mac + " --hostname " + name);
    std::smatch m;
    return std::regex_search(lease, m, std::regex("fixed-address ([0-9.]+);")) ? m.str(1) : "";
  }

  std::vector<std::string> m_phones;
};

TEST_F(LeaseSystemTest, LeasesFollowTheServerAndFillThePool) {
  EXPECT_EQ("", ok("ei", kCustomer)) << "no lease granted yet";
  EXPECT_EQ("", ok("ei", kOam));
  // The VLAN gets a range of four addresses of its own.
  ok("ci", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"1\"",
     "InstanceID=\"1\",StartAddress=\"172.16.1.100\",EndAddress=\"172.16.1.103\"");

  // The OAM LAN serves one address, x.y.z.2; the sandbox's maintenance PC
  // holds it, so dhcpd would abandon it: the PC leaves for the laptop.
  ASSERT_EQ(0, runCommand("ip -n \"$APPLIANCE_NS_OAM\" addr flush dev br0").status);
  std::string desk = phone("desk", "eth1", "02:00:00:00:0a:01");
  std::string lobby = phone("lobby", "eth1.100", "02:00:00:00:0a:02");
  std::string oam = phone("laptop", "eth2", "02:00:00:00:0a:03");
  ASSERT_TRUE(contains(desk, "192.168.1.") && contains(lobby, "172.16.1.") && contains(oam, "172.31.0."))
      << desk << " " << lobby << " " << oam;

  // Each lease with its MAC, address, times and host name.
  std::string customer = ok("ei", kCustomer), oamLeases = ok("ei", kOam);
  const std::string dateTime = "=[0-9]{14}\\.000000\\+000";
  EXPECT_TRUE(std::regex_search(
      customer, std::regex("leaseMACAddr=\"02:00:00:00:0A:01\",IPv4Address=\"" + desk +
                           "\",startLeaseDateTime" + dateTime + ",expirationLeaseDateTime" + dateTime +
                           ",leaseClientName=\"desk\",leaseClientDescription=\"desk\"")))
      << customer;
  EXPECT_THAT(customer, AllOf(HasSubstr("IPv4Address=\"" + lobby + "\""), HasSubstr("InstanceID=\"0\"")));
  EXPECT_THAT(
      oamLeases,
      AllOf(HasSubstr("InstanceID=\"1\",leaseMACAddr=\"02:00:00:00:0A:03\",IPv4Address=\"" + oam + "\""),
            Not(HasSubstr(desk))));
  EXPECT_EQ(customer, ok("ei", kCustomer)) << "a second enumeration without a change";

  // A released lease is gone at the next enumeration.
  ASSERT_EQ(0, runCommand("appliance-phone --release desk").status);
  EXPECT_TRUE(waitUntil([&] { return !contains(ok("ei", kCustomer), desk); })) << ok("ei", kCustomer);
  EXPECT_THAT(ok("ei", kCustomer), HasSubstr(lobby));

  // A commit restarts dhcpd, and the leases stay listed.
  pid_t server = pidInFile(kDhcpdPidFile);
  ok("mi", kSettingDataPath, "leaseTime=4000");
  ASSERT_NE(server, pidInFile(kDhcpdPidFile));
  customer = ok("ei", kCustomer);
  EXPECT_THAT(customer, AllOf(HasSubstr("IPv4Address=\"" + lobby + "\""), Not(HasSubstr(desk))));
  EXPECT_THAT(ok("ei", kOam), HasSubstr(oam));

  // Leases are the server's: no creation, changes ignored, deletion.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(customer, m, std::regex("InstanceID=\"([0-9]+)\"")));
  std::string path = std::string(kCustomer) + ".InstanceID=\"" + m.str(1) + "\"";
  EXPECT_THAT(m_agent->wbemcli("ci", std::string(kCustomer) + ".InstanceID=\"77\"", "InstanceID=\"77\"").err,
              HasSubstr("CIM_ERR_NOT_SUPPORTED"));
  ok("mi", path, "leaseClientName=\"renamed\"");
  EXPECT_THAT(m_agent->wbemcli("gi", path).out, HasSubstr("leaseClientName=\"lobby\""));
  ok("di", path);
  EXPECT_THAT(m_agent->wbemcli("gi", path).err, HasSubstr("CIM_ERR_NOT_FOUND"));

  // Three more telephones fill the lobby's pool. The counting and the
  // thresholds are dhcpcompleases_test's; here the agent's watch of the real
  // server's lease file raises the alarm once, without a listing, and the
  // deleted lease is listed again.
  for (int i = 1; i <= 3; ++i)
    ASSERT_TRUE(
        contains(phone("vlanphone" + std::to_string(i), "eth1.100", "02:00:00:00:0b:0" + std::to_string(i)),
                 "172.16.1.10"));
  // (The laptop has filled the OAM LAN's one-address pool: its alarm stands too.)
  const std::string raised = "\t60010\tDHCP pool nearly exhausted, eth1.100 ";
  ASSERT_TRUE(waitUntil([&] { return occurrences(readFile(kAlarmLog), raised) == 1; }))
      << readFile(kAlarmLog);
  EXPECT_THAT(readFile(kAlarmLog), HasSubstr(raised + "172.16.1.100-172.16.1.103: 4 of 4"));
  EXPECT_EQ(4u, occurrences(ok("ei", kCustomer), "IPv4Address=\"172.16.1.10"));
  EXPECT_THAT(ok("ei", kPools),
              AllOf(HasSubstr("InstanceID=\"eth1.100:172.16.1.100-172.16.1.103\",InterfaceName=\"eth1.100\","
                              "StartAddress=\"172.16.1.100\",EndAddress=\"172.16.1.103\",TotalAddresses=4,"
                              "ActiveLeases=4,Reservations=0,FreeAddresses=0,PercentUsed=100"),
                    HasSubstr("InstanceID=\"eth1\",InterfaceName=\"eth1\",StartAddress=\"192.168.1.1\","
                              "EndAddress=\"192.168.1.254\",TotalAddresses=100")));

  // The statistics cannot be changed.
  path = std::string(kPools) + ".InstanceID=\"eth1\"";
  EXPECT_THAT(m_agent->wbemcli("di", path).err, HasSubstr("CIM_ERR_NOT_SUPPORTED"));
  EXPECT_THAT(m_agent->wbemcli("mi", path, "TotalAddresses=1").err, HasSubstr("CIM_ERR_NOT_SUPPORTED"));
  EXPECT_THAT(m_agent->wbemcli("gi", path).out, HasSubstr("InterfaceName=\"eth1\""));
}

}  // namespace
