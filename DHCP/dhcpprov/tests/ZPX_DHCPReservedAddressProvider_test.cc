// The reserved-address provider against the real model; the commit is
// counted by the test program's stand-in.
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressProvider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "framework/ClassNames.h"
#include "model/ranges.h"
#include "provider_test_support.h"

namespace {

using namespace provider_test;

CIMInstance reservation(const char* ip, const char* mac, const char* name, const char* description) {
  CIMInstance instance(ZPX_DHCPReservedAddressName);
  instance.setProperty("IPv4Address", CIMValue(ip));
  instance.setProperty("reservedMACAddr", CIMValue(mac));
  instance.setProperty("reservedClientName", CIMValue(name));
  instance.setProperty("reservedClientDescription", CIMValue(description));
  return instance;
}

class ReservedAddressProviderTest
    : public ProviderTest<ZPX_DHCPReservedAddressProvider, ZPX_DHCPReservedAddress> {
 protected:
  ReservedAddressProviderTest() : ProviderTest(ZPX_DHCPReservedAddressProv, ZPX_DHCPReservedAddressName) {}
};

TEST_F(ReservedAddressProviderTest, CreateModifyMoveDelete) {
  create(reservation("192.168.1.20", "0a0b0c0d0e0f", "", "Desk"));
  create(reservation("192.168.1.21", "00:11:22:33:44:55", "printer", "Lab"));
  // The object shows what the agent stored.
  CIMInstance shown = get("0");
  EXPECT_EQ(text(shown, "reservedMACAddr"), "0A:0B:0C:0D:0E:0F");
  EXPECT_EQ(text(shown, "reservedClientName"), "Device0");
  EXPECT_EQ(shown.getProperties().size(), 5u);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[1].clientName, "printer");

  // Null values and names in another case are skipped; the limit of a
  // text is inclusive.
  int commits = g_commitCount;
  CIMInstance partial(ZPX_DHCPReservedAddressName);
  partial.setProperty("IPv4Address", CIMValue());
  partial.setProperty("reservedclientname", CIMValue("ignored"));
  partial.setProperty("reservedClientDescription", CIMValue("0123456789012345678901234567890123456789"));
  modify("0", partial);
  EXPECT_EQ(g_commitCount, commits + 1);
  shown = get("0");
  EXPECT_EQ(text(shown, "IPv4Address"), "192.168.1.20");
  EXPECT_EQ(text(shown, "reservedClientName"), "Device0");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription,
               "0123456789012345678901234567890123456789");

  // Moving the reservation into the VLAN frees its customer-LAN slot.
  CIMInstance moved(ZPX_DHCPReservedAddressName);
  moved.setProperty("IPv4Address", CIMValue("10.5.0.20"));
  modify("1", moved);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.reservedAddrs[1].isFree);
  EXPECT_FALSE(VLANDhcpCompConfig[0].reservedAddrs[1].isFree);

  remove("1");
  EXPECT_EQ(g_commitCount, commits + 3);
  EXPECT_TRUE(VLANDhcpCompConfig[0].reservedAddrs[1].isFree);
  EXPECT_EQ(g_reservedAddrPool[1].object, nullptr);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);
  EXPECT_EQ(names(), std::vector<std::string>{"0"});
  EXPECT_EQ(cimErrorOf([&] { remove("1"); }).getErrNo(), CIMException::NOT_FOUND);

  // A delete whose commit fails is refused; object and entry stay.
  g_commitResult = 401;
  g_commitFailureText = "refused";
  EXPECT_TRUE(isCimError(cimErrorOf([&] { remove("0"); }), CIMException::FAILED,
                         "The DHCP server configuration was not changed: refused\n#DHC_ERROR_401#"));
  EXPECT_EQ(names(), std::vector<std::string>{"0"});
  EXPECT_EQ(text(get("0"), "IPv4Address"), "192.168.1.20");
  EXPECT_EQ(CustomerLANDhcpCompConfig.numReservedAddrs, 1);
}

// Every refusal leaves the object, the record and the commit count as they
// were, even where properties of the same request were already applied.
TEST_F(ReservedAddressProviderTest, RefusedChangesLeaveObjectAndRecord) {
  create(reservation("192.168.1.20", "0a0b0c0d0e0f", "desk", "Desk"));
  CustomerLANDhcpCompConfig.addrRanges[0].isFree = 0;
  CustomerLANDhcpCompConfig.addrRanges[0].startAddr = model_test::address("192.168.1.100");
  CustomerLANDhcpCompConfig.addrRanges[0].endAddr = model_test::address("192.168.1.200");
  ++CustomerLANDhcpCompConfig.numAddrRanges;

  const std::string key = "MOF_Props_ZPX_DHCPReservedAddress_";
  const std::string badDescription = "The value of reservedClientDescription is invalid.\n#CFG_000_0000," +
                                     key + "reservedClientDescription#";
  const std::string badName =
      "The value of reservedClientName is invalid.\n#CFG_000_0000," + key + "reservedClientName#";
  std::string wide;  // forty characters of two bytes each do not fit the record
  for (int i = 0; i < 40; ++i) wide += "\xc3\xa9";
  const CIMException::ErrNoType invalid = CIMException::INVALID_PARAMETER, failed = CIMException::FAILED;
  const struct {
    std::string ip, mac, name, description;
    CIMException::ErrNoType status;
    std::string message;
  } cases[] = {
      {"192.168.1.22", "0a0b0c0d0e0f", "desk", "x,y", invalid, badDescription},
      {"192.168.1.22", "0a0b0c0d0e0f", "desk", wide, invalid, badDescription},
      {"192.168.1.22", "0a0b0c0d0e0f", "desk;}", "Desk", invalid, badName},
      {"192.168.1.22", "0a0b0c0d0e0f", "d\xc3\xa9sk", "Desk", invalid, badName},
      {"192.168.1.22", "0a0b0c0d0e0f", "Lab Printer", "Desk", failed, "#DHC_ERROR_351#"},
      {"192.168.1.22", "0a0b0c0d0e0f", "-desk", "Desk", invalid, badName},
      {"192.168.1.22", "0a0b0c0d0e0f", "desk", std::string(41, 'd'), invalid,
       "The length of reservedClientDescription must be <= 40\n#CFG_000_0004," + key +
           "reservedClientDescription,40#"},
      {"192.168.1.22", "0a0b0c0d0e0f", std::string(21, 'n'), "Desk", invalid,
       "The length of reservedClientName must be <= 20\n#CFG_000_0004," + key + "reservedClientName,20#"},
      {"192.168.1.2000000", "0a0b0c0d0e0f", "desk", "Desk", invalid,
       "The length of IPv4Address must be <= 16\n#CFG_000_0004," + key + "IPv4Address,16#"},
      {"192.168.1.22", "0a0b0c0d0e0f0", "desk", "Desk", failed, "#DHC_ERROR_327#"},
      {"192.168.1.22", "0A:0B:0C", "desk", "Desk", failed, "#DHC_ERROR_327#"},
      {"192.168.1.256", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_320#"},
      {"192.168.1.022", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_320#"},
      {"192.168.1.255", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_320#"},
      {"192.168.1.22", "ff:ff:ff:ff:ff:ff", "desk", "Desk", failed, "#DHC_ERROR_327#"},
      {"192.168.9.22", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_400#"},
      {"192.168.1.150", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_334#"},
      {"192.168.1.1", "0a0b0c0d0e0f", "desk", "Desk", failed, "#DHC_ERROR_329#"},
  };
  int commits = g_commitCount;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    CIMInstance request = reservation(c.ip.c_str(), c.mac.c_str(), c.name.c_str(), c.description.c_str());
    EXPECT_TRUE(isCimError(cimErrorOf([&] { modify("0", request); }), c.status, c.message));
    CIMInstance shown = get("0");
    EXPECT_EQ(text(shown, "IPv4Address"), "192.168.1.20");
    EXPECT_EQ(text(shown, "reservedClientName"), "desk");
    EXPECT_EQ(text(shown, "reservedClientDescription"), "Desk");
    EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription, "Desk");
  }
  EXPECT_EQ(g_commitCount, commits);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.reservedAddrs[2].isFree);

  // A refused creation leaves no object, pool entry or slot behind.
  EXPECT_STREQ(
      cimErrorOf([&] { create(reservation("192.168.1.30", "0a0b0c0d0e01", "desk", "")); }).getMessage(),
      "#DHC_ERROR_328#");
  EXPECT_EQ(g_reservedAddrPool[1].object, nullptr);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);

  // A name stored under earlier rules may be sent back unchanged.
  s_reservedAddr stored = CustomerLANDhcpCompConfig.reservedAddrs[0];
  snprintf(stored.clientName, sizeof(stored.clientName), "-desk");
  ASSERT_EQ(dhcpCompAddStoredReservedAddress("0", &stored), DHCP_RC_OK);
  modify("0", reservation("192.168.1.20", "0A:0B:0C:0D:0E:0F", "-desk", "Desk 2"));
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription, "Desk 2");
}

// A path without its key names nothing; the sixty-fifth reservation cannot
// be created. Foreign ids are the range provider's test (the same registry
// lookup); that creation ignores the id asked for, ranges_system_test's.
TEST_F(ReservedAddressProviderTest, KeylessPathSharedKeyAndAFullPool) {
  create(reservation("192.168.1.20", "0a0b0c0d0e0f", "", ""));
  OpenWBEM::CIMObjectPath keyless(ZPX_DHCPReservedAddressName, kNs);
  EXPECT_EQ(cimErrorOf([&] {
              ZPX_DHCPReservedAddressProv.deleteInstance(OpenWBEM::ProviderEnvironmentIFCRef(), kNs, keyless);
            }).getErrNo(),
            CIMException::NOT_FOUND);

  // Objects of one key share its registry entry; an id outside the pool
  // takes no pool entry.
  ZPX_DHCPReservedAddressInstanceManager* manager = ZPX_DHCPReservedAddress::getInstanceManager();
  {
    ZPX_DHCPReservedAddress earlier("ab");
    ZPX_DHCPReservedAddress later("ab");
    EXPECT_EQ(manager->get("ab"), &later);
  }
  EXPECT_THROW(manager->get("ab"), CFG_NoInstance);
  ZPX_DHCPReservedAddressImpl outside("64");
  EXPECT_EQ(manager->get("64"), &outside);
  EXPECT_EQ(g_NumberOfReservedIPs, 1);

  for (int i = 1; i < DHCP_MAX_RESERVED_ADDRS; ++i) manager->createZPX_DHCPReservedAddress("");
  EXPECT_TRUE(isCimError(cimErrorOf([&] { create(reservation("192.168.1.99", "0a0b0c0d0e09", "", "")); }),
                         CIMException::NOT_SUPPORTED,
                         "The system cannot create the instance specified.\n#CFG_000_0005#"));
}

}  // namespace
