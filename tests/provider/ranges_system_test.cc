// Address ranges and reserved addresses managed over CIM: the real wbemcli
// (and curl for raw CIM-XML) against TavrelAgent in the appliance sandbox,
// with the real dhcpd serving what the requests configure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kComponentFile[] = "/pq/etc/dhcpcomp.conf";
const char kDhcpdConf[] = "/pq/etc/dhcpd.conf";
const char kRanges[] = "ZPX_DHCPRangeOfIPAddresses";
const char kReservations[] = "ZPX_DHCPReservedAddress";

typedef std::vector<std::pair<std::string, std::string>> Properties;

// What the management station sees of one object, and what the agent keeps
// and hands to dhcpd.
struct Snapshot {
  std::string object;
  std::string componentFile;
  std::string dhcpdConf;
};

// <INSTANCE> of the class with InstanceID id and the given string properties.
std::string instanceXml(const char* className, const std::string& id, const Properties& properties) {
  std::string xml = "<INSTANCE CLASSNAME=\"" + std::string(className) + "\">";
  for (const auto& p : properties) xml += property(p.first, "string", p.second);
  return xml + property("InstanceID", "string", id) + "</INSTANCE>";
}

class RangeProviderSystemTest : public AgentSystemTest {
 protected:
  CommandOutput wbemcli(const std::string& op, const std::string& path,
                        const std::string& properties = "") const {
    return m_agent->wbemcli(op, path, properties);
  }

  static std::string path(const char* className, const std::string& id) {
    return std::string(className) + ".InstanceID=\"" + id + "\"";
  }

  CIMError modify(const char* className, const std::string& id, const Properties& properties) const {
    return m_agent->call(
        "ModifyInstance",
        "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"" +
            std::string(className) + "\"><KEYBINDING NAME=\"InstanceID\"><KEYVALUE VALUETYPE=\"string\">" +
            id + "</KEYVALUE></KEYBINDING></INSTANCENAME>" + instanceXml(className, id, properties) +
            "</VALUE.NAMEDINSTANCE></IPARAMVALUE>");
  }

  CIMError create(const char* className, const Properties& properties) const {
    return m_agent->call("CreateInstance", "<IPARAMVALUE NAME=\"NewInstance\">" +
                                               instanceXml(className, "", properties) + "</IPARAMVALUE>");
  }

  Snapshot snapshot(const char* className, const std::string& id) const {
    return {wbemcli("gi", path(className, id)).out, readFile(kComponentFile), readFile(kDhcpdConf)};
  }

  // Each refusal reaches the client with its status and exact text, and
  // leaves the object, the component file and dhcpd.conf as they were.
  struct Refusal {
    const char* what;
    Properties properties;
    int code;
    std::string description;
  };
  void expectRefused(const char* className, const std::string& id,
                     const std::vector<Refusal>& refusals) const {
    Snapshot before = snapshot(className, id);
    for (const Refusal& r : refusals) {
      SCOPED_TRACE(r.what);
      CIMError e = modify(className, id, r.properties);
      EXPECT_EQ(r.code, e.code);
      EXPECT_EQ(r.description, e.description);
      Snapshot after = snapshot(className, id);
      EXPECT_EQ(before.object, after.object);
      EXPECT_EQ(before.componentFile, after.componentFile);
      EXPECT_EQ(before.dhcpdConf, after.dhcpdConf);
    }
  }
};

TEST_F(RangeProviderSystemTest, RangesAndReservationsCreatedChangedRefusedAndDeleted) {
  {
    SCOPED_TRACE("ranges");
    // The range of the component file is object 0.
    CommandOutput r = wbemcli("ei", kRanges);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "StartAddress=\"192.168.1.100\"")) << r.out;

    // A new range takes the lowest free id, whatever the client names.
    r = wbemcli("ci", path(kRanges, "9"),
                "InstanceID=\"9\",StartAddress=\"192.168.1.200\",EndAddress=\"192.168.1.220\"");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "InstanceID=\"1\"")) << r.out;
    EXPECT_TRUE(contains(readFile(kDhcpdConf), "range 192.168.1.200 192.168.1.220;"));
    EXPECT_TRUE(contains(readFile(kComponentFile),
                         "addrRange = 192.168.1.100-192.168.1.199, 192.168.1.200-192.168.1.220"));

    // A successful change reaches the object, the file and dhcpd.conf.
    r = wbemcli("mi", path(kRanges, "1"), "EndAddress=\"192.168.1.230\"");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(wbemcli("gi", path(kRanges, "1")).out, "EndAddress=\"192.168.1.230\""));
    EXPECT_TRUE(contains(readFile(kComponentFile), "192.168.1.200-192.168.1.230"));
    EXPECT_TRUE(contains(readFile(kDhcpdConf), "range 192.168.1.200 192.168.1.230;"));

    expectRefused(
        kRanges, "1",
        {{"overlap", {{"StartAddress", "192.168.1.150"}}, 1, "#DHC_ERROR_325#"},
         {"own address",
          {{"StartAddress", "192.168.1.1"}, {"EndAddress", "192.168.1.50"}},
          1,
          "#DHC_ERROR_324#"},
         {"start above end",
          {{"EndAddress", "192.168.1.201"}, {"StartAddress", "192.168.1.240"}},
          1,
          "#DHC_ERROR_323#"},
         {"gateway outside", {{"DefaultGatewayIPAddress", "10.0.0.1"}}, 1, "#DHC_ERROR_322#"},
         {"no LAN", {{"StartAddress", "10.9.0.1"}, {"EndAddress", "10.9.0.9"}}, 1, "#DHC_ERROR_400#"},
         {"not an address", {{"EndAddress", "192.168.1.x"}}, 1, "#DHC_ERROR_320#"}});

    // A refused new range leaves nothing behind.
    std::string file = readFile(kComponentFile);
    CIMError e = create(kRanges, {{"StartAddress", "192.168.1.120"}, {"EndAddress", "192.168.1.130"}});
    EXPECT_EQ(1, e.code);
    EXPECT_EQ("#DHC_ERROR_325#", e.description);
    EXPECT_EQ(file, readFile(kComponentFile));

    for (const char* id : {"99", "-1", "abc", "1x", "123456789012345678901234567890"}) {
      SCOPED_TRACE(id);
      r = wbemcli("gi", path(kRanges, id));
      EXPECT_TRUE(contains(r.err, "CIM_ERR_NOT_FOUND")) << r.err;
      EXPECT_EQ(6, modify(kRanges, id, {{"EndAddress", "192.168.1.240"}}).code);
      r = wbemcli("di", path(kRanges, id));
      EXPECT_TRUE(contains(r.err, "CIM_ERR_NOT_FOUND")) << r.err;
    }

    r = wbemcli("di", path(kRanges, "1"));
    ASSERT_EQ(0, r.status) << r.err;
    r = wbemcli("ein", kRanges);
    EXPECT_TRUE(contains(r.out, "InstanceID=\"0\"")) << r.out;
    EXPECT_FALSE(contains(r.out, "InstanceID=\"1\"")) << r.out;
    EXPECT_FALSE(contains(readFile(kDhcpdConf), "192.168.1.200"));
    EXPECT_FALSE(contains(readFile(kComponentFile), "192.168.1.200"));
  }
  {
    SCOPED_TRACE("reservations");
    const std::string mac = "02:00:00:00:00:51";
    CommandOutput r = wbemcli("ci", path(kReservations, "40"),
                              "InstanceID=\"40\",IPv4Address=\"192.168.1.50\","
                              "reservedMACAddr=\"020000000051\",reservedClientName=\"deskphone\","
                              "reservedClientDescription=\"Front desk\"");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(r.out, "InstanceID=\"0\"")) << r.out;
    r = wbemcli("gi", path(kReservations, "0"));
    EXPECT_TRUE(contains(r.out, "reservedMACAddr=\"" + mac + "\"")) << r.out;
    std::string conf = readFile(kDhcpdConf);
    EXPECT_TRUE(contains(conf, "hardware ethernet " + mac + ";")) << conf;
    EXPECT_TRUE(contains(conf, "fixed-address 192.168.1.50;")) << conf;

    // dhcpd has been restarted with the reservation: the phone with that
    // hardware address gets the reserved address.
    CommandResult phone =
        runCommand("appliance-phone --mac " + mac + " --vendor Zelkor-p4100-A --timeout 20");
    ASSERT_EQ(0, phone.status) << phone.output;
    EXPECT_TRUE(contains(phone.output, "fixed-address 192.168.1.50;")) << phone.output;

    const std::string nameKey = "MOF_Props_ZPX_DHCPReservedAddress_reservedClientName";
    const std::string descriptionKey = "MOF_Props_ZPX_DHCPReservedAddress_reservedClientDescription";
    expectRefused(
        kReservations, "0",
        {{"address too long",
          {{"IPv4Address", "192.168.1.50 1234"}},
          4,
          "The length of IPv4Address must be <= 16\n"
          "#CFG_000_0004,MOF_Props_ZPX_DHCPReservedAddress_IPv4Address,16#"},
         {"name too long",
          {{"IPv4Address", "192.168.1.51"}, {"reservedClientName", "a23456789012345678901"}},
          4,
          "The length of reservedClientName must be <= 20\n#CFG_000_0004," + nameKey + ",20#"},
         {"name with a space", {{"reservedClientName", "Lab Printer"}}, 1, "#DHC_ERROR_351#"},
         {"name dhcpd cannot declare",
          {{"IPv4Address", "192.168.1.51"}, {"reservedClientName", "lab;}"}},
          4,
          "The value of reservedClientName is invalid.\n#CFG_000_0000," + nameKey + "#"},
         {"description the file cannot hold",
          {{"reservedClientDescription", "desk, left"}},
          4,
          "The value of reservedClientDescription is invalid.\n#CFG_000_0000," + descriptionKey + "#"},
         {"inside a range", {{"IPv4Address", "192.168.1.150"}}, 1, "#DHC_ERROR_334#"},
         {"own address", {{"IPv4Address", "192.168.1.1"}}, 1, "#DHC_ERROR_329#"},
         {"hardware address", {{"reservedMACAddr", "0A:0B:0C"}}, 1, "#DHC_ERROR_327#"},
         {"no LAN", {{"IPv4Address", "10.9.0.1"}}, 1, "#DHC_ERROR_400#"}});

    // A successful change reaches the object, the file and dhcpd.conf.
    r = wbemcli("mi", path(kReservations, "0"), "IPv4Address=\"192.168.1.52\"");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(contains(wbemcli("gi", path(kReservations, "0")).out, "IPv4Address=\"192.168.1.52\""));
    EXPECT_TRUE(contains(readFile(kComponentFile), "192.168.1.52 " + mac + " deskphone"));
    EXPECT_TRUE(contains(readFile(kDhcpdConf), "fixed-address 192.168.1.52;"));
    EXPECT_FALSE(contains(readFile(kDhcpdConf), "192.168.1.50"));

    // A second reservation with the same name is refused and leaves no object.
    CIMError e = create(kReservations, {{"IPv4Address", "192.168.1.60"},
                                        {"reservedMACAddr", "02:00:00:00:00:60"},
                                        {"reservedClientName", "deskphone"}});
    EXPECT_EQ(1, e.code);
    EXPECT_EQ("#DHC_ERROR_328#", e.description);
    r = wbemcli("ein", kReservations);
    EXPECT_FALSE(contains(r.out, "InstanceID=\"1\"")) << r.out;

    for (const char* id : {"64", "-1", "0x", "123456789012345678901234567890"}) {
      SCOPED_TRACE(id);
      EXPECT_TRUE(contains(wbemcli("gi", path(kReservations, id)).err, "CIM_ERR_NOT_FOUND"));
      EXPECT_EQ(6, modify(kReservations, id, {{"reservedClientName", "x"}}).code);
    }

    r = wbemcli("di", path(kReservations, "0"));
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_FALSE(contains(readFile(kDhcpdConf), "192.168.1.52"));
    EXPECT_FALSE(contains(readFile(kComponentFile), "deskphone"));
    EXPECT_FALSE(contains(wbemcli("ein", kReservations).out, "InstanceID"));
  }
}

}  // namespace
