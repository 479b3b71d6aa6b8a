// The managed-object framework: registries and their managers, the error
// tags and CIM errors, and the change bracket, exercised through the range
// and reserved-address classes with the agent's operations behind them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressImpl.h"
#include "agent_stand_ins.h"
#include "dhcpcomp.h"
#include "framework/ClassNames.h"
#include "model_test_support.h"

namespace {

using OpenWBEM::CIMException;
using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;
using OpenWBEM::CIMValue;
using OpenWBEM::String;

typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

// Runs f and returns the CIM error it raised ("no error" status 0 if none).
template <typename F>
CIMException cimErrorOf(F f) {
  try {
    f();
  } catch (const CIMException& e) {
    return e;
  }
  return CIMException(__FILE__, __LINE__, CIMException::SUCCESS, "no error");
}

std::vector<std::string> enumerate(ZPX_DHCPRangeOfIPAddressesInstanceManager* manager) {
  std::vector<std::string> ids;
  manager->startIteration();
  while (manager->hasNext()) {
    std::string id;
    Qualifiers q;
    manager->next()->getInstanceID(id, q);
    ids.push_back(id);
  }
  manager->endIteration();
  return ids;
}

CIMInstance reservationInstance(const char* ip, const char* mac, const char* name, const char* description) {
  CIMInstance instance(ZPX_DHCPReservedAddressName);
  instance.setProperty("IPv4Address", CIMValue(ip));
  instance.setProperty("reservedMACAddr", CIMValue(mac));
  instance.setProperty("reservedClientName", CIMValue(name));
  instance.setProperty("reservedClientDescription", CIMValue(description));
  return instance;
}

std::string text(const CIMInstance& instance, const char* property) {
  return instance.getPropertyValue(property).toString().toStdString();
}

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(&rangeManager_);
    ZPX_DHCPReservedAddress::SetInstanceManager(&reservationManager_);
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  }
  void TearDown() override {
    for (s_addrRangePoolEntry& e : g_AddressRangePool) delete e.object;
    for (s_reservedAddrPoolEntry& e : g_reservedAddrPool) delete e.object;
    ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
    ZPX_DHCPReservedAddress::ClearInstanceManager();
  }

  ZPX_DHCPRangeOfIPAddressesImplInstanceManager rangeManager_;
  ZPX_DHCPReservedAddressImplInstanceManager reservationManager_;
};

TEST_F(FrameworkTest, DataClassDefaultsAndManagerSwitch) {
  ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  ZPX_DHCPRangeOfIPAddresses plain("7");
  std::string value = "untouched";
  unsigned short type = 9;
  Qualifiers q;
  EXPECT_EQ(plain.getStartAddress(value, q), 100);
  EXPECT_EQ(plain.getAddressType(type, q), 100);
  EXPECT_EQ(value, "untouched");
  EXPECT_EQ(type, 9);
  EXPECT_EQ(plain.setEndAddress("x"), 101);
  EXPECT_EQ(plain.startChange(), 0);
  EXPECT_EQ(plain.getInstanceID(value, q), 0);
  EXPECT_EQ(value, "7");
  ZPX_DHCPRangeOfIPAddressesInstanceManager* builtIn = ZPX_DHCPRangeOfIPAddresses::getInstanceManager();
  EXPECT_EQ(builtIn->get("7"), &plain);
  EXPECT_THROW(builtIn->createZPX_DHCPRangeOfIPAddresses("1"), CFG_InstanceCreationFailed);
  EXPECT_THROW(builtIn->destroyZPX_DHCPRangeOfIPAddresses(&plain), CFG_InstanceDeletionFailed);

  // Objects made before a manager is installed stay with the earlier one.
  ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(&rangeManager_);
  EXPECT_EQ(ZPX_DHCPRangeOfIPAddresses::getInstanceManager(), &rangeManager_);
  EXPECT_THROW(rangeManager_.get("7"), CFG_NoInstance);
  ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  EXPECT_EQ(ZPX_DHCPRangeOfIPAddresses::getInstanceManager(), builtIn);
}

TEST_F(FrameworkTest, RegistryOrderLookupAndIteration) {
  EXPECT_TRUE(enumerate(&rangeManager_).empty());
  EXPECT_FALSE(rangeManager_.hasNext());
  EXPECT_THROW(rangeManager_.next(), CFG_NoInstance);

  for (int i = 0; i < 12; ++i) ASSERT_NE(rangeManager_.createZPX_DHCPRangeOfIPAddresses("ignored"), nullptr);
  EXPECT_EQ(g_NumberOfRanges, 12);
  EXPECT_EQ(enumerate(&rangeManager_),
            (std::vector<std::string>{"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_THROW(rangeManager_.get("12"), CFG_NoInstance);
  EXPECT_THROW(rangeManager_.get(""), CFG_NoInstance);

  // Destroying the object under the cursor does not end the iteration.
  rangeManager_.startIteration();
  ZPX_DHCPRangeOfIPAddresses* first = rangeManager_.next();
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(rangeManager_.get("1"));
  std::string id;
  Qualifiers q;
  rangeManager_.next()->getInstanceID(id, q);
  EXPECT_EQ(id, "10");
  rangeManager_.endIteration();
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(first);
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(nullptr);

  // The lowest free id is given next.
  ZPX_DHCPRangeOfIPAddresses* again = rangeManager_.createZPX_DHCPRangeOfIPAddresses("9");
  again->getInstanceID(id, q);
  EXPECT_EQ(id, "0");
  for (int i = 0; i < 21; ++i) rangeManager_.createZPX_DHCPRangeOfIPAddresses("");
  EXPECT_THROW(rangeManager_.createZPX_DHCPRangeOfIPAddresses(""), CFG_InstanceCreationFailed);
  EXPECT_EQ(g_NumberOfRanges, DHCP_MAX_ADDR_RANGES);
}

TEST_F(FrameworkTest, ObjectsWithTheSameKeyShareOneEntry) {
  {
    ZPX_DHCPReservedAddress earlier("ab");
    ZPX_DHCPReservedAddress later("ab");
    EXPECT_EQ(reservationManager_.get("ab"), &later);
  }
  EXPECT_THROW(reservationManager_.get("ab"), CFG_NoInstance);
  // An id outside the pool is registered but takes no pool entry.
  ZPX_DHCPReservedAddressImpl outside("64");
  EXPECT_EQ(reservationManager_.get("64"), &outside);
  EXPECT_EQ(g_NumberOfReservedIPs, 0);
}

TEST_F(FrameworkTest, CimErrorsCarryStatusTextAndTag) {
  struct Case {
    CIMException error;
    CIMException::ErrNoType status;
    const char* message;
  } cases[] = {
      {cimErrorOf([] { TavrelErrors::throwNotFound(); }), CIMException::NOT_FOUND, ""},
      {cimErrorOf([] { TavrelErrors::throwCreationFailed(CIMException::NOT_SUPPORTED); }),
       CIMException::NOT_SUPPORTED, "The system cannot create the instance specified.\n#CFG_000_0005#"},
      {cimErrorOf([] { TavrelErrors::throwDeletionFailed(); }), CIMException::FAILED,
       "The system cannot delete the instance specified.\n#CFG_000_0006#"},
      {cimErrorOf([] { TavrelErrors::throwModifyFailed(); }), CIMException::FAILED,
       "Could not modify the configuration as requested.\n"},
      {cimErrorOf([] { TavrelErrors::throwStartChangeFailed(302); }), CIMException::FAILED,
       "Could not make the requested change.\n#CFG_000_0001#"},
      {cimErrorOf([] { TavrelErrors::throwStartChangeFailed(325); }), CIMException::FAILED,
       "Could not make the requested change.\n#DHC_ERROR_325#"},
      {cimErrorOf([] { TavrelErrors::throwSetterFailed(301, "ZPX_DHCPSettingData", "leaseTime"); }),
       CIMException::INVALID_PARAMETER,
       "The value of leaseTime is invalid.\n#CFG_000_0000,MOF_Props_ZPX_DHCPSettingData_leaseTime#"},
      {cimErrorOf([] { TavrelErrors::throwSetterFailed(302, "ZPX_DHCPSettingData", "leaseTime"); }),
       CIMException::FAILED, "#DHC_ERROR_302#"},
      {cimErrorOf([] { TavrelErrors::throwEndChangeFailed(301, "ZPX_DHCPService"); }),
       CIMException::INVALID_PARAMETER,
       "One or more of the values specified for the ZPX_DHCPService was invalid.\n#CFG_000_0001#"},
      {cimErrorOf([] { TavrelErrors::throwEndChangeFailed(400, "ZPX_DHCPService"); }), CIMException::FAILED,
       "#DHC_ERROR_400#"},
      {cimErrorOf([] { TavrelErrors::throwTooLarge("ZPX_DHCPSettingData", "s2OtherPort", 9999); }),
       CIMException::INVALID_PARAMETER,
       "The value of s2OtherPort must be <= 9999\n"
       "#CFG_000_0003,MOF_Props_ZPX_DHCPSettingData_s2OtherPort,9999#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(c.error.getErrNo(), c.status);
    EXPECT_STREQ(c.error.getMessage(), c.message);
  }
}

TEST_F(FrameworkTest, ReservationChangeBracket) {
  const ClassBinding<ZPX_DHCPReservedAddress>& binding = ZPX_DHCPReservedAddressBinding();
  ZPX_DHCPReservedAddress* object = reservationManager_.createZPX_DHCPReservedAddress("5");

  int commits = g_commitCount;
  binding.apply(*object, reservationInstance("192.168.1.20", "0a0b0c0d0e0f", "", "Desk"));
  EXPECT_EQ(g_commitCount, commits + 1);
  commits = g_commitCount;
  CIMInstance shown(ZPX_DHCPReservedAddressName);
  binding.toCIMInstance(*object, shown);
  EXPECT_EQ(text(shown, "reservedMACAddr"), "0A:0B:0C:0D:0E:0F");
  EXPECT_EQ(text(shown, "reservedClientName"), "Device0");
  EXPECT_EQ(text(shown, "InstanceID"), "0");
  EXPECT_EQ(shown.getProperties().size(), 5u);

  // Null values and names in another case are skipped; a limit is inclusive.
  CIMInstance partial(ZPX_DHCPReservedAddressName);
  partial.setProperty("IPv4Address", CIMValue());
  partial.setProperty("reservedclientname", CIMValue("ignored"));
  partial.setProperty("reservedClientDescription", CIMValue("0123456789012345678901234567890123456789"));
  binding.apply(*object, partial);
  shown = CIMInstance(ZPX_DHCPReservedAddressName);
  binding.toCIMInstance(*object, shown);
  EXPECT_EQ(text(shown, "IPv4Address"), "192.168.1.20");
  EXPECT_EQ(text(shown, "reservedClientName"), "Device0");
  EXPECT_EQ(text(shown, "reservedClientDescription"), "0123456789012345678901234567890123456789");

  struct Case {
    CIMInstance request;
    CIMException::ErrNoType status;
    std::string message;
  } cases[] = {
      {reservationInstance("192.168.1.2000000", "0a0b0c0d0e0f", "", ""), CIMException::INVALID_PARAMETER,
       "The length of IPv4Address must be <= 16\n"
       "#CFG_000_0004,MOF_Props_ZPX_DHCPReservedAddress_IPv4Address,16#"},
      {reservationInstance("192.168.1.21", "0a0b0c0d0e0f", "Lab Printer", ""), CIMException::FAILED,
       "#DHC_ERROR_351#"},
      {reservationInstance("192.168.1.21", "0a0b0c0d0e0f", "-desk", ""), CIMException::INVALID_PARAMETER,
       "The value of reservedClientName is invalid.\n"
       "#CFG_000_0000,MOF_Props_ZPX_DHCPReservedAddress_reservedClientName#"},
      {reservationInstance("192.168.1.21", "0a0b0c0d0e0f", "lab", "a,b"), CIMException::INVALID_PARAMETER,
       "The value of reservedClientDescription is invalid.\n"
       "#CFG_000_0000,MOF_Props_ZPX_DHCPReservedAddress_reservedClientDescription#"},
      {reservationInstance("192.168.1.21", "0a0b0c0d0e0g", "lab", ""), CIMException::FAILED,
       "#DHC_ERROR_327#"},
      {reservationInstance("192.168.9.21", "0a0b0c0d0e0f", "lab", ""), CIMException::FAILED,
       "#DHC_ERROR_400#"},
      {reservationInstance("192.168.1.21", "0a0b0c0d0e0f", "lab",
                           "0123456789012345678901234567890123456789x"),
       CIMException::INVALID_PARAMETER,
       "The length of reservedClientDescription must be <= 40\n"
       "#CFG_000_0004,MOF_Props_ZPX_DHCPReservedAddress_reservedClientDescription,40#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CIMException e = cimErrorOf([&] { binding.apply(*object, c.request); });
    EXPECT_EQ(e.getErrNo(), c.status);
    EXPECT_EQ(std::string(e.getMessage()), c.message);
  }
  // Refused changes left the record and committed nothing.
  EXPECT_EQ(g_commitCount, commits + 1);  // the change of the description only
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[0].ipAddr.ipString, "192.168.1.20");

  // A name stored under earlier rules may be sent back unchanged.
  s_reservedAddr stored = {};
  snprintf(stored.ipAddr.ipString, sizeof(stored.ipAddr.ipString), "192.168.1.20");
  snprintf(stored.macAddr, sizeof(stored.macAddr), "0A:0B:0C:0D:0E:0F");
  snprintf(stored.clientName, sizeof(stored.clientName), "-desk");
  ASSERT_EQ(dhcpCompAddStoredReservedAddress("0", &stored), DHCP_RC_OK);
  binding.apply(*object, reservationInstance("192.168.1.20", "0A:0B:0C:0D:0E:0F", "-desk", "Desk 2"));
  EXPECT_STREQ(CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription, "Desk 2");
}

TEST_F(FrameworkTest, RangeChangeBracketAndPaths) {
  const ClassBinding<ZPX_DHCPRangeOfIPAddresses>& binding = ZPX_DHCPRangeOfIPAddressesBinding();
  ZPX_DHCPRangeOfIPAddresses* object = rangeManager_.createZPX_DHCPRangeOfIPAddresses("");

  CIMInstance request(ZPX_DHCPRangeOfIPAddressesName);
  request.setProperty("StartAddress", CIMValue("192.168.1.100"));
  request.setProperty("EndAddress", CIMValue("192.168.1.200"));
  binding.apply(*object, request);
  // Changing only the gateway still hands all three addresses to the agent.
  CIMInstance gatewayOnly(ZPX_DHCPRangeOfIPAddressesName);
  gatewayOnly.setProperty("DefaultGatewayIPAddress", CIMValue("192.168.1.254"));
  binding.apply(*object, gatewayOnly);
  EXPECT_STREQ(CustomerLANDhcpCompConfig.addrRanges[0].endAddr.ipString, "192.168.1.200");
  EXPECT_STREQ(CustomerLANDhcpCompConfig.defaultGateway.ipString, "192.168.1.254");

  CIMInstance refused(ZPX_DHCPRangeOfIPAddressesName);
  refused.setProperty("EndAddress", CIMValue("192.168.1.50"));
  CIMException e = cimErrorOf([&] { binding.apply(*object, refused); });
  EXPECT_EQ(e.getErrNo(), CIMException::FAILED);
  EXPECT_STREQ(e.getMessage(), "#DHC_ERROR_323#");

  CIMInstance shown(ZPX_DHCPRangeOfIPAddressesName);
  binding.toCIMInstance(*object, shown);
  EXPECT_EQ(text(shown, "EndAddress"), "192.168.1.200");
  EXPECT_EQ(text(shown, "Caption"), "");
  EXPECT_EQ(shown.getPropertyValue("AddressType"), CIMValue(static_cast<OpenWBEM::UInt16>(1)));
  EXPECT_EQ(shown.getProperties().size(), 7u);

  CIMObjectPath path(ZPX_DHCPRangeOfIPAddressesName, "root/cimv2");
  binding.toCIMObjectPath(*object, path);
  ASSERT_EQ(path.getKeys().size(), 1u);
  EXPECT_EQ(binding.keysOf(path), std::vector<std::string>{"0"});
  EXPECT_EQ(rangeManager_.get(binding.keysOf(path)[0]), object);
  CIMObjectPath noKey(ZPX_DHCPRangeOfIPAddressesName, "root/cimv2");
  EXPECT_EQ(cimErrorOf([&] { binding.keysOf(noKey); }).getErrNo(), CIMException::NOT_FOUND);
  EXPECT_EQ(binding.keysForCreate(CIMInstance(ZPX_DHCPRangeOfIPAddressesName)), std::vector<std::string>{""});
}

class InstanceCollector : public OpenWBEM::CIMInstanceResultHandlerIFC {
 public:
  std::vector<CIMInstance> instances;

 protected:
  void doHandle(const CIMInstance& instance) override { instances.push_back(instance); }
};

class PathCollector : public OpenWBEM::CIMObjectPathResultHandlerIFC {
 public:
  std::vector<std::string> ids;

 protected:
  void doHandle(const CIMObjectPath& path) override {
    ids.push_back(path.getKeyValue("InstanceID").toString().toStdString());
  }
};

CIMInstance rangeInstance(const char* id, const char* start, const char* end) {
  CIMInstance instance(ZPX_DHCPRangeOfIPAddressesName);
  instance.setProperty("InstanceID", CIMValue(id));
  instance.setProperty("StartAddress", CIMValue(start));
  instance.setProperty("EndAddress", CIMValue(end));
  return instance;
}

TEST_F(FrameworkTest, ProviderOperationsOverRanges) {
  const ZPX_DHCPRangeOfIPAddressesOperationsType& ops = ZPX_DHCPRangeOfIPAddressesOperations();
  PathCollector empty;
  ops.enumInstanceNames("root/cimv2", ZPX_DHCPRangeOfIPAddressesName, empty);
  EXPECT_TRUE(empty.ids.empty());
  EXPECT_FALSE(rangeManager_.hasNext());

  // The new range takes the lowest free id, whatever the request names.
  for (int i = 0; i < 4; ++i) rangeManager_.createZPX_DHCPRangeOfIPAddresses("");
  CIMObjectPath created =
      ops.createInstance("root/cimv2", rangeInstance("9", "192.168.1.100", "192.168.1.200"));
  EXPECT_EQ(created.getKeyValue("InstanceID").toString(), "4");
  EXPECT_EQ(created.getNameSpace(), "root/cimv2");
  EXPECT_EQ(text(ops.getInstance(created), "EndAddress"), "192.168.1.200");

  // A refused range is destroyed again, which commits.
  int commits = g_commitCount;
  CIMException refused = cimErrorOf(
      [&] { ops.createInstance("root/cimv2", rangeInstance("", "192.168.1.150", "192.168.1.160")); });
  EXPECT_EQ(refused.getErrNo(), CIMException::FAILED);
  EXPECT_STREQ(refused.getMessage(), "#DHC_ERROR_325#");
  EXPECT_EQ(g_commitCount, commits + 1);
  EXPECT_TRUE(g_AddressRangePool[5].isFree);

  PathCollector names;
  ops.enumInstanceNames("root/cimv2", ZPX_DHCPRangeOfIPAddressesName, names);
  EXPECT_EQ(names.ids, (std::vector<std::string>{"0", "1", "2", "3", "4"}));

  ops.deleteInstance(created);
  EXPECT_TRUE(CustomerLANDhcpCompConfig.addrRanges[4].isFree);
  EXPECT_EQ(cimErrorOf([&] { ops.deleteInstance(created); }).getErrNo(), CIMException::NOT_FOUND);
  CIMObjectPath keyless(ZPX_DHCPRangeOfIPAddressesName, "root/cimv2");
  EXPECT_EQ(cimErrorOf([&] { ops.getInstance(keyless); }).getErrNo(), CIMException::NOT_FOUND);

  while (dhcpCompGetFreeAddressRangeInstanceID() >= 0) rangeManager_.createZPX_DHCPRangeOfIPAddresses("");
  CIMException full = cimErrorOf([&] { ops.createInstance("root/cimv2", rangeInstance("", "", "")); });
  EXPECT_EQ(full.getErrNo(), CIMException::NOT_SUPPORTED);
  EXPECT_STREQ(full.getMessage(), "The system cannot create the instance specified.\n#CFG_000_0005#");

  // An object whose getters fail shows none of its neighbour's values.
  {
    ZPX_DHCPRangeOfIPAddresses bare("00");
    InstanceCollector all;
    ops.enumInstances(all);
    ASSERT_EQ(all.instances.size(), 33u);
    EXPECT_EQ(text(all.instances[1], "InstanceID"), "00");
    EXPECT_EQ(all.instances[1].getProperties().size(), 1u);
  }

  // The built-in manager cannot delete.
  ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  ZPX_DHCPRangeOfIPAddresses plain("x");
  CIMObjectPath plainPath(ZPX_DHCPRangeOfIPAddressesName, "root/cimv2");
  plainPath.setKeyValue("InstanceID", CIMValue("x"));
  CIMException undeletable = cimErrorOf([&] { ops.deleteInstance(plainPath); });
  EXPECT_EQ(undeletable.getErrNo(), CIMException::FAILED);
  EXPECT_STREQ(undeletable.getMessage(), "The system cannot delete the instance specified.\n#CFG_000_0006#");
}

}  // namespace
