// dhcpd.conf generation from records set up directly. Every generated text is
// also given to the real dhcpd's parser (dhcpd -t) and, but for the largest,
// compared with its reference file in tests/data/dhcpdconf.
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dhcpd_test_support.h"
#include "model/dhcpd_conf.h"
#include "model/records.h"
#include "model_test_support.h"

namespace {

using dhcpd_test::addRange;
using dhcpd_test::addReservation;
using tavrel::test::occurrences;

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
    EXPECT_EQ("", dhcpd_test::dhcpdCheck(text)) << text;
    return text;
  }

  void expectReference(const std::string& name) {
    EXPECT_EQ(model_test::readFile(model_test::dataFile("../dhcpdconf/" + name + ".conf")), generate());
  }

  // Call server s1 at 192.168.1.5 with 3 retries.
  static void setS1(uint8_t action, uint32_t port = 4100, uint32_t otherPort = 0) {
    CustomerLANDhcpCompConfig.s1Address = model_test::address("192.168.1.5");
    CustomerLANDhcpCompConfig.s1PortNumber = port;
    CustomerLANDhcpCompConfig.s1OtherPortNumber = otherPort;
    CustomerLANDhcpCompConfig.s1Action = action;
    CustomerLANDhcpCompConfig.s1RetryCount = 3;
  }
  static void serveCustomerLan(int status, uint8_t staticIP = 1, uint8_t externalServer = 0) {
    CustomerLANDhcpCompConfig.dhcpStatus = status;
    CustomerLANDhcpCompConfig.leaseTime = 86400;
    addRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.100", "192.168.1.199");
    CustomerLANIpConfig.staticIP = staticIP;
    CustomerLANIpConfig.externalDhcpServer = externalServer;
  }
  // All devices served (status 2), with call server s1.
  static void serveWithS1(uint8_t action, uint32_t port = 4100, uint32_t otherPort = 0) {
    serveCustomerLan(2);
    setS1(action, port, otherPort);
  }
};

TEST_F(DhcpdConfTest, GeneratedFilesMatchTheirReferences) {
  struct Case {
    const char* reference;
    std::function<void()> setUp;
  } cases[] = {
      {"header-only", [] {}},
      // Status 2 without ranges and reservations gets no declaration.
      {"header-only", [] { CustomerLANDhcpCompConfig.dhcpStatus = 2; }},
      {"phones-only",
       [] {
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
       }},
      // Call servers with action 2, or without a port, give no classes.
      {"no-classes", [] { serveWithS1(2); }},
      {"no-classes", [] { serveWithS1(1, 0); }},
      // The other port stands in; no handset servers: no option 151 or TFTP line.
      {"other-port", [] { serveWithS1(1, 0, 6000); }},
      // Phones only (1), or all devices beside a foreign server (3, not
      // static): the pool is restricted to the classes, which then carry no
      // options without call servers.
      {"pool-restricted", [] { serveCustomerLan(1); }},
      {"pool-restricted", [] { serveCustomerLan(3, 0, 1); }},
      {"no-classes", [] { serveCustomerLan(2, 0, 1); }},
      {"no-classes", [] { serveCustomerLan(3, 1, 1); }},
      {"no-classes", [] { serveCustomerLan(3, 0, 0); }},
      // A VLAN with status 1 and only reservations: a declaration without a
      // pool; one without ranges and reservations: none.
      {"vlans",
       [] {
         model_test::resetModel({100, 200});
         dhcpd_test::setUpApplianceRecords();
         model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
         model_test::setInterface(&VLANIpConfig[1], "172.16.2.1", "255.255.255.0");
         VLANDhcpCompConfig[0].dhcpStatus = 1;
         addReservation(&VLANDhcpCompConfig[0], 4, "172.16.1.20", "00:0A:0B:0C:0D:01", "desk");
         VLANDhcpCompConfig[1].dhcpStatus = 2;
       }},
      // Stored texts that dhcpd's parser would trip over are left out or
      // replaced (host names it cannot take, or taken twice in another case,
      // by reserved-<slot>), so the rest is still served. A range outside the
      // LAN's network is left out; of an address only the number counts.
      {"unsafe-texts",
       [] {
         s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
         serveWithS1(1);
         snprintf(lan.domainName, sizeof(lan.domainName), "x\";\n}\nsubnet 10.0.0.0");
         snprintf(lan.vlanIds, sizeof(lan.vlanIds), "1\"; deny all");
         addReservation(&lan, 0, "192.168.1.20", "00:0A:0B:0C:0D:01", "_bad");
         addReservation(&lan, 1, "192.168.1.21", "00:0A:0B:0C:0D:02", "a b{");
         addReservation(&lan, 2, "192.168.1.22", "00:0A:0B:0C:0D:03", "Phone");
         addReservation(&lan, 3, "192.168.1.23", "00:0A:0B:0C:0D:04", "phone");
         addReservation(&lan, 4, "192.168.1.24", "00:0A:0B:0C:0D:05", "reserved-1");
         addReservation(&lan, 5, "192.168.1.25", "00:0A:0B:0C:0D:0G", "nomac");
         addReservation(&lan, 6, "192.168.1.26", "00:0A:0B:0C:0D:07;", "longmac");
         addRange(&lan, 7, "10.1.1.1", "10.1.1.9");
         snprintf(lan.defaultGateway.ipString, sizeof(lan.defaultGateway.ipString), "1; deny all");
         lan.defaultGateway.ipLong = 0xC0A801FE;
       }},
      // A LAN without address gets no declaration; the OAM LAN always one,
      // never with option 128.
      {"no-lan-address",
       [] {
         serveWithS1(1);
         memset(&CustomerLANIpConfig.ipAddress, 0, sizeof(CustomerLANIpConfig.ipAddress));
         memset(&CustomerLANIpConfig.netmask, 0, sizeof(CustomerLANIpConfig.netmask));
         OAMLANDhcpCompConfig.dhcpStatus = 2;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reference);
    SetUp();
    c.setUp();
    expectReference(c.reference);
  }
}

// An unset s2 repeats s1, and the record keeps it.
TEST_F(DhcpdConfTest, UnsetS2RepeatsS1) {
  serveWithS1(1);
  expectReference("s2-repeats-s1");
  EXPECT_STREQ("192.168.1.5", CustomerLANDhcpCompConfig.s2Address.ipString);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.s2AddressEmpty);
}

// The largest configuration: every range and reservation slot of every LAN in
// use, with the longest names, all accepted by dhcpd.
TEST_F(DhcpdConfTest, FullConfigurationFitsAndParses) {
  const char kOption128[] =
      "\toption option-128 \"Zelkor-p4100-A,192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.\";\n";
  std::vector<int> vlans;
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) vlans.push_back(100 + i);
  model_test::resetModel(vlans);
  model_test::setInterface(&CustomerLANIpConfig, "10.0.0.1", "255.255.0.0");
  serveCustomerLan(1);
  CustomerLANDhcpCompConfig.numAddrRanges = 0;
  setS1(1, 0, 4294967295u);
  CustomerLANDhcpCompConfig.s1RetryCount = 255;
  snprintf(CustomerLANDhcpCompConfig.vlanIds, sizeof(CustomerLANDhcpCompConfig.vlanIds),
           "4094,4094,4094,4094,4094,4094,4094,4094,4094,4094");
  std::string name(DHCP_CLIENT_NAME_SIZE - 1, 'n');
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    std::string net = "10.0." + std::to_string(100 + i);
    addRange(&CustomerLANDhcpCompConfig, i, (net + ".1").c_str(), (net + ".255").c_str());
  }
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    std::string address = "10.0.1." + std::to_string(i + 1);
    addReservation(&CustomerLANDhcpCompConfig, i, address.c_str(), "00:0A:0B:0C:0D:0E", name.c_str());
  }
  std::string text = generate();
  EXPECT_EQ(DHCP_MAX_ADDR_RANGES, static_cast<int>(occurrences(text, "\t\trange ")));
  EXPECT_EQ(DHCP_MAX_RESERVED_ADDRS, static_cast<int>(occurrences(text, "\thost ")));
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
