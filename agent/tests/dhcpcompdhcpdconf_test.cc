// dhcpd.conf generation from records set up directly. Every generated text is
// also given to the real dhcpd's parser (dhcpd -t).
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dhcpcompdaemon.h"
#include "dhcpd_test_support.h"
#include "model_test_support.h"

namespace {

using dhcpd_test::addRange;
using dhcpd_test::addReservation;
using dhcpd_test::setCallServer;

const char kHeader[] =
    "ddns-update-style interim;\nnot authoritative;\n\n#\n"
    "option option-128 code 128 = text;\noption option-191 code 191 = text;\n"
    "option option-151 code 151 = ip-address;\n\n#\n";
const char kAllowLines[] =
    "\t\tallow members of \"Zelkor EtherSet\";\n\t\tallow members of \"Zelkor WLANSet\";\n"
    "\t\tallow members of \"Zelkor P7700Set\";\n";
const char kOption128[] =
    "\toption option-128 \"Zelkor-p4100-A,192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.\";\n";

class DhcpdConfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    CustomerLANIpConfig.staticIP = 1;
    model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  }

  // The generated text, after dhcpd has accepted it.
  std::string generate() {
    std::string text = dhcpCompFormatDhcpdConfig();
    if (dhcpd_test::dhcpdPath().empty()) {
      ADD_FAILURE() << "dhcpd is not installed (isc-dhcp-server)";
    } else {
      std::string verdict = dhcpd_test::dhcpdCheck(text);
      EXPECT_EQ("", verdict) << text;
    }
    return text;
  }

  static void setS1(uint8_t action) {
    s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
    setCallServer(&lan.s1Address, &lan.s1PortNumber, &lan.s1Action, &lan.s1RetryCount, "192.168.1.5", 4100,
                  action, 3);
  }
  static void setS2() {
    s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
    setCallServer(&lan.s2Address, &lan.s2PortNumber, &lan.s2Action, &lan.s2RetryCount, "192.168.1.6", 4100, 1,
                  3);
  }
  static void serveCustomerLan(int status) {
    CustomerLANDhcpCompConfig.dhcpStatus = status;
    CustomerLANDhcpCompConfig.leaseTime = 86400;
    addRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.100", "192.168.1.199");
  }
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(DhcpdConfTest, NothingServedGivesTheHeaderOnly) {
  EXPECT_EQ(kHeader, generate());
  // Status 0, and a LAN without ranges and reservations, get no declaration.
  CustomerLANDhcpCompConfig.dhcpStatus = 2;
  EXPECT_EQ(kHeader, generate());
}

TEST_F(DhcpdConfTest, PhonesOnlyLanWithClassesMatchesTheReferenceFile) {
  s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  dhcpd_test::setUpApplianceRecords();
  lan.dhcpStatus = 1;
  lan.leaseTime = 86400;
  addReservation(&lan, 3, "192.168.1.20", "00:0A:0B:0C:0D:0E", "lobby");
  snprintf(lan.vlanIds, sizeof(lan.vlanIds), "100,200");

  s_dhcpCompConfig& oam = OAMLANDhcpCompConfig;
  oam.dhcpStatus = 2;
  oam.leaseTime = 600;
  addRange(&oam, 1, "172.31.0.100", "172.31.0.150");
  oam.dnsServer1 = model_test::address("172.31.0.2");
  oam.dnsServer2 = model_test::address("172.31.0.3");
  snprintf(oam.domainName, sizeof(oam.domainName), "oam.example");
  oam.winsServer = model_test::address("172.31.0.4");
  oam.winsNodeType = 8;

  EXPECT_EQ(model_test::readFile(model_test::dataFile("../dhcpd/phones-only.conf")), generate());
}

TEST_F(DhcpdConfTest, CallServerConditionsDecideTheClasses) {
  serveCustomerLan(2);
  setS1(2);
  std::string text = generate();
  EXPECT_EQ(std::string::npos, text.find("class")) << "s1Action 2";
  EXPECT_EQ(std::string::npos, text.find("option-128 \""));

  setS1(1);
  CustomerLANDhcpCompConfig.s1PortNumber = 0;
  EXPECT_EQ(std::string::npos, generate().find("class")) << "no port";
  // An unset s2 repeats s1, and the record keeps it.
  setS1(1);
  EXPECT_NE(std::string::npos,
            generate().find("\toption option-128 "
                            "\"Zelkor-p4100-A,192.168.1.5:4100,1,3;192.168.1.5:4100,1,3.\";\n"));
  EXPECT_STREQ("192.168.1.5", CustomerLANDhcpCompConfig.s2Address.ipString);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.s2AddressEmpty);
  CustomerLANDhcpCompConfig.s1PortNumber = 0;

  CustomerLANDhcpCompConfig.s1OtherPortNumber = 6000;
  text = generate();
  EXPECT_EQ(3u, count(text, "class \""));
  EXPECT_EQ(3u, count(text, "\toption option-191 \"VLAN-A:none.\";\n"));
  EXPECT_NE(std::string::npos, text.find("192.168.1.5:6000,1,3;")) << text;
  // No handset servers set: no option 151 or TFTP line.
  EXPECT_EQ(std::string::npos, text.find("option-151 1"));
  EXPECT_EQ(std::string::npos, text.find("tftp-server-name"));
}

TEST_F(DhcpdConfTest, PoolIsRestrictedPerStatus) {
  struct Case {
    int status;
    uint8_t staticIP;
    uint8_t external;
    bool restricted;
  };
  for (const Case& c : std::vector<Case>{
           {1, 1, 0, true}, {2, 0, 1, false}, {3, 1, 1, false}, {3, 0, 0, false}, {3, 0, 1, true}}) {
    SCOPED_TRACE("status " + std::to_string(c.status) + " static " + std::to_string(c.staticIP) +
                 " external " + std::to_string(c.external));
    SetUp();
    serveCustomerLan(c.status);
    CustomerLANIpConfig.staticIP = c.staticIP;
    CustomerLANIpConfig.externalDhcpServer = c.external;
    std::string text = generate();
    EXPECT_NE(std::string::npos, text.find("\tpool {\n\t\trange 192.168.1.100 192.168.1.199;\n" +
                                           std::string(c.restricted ? kAllowLines : "") + "\t}\n\n"))
        << text;
    // Without call servers a restricted pool still needs the classes, which
    // then carry no options.
    EXPECT_EQ(c.restricted ? 3u : 0u, count(text, "class \""));
    EXPECT_EQ(std::string::npos, text.find("option-191 \""));
  }
}

TEST_F(DhcpdConfTest, VlansGetTheirSubnetsWithOption128) {
  model_test::resetModel({100, 200});
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[1], "172.16.2.1", "255.255.255.0");
  serveCustomerLan(2);
  setS1(1);
  setS2();
  // A VLAN with status 1 and only reservations: a declaration without a pool.
  VLANDhcpCompConfig[0].dhcpStatus = 1;
  addReservation(&VLANDhcpCompConfig[0], 4, "172.16.1.20", "00:0A:0B:0C:0D:01", "desk");
  // No ranges and no reservations: no declaration.
  VLANDhcpCompConfig[1].dhcpStatus = 2;

  std::string text = generate();
  size_t vlan = text.find(
      "\n# eth1.100\nsubnet 172.16.1.0 netmask 255.255.255.0 {\n\n"
      "\toption ip-forwarding off;\n\thost desk {\n");
  ASSERT_NE(std::string::npos, vlan) << text;
  EXPECT_EQ(std::string::npos, text.find("pool", vlan));
  EXPECT_EQ(std::string::npos, text.find("eth1.200"));
  EXPECT_EQ(2u, count(text, kOption128));
  EXPECT_EQ(std::string(kOption128) + "}\n", text.substr(text.size() - strlen(kOption128) - 2));
}

// Stored texts that dhcpd's parser would trip over are left out or replaced,
// so the rest of the configuration is still served.
TEST_F(DhcpdConfTest, UnsafeStoredTextsNeverBreakTheFile) {
  s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  serveCustomerLan(2);
  setS1(1);
  snprintf(lan.domainName, sizeof(lan.domainName), "x\";\n}\nsubnet 10.0.0.0");
  snprintf(lan.vlanIds, sizeof(lan.vlanIds), "1\"; deny all");
  addReservation(&lan, 0, "192.168.1.20", "00:0A:0B:0C:0D:01", "_bad");
  addReservation(&lan, 1, "192.168.1.21", "00:0A:0B:0C:0D:02", "a b{");
  addReservation(&lan, 2, "192.168.1.22", "00:0A:0B:0C:0D:03", "Phone");
  addReservation(&lan, 3, "192.168.1.23", "00:0A:0B:0C:0D:04", "phone");
  addReservation(&lan, 4, "192.168.1.24", "00:0A:0B:0C:0D:05", "reserved-1");
  addReservation(&lan, 5, "192.168.1.25", "00:0A:0B:0C:0D:0G", "nomac");
  addReservation(&lan, 6, "192.168.1.26", "00:0A:0B:0C:0D:07;", "longmac");
  // A range outside the LAN's network.
  addRange(&lan, 7, "10.1.1.1", "10.1.1.9");
  // The address text disagrees with the number: the number is what counts.
  snprintf(lan.defaultGateway.ipString, sizeof(lan.defaultGateway.ipString), "1; deny all");
  lan.defaultGateway.ipLong = 0xC0A801FE;

  std::string text = generate();
  EXPECT_EQ(std::string::npos, text.find("domain-name \""));
  EXPECT_EQ(3u, count(text, "\"VLAN-A:none.\""));
  // Names dhcpd cannot take, or taken twice in another case, become reserved-<slot>.
  for (std::string host : {"reserved-0", "reserved-1", "Phone", "reserved-3", "reserved-4"})
    EXPECT_NE(std::string::npos, text.find("\thost " + host + " {\n")) << host;
  for (const char* left : {"192.168.1.25;", "192.168.1.26;", "10.1.1.1"})
    EXPECT_EQ(std::string::npos, text.find(left)) << left;
  EXPECT_NE(std::string::npos, text.find("\toption routers 192.168.1.254;\n"));
  EXPECT_EQ(std::string::npos, text.find("deny"));
}

TEST_F(DhcpdConfTest, LanWithoutAddressGetsNoDeclarationOamLanAlwaysOne) {
  serveCustomerLan(2);
  memset(&CustomerLANIpConfig.ipAddress, 0, sizeof(CustomerLANIpConfig.ipAddress));
  memset(&CustomerLANIpConfig.netmask, 0, sizeof(CustomerLANIpConfig.netmask));
  setS1(1);
  // The OAM LAN is declared even without ranges, and never with option 128.
  OAMLANDhcpCompConfig.dhcpStatus = 2;
  std::string text = generate();
  EXPECT_EQ(std::string::npos, text.find("# eth1"));
  EXPECT_NE(std::string::npos, text.find("\n# eth2\nsubnet 172.31.0.0 netmask 255.255.255.0 {\n\n"
                                         "\toption ip-forwarding off;\n"));
  EXPECT_EQ(std::string::npos, text.find("option-128 \"", text.find("# eth2")));
}

// The largest configuration: every range and reservation slot of every LAN in
// use, with the longest names, all accepted by dhcpd.
TEST_F(DhcpdConfTest, FullConfigurationFitsAndParses) {
  std::vector<int> vlans;
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) vlans.push_back(100 + i);
  model_test::resetModel(vlans);
  model_test::setInterface(&CustomerLANIpConfig, "10.0.0.1", "255.255.0.0");
  serveCustomerLan(1);
  CustomerLANDhcpCompConfig.numAddrRanges = 0;
  setS1(1);
  CustomerLANDhcpCompConfig.s1PortNumber = 0;
  CustomerLANDhcpCompConfig.s1OtherPortNumber = 4294967295u;
  CustomerLANDhcpCompConfig.s1Action = 1;
  CustomerLANDhcpCompConfig.s1RetryCount = 255;
  snprintf(CustomerLANDhcpCompConfig.vlanIds, sizeof(CustomerLANDhcpCompConfig.vlanIds),
           "4094,4094,4094,4094,4094,4094,4094,4094,4094,4094");
  std::string name(DHCP_CLIENT_NAME_SIZE - 1, 'n');
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    std::string start = "10.0." + std::to_string(100 + i) + ".1";
    std::string end = "10.0." + std::to_string(100 + i) + ".255";
    addRange(&CustomerLANDhcpCompConfig, i, start.c_str(), end.c_str());
  }
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    std::string address = "10.0.1." + std::to_string(i + 1);
    addReservation(&CustomerLANDhcpCompConfig, i, address.c_str(), "00:0A:0B:0C:0D:0E", name.c_str());
  }
  std::string text = generate();
  EXPECT_EQ(DHCP_MAX_ADDR_RANGES, static_cast<int>(count(text, "\t\trange ")));
  EXPECT_EQ(DHCP_MAX_RESERVED_ADDRS, static_cast<int>(count(text, "\thost ")));
  EXPECT_NE(std::string::npos, text.find("192.168.1.5:4294967295,1,255;"));

  // The section writer with its documented room.
  std::vector<char> buffer(DHCPD_SUBNET_SECTION_MAX_SIZE + strlen(kOption128) + 1);
  char* out = buffer.data();
  char* end = dhcpCompFormatSubnetSectionForDhcpdConfFile(&out, const_cast<char*>(kOption128),
                                                          &CustomerLANIpConfig, &CustomerLANDhcpCompConfig);
  EXPECT_EQ(end, out);
  EXPECT_EQ(strlen(buffer.data()), static_cast<size_t>(end - buffer.data()));
  EXPECT_NE(nullptr, strstr(buffer.data(), kOption128));
}

}  // namespace
