// Range and reservation operations on the customer LAN 192.168.1.1/24, a
// VLAN 10.10.0.1/16 and the OAM LAN 172.16.0.1/24, with the real provider
// objects of libTavrel behind the pools.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "agent_stand_ins.h"
#include "dhcpcomp.h"
#include "model_test_support.h"

namespace {

using model_test::address;

s_ipAddrRange makeRange(const char* start, const char* end, const char* gateway = "") {
  s_ipAddrRange r;
  memset(&r, 0, sizeof(r));
  snprintf(r.startAddr.ipString, sizeof(r.startAddr.ipString), "%s", start);
  snprintf(r.endAddr.ipString, sizeof(r.endAddr.ipString), "%s", end);
  snprintf(r.gateway.ipString, sizeof(r.gateway.ipString), "%s", gateway);
  return r;
}

s_reservedAddr makeReservation(const char* ip, const char* mac, const char* name = "",
                               const char* description = "") {
  s_reservedAddr r;
  memset(&r, 0, sizeof(r));
  snprintf(r.ipAddr.ipString, sizeof(r.ipAddr.ipString), "%s", ip);
  snprintf(r.macAddr, sizeof(r.macAddr), "%s", mac);
  snprintf(r.clientName, sizeof(r.clientName), "%s", name);
  snprintf(r.clientDescription, sizeof(r.clientDescription), "%s", description);
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
    for (s_addrRangePoolEntry& e : g_AddressRangePool) delete e.object;
    for (s_reservedAddrPoolEntry& e : g_reservedAddrPool) delete e.object;
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
    s_reservedAddr r = makeReservation(ip, mac, name, description);
    return dhcpCompCheckAndAddReservedAddress(id, &r);
  }

  ZPX_DHCPRangeOfIPAddressesImplInstanceManager rangeManager_;
  ZPX_DHCPReservedAddressImplInstanceManager reservationManager_;
};

TEST_F(RangesTest, RangeResultCodesOnTheCustomerLan) {
  struct Case {
    const char* start;
    const char* end;
    const char* gateway;
    int rc;
  } cases[] = {
      {"192.168.2.10", "192.168.2.20", "", DHCP_RC_NO_LAN},
      {"192.168.1.1", "192.168.1.50", "", DHCP_RC_OWN_ADDRESS_IN_RANGE},
      {"192.168.1.200", "192.168.1.100", "", DHCP_RC_START_ABOVE_END},
      {"192.168.1.100", "192.168.1.300", "", DHCP_RC_INVALID_ADDRESS},
      {"192.168.1.100", "192.168.1.200", "gw", DHCP_RC_INVALID_ADDRESS},
      {"192.168.1.100", "192.168.1.200", "192.168.7.1", DHCP_RC_NOT_IN_SUBNET},
      {"192.168.1.100", "192.168.1.200", "192.168.1.254", DHCP_RC_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + "-" + c.end + " gw " + c.gateway);
    EXPECT_EQ(addRange("0", c.start, c.end, c.gateway), c.rc);
  }
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 1);
  EXPECT_EQ(g_NumberOfRanges, 1);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "192.168.1.254");

  // Overlap with range 0 (an end point shared or one inside the other).
  EXPECT_EQ(addRange("1", "192.168.1.150", "192.168.1.250"), DHCP_RC_RANGE_OVERLAP);
  EXPECT_EQ(addRange("1", "192.168.1.50", "192.168.1.100"), DHCP_RC_RANGE_OVERLAP);
  EXPECT_EQ(addRange("1", "192.168.1.201", "192.168.1.250"), DHCP_RC_OK);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 2);
  // Without a gateway a new range takes the LAN's; the object shows what was stored.
  EXPECT_EQ(shown(g_AddressRangePool[1].object), "192.168.1.201-192.168.1.250/192.168.1.254");
  EXPECT_EQ(CustomerLANDhcpCompConfig.defaultGatewayEmpty, 1);
}

TEST_F(RangesTest, RangesAndReservationsExcludeEachOther) {
  ASSERT_EQ(addReservation("0", "192.168.1.120", "0a0b0c0d0e0f"), DHCP_RC_OK);
  EXPECT_EQ(addRange("0", "192.168.1.100", "192.168.1.120"), DHCP_RC_RESERVATION_IN_RANGE);
  EXPECT_EQ(addRange("0", "192.168.1.121", "192.168.1.200"), DHCP_RC_OK);
  EXPECT_EQ(addReservation("1", "192.168.1.200", "0a0b0c0d0e10"), DHCP_RC_RESERVED_IN_RANGE);
  EXPECT_EQ(addReservation("1", "192.168.1.1", "0a0b0c0d0e10"), DHCP_RC_RESERVED_IS_OWN_ADDRESS);
  EXPECT_EQ(addReservation("1", "192.168.1.120", "0a0b0c0d0e10"), DHCP_RC_ALREADY_USED);
  EXPECT_EQ(addReservation("1", "192.168.3.1", "0a0b0c0d0e10"), DHCP_RC_NO_LAN);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 1);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);
}

TEST_F(RangesTest, HardwareAddressesAreCheckedAndNormalised) {
  struct Case {
    const char* mac;
    int rc;
    const char* stored;
  } cases[] = {
      {"0a0b0c0d0e0f", DHCP_RC_OK, "0A:0B:0C:0D:0E:0F"},
      {"0a-0b-0c-0d-0e-0f", DHCP_RC_OK, "0A:0B:0C:0D:0E:0F"},
      {"0a:0B-0c:0d:0e:0f", DHCP_RC_OK, "0A:0B:0C:0D:0E:0F"},
      {"0A:0B:0C", DHCP_RC_INVALID_MAC, nullptr},
      {"0a0b0c0d0e0", DHCP_RC_INVALID_MAC, nullptr},
      {"0g0b0c0d0e0f", DHCP_RC_INVALID_MAC, nullptr},  // second digit of a pair
      {"g0:0b:0c:0d:0e:0f", DHCP_RC_INVALID_MAC, nullptr},
      {"0a:0b:0c:0d:0e:0z", DHCP_RC_INVALID_MAC, nullptr},
      {"0a:0b.0c:0d:0e:0f", DHCP_RC_INVALID_MAC, nullptr},
      {"", DHCP_RC_INVALID_MAC, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mac);
    ASSERT_EQ(addReservation("5", "192.168.1.20", c.mac), c.rc);
    if (c.stored != nullptr) {
      EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[5].macAddr, c.stored);
    }
  }
  // Refusals left the stored reservation and its object as they were.
  EXPECT_EQ(shown(g_reservedAddrPool[5].object), "192.168.1.20 0A:0B:0C:0D:0E:0F Device5 ");
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 1);
}

TEST_F(RangesTest, ClientNamesAndDescriptions) {
  ASSERT_EQ(addReservation("7", "192.168.1.20", "0a0b0c0d0e01"), DHCP_RC_OK);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[7].clientName, "Device7");
  ASSERT_EQ(addReservation("7", "192.168.1.20", "0a0b0c0d0e01", "Device3"), DHCP_RC_OK);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[7].clientName, "Device7");
  ASSERT_EQ(addReservation("7", "192.168.1.20", "0a0b0c0d0e01", "printer-2.lab_a", "Hall"), DHCP_RC_OK);

  const char* badNames[] = {"Lab Printer", "a,b", "x;y", "name\n", "{host}", "caf\xc3\xa9", "-desk", "desk."};
  for (const char* name : badNames) {
    SCOPED_TRACE(name);
    EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", name), 301);
  }
  const char* badDescriptions[] = {"a,b", "line\nbreak", "cr\r", "tab\t"};
  for (const char* description : badDescriptions) {
    SCOPED_TRACE(description);
    EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", "ok", description), 301);
  }
  EXPECT_EQ(shown(g_reservedAddrPool[7].object), "192.168.1.20 0A:0B:0C:0D:0E:01 printer-2.lab_a Hall");

  // A client name is unique across the customer LAN and its VLANs.
  EXPECT_EQ(addReservation("8", "192.168.1.30", "0a0b0c0d0e02", "printer-2.lab_a"), DHCP_RC_ALREADY_USED);
  EXPECT_EQ(addReservation("8", "10.10.5.5", "0a0b0c0d0e02", "printer-2.lab_a"), DHCP_RC_ALREADY_USED);
  EXPECT_EQ(addReservation("8", "10.10.5.5", "0a0b0c0d0e02", "scanner"), DHCP_RC_OK);
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 1);
}

// A name stored under earlier rules is kept and may be sent back unchanged;
// a new one must meet today's rules.
TEST_F(RangesTest, StoredNamesOutsideTodaysRulesAreKept) {
  s_reservedAddr stored = makeReservation("192.168.1.20", "0a0b0c0d0e01", "Lab;Printer", "tab\there");
  ASSERT_EQ(dhcpCompAddStoredReservedAddress("7", &stored), DHCP_RC_OK);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[7].clientName, "Lab;Printer");
  EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", "Lab;Printer", "tab\there"), DHCP_RC_OK);
  EXPECT_EQ(addReservation("7", "192.168.1.21", "0a0b0c0d0e01", "Lab;Printer2", "tab\there"), 301);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[7].ipAddr.ipString, "192.168.1.21");
  s_reservedAddr outside = makeReservation("10.99.0.1", "0a0b0c0d0e02", "x;y");
  EXPECT_EQ(dhcpCompAddStoredReservedAddress("8", &outside), DHCP_RC_NO_LAN);
}

TEST_F(RangesTest, IdsOutsideThePoolTouchNothing) {
  const char* rangeIds[] = {"32", "-1", "", "1x", "01", "99999999999"};
  for (const char* id : rangeIds) {
    SCOPED_TRACE(id);
    EXPECT_EQ(addRange(id, "192.168.1.100", "192.168.1.200"), DHCP_RC_RANGE_ID);
  }
  const char* reservationIds[] = {"64", "-3", "", " 5"};
  for (const char* id : reservationIds) {
    SCOPED_TRACE(id);
    EXPECT_EQ(addReservation(id, "192.168.1.20", "0a0b0c0d0e0f"), DHCP_RC_NO_LAN);
  }
  s_ipAddrRange r = makeRange("192.168.1.100", "192.168.1.200");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 32), DHCP_RC_RANGE_ID);
  EXPECT_EQ(g_NumberOfRanges, 0);
  EXPECT_EQ(g_NumberOfReservedIPs, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 0);
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRange("0", nullptr, true), DHCP_RC_NO_LAN);
  EXPECT_EQ(dhcpCompCheckAndAddReservedAddress("0", nullptr), DHCP_RC_NO_LAN);
}

TEST_F(RangesTest, StoredAddressesAreCanonical) {
  // Short, hexadecimal and octal forms reach dhcpd.conf only as dotted quads.
  ASSERT_EQ(addRange("3", "192.168.1.0x64", "192.168.1.200", "0300.0250.1.254"), DHCP_RC_OK);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[3].startAddr.ipString, "192.168.1.100");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "192.168.1.254");
  EXPECT_EQ(shown(g_AddressRangePool[3].object), "192.168.1.100-192.168.1.200/192.168.1.254");
  ASSERT_EQ(addReservation("3", "192.168.1.0x14", "0a0b0c0d0e0f"), DHCP_RC_OK);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[3].ipAddr.ipString, "192.168.1.20");
}

TEST_F(RangesTest, ReplaceMoveAndRemoveKeepEverythingInStep) {
  ASSERT_EQ(addRange("2", "192.168.1.100", "192.168.1.150", "192.168.1.254"), DHCP_RC_OK);
  ZPX_DHCPRangeOfIPAddressesImpl* object = g_AddressRangePool[2].object;
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(rangeManager_.get("2"), object);

  // Replace: same slot, same object, count unchanged.
  ASSERT_EQ(addRange("2", "192.168.1.110", "192.168.1.160"), DHCP_RC_OK);
  EXPECT_EQ(g_AddressRangePool[2].object, object);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 1);
  EXPECT_EQ(shown(object), "192.168.1.110-192.168.1.160/192.168.1.254");

  // Move to the VLAN: the object follows, the customer LAN slot is freed.
  ASSERT_EQ(addRange("2", "10.10.1.1", "10.10.1.50", "10.10.0.254"), DHCP_RC_OK);
  EXPECT_EQ(g_AddressRangePool[2].object, object);
  EXPECT_EQ(g_NumberOfRanges, 1);
  EXPECT_EQ(VLANDhcpCompConfig[0].numAddrRanges, 1);
  EXPECT_FALSE(VLANDhcpCompConfig[0].addrRanges[2].isFree);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.addrRanges[2].isFree);
  s_dhcpCompConfig* lan = nullptr;
  EXPECT_EQ(getAddressRangeCompConfig("2", &lan), 2);
  EXPECT_EQ(lan, &VLANDhcpCompConfig[0]);

  // A refused change puts the object back to the stored range.
  object->setStartAddress("10.10.1.60");
  object->setEndAddress("10.10.1.20");
  EXPECT_EQ(addRange("2", "10.10.1.60", "10.10.1.20"), DHCP_RC_START_ABOVE_END);
  EXPECT_EQ(shown(object), "10.10.1.1-10.10.1.50/10.10.0.254");

  // Deleting the object frees slot and pool entry and commits.
  int commits = g_commitCount;
  delete object;
  EXPECT_EQ(g_commitCount, commits + 1);
  EXPECT_TRUE(VLANDhcpCompConfig[0].addrRanges[2].isFree);
  EXPECT_EQ(VLANDhcpCompConfig[0].numAddrRanges, 0);
  EXPECT_EQ(VLANDhcpCompConfig[0].defaultGateway.ipLong, 0u);
  EXPECT_TRUE(g_AddressRangePool[2].isFree);
  EXPECT_EQ(g_AddressRangePool[2].object, nullptr);
  EXPECT_EQ(g_NumberOfRanges, 0);
  EXPECT_THROW(rangeManager_.get("2"), CFG_NoInstance);
}

TEST_F(RangesTest, ReservationsMoveBetweenLansAndLeaveWithTheirObject) {
  ASSERT_EQ(addReservation("4", "192.168.1.40", "0a0b0c0d0e0f", "phone", "desk"), DHCP_RC_OK);
  ZPX_DHCPReservedAddressImpl* object = g_reservedAddrPool[4].object;
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(addReservation("4", "10.10.2.2", "0a0b0c0d0e0f", "phone", "desk"), DHCP_RC_OK);
  EXPECT_EQ(g_reservedAddrPool[4].object, object);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.reservedAddrs[4].isFree);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 0);
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 1);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);

  int commits = g_commitCount;
  reservationManager_.destroyZPX_DHCPReservedAddress(object);
  EXPECT_EQ(g_commitCount, commits + 1);
  EXPECT_TRUE(VLANDhcpCompConfig[0].reservedAddrs[4].isFree);
  EXPECT_STREQ(VLANDhcpCompConfig[0].reservedAddrs[4].clientName, "");
  EXPECT_EQ(VLANDhcpCompConfig[0].numReservedAddrs, 0);
  EXPECT_TRUE(g_reservedAddrPool[4].isFree);
  EXPECT_EQ(g_NumberOfReservedIPs, 0);
}

TEST_F(RangesTest, RemovingSlotsKeepsObjectsAndClearsTheLastGateway) {
  ASSERT_EQ(addRange("0", "192.168.1.100", "192.168.1.110", "192.168.1.254"), DHCP_RC_OK);
  ASSERT_EQ(addRange("1", "192.168.1.120", "192.168.1.130"), DHCP_RC_OK);
  // The gateway reached every range of the LAN and its objects.
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[1].gateway.ipString, "192.168.1.254");
  EXPECT_EQ(shown(g_AddressRangePool[1].object), "192.168.1.120-192.168.1.130/192.168.1.254");

  s_ipAddr gateway = address("192.168.1.253");
  syncUpGatewayForAddrRanges(&CustomerLANDhcpCompConfig, &gateway);
  EXPECT_EQ(shown(g_AddressRangePool[0].object), "192.168.1.100-192.168.1.110/192.168.1.253");

  dhcpCompRemoveIPAddressRange(&CustomerLANDhcpCompConfig, "", 0);
  EXPECT_NE(CustomerLANDhcpCompConfig.defaultGateway.ipLong, 0u);
  dhcpCompRemoveIPAddressRange(nullptr, "1", 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 0);
  EXPECT_EQ(CustomerLANDhcpCompConfig.defaultGateway.ipLong, 0u);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "");
  // The objects live on until they are deleted.
  EXPECT_NE(g_AddressRangePool[0].object, nullptr);
  EXPECT_EQ(g_NumberOfRanges, 2);
}

TEST_F(RangesTest, RangesReadFromTheFile) {
  s_ipAddrRange r = makeRange("192.168.1.100", "192.168.1.200", "192.168.1.254");
  ASSERT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 6), DHCP_RC_OK);
  EXPECT_EQ(shown(g_AddressRangePool[6].object), "192.168.1.100-192.168.1.200/192.168.1.254");
  EXPECT_EQ(rangeManager_.get("6"), g_AddressRangePool[6].object);
  // The same slot read again stays one range.
  ASSERT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 6), DHCP_RC_OK);
  EXPECT_EQ(CustomerLANDhcpCompConfig.numAddrRanges, 1);
  EXPECT_EQ(g_NumberOfRanges, 1);

  r = makeRange("192.168.1.220", "192.168.1.210");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 7), DHCP_RC_START_ABOVE_END);
  r = makeRange("192.168.1.x", "192.168.1.210");
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &r, 7), DHCP_RC_INVALID_ADDRESS);
  EXPECT_EQ(dhcpCompAddIPAddressRangeCustomerLAN(nullptr, &r, 7), DHCP_RC_NO_LAN);
}

TEST_F(RangesTest, OamLanRanges) {
  s_ipAddrRange r = makeRange("172.16.0.10", "172.16.0.20");
  ASSERT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 1);
  r = makeRange("172.16.0.20", "172.16.0.30");
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 0);
  r = makeRange("172.16.1.1", "172.16.1.2");
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 0);
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, false), 1);
  r = makeRange("172.16.0.40", "172.16.0.39");
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 0);
  for (int i = 2; i < DHCP_MAX_ADDR_RANGES; ++i) {
    std::string a = "172.16.0." + std::to_string(100 + i);
    r = makeRange(a.c_str(), a.c_str());
    ASSERT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 1) << a;
  }
  r = makeRange("172.16.0.200", "172.16.0.201");
  EXPECT_EQ(dhcpCompCheckAndAddIPAddressRangeOAMLAN(&r, true), 0);
  EXPECT_EQ(OAMLANDhcpCompConfig.numAddrRanges, DHCP_MAX_ADDR_RANGES);
  EXPECT_EQ(g_NumberOfRanges, 0);
}

TEST_F(RangesTest, VlanIdLists) {
  struct Case {
    const char* list;
    int rc;
  } cases[] = {
      {"1,2,3", DHCP_RC_OK},
      {"", DHCP_RC_OK},
      {"4095", DHCP_RC_OK},
      {"1,2,", DHCP_RC_INVALID_VLAN_IDS},
      {",1", DHCP_RC_INVALID_VLAN_IDS},
      {"0000004096", DHCP_RC_INVALID_VLAN_IDS},
      {"07", DHCP_RC_INVALID_VLAN_IDS},
      {"0,1,2,3,4,5,6,7,8,9", DHCP_RC_OK},
      {"1,,2", DHCP_RC_INVALID_VLAN_IDS},
      {"1;2", DHCP_RC_INVALID_VLAN_IDS},
      {"4096", DHCP_RC_INVALID_VLAN_IDS},
      {"123456", DHCP_RC_INVALID_VLAN_IDS},
      {"0,1,2,3,4,5,6,7,8,9,10", DHCP_RC_INVALID_VLAN_IDS},
      {"1, 2", DHCP_RC_INVALID_VLAN_IDS},
      {"-1", DHCP_RC_INVALID_VLAN_IDS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    std::vector<char> text(c.list, c.list + strlen(c.list) + 1);
    EXPECT_EQ(dhcpCompVerifyVLANIds(text.data()), c.rc);
  }
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
  EXPECT_EQ(g_commitCount, commits + 3);
}

TEST_F(RangesTest, LookupsOfLans) {
  s_dhcpCompConfig* cfg = nullptr;
  s_ethIpConfig* eth = nullptr;
  s_ipAddrRange r = makeRange("10.10.3.1", "10.10.3.9");
  dhcpCompCheckAndAddIPAddressRange("9", &r, true);
  getInterfaceContext(&cfg, &eth, &r);
  EXPECT_EQ(cfg, &VLANDhcpCompConfig[0]);
  EXPECT_EQ(eth, &VLANIpConfig[0]);
  // A range across two networks belongs to none.
  r = makeRange("10.10.3.1", "192.168.1.9");
  dhcpUtilConvertIPStringtoIPAddr(&r.startAddr, ipTypeAddress, false);
  dhcpUtilConvertIPStringtoIPAddr(&r.endAddr, ipTypeAddress, false);
  getInterfaceContext(&cfg, &eth, &r);
  EXPECT_EQ(cfg, nullptr);
  EXPECT_EQ(eth, nullptr);
  EXPECT_EQ(getAddressRangeCompConfig("9", &cfg), 9);
  EXPECT_EQ(cfg, &VLANDhcpCompConfig[0]);
  EXPECT_EQ(getAddressRangeCompConfig("10", &cfg), -1);
  EXPECT_EQ(getReservedAddressCompConfig("9", &cfg), -1);
  EXPECT_EQ(cfg, nullptr);
}

}  // namespace
