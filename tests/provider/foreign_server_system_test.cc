// Foreign DHCP servers as a management station sees them: the agent probes
// the customer LAN every two seconds; a second dhcpd started on the LAN
// segment is listed over CIM and raised as an alarm, the appliance's own
// server and the integrated router (the sandbox's upstream router) never
// are, and the stopped server is dropped after three probes.
#include <gtest/gtest.h>

#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kForeign[] = "ZPX_DHCPForeignServer";
// The foreign server on the LAN segment's bridge, 192.168.1.2.
const char kStartForeign[] =
    "appliance-peer lan -- sh -c 'printf \"ddns-update-style none;\\nping-check false;\\n"
    "subnet 192.168.1.0 netmask 255.255.255.0 { range 192.168.1.200 192.168.1.210; }\\n\" "
    ">/tmp/foreign.conf && : >/tmp/foreign.leases && "
    "dhcpd -q -cf /tmp/foreign.conf -lf /tmp/foreign.leases -pf /tmp/foreign.pid br0'";

std::string bridgeMac() {
  std::string mac = runCommand("appliance-peer lan -- cat /sys/class/net/br0/address").output;
  for (char& c : mac) c = static_cast<char>(toupper(c));
  return mac.substr(0, 17);
}

class ForeignServerSystemTest : public CimSystemTest {
 protected:
  AgentOptions agentOptions() const override {
    return {"", {"tavrel_agent.foreign_server_probe_seconds = 2"}};
  }
  std::string listed() const { return m_agent->wbemcli("ei", kForeign).out; }
};

TEST_F(ForeignServerSystemTest, ForeignServerReportedAndCleared) {
  // The appliance's own server answers every device, so it answers probes.
  ok("mi", kSettingDataPath, "dhcpServerCustomerLANStatus=2");
  ASSERT_EQ(0, runCommand(kStartForeign).status);
  std::string mac = bridgeMac();

  ASSERT_TRUE(waitUntil([&] { return contains(listed(), "ServerAddress=\"192.168.1.2\""); },
                        std::chrono::seconds(30)))
      << listed() << m_agent->log();
  // The own server and the integrated router are not foreign.
  EXPECT_THAT(listed(), AllOf(HasSubstr("InstanceID=\"eth1:192.168.1.2\",InterfaceName=\"eth1\","
                                        "ServerAddress=\"192.168.1.2\",ServerMACAddress=\"" +
                                        mac + "\",FirstSeen=20"),
                              Not(HasSubstr("192.168.1.1\"")), Not(HasSubstr("192.168.1.254"))));
  EXPECT_THAT(readFile(kAlarmLog),
              HasSubstr("60012\tForeign DHCP server 192.168.1.2 (" + mac + ") answers on eth1"));
  EXPECT_THAT(runCommand("appliance-peer lan -- cat /tmp/foreign.leases").output,
              Not(HasSubstr("binding state active")))
      << "a probe takes an address";
  ASSERT_EQ(0, runCommand("appliance-peer lan -- sh -c 'kill $(cat /tmp/foreign.pid)'").status);
  EXPECT_TRUE(waitUntil([&] { return !contains(listed(), "192.168.1.2"); }, std::chrono::seconds(30)))
      << listed();
  // One server: no summary of further offers or servers.
  EXPECT_THAT(readFile(kAlarmLog), AllOf(HasSubstr("60013\tForeign DHCP server 192.168.1.2"),
                                         Not(HasSubstr("Foreign DHCP servers:"))));
}

// A server that claims the integrated router's identifier from another
// hardware address is foreign; the router itself still is not.
TEST_F(ForeignServerSystemTest, RogueClaimingTheRoutersIdentifierIsReported) {
  std::string rogue = kStartForeign;
  rogue.insert(rogue.find("range 192"), "server-identifier 192.168.1.254; ");
  ASSERT_EQ(0, runCommand(rogue).status);
  const std::string listing = "ServerAddress=\"192.168.1.254\",ServerMACAddress=\"" + bridgeMac() + "\"";
  ASSERT_TRUE(waitUntil([&] { return contains(listed(), listing); }, std::chrono::seconds(30)))
      << listed() << m_agent->log();
  EXPECT_EQ(1u, occurrences(listed(), "ServerAddress="));
}

}  // namespace
