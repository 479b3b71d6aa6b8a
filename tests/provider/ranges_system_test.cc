// Address ranges and reserved addresses managed over CIM with the real
// wbemcli against TavrelAgent in the appliance sandbox: what the requests
// configure reaches the component file and dhcpd.conf, and the real dhcpd
// serves it. Refusals and foreign ids are the providers' unit tests'.
#include <gtest/gtest.h>

#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kRanges[] = "ZPX_DHCPRangeOfIPAddresses";
const char kReservations[] = "ZPX_DHCPReservedAddress";

class RangeProviderSystemTest : public CimSystemTest {
 protected:
  static std::string path(const char* className, const std::string& id) {
    return std::string(className) + ".InstanceID=\"" + id + "\"";
  }
};

TEST_F(RangeProviderSystemTest, RangesAndReservationsCreatedChangedAndDeleted) {
  // A new range takes the lowest free id (the component file's range is 0:
  // agent_system_test), whatever the client names.
  std::string out = ok("ci", path(kRanges, "9"),
                       "InstanceID=\"9\",StartAddress=\"192.168.1.200\",EndAddress=\"192.168.1.220\"");
  EXPECT_THAT(out, HasSubstr("InstanceID=\"1\""));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("range 192.168.1.200 192.168.1.220;"));
  EXPECT_THAT(readFile(kComponentFile),
              HasSubstr("addrRange = 192.168.1.100-192.168.1.199, 192.168.1.200-192.168.1.220"));

  // A change reaches the object, the file and dhcpd.conf.
  ok("mi", path(kRanges, "1"), "EndAddress=\"192.168.1.230\"");
  EXPECT_THAT(ok("gi", path(kRanges, "1")), HasSubstr("EndAddress=\"192.168.1.230\""));
  EXPECT_THAT(readFile(kComponentFile), HasSubstr("192.168.1.200-192.168.1.230"));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("range 192.168.1.200 192.168.1.230;"));

  ok("di", path(kRanges, "1"));
  EXPECT_THAT(m_agent->wbemcli("di", path(kRanges, "1")).err, HasSubstr("CIM_ERR_NOT_FOUND"));
  EXPECT_THAT(ok("ein", kRanges), AllOf(HasSubstr("InstanceID=\"0\""), Not(HasSubstr("InstanceID=\"1\""))));
  EXPECT_THAT(readFile(kDhcpdConf), Not(HasSubstr("192.168.1.200")));
  EXPECT_THAT(readFile(kComponentFile), Not(HasSubstr("192.168.1.200")));

  // A reservation likewise, and the telephone with its MAC gets its address.
  const std::string mac = "02:00:00:00:00:51";
  out = ok("ci", path(kReservations, "40"),
           "InstanceID=\"40\",IPv4Address=\"192.168.1.50\",reservedMACAddr=\"020000000051\","
           "reservedClientName=\"deskphone\",reservedClientDescription=\"Front desk\"");
  EXPECT_THAT(out, HasSubstr("InstanceID=\"0\""));
  EXPECT_THAT(ok("gi", path(kReservations, "0")), HasSubstr("reservedMACAddr=\"" + mac + "\""));
  EXPECT_THAT(readFile(kDhcpdConf),
              AllOf(HasSubstr("hardware ethernet " + mac + ";"), HasSubstr("fixed-address 192.168.1.50;")));

  // dhcpd has been restarted with the reservation: the phone with that
  // hardware address gets the reserved address.
  EXPECT_THAT(phoneLease("--mac " + mac + " --vendor Zelkor-p4100-A"),
              HasSubstr("fixed-address 192.168.1.50;"));

  ok("mi", path(kReservations, "0"), "IPv4Address=\"192.168.1.52\"");
  EXPECT_THAT(ok("gi", path(kReservations, "0")), HasSubstr("IPv4Address=\"192.168.1.52\""));
  EXPECT_THAT(readFile(kComponentFile), HasSubstr("192.168.1.52 " + mac + " deskphone"));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("fixed-address 192.168.1.52;"));
  EXPECT_THAT(readFile(kDhcpdConf), Not(HasSubstr("192.168.1.50")));

  ok("di", path(kReservations, "0"));
  EXPECT_THAT(readFile(kDhcpdConf), Not(HasSubstr("192.168.1.52")));
  EXPECT_THAT(readFile(kComponentFile), Not(HasSubstr("deskphone")));
  EXPECT_THAT(ok("ein", kReservations), Not(HasSubstr("InstanceID")));
}

}  // namespace
