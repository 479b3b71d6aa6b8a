#include "ClassRepository.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMMethod.h"
#include "openwbem/MOFReader.h"

#include <gtest/gtest.h>

#include <functional>

namespace OpenWBEM {
namespace {

using namespace WBEMFlags;

class ClassRepositoryTest : public ::testing::Test {
 protected:
  void SetUp() override { m_repo.add(MOFReader::readFile(OWSERVER_TEST_MOF)); }

  static CIMException::ErrNoType errorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const CIMException& e) {
      return e.getErrNo();
    }
    return CIMException::SUCCESS;
  }

  ClassRepository m_repo;
};

TEST_F(ClassRepositoryTest, InheritanceAndGetClass) {
  const CIMClass* item = m_repo.find("test_item");
  ASSERT_NE(item, nullptr) << "names are case-insensitive";
  ASSERT_TRUE(item->getProperty("Name")) << "inherited key";
  EXPECT_TRUE(item->getProperty("Name").isKey());
  EXPECT_EQ(item->getKeys().size(), 2u);
  EXPECT_FALSE(item->hasTrueQualifier("Abstract")) << "Abstract is not inherited";

  CIMClass local = m_repo.getClass("Test_Item", E_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, nullptr);
  EXPECT_FALSE(local.getProperty("Name"));
  EXPECT_TRUE(local.getProperty("Id").isKey());

  CIMClass full = m_repo.getClass("Test_Item", E_NOT_LOCAL_ONLY, E_EXCLUDE_QUALIFIERS, nullptr);
  EXPECT_TRUE(full.getQualifiers().empty());
  EXPECT_TRUE(full.getProperty("Name").getQualifiers().empty());

  StringArray list{String("text"), String("Id")};
  CIMClass some = m_repo.getClass("Test_Item", E_NOT_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, &list);
  EXPECT_EQ(some.getProperties().size(), 2u);

  EXPECT_EQ(errorOf([&] { m_repo.getClass("Nope", E_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, nullptr); }),
            CIMException::NOT_FOUND);
}

TEST_F(ClassRepositoryTest, ClassNamesAndProviders) {
  EXPECT_EQ(m_repo.subclassNames("", E_SHALLOW),
            (StringArray{String("Test_Base"), String("Test_ItemInService"), String("Test_Thrower")}));
  EXPECT_EQ(m_repo.subclassNames("Test_Base", E_SHALLOW),
            (StringArray{String("Test_Item"), String("Test_Service")}));
  EXPECT_EQ(m_repo.subclassNames("", E_DEEP).size(), 5u);
  EXPECT_EQ(errorOf([&] { m_repo.subclassNames("Nope", E_DEEP); }), CIMException::INVALID_CLASS);

  EXPECT_EQ(m_repo.providerOf("Test_Item"), "c++::TestProv");
  EXPECT_EQ(m_repo.providerOf("Test_Base"), "");

  // A later declaration replaces the earlier one; a loop is refused and
  // changes nothing.
  m_repo.add(CIMClassArray{CIMClass("Test_Thrower").setSuperClass("Test_Base")});
  EXPECT_EQ(m_repo.subclassNames("Test_Base", E_SHALLOW).size(), 3u);
  EXPECT_TRUE(m_repo.find("Test_Thrower")->getProperty("Name").isKey());
  EXPECT_EQ(errorOf([&] { m_repo.add(CIMClassArray{CIMClass("Test_Base").setSuperClass("Test_Item")}); }),
            CIMException::INVALID_SUPERCLASS);
  EXPECT_TRUE(m_repo.find("Test_Base")->getSuperClass().empty());
  EXPECT_TRUE(m_repo.find("Test_Item")->getProperty("Name"));
}

TEST_F(ClassRepositoryTest, IncomingValuesAreTypedByTheClass) {
  CIMObjectPath item("Test_Item", "root/cimv2"), service("Test_Service", "root/cimv2");
  item.setKeyValue("Name", CIMValue("i1"));
  item.setKeyValue("Id", CIMValue(Int64(7)));
  service.setKeyValue("Name", CIMValue("s"));
  CIMObjectPath link("Test_ItemInService", "root/cimv2");
  link.setKeyValue("Antecedent", CIMValue(service));
  link.setKeyValue("Dependent", CIMValue(item));
  m_repo.typeObjectPath(item);
  m_repo.typeObjectPath(link);
  EXPECT_EQ(item.getKeyValue("Id").getType(), CIMDataType::UINT16);
  EXPECT_EQ(link.getKeyValue("Dependent").toCIMObjectPath().getKeyValue("Id").getType(), CIMDataType::UINT16)
      << "keys of referenced objects are typed too";

  CIMInstance inst("Test_Item");
  inst.setProperty("Small", CIMValue("200"));
  inst.setProperty("Flag", CIMValue("true"));
  inst.setProperty("NotInClass", CIMValue(Int64(1)));
  m_repo.typeInstance(inst);
  EXPECT_EQ(inst.getPropertyValue("Small"), CIMValue(UInt8(200)));
  EXPECT_EQ(inst.getPropertyValue("Flag"), CIMValue(true));
  EXPECT_EQ(inst.getPropertyValue("NotInClass"), CIMValue(Int64(1)));
  struct {
    const char* property;
    CIMValue value;
    CIMException::ErrNoType error;
  } cases[] = {
      {"Small", CIMValue(Int64(256)), CIMException::INVALID_PARAMETER},
      {"When", CIMValue("yesterday"), CIMException::INVALID_PARAMETER},
      {"Count", CIMValue("many"), CIMException::TYPE_MISMATCH},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.property);
    CIMInstance bad("Test_Item");
    bad.setProperty(c.property, c.value);
    EXPECT_EQ(errorOf([&] { m_repo.typeInstance(bad); }), c.error);
  }
  CIMParamValueArray params{CIMParamValue("Times", CIMValue("3"))},
      tooBig{CIMParamValue("Times", CIMValue("70000"))};
  m_repo.typeMethodParams("Test_Service", "echo", params);
  EXPECT_EQ(params[0].getValue(), CIMValue(UInt16(3)));
  EXPECT_EQ(errorOf([&] { m_repo.typeMethodParams("Test_Service", "Echo", tooBig); }),
            CIMException::INVALID_PARAMETER);
}

}  // namespace
}  // namespace OpenWBEM
