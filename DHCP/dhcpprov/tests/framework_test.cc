// The managed-object framework: registries and their managers, the CIM
// errors, and the operations' paths the class providers' tests do not take,
// exercised through the range class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddress.h"
#include "framework/ClassNames.h"
#include "framework/ProviderErrors.h"
#include "openwbem/WBEMFlags.h"
#include "provider_test_support.h"

namespace {

using namespace provider_test;

std::string idOf(const ZPX_DHCPRangeOfIPAddresses* object) {
  std::string id;
  OpenWBEM::Array<OpenWBEM::CIMQualifier> q;
  object->getInstanceID(id, q);
  return id;
}

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(&rangeManager_);
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  }
  void TearDown() override {
    for (s_addrRangePoolEntry& e : g_AddressRangePool) delete e.object;
    ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  }

  ZPX_DHCPRangeOfIPAddressesImplInstanceManager rangeManager_;
};

// A data object of its own neither reads nor writes its properties; the
// built-in manager finds objects but neither creates nor deletes them.
TEST_F(FrameworkTest, BuiltInManagerNeitherCreatesNorDeletes) {
  ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  ZPX_DHCPRangeOfIPAddresses plain("7");
  std::string value = "untouched";
  OpenWBEM::Array<OpenWBEM::CIMQualifier> q;
  EXPECT_EQ(plain.getStartAddress(value, q), TAVREL_RC_NOT_READABLE);
  EXPECT_EQ(value, "untouched");
  EXPECT_EQ(plain.setEndAddress("x"), TAVREL_RC_NOT_WRITABLE);
  EXPECT_EQ(plain.startChange(), TAVREL_RC_OK);
  EXPECT_EQ(plain.endChange(), TAVREL_RC_OK);
  ZPX_DHCPReservedAddress::ClearInstanceManager();
  ZPX_DHCPReservedAddress reservation("7");
  EXPECT_EQ(reservation.startChange(), TAVREL_RC_OK);
  EXPECT_EQ(reservation.endChange(), TAVREL_RC_OK);
  ZPX_DHCPRangeOfIPAddressesInstanceManager* builtIn = ZPX_DHCPRangeOfIPAddresses::getInstanceManager();
  EXPECT_EQ(builtIn->get("7"), &plain);
  EXPECT_THROW(builtIn->createZPX_DHCPRangeOfIPAddresses("1"), CFG_InstanceCreationFailed);

  // The operations report the refused deletion.
  CIMException e = cimErrorOf([] {
    ZPX_DHCPRangeOfIPAddressesOperations().deleteInstance(pathOf(ZPX_DHCPRangeOfIPAddressesName, "7"));
  });
  EXPECT_TRUE(isCimError(e, CIMException::FAILED,
                         "The system cannot delete the instance specified.\n#CFG_000_0006#"));

  // Objects made before a manager is installed stay with the earlier one.
  ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(&rangeManager_);
  EXPECT_THROW(rangeManager_.get("7"), CFG_NoInstance);
}

TEST_F(FrameworkTest, RegistryOrderLookupAndLimit) {
  EXPECT_FALSE(rangeManager_.hasNext());
  EXPECT_THROW(rangeManager_.next(), CFG_NoInstance);
  for (int i = 0; i < 12; ++i) rangeManager_.createZPX_DHCPRangeOfIPAddresses("ignored");
  EXPECT_EQ(g_NumberOfRanges, 12);
  Ids ids;
  for (rangeManager_.startIteration(); rangeManager_.hasNext();) ids.push_back(idOf(rangeManager_.next()));
  rangeManager_.endIteration();
  EXPECT_EQ(ids, (Ids{"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_THROW(rangeManager_.get("12"), CFG_NoInstance);

  // Destroying the object under the cursor does not end the iteration.
  rangeManager_.startIteration();
  ZPX_DHCPRangeOfIPAddresses* first = rangeManager_.next();
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(rangeManager_.get("1"));
  EXPECT_EQ(idOf(rangeManager_.next()), "10");
  rangeManager_.endIteration();
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(first);
  rangeManager_.destroyZPX_DHCPRangeOfIPAddresses(nullptr);

  // The lowest free id is given next, up to the pool's size.
  EXPECT_EQ(idOf(rangeManager_.createZPX_DHCPRangeOfIPAddresses("9")), "0");
  for (int i = 0; i < 21; ++i) rangeManager_.createZPX_DHCPRangeOfIPAddresses("");
  EXPECT_THROW(rangeManager_.createZPX_DHCPRangeOfIPAddresses(""), CFG_InstanceCreationFailed);
  EXPECT_EQ(g_NumberOfRanges, DHCP_MAX_ADDR_RANGES);

  // An object whose getters fail shows none of its neighbour's values.
  ZPX_DHCPRangeOfIPAddresses bare("00");
  Collect<OpenWBEM::CIMInstance> all;
  ZPX_DHCPRangeOfIPAddressesOperations().enumInstances(all);
  ASSERT_EQ(all.items.size(), 33u);
  EXPECT_EQ(text(all.items[1], "InstanceID"), "00");
  EXPECT_EQ(all.items[1].getProperties().size(), 1u);
}

// The translations the providers' tests do not meet.
TEST_F(FrameworkTest, CimErrorsCarryStatusTextAndTag) {
  const struct {
    CIMException error;
    CIMException::ErrNoType status;
    const char* message;
  } cases[] = {
      {cimErrorOf([] { TavrelErrors::throwNotFound(); }), CIMException::NOT_FOUND, ""},
      {cimErrorOf([] { TavrelErrors::throwModifyFailed(); }), CIMException::FAILED,
       "Could not modify the configuration as requested.\n"},
      {cimErrorOf([] { TavrelErrors::throwStartChangeFailed(302); }), CIMException::FAILED,
       "Could not make the requested change.\n#CFG_000_0001#"},
      {cimErrorOf([] { TavrelErrors::throwStartChangeFailed(325); }), CIMException::FAILED,
       "Could not make the requested change.\n#DHC_ERROR_325#"},
      {cimErrorOf([] { TavrelErrors::throwEndChangeFailed(301, "ZPX_DHCPService"); }),
       CIMException::INVALID_PARAMETER,
       "One or more of the values specified for the ZPX_DHCPService was invalid.\n#CFG_000_0001#"},
      // A failed write of a request that changes fails it plainly.
      {cimErrorOf([] {
         TavrelErrors::withCIMErrors(TavrelErrors::Step::ModifyInstance, "ZPX_DHCPService",
                                     []() -> int { throw CFG_WriteError(); });
       }),
       CIMException::FAILED, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_TRUE(isCimError(c.error, c.status, c.message));
  }
}

}  // namespace
