// Identifier pools and the release of a record's ranges, reservations and
// leases.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "dhcpcomp.h"
#include "model_test_support.h"
#include "ranges_stand_in.h"

namespace {

class ModelRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel({12});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    g_standInDeletedObjects = 0;
  }

  // Stores a range of the customer LAN in slot id, as the file reader does.
  void addRange(int id, const char* start, const char* end) {
    s_ipAddrRange range;
    memset(&range, 0, sizeof(range));
    range.startAddr = model_test::address(start);
    range.endAddr = model_test::address(end);
    range.gateway = model_test::address("192.168.1.254");
    ASSERT_EQ(0, dhcpCompAddIPAddressRangeCustomerLAN(&CustomerLANDhcpCompConfig, &range, id));
  }
};

TEST_F(ModelRecordsTest, InitialisedRecordsAreNamedAndFree) {
  EXPECT_STREQ("eth1", CustomerLANDhcpCompConfig.interfaceName);
  EXPECT_STREQ("eth1", CustomerLANIpConfig.interfaceName);
  EXPECT_STREQ("eth2", OAMLANIpConfig.interfaceName);
  EXPECT_STREQ("eth1.12", VLANDhcpCompConfig[0].interfaceName);
  EXPECT_STREQ("eth1.12", VLANIpConfig[0].interfaceName);
  EXPECT_EQ(1, OAMLANDhcpCompConfig.addrRanges[31].isFree);
  EXPECT_EQ(1, VLANDhcpCompConfig[0].reservedAddrs[63].isFree);
  EXPECT_EQ(0, dhcpCompGetFreeAddressRangeInstanceID());
  EXPECT_EQ(0, dhcpCompGetFreeReservedAddressInstanceID());
}

TEST_F(ModelRecordsTest, FreeIdsAreTheLowestUnusedOnes) {
  for (s_addrRangePoolEntry& entry : g_AddressRangePool) entry.isFree = 0;
  for (s_reservedAddrPoolEntry& entry : g_reservedAddrPool) entry.isFree = 0;
  EXPECT_EQ(-1, dhcpCompGetFreeAddressRangeInstanceID());
  EXPECT_EQ(-1, dhcpCompGetFreeReservedAddressInstanceID());
  g_AddressRangePool[5].isFree = 1;
  g_AddressRangePool[30].isFree = 1;
  g_reservedAddrPool[63].isFree = 1;
  EXPECT_EQ(5, dhcpCompGetFreeAddressRangeInstanceID());
  EXPECT_EQ(63, dhcpCompGetFreeReservedAddressInstanceID());
}

TEST_F(ModelRecordsTest, RangesAreFreedDirectlyOrThroughTheirObjects) {
  addRange(0, "192.168.1.100", "192.168.1.110");
  addRange(3, "192.168.1.120", "192.168.1.130");
  dhcpCompDeallocConfigAddrRanges(&CustomerLANDhcpCompConfig, false);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.addrRanges[3].isFree);
  EXPECT_EQ(0u, CustomerLANDhcpCompConfig.defaultGateway.ipLong);
  EXPECT_EQ(0, g_standInDeletedObjects);

  // With objects, deleting them is what frees the slots.
  addRange(1, "192.168.1.100", "192.168.1.110");
  addRange(2, "192.168.1.120", "192.168.1.130");
  g_AddressRangePool[1].object = reinterpret_cast<ZPX_DHCPRangeOfIPAddressesImpl*>(&g_AddressRangePool[1]);
  g_AddressRangePool[2].object = reinterpret_cast<ZPX_DHCPRangeOfIPAddressesImpl*>(&g_AddressRangePool[2]);
  dhcpCompDeallocConfigAddrRanges(&CustomerLANDhcpCompConfig, true);
  EXPECT_EQ(2, g_standInDeletedObjects);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(1, g_AddressRangePool[2].isFree);
}

TEST_F(ModelRecordsTest, ReleasingEverythingDeletesReservationAndLeaseObjects) {
  s_reservedAddr rec;
  memset(&rec, 0, sizeof(rec));
  rec.ipAddr = model_test::address("192.168.1.20");
  ASSERT_EQ(0, dhcpCompCheckAndAddReservedAddress("4", &rec));
  g_reservedAddrPool[4].object = reinterpret_cast<ZPX_DHCPReservedAddressImpl*>(&g_reservedAddrPool[4]);
  for (int i = 0; i < 3; ++i) {
    s_leaseInfo* node = static_cast<s_leaseInfo*>(calloc(1, sizeof(s_leaseInfo)));
    node->customerLanLease = reinterpret_cast<ZPX_DHCPClientLeaseInfoCustomerLANImpl*>(node);
    node->next = CustomerLANDhcpCompConfig.leaseInfoList;
    CustomerLANDhcpCompConfig.leaseInfoList = node;
  }
  dhcpCompDeallocDhcpCompConfig(&CustomerLANDhcpCompConfig, true);
  EXPECT_EQ(4, g_standInDeletedObjects);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numReservedAddrs);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.reservedAddrs[4].isFree);
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList);
}

}  // namespace
