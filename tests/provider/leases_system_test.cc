// The leases the appliance's dhcpd granted, as a management station lists
// them with the real wbemcli: telephones on the customer LAN, a VLAN and the
// OAM LAN get leases from the real dhcpd, release them, and the lists follow.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "system_test_support.h"

namespace {

using namespace tavrel::test;

const char kCustomer[] = "ZPX_DHCPClientLeaseInfoCustomerLAN";
const char kOam[] = "ZPX_DHCPClientLeaseInfoOAMLAN";

// The address a phone's lease block names.
std::string leasedAddress(const std::string& lease) {
  std::smatch m;
  return std::regex_search(lease, m, std::regex("fixed-address ([0-9.]+);")) ? m.str(1) : "";
}

class LeaseSystemTest : public AgentSystemTest {
 protected:
  // Each test starts without leases or alarms of an earlier one.
  void SetUp() override {
    runCommand("rm -f /pq/etc/dhcpd.leases* /pq/etc/dhcpd.t20leases /pq/platform/LAN.log");
    AgentSystemTest::SetUp();
  }

  void TearDown() override {
    for (const std::string& name : m_phones) runCommand("appliance-phone --drop " + name);
    AgentSystemTest::TearDown();
  }

  std::string leases(const char* className) const { return wbemcliOut(*m_agent, "ei", className); }

  // A kept telephone on segment iface; returns the address it was given.
  std::string phone(const std::string& name, const std::string& iface, const std::string& mac) {
    m_phones.push_back(name);
    return leasedAddress(
        phoneLease("--keep " + name + " --iface " + iface + " --mac " + mac + " --hostname " + name));
  }

  std::vector<std::string> m_phones;
};

TEST_F(LeaseSystemTest, LeasesFollowTheServer) {
  {
    SCOPED_TRACE("no lease granted yet: both classes list nothing");
    EXPECT_EQ("", leases(kCustomer));
    EXPECT_EQ("", leases(kOam));
  }
  // The VLAN gets a range of its own, so its telephone is served.
  wbemcliOut(*m_agent, "ci", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"1\"",
             "InstanceID=\"1\",StartAddress=\"172.16.1.100\",EndAddress=\"172.16.1.150\"");

  // The OAM LAN serves one address, x.y.z.2; the sandbox's maintenance PC
  // holds it, so dhcpd would abandon it: the PC leaves for the laptop.
  ASSERT_EQ(0, runCommand("ip -n \"$APPLIANCE_NS_OAM\" addr flush dev br0").status);
  std::string desk = phone("desk", "eth1", "02:00:00:00:0a:01");
  std::string lobby = phone("lobby", "eth1.100", "02:00:00:00:0a:02");
  std::string oam = phone("laptop", "eth2", "02:00:00:00:0a:03");
  ASSERT_TRUE(contains(desk, "192.168.1.") && contains(lobby, "172.16.1.") && contains(oam, "172.31.0."))
      << desk << " " << lobby << " " << oam;

  std::string customer = leases(kCustomer);
  {
    SCOPED_TRACE("each lease with its MAC, address, times and host name");
    const std::string dateTime = "=[0-9]{14}\\.000000\\+000";
    EXPECT_TRUE(std::regex_search(
        customer, std::regex("leaseMACAddr=\"02:00:00:00:0A:01\",IPv4Address=\"" + desk +
                             "\",startLeaseDateTime" + dateTime + ",expirationLeaseDateTime" + dateTime +
                             ",leaseClientName=\"desk\",leaseClientDescription=\"desk\"")))
        << customer;
    EXPECT_TRUE(contains(customer, "IPv4Address=\"" + lobby + "\"")) << customer;
    std::string oamLeases = leases(kOam);
    EXPECT_TRUE(contains(oamLeases,
                         "InstanceID=\"1\",leaseMACAddr=\"02:00:00:00:0A:03\","
                         "IPv4Address=\"" +
                             oam + "\""))
        << oamLeases;
    EXPECT_FALSE(contains(oamLeases, desk)) << oamLeases;
    EXPECT_TRUE(contains(customer, "InstanceID=\"0\"")) << customer;
  }
  {
    SCOPED_TRACE("two enumerations without a change give the same instances");
    EXPECT_EQ(customer, leases(kCustomer));
  }
  {
    SCOPED_TRACE("a released lease is gone at the next enumeration");
    ASSERT_EQ(0, runCommand("appliance-phone --release desk").status);
    EXPECT_TRUE(waitUntil([&] { return !contains(leases(kCustomer), desk); })) << leases(kCustomer);
    EXPECT_TRUE(contains(leases(kCustomer), lobby));
  }
  {
    SCOPED_TRACE("a commit restarts dhcpd, and the leases stay listed");
    pid_t server = pidInFile(kDhcpdPidFile);
    wbemcliOut(*m_agent, "mi", kSettingDataPath, "leaseTime=4000");
    ASSERT_NE(server, pidInFile(kDhcpdPidFile));
    customer = leases(kCustomer);
    EXPECT_TRUE(contains(customer, "IPv4Address=\"" + lobby + "\"")) << customer;
    EXPECT_FALSE(contains(customer, desk)) << customer;
    EXPECT_TRUE(contains(leases(kOam), oam));
  }
  {
    SCOPED_TRACE("leases are the server's: no creation, changes ignored, deletion");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(customer, m, std::regex("InstanceID=\"([0-9]+)\"")));
    std::string path = std::string(kCustomer) + ".InstanceID=\"" + m.str(1) + "\"";
    CommandOutput r =
        m_agent->wbemcli("ci", std::string(kCustomer) + ".InstanceID=\"77\"", "InstanceID=\"77\"");
    EXPECT_TRUE(contains(r.err, "CIM_ERR_NOT_SUPPORTED")) << r.err;
    wbemcliOut(*m_agent, "mi", path, "leaseClientName=\"renamed\"");
    EXPECT_TRUE(contains(m_agent->wbemcli("gi", path).out, "leaseClientName=\"lobby\""));
    wbemcliOut(*m_agent, "di", path);
    EXPECT_TRUE(contains(m_agent->wbemcli("gi", path).err, "CIM_ERR_NOT_FOUND"));
  }
}

const char kPools[] = "ZPX_DHCPPoolStatistics";

TEST_F(LeaseSystemTest, PoolOccupancyAndExhaustionAlarms) {
  // A range of four addresses on the VLAN.
  wbemcliOut(*m_agent, "ci", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"1\"",
             "InstanceID=\"1\",StartAddress=\"172.16.1.100\",EndAddress=\"172.16.1.103\"");
  const std::string pool = "InstanceID=\"eth1.100:172.16.1.100-172.16.1.103\"";
  std::string pools = m_agent->wbemcli("ei", kPools).out;
  EXPECT_TRUE(contains(pools, pool + ",InterfaceName=\"eth1.100\",StartAddress=\"172.16.1.100\","
                                     "EndAddress=\"172.16.1.103\",TotalAddresses=4,"
                                     "ActiveLeases=0,Reservations=0,FreeAddresses=4,PercentUsed=0"))
      << pools;
  EXPECT_TRUE(contains(pools,
                       "InstanceID=\"eth1\",InterfaceName=\"eth1\",StartAddress=\"192.168.1.1\","
                       "EndAddress=\"192.168.1.254\",TotalAddresses=100"))
      << pools;

  // The counting and the thresholds are dhcpcompleases_test's; here the
  // real server's leases, seen by the agent's watch of the lease file.
  for (int i = 1; i <= 4; ++i) {
    std::string name = "vlanphone" + std::to_string(i);
    ASSERT_TRUE(contains(phone(name, "eth1.100", "02:00:00:00:0b:0" + std::to_string(i)), "172.16.1.10"));
  }
  {
    SCOPED_TRACE("the full range raises the alarm once, without a listing");
    ASSERT_TRUE(waitUntil([&] { return occurrences(readFile(kAlarmLog), "\t60010\t") == 1; }))
        << readFile(kAlarmLog);
    EXPECT_TRUE(contains(readFile(kAlarmLog), "eth1.100 172.16.1.100-172.16.1.103: 4 of 4"))
        << readFile(kAlarmLog);
    std::string leases = m_agent->wbemcli("ei", kCustomer).out;
    EXPECT_EQ(4u, occurrences(leases, "IPv4Address=\"172.16.1.10"));
    EXPECT_TRUE(contains(m_agent->wbemcli("ei", kPools).out,
                         "ActiveLeases=4,Reservations=0,"
                         "FreeAddresses=0,PercentUsed=100"));
  }
  {
    SCOPED_TRACE("the statistics cannot be changed");
    std::string path = std::string(kPools) + ".InstanceID=\"eth1\"";
    EXPECT_TRUE(contains(m_agent->wbemcli("di", path).err, "CIM_ERR_NOT_SUPPORTED"));
    EXPECT_TRUE(contains(m_agent->wbemcli("mi", path, "TotalAddresses=1").err, "CIM_ERR_NOT_SUPPORTED"));
    EXPECT_TRUE(contains(m_agent->wbemcli("gi", path).out, "InterfaceName=\"eth1\""));
  }
}

}  // namespace
