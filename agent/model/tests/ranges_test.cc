// Range and reservation operations and the records' pools on the customer LAN
// 192.168.1.1/24, a VLAN 10.10.0.1/16 and the OAM LAN 172.16.0.1/24, with the
// real provider objects of libTavrel behind the pools.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "agent.h"
#include "agent_stand_ins.h"
#include "model/config_file.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/ranges.h"
#include "model/records.h"
#include "model/result.h"
#include "model_test_support.h"
#include "tavrel_agent_api.h"

namespace {

s_ipAddrRange makeRange(const char* start, const char* end, const char* gateway = "") {
  s_ipAddrRange r = {};
  snprintf(r.startAddr.ipString, sizeof(r.startAddr.ipString), "%s", start);
  snprintf(r.endAddr.ipString, sizeof(r.endAddr.ipString), "%s", end);
  snprintf(r.gateway.ipString, sizeof(r.gateway.ipString), "%s", gateway);
  return r;
}

std::string shown(const ZPX_DHCPRangeOfIPAddresses* object) {
  std::string start, end, gateway;
  OpenWBEM::Array<OpenWBEM::CIMQualifier> q;
  object->getStartAddress(start, q);
  object->getEndAddress(end, q);
  object->getDefaultGatewayIPAddress(gateway, q);
  return start + "-" + end + "/" + gateway;
}

std::string shown(const ZPX_DHCPReservedAddress* object) {
  std::string ip, mac, name, description;
  OpenWBEM::Array<OpenWBEM::CIMQualifier> q;
  object->getIPv4Address(ip, q);
  object->getreservedMACAddr(mac, q);
  object->getreservedClientName(name, q);
  object->getreservedClientDescription(description, q);
  return ip + " " + mac + " " + name + " " + description;
}

class RangesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(&rangeManager_);
    ZPX_DHCPReservedAddress::SetInstanceManager(&reservationManager_);
    model_test::resetModel({100});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    model_test::setInterface(&VLANIpConfig[0], "10.10.0.1", "255.255.0.0");
    model_test::setInterface(&OAMLANIpConfig, "172.16.0.1", "255.255.255.0");
  }

  void TearDown() override {
    model_test::deleteObjects();
    EXPECT_EQ(g_NumberOfRanges, 0);
    EXPECT_EQ(g_NumberOfReservedIPs, 0);
    ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
    ZPX_DHCPReservedAddress::ClearInstanceManager();
  }

  int addRange(const std::string& id, const char* start, const char* end, const char* gateway = "") {
    s_ipAddrRange r = makeRange(start, end, gateway);
    return dhcpCompCheckAndAddIPAddressRange(id, &r, true);
  }

  int addReservation(const std::string& id, const char* ip, const char* mac, const char* name = "",
                     const char* description = "") {
    s_reservedAddr r = {};
    snprintf(r.ipAddr.ipString, sizeof(r.ipAddr.ipString), "%s", ip);
    snprintf(r.macAddr, sizeof(r.macAddr), "%s", mac);
    snprintf(r.clientName, sizeof(r.clientName), "%s", name);
    snprintf(r.clientDescription, sizeof(r.clientDescription), "%s", description);
    return dhcpCompCheckAndAddReservedAddress(id, &r);
  }

  ZPX_DHCPRangeOfIPAddressesImplInstanceManager rangeManager_;
  ZPX_DHCPReservedAddressImplInstanceManager reservationManager_;
};

TEST_F(RangesTest, RangeResultCodes) {
  struct Case {
    const char *id, *start, *end, *gateway;
    int rc;
  } cases[] = {
      {"0", "192.168.2.10", "192.168.2.20", "", DHCP_RC_NO_LAN},
      {"0", "192.168.1.1", "192.168.1.50", "", DHCP_RC_OWN_ADDRESS_IN_RANGE},
      {"0", "192.168.1.200", "192.168.1.100", "", DHCP_RC_START_ABOVE_END},
      {"0", "192.168.1.100", "192.168.1.300", "", DHCP_RC_INVALID_ADDRESS},
      {"0", "192.168.1.100", "192.168.1.200", "gw", DHCP_RC_INVALID_ADDRESS},
      {"0", "192.168.1.100", "192.168.1.200", "192.168.7.1", DHCP_RC_NOT_IN_SUBNET},
      // Short, hexadecimal and octal forms are stored as dotted quads.
      {"0", "192.168.1.0x64", "192.168.1.200", "0300.0250.1.254", DHCP_RC_OK},
      // Overlaps: an end point shared, or one range inside the other.
      {"1", "192.168.1.150", "192.168.1.250", "", DHCP_RC_RANGE_OVERLAP},
      {"1", "192.168.1.50", "192.168.1.100", "", DHCP_RC_RANGE_OVERLAP},
      {"1", "192.168.1.201", "192.168.1.250", "", DHCP_RC_OK},
      // A range across two networks belongs to none.
      {"2", "10.10.3.1", "192.168.1.9", "", DHCP_RC_NO_LAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + ": " + c.start + "-" + c.end + " gw " + c.gateway);
    EXPECT_EQ(addRange(c.id, c.start, c.end, c.gateway), c.rc);
  }
  // Ids outside the pool touch nothing.
  for (const char* id : {"32", "-1", "", "1x", "01", "99999999999"})
    EXPECT_EQ(addRange(id, "192.168.1.2", "192.168.1.3"), DHCP_RC_RANGE_ID) << id;
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 2);
  EXPECT_EQ(g_NumberOfRanges, 2);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[0].startAddr.ipString, "192.168.1.100");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "192.168.1.254");
  // Without a gateway a new range takes the LAN's; the object shows what was stored.
  EXPECT_EQ(shown(g_AddressRangePool[1].object), "192.168.1.201-192.168.1.250/192.168.1.254");
  EXPECT_EQ(CustomerLANDhcpCompConfig.defaultGatewayEmpty, 1);
  // A new gateway reaches every range of the LAN and its object.
  s_ipAddr gateway = model_test::address("192.168.1.253");
  syncUpGatewayForAddrRanges(&CustomerLANDhcpCompConfig, &gateway);
  EXPECT_EQ(shown(g_AddressRangePool[0].object), "192.168.1.100-192.168.1.200/192.168.1.253");
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRange("0", nullptr, true), DHCP_RC_NO_LAN);
}

TEST_F(RangesTest, ReservationResultCodes) {
  ASSERT_EQ(addRange("0", "192.168.1.121", "192.168.1.200"), DHCP_RC_OK);
  struct Case {
    const char *id, *ip, *mac, *name, *description;
    int rc;
  } cases[] = {
      {"0", "192.168.1.120", "0a0b0c0d0e0f", "", "", DHCP_RC_OK},
      {"1", "192.168.1.200", "0a0b0c0d0e10", "", "", DHCP_RC_RESERVED_IN_RANGE},
      {"1", "192.168.1.1", "0a0b0c0d0e10", "", "", DHCP_RC_RESERVED_IS_OWN_ADDRESS},
      {"1", "192.168.1.120", "0a0b0c0d0e10", "", "", DHCP_RC_ALREADY_USED},
      {"1", "192.168.3.1", "0a0b0c0d0e10", "", "", DHCP_RC_NO_LAN},
      {"1", "192.168.1.300", "0a0b0c0d0e10", "", "", DHCP_RC_INVALID_ADDRESS},
      // Hardware addresses: three separator forms, normalised; the rest refused.
      {"5", "192.168.1.20", "0a-0b-0c-0d-0e-05", "", "", DHCP_RC_OK},
      {"5", "192.168.1.20", "0a:0B-0c:0d:0e:05", "", "", DHCP_RC_OK},
      {"5", "192.168.1.20", "0a0b0c0d0e05", "", "", DHCP_RC_OK},
      // The LAN's network and broadcast address name no host.
      {"9", "192.168.1.0", "0a0b0c0d0e09", "", "", DHCP_RC_INVALID_ADDRESS},
      {"9", "192.168.1.255", "0a0b0c0d0e09", "", "", DHCP_RC_INVALID_ADDRESS},
      // Names become dhcpd.conf host names; "Device<n>" belongs to slot n.
      {"7", "192.168.1.21", "0a0b0c0d0e01", "Device3", "", DHCP_RC_OK},
      {"7", "192.168.1.21", "0a0b0c0d0e01", "printer-2.lab_a", "Hall", DHCP_RC_OK},
      // A client name is unique across the customer LAN and its VLANs.
      {"8", "192.168.1.30", "0a0b0c0d0e02", "printer-2.lab_a", "", DHCP_RC_ALREADY_USED},
      {"8", "10.10.5.5", "0a0b0c0d0e02", "printer-2.lab_a", "", DHCP_RC_ALREADY_USED},
      {"8", "10.10.5.5", "0a0b0c0d0e02", "scanner", "", DHCP_RC_OK},
      {"3", "192.168.1.0x16", "0a0b0c0d0e03", "", "", DHCP_RC_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + ": " + c.ip + " " + c.mac + " " + c.name + " " + c.description);
    EXPECT_EQ(addReservation(c.id, c.ip, c.mac, c.name, c.description), c.rc);
  }
  for (const char* id : {"64", "-3", "", " 5"})
    EXPECT_EQ(addReservation(id, "192.168.1.20", "0a0b0c0d0e0f"), DHCP_RC_NO_LAN) << id;
  for (const char* mac : {"0A:0B:0C", "0a0b0c0d0e0", "0g0b0c0d0e0f", "g0:0b:0c:0d:0e:0f", "0a:0b:0c:0d:0e:0z",
                          "0a:0b.0c:0d:0e:0f", "", "ff:ff:ff:ff:ff:ff", "000000000000", "01:00:5e:00:00:01",
                          "0A-0B-0C-0D-0E-0F" /* reservation 0's */})
    EXPECT_EQ(addReservation("5", "192.168.1.20", mac), DHCP_RC_INVALID_MAC) << mac;
  for (const char* name : {"Lab Printer", "a,b", "x;y", "name\n", "{host}", "caf\xc3\xa9", "-desk", "desk."})
    EXPECT_EQ(addReservation("7", "192.168.1.22", "0a0b0c0d0e01", name), 301) << name;
  for (const char* description : {"a,b", "line\nbreak", "cr\r", "tab\t"})
    EXPECT_EQ(addReservation("7", "192.168.1.22", "0a0b0c0d0e01", "ok", description), 301) << description;
  EXPECT_EQ(addRange("1", "192.168.1.100", "192.168.1.120"), DHCP_RC_RESERVATION_IN_RANGE);
  // Refusals left the stored reservations and their objects as they were.
  EXPECT_EQ(shown(g_reservedAddrPool[5].object), "192.168.1.20 0A:0B:0C:0D:0E:05 Device5 ");
  EXPECT_EQ(shown(g_reservedAddrPool[7].object), "192.168.1.21 0A:0B:0C:0D:0E:01 printer-2.lab_a Hall");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[3].ipAddr.ipString, "192.168.1.22");
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 4);
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 1);
  EXPECT_EQ(g_NumberOfReservedIPs, 5);
  EXPECT_EQ(dhcpCompCheckAndAddReservedAddress("0", nullptr), DHCP_RC_NO_LAN);
}

// A name stored under earlier rules is kept and may be sent back unchanged;
// a new one must meet today's rules.
TEST_F(RangesTest, StoredNamesOutsideTodaysRulesAreKept) {
  s_reservedAddr stored = {};
  snprintf(stored.ipAddr.ipString, sizeof(stored.ipAddr.ipString), "192.168.1.20");
  snprintf(stored.macAddr, sizeof(stored.macAddr), "0a0b0c0d0e01");
  snprintf(stored.clientName, sizeof(stored.clientName), "Lab;Printer");
  snprintf(stored.clientDescription, sizeof(stored.clientDescription), "tab\there");
  s_reservedAddr outside = stored;
  ASSERT_EQ(dhcpCompAddStoredReservedAddress("7", &stored), DHCP_RC_OK);
  EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", "Lab;Printer", "tab\there"), DHCP_RC_OK);
  EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", "Lab;Printer2", "tab\there"), 301);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[7].ipAddr.ipString, "192.168.1.21");
  snprintf(outside.ipAddr.ipString, sizeof(outside.ipAddr.ipString), "10.99.0.1");
  EXPECT_EQ(dhcpCompAddStoredReservedAddress("8", &outside), DHCP_RC_NO_LAN);
}

TEST_F(RangesTest, ReplaceMoveAndRemoveKeepEverythingInStep) {
  ASSERT_EQ(addRange("2", "192.168.1.100", "192.168.1.150", "192.168.1.254"), DHCP_RC_OK);
  ZPX_DHCPRangeOfIPAddressesImpl* object = g_AddressRangePool[2].object;
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(rangeManager_.get("2"), object);

  // Replace: same slot, same object, count unchanged.
  ASSERT_EQ(addRange("2", "192.168.1.110", "192.168.1.160"), DHCP_RC_OK);
  EXPECT_EQ(shown(object), "192.168.1.110-192.168.1.160/192.168.1.254");

  // Move to the VLAN: the object follows, the customer LAN slot is freed.
  ASSERT_EQ(addRange("2", "10.10.1.1", "10.10.1.50", "10.10.0.254"), DHCP_RC_OK);
  EXPECT_EQ(g_AddressRangePool[2].object, object);
  EXPECT_EQ(g_NumberOfRanges, 1);
  EXPECT_EQ(VLANDhcpCompConfig[0].numAddrRanges, 1);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  s_dhcpCompConfig* lan = nullptr;
  EXPECT_EQ(getAddressRangeCompConfig("2", &lan), 2);
  EXPECT_EQ(lan, &VLANDhcpCompConfig[0]);

  // A refused change puts the object back to the stored range.
  object->setStartAddress("10.10.1.60");
  EXPECT_EQ(addRange("2", "10.10.1.60", "10.10.1.20"), DHCP_RC_START_ABOVE_END);
  EXPECT_EQ(shown(object), "10.10.1.1-10.10.1.50/10.10.0.254");

  // Deleting the object frees slot and pool entry; its caller commits.
  int commits = g_commitCount;
  delete object;
  EXPECT_EQ(g_commitCount, commits);
  EXPECT_EQ(VLANDhcpCompConfig[0].numAddrRanges, 0);
  EXPECT_EQ(VLANDhcpCompConfig[0].defaultGateway.ipLong, 0u);
  EXPECT_TRUE(g_AddressRangePool[2].isFree);
  EXPECT_THROW(rangeManager_.get("2"), CFG_NoInstance);
}

TEST_F(RangesTest, ReservationsMoveBetweenLansAndLeaveWithTheirObject) {
  ASSERT_EQ(addReservation("4", "192.168.1.40", "0a0b0c0d0e0f", "phone", "desk"), DHCP_RC_OK);
  ZPX_DHCPReservedAddressImpl* object = g_reservedAddrPool[4].object;
  ASSERT_EQ(addReservation("4", "10.10.2.2", "0a0b0c0d0e0f", "phone", "desk"), DHCP_RC_OK);
  EXPECT_EQ(g_reservedAddrPool[4].object, object);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.reservedAddrs[4].isFree);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 0);
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 1);

  int commits = g_commitCount;
  reservationManager_.destroyZPX_DHCPReservedAddress(object);
  EXPECT_EQ(g_commitCount, commits + 1);
  EXPECT_TRUE(VLANDhcpCompConfig[0].reservedAddrs[4].isFree);
  EXPECT_STREQ(VLANDhcpCompConfig[0].reservedAddrs[4].clientName, "");
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 0);
  EXPECT_TRUE(g_reservedAddrPool[4].isFree);
}

TEST_F(RangesTest, RangesReadFromTheFile) {
  s_ipAddrRange r = makeRange("192.168.1.100", "192.168.1.200", "192.168.1.254");
  ASSERT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 6), DHCP_RC_OK);
  EXPECT_EQ(shown(g_AddressRangePool[6].object), "192.168.1.100-192.168.1.200/192.168.1.254");
  // The same slot read again stays one range.
  ASSERT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 6), DHCP_RC_OK);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 1);
  EXPECT_EQ(g_NumberOfRanges, 1);
  r = makeRange("192.168.1.220", "192.168.1.210");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 7), DHCP_RC_START_ABOVE_END);
  r = makeRange("192.168.1.x", "192.168.1.210");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 7), DHCP_RC_INVALID_ADDRESS);
  r = makeRange("192.168.1.1", "192.168.1.2");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 32), DHCP_RC_RANGE_ID);
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(nullptr, &r, 7), DHCP_RC_NO_LAN);
  EXPECT_EQ(g_NumberOfRanges, 1);
}

TEST_F(RangesTest, OamLanRanges) {
  auto add = [](const char* start, const char* end, bool checkSubnet = true) {
    s_ipAddrRange r = makeRange(start, end);
    return dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, checkSubnet);
  };
  EXPECT_EQ(1, add("172.16.0.10", "172.16.0.20"));
  EXPECT_EQ(0, add("172.16.0.20", "172.16.0.30"));  // overlap
  EXPECT_EQ(0, add("172.16.1.1", "172.16.1.2"));
  EXPECT_EQ(1, add("172.16.1.1", "172.16.1.2", false));
  EXPECT_EQ(0, add("172.16.0.40", "172.16.0.39"));
  for (int i = 2; i <= DHCP_MAX_ADDR_RANGES; ++i) {
    std::string a = "172.16.0." + std::to_string(100 + i);
    EXPECT_EQ(i < DHCP_MAX_ADDR_RANGES ? 1 : 0, add(a.c_str(), a.c_str())) << a;
  }
  EXPECT_EQ(OAMLANDhcpCompConfig.numAddrRanges, DHCP_MAX_ADDR_RANGES);
  EXPECT_EQ(g_NumberOfRanges, 0);
}

TEST_F(RangesTest, VlanIdLists) {
  auto verify = [](std::string list) { return dhcpCompVerifyVLANIds(&list[0]); };
  // A trailing "," and an empty item (read as 0) are valid, and so are
  // leading zeros within five characters.
  for (const char* list :
       {"1,2,3", "", "4095", "0,1,2,3,4,5,6,7,8,9", "1,2,", ",1", ",", "07", "04095", "0,1,2,3,4,5,6,7,8,9,"})
    EXPECT_EQ(verify(list), DHCP_RC_OK) << list;
  for (const char* list : {"0000004096", "1,,2", ",,", "1;2", "4096", "123456", "0,1,2,3,4,5,6,7,8,9,10",
                           ",1,2,3,4,5,6,7,8,9,10", "1, 2", "-1", "+1"})
    EXPECT_EQ(verify(list), DHCP_RC_INVALID_VLAN_IDS) << list;
}

TEST_F(RangesTest, PruningAfterAnAddressChange) {
  ASSERT_EQ(addRange("0", "192.168.1.100", "192.168.1.110", "192.168.1.254"), DHCP_RC_OK);
  ASSERT_EQ(addRange("1", "192.168.1.2", "192.168.1.20"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("0", "192.168.1.50", "0a0b0c0d0e0f"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("1", "192.168.1.150", "0a0b0c0d0e10"), DHCP_RC_OK);
  // An OAM LAN range in slot 0 must not take the customer LAN's object 0 along.
  s_ipAddrRange oam = makeRange("172.16.0.10", "172.16.0.20");
  ASSERT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&oam, true), 1);
  model_test::setInterface(&OAMLANIpConfig, "172.17.0.1", "255.255.255.0");
  dhcpCompVerifyRangesInSubnet(&OAMLANIpConfig, &OAMLANDhcpCompConfig);
  EXPECT_EQ(OAMLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_NE(g_AddressRangePool[0].object, nullptr);

  // The LAN shrinks to 192.168.1.0/26 and its own address moves to .10.
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.10", "255.255.255.192");
  int commits = g_commitCount;
  dhcpCompVerifyRangesInSubnet(&CustomerLANIpConfig, &CustomerLANDhcpCompConfig);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 1);
  EXPECT_FALSE(CustomerLANDhcpCompConfig.reservedAddrs[0].isFree);
  EXPECT_EQ(g_NumberOfRanges, 0);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);
  EXPECT_EQ(g_commitCount, commits);
}

// While the customer LAN has no address of its own (none yet, or only the
// default one) its entries outside the network stay stored and are not
// served; with an address of its own they are pruned. Once the network holds
// them again, the kept ones are served.
TEST_F(RangesTest, EntriesOutsideTheNetworkWaitForAnAddressOfTheLansOwn) {
  const struct {
    const char* what;
    const char* address;
    const char* netmask;
    uint8_t staticIP;
    bool kept;
  } cases[] = {
      {"no address", nullptr, nullptr, 0, true},
      {"the default address", DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS, DHCP_DEFAULT_CUSTOMER_LAN_NETMASK, 0, true},
      {"the default address, set statically", DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS,
       DHCP_DEFAULT_CUSTOMER_LAN_NETMASK, 1, false},
      {"an address from a lease", "10.1.0.5", "255.255.255.0", 0, false},
  };
  CustomerLANDhcpCompConfig.dhcpStatus = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(addRange("0", "192.168.1.100", "192.168.1.199"), DHCP_RC_OK);
    ASSERT_EQ(addReservation("0", "192.168.1.20", "0a0b0c0d0e0f"), DHCP_RC_OK);
    memset(&CustomerLANIpConfig.ipAddress, 0, sizeof(s_ipAddr));
    memset(&CustomerLANIpConfig.netmask, 0, sizeof(s_ipAddr));
    dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
    if (c.address != nullptr) model_test::setInterface(&CustomerLANIpConfig, c.address, c.netmask);
    CustomerLANIpConfig.staticIP = c.staticIP;
    dhcpCompVerifyRangesInSubnet(&CustomerLANIpConfig, &CustomerLANDhcpCompConfig);
    EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, c.kept ? 1 : 0);
    EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, c.kept ? 1 : 0);
    EXPECT_EQ(dhcpCompFormatDhcpdConfig().find("# eth1\n"), std::string::npos) << "nothing to serve";

    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    std::string conf = dhcpCompFormatDhcpdConfig();
    EXPECT_EQ(conf.find("range 192.168.1.100 192.168.1.199;") != std::string::npos, c.kept);
    EXPECT_EQ(conf.find("fixed-address 192.168.1.20;") != std::string::npos, c.kept);
    model_test::deleteObjects();
  }
}

TEST_F(RangesTest, PoolsGiveTheLowestFreeIdAndReleaseFreesEverything) {
  EXPECT_STREQ("eth1.100", VLANDhcpCompConfig[0].interfaceName);
  ASSERT_EQ(addRange("0", "192.168.1.100", "192.168.1.110", "192.168.1.254"), DHCP_RC_OK);
  ASSERT_EQ(addRange("3", "192.168.1.120", "192.168.1.130"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("0", "192.168.1.20", "0a0b0c0d0e0f"), DHCP_RC_OK);
  EXPECT_EQ(1, dhcpCompGetFreeAddressRangeInstanceID());
  EXPECT_EQ(1, dhcpCompGetFreeReservedAddressInstanceID());
  // Without deleting the objects only the slots are freed.
  dhcpCompDeallocConfigAddrRanges(&CustomerLANDhcpCompConfig, false);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numAddrRanges);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.addrRanges[3].isFree);
  EXPECT_EQ(0u, CustomerLANDhcpCompConfig.defaultGateway.ipLong);
  EXPECT_EQ(2, g_NumberOfRanges);
  model_test::deleteObjects();

  ASSERT_EQ(addRange("1", "192.168.1.100", "192.168.1.110"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("4", "192.168.1.20", "0a0b0c0d0e0f"), DHCP_RC_OK);
  for (int i = 0; i < 2; ++i) {
    s_leaseInfo* node = static_cast<s_leaseInfo*>(calloc(1, sizeof(s_leaseInfo)));
    node->next = CustomerLANDhcpCompConfig.leaseInfoList;
    CustomerLANDhcpCompConfig.leaseInfoList = node;
  }
  dhcpCompDeallocDhcpCompConfig(&CustomerLANDhcpCompConfig, true);
  EXPECT_EQ(0, g_NumberOfRanges);
  EXPECT_EQ(0, g_NumberOfReservedIPs);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numReservedAddrs);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.reservedAddrs[4].isFree);
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList);
  for (s_addrRangePoolEntry& entry : g_AddressRangePool) entry.isFree = 0;
  EXPECT_EQ(-1, dhcpCompGetFreeAddressRangeInstanceID());
  for (s_addrRangePoolEntry& entry : g_AddressRangePool) entry.isFree = 1;
}

// An IP change writes the component file, tears the records down and reads
// them back: ids given out of the file's order (the VLAN's first, a hole
// left by a deletion) keep naming the same records.
TEST_F(RangesTest, RebuildFromTheFileKeepsIds) {
  ASSERT_EQ(addRange("0", "10.10.1.1", "10.10.1.50"), DHCP_RC_OK);
  ASSERT_EQ(addRange("1", "192.168.1.100", "192.168.1.150"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("0", "10.10.2.2", "0a0b0c0d0e0f", "vlan", "desk"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("1", "192.168.1.40", "0a0b0c0d0e10", "gone", "desk"), DHCP_RC_OK);
  ASSERT_EQ(addReservation("2", "192.168.1.41", "0a0b0c0d0e11", "lan", "desk"), DHCP_RC_OK);
  delete g_reservedAddrPool[1].object;
  auto objects = [] {
    std::vector<std::string> texts;
    for (const auto& e : g_AddressRangePool) texts.push_back(e.object ? shown(e.object) : "");
    for (const auto& e : g_reservedAddrPool) texts.push_back(e.object ? shown(e.object) : "");
    return texts;
  };
  std::vector<std::string> before = objects();

  model_test::TempDir dir;
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", dir.file("dhcpcomp.conf").c_str());
  dhcpCompKeepInstanceIDs();
  // One the kept ids do not know (added to the file by hand) takes the hole, no awaited id.
  ASSERT_EQ(addReservation("3", "192.168.1.42", "0a0b0c0d0e12", "new", "desk"), DHCP_RC_OK);
  before[DHCP_MAX_ADDR_RANGES + 1] = "192.168.1.42 0A:0B:0C:0D:0E:12 new desk";
  ASSERT_EQ(dhcpCompWriteDhcpCompConfigFile(0), 1);
  dhcpCompCleanup();
  EXPECT_EQ(g_NumberOfReservedIPs, 0);
  ASSERT_EQ(dhcpCompReadDhcpCompConfigFile(), 1);
  dhcpCompForgetKeptInstanceIDs();
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), DHCP_DEFAULT_CONFIG_FILENAME);
  EXPECT_EQ(objects(), before);
  EXPECT_EQ(g_NumberOfReservedIPs, 3);
}

}  // namespace
