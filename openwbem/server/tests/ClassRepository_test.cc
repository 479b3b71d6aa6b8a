// The class definitions the agent serves: the MOF reader, and the
// repository resolving inheritance and typing incoming values by class.
#include "ClassRepository.h"
#include "CIMXMLWriter.h"

#include "test_support.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMMethod.h"
#include "openwbem/MOFReader.h"

#include <gtest/gtest.h>

#include <functional>

namespace OpenWBEM {
namespace {

using namespace WBEMFlags;

// "code message" of the exception f raised, "" when none.
std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const CIMException& e) {
    return std::to_string(e.getErrNo()) + " " + e.getMessage();
  } catch (const MOFReaderException& e) {
    return e.getMessage();
  }
  return "";
}

// The test schema as GetClass sends it, and a class with array defaults and
// reference and array parameters: every qualifier, type, default and
// parameter of the MOF, inherited members not copied by the reader.
TEST(MOFReaderTest, ReadsTheTestSchema) {
  CIMClassArray classes = MOFReader::readFile(OWSERVER_TEST_MOF);
  classes.push_back(
      MOFReader::parse("class A { sint64 Values[4] = {-1, 2}; uint32 M(A REF T, [OUT] uint8 C[]); };")[0]);
  std::string xml;
  for (const CIMClass& cls : classes) {
    cimxmlWriteClass(xml, cls);
    xml += '\n';
  }
  EXPECT_EQ(xml, tavrel::test::readFile(OWSERVER_TEST_DATA "/TestProv-classes.xml"));
  // Qualifiers and defaults as a provider reads them.
  EXPECT_EQ(classes[1].getProperty("Text").getQualifier("MaxLen").getValue().toUInt32(), 64u);
  EXPECT_EQ(classes[1].getProperty("Tags").getValue().toStringArray(), (StringArray{"a", "b"}));
  const CIMMethod echo = classes[2].getMethod("Echo");
  EXPECT_EQ(echo.getQualifier("Description").getValue().toStringValue(), "Repeats Text Times times");
  EXPECT_TRUE(echo.getParameter("Result").getQualifier("IN")) << "present, but false";
  EXPECT_FALSE(echo.getParameter("Result").hasTrueQualifier("IN"));
}

TEST(MOFReaderTest, ErrorsNameTheLine) {
  struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"class A {\n  strin Name;\n};", "t.mof:2: unknown type \"strin\""},
      {"class A {\n  string Name\n};", "t.mof:3: expected ';'"},
      {"class A { string S = \"open\n\"; };", "t.mof:1: string not closed"},
      {"instance of A { Name = \"x\"; };", "t.mof:1: expected a class declaration"},
      {"class A { uint8 Small = 300; };", "t.mof:1: default value does not fit the type of Small"},
      {"/* never closed", "t.mof:1: comment not closed"},
      {"class A { [Key string Name; };", "t.mof:1: expected ','"},
      {"class A { string Name; }", "t.mof:1: expected ';', found end of file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error = errorOf([&] { MOFReader::parse(c.text, "t.mof"); });
    EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
  }
  EXPECT_THROW(MOFReader::readFile(OWSERVER_TEST_DATA "/no-such-file.mof"), MOFReaderException);
  EXPECT_THROW(MOFReader::readFile(OWSERVER_TEST_DATA "/bad-types.mof"), MOFReaderException);
}

class ClassRepositoryTest : public ::testing::Test {
 protected:
  void SetUp() override { m_repo.add(MOFReader::readFile(OWSERVER_TEST_MOF)); }

  ClassRepository m_repo;
};

TEST_F(ClassRepositoryTest, InheritanceAndGetClass) {
  const CIMClass* item = m_repo.find("test_item");
  ASSERT_NE(item, nullptr) << "names are case-insensitive";
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
}

TEST_F(ClassRepositoryTest, ClassNamesAndRedeclarations) {
  EXPECT_EQ(m_repo.subclassNames("", E_SHALLOW),
            (StringArray{String("Test_Base"), String("Test_ItemInService"), String("Test_Thrower")}));
  EXPECT_EQ(m_repo.subclassNames("Test_Base", E_SHALLOW),
            (StringArray{String("Test_Item"), String("Test_Service")}));
  EXPECT_EQ(m_repo.subclassNames("", E_DEEP).size(), 5u);
  EXPECT_EQ(errorOf([&] { m_repo.subclassNames("Nope", E_DEEP); }), "5 class Nope not found");

  // A later declaration replaces the earlier one and inherits the key; a
  // loop is refused and changes nothing. (Which provider serves a class is
  // checked by the interop test's routing among two providers.)
  m_repo.add(CIMClassArray{CIMClass("Test_Thrower").setSuperClass("Test_Base")});
  EXPECT_EQ(m_repo.subclassNames("Test_Base", E_SHALLOW).size(), 3u);
  EXPECT_TRUE(m_repo.find("Test_Thrower")->getProperty("Name").isKey());
  EXPECT_EQ(errorOf([&] { m_repo.add(CIMClassArray{CIMClass("Test_Base").setSuperClass("Test_Item")}); }),
            "10 superclass chain of Test_Base is circular");
  EXPECT_TRUE(m_repo.find("Test_Base")->getSuperClass().empty());
  EXPECT_TRUE(m_repo.find("Test_Item")->getProperty("Name"));
}

TEST_F(ClassRepositoryTest, IncomingValuesAreTypedByTheClass) {
  // The reader gives the key Id as sint64.
  CIMObjectPath link("Test_ItemInService", "root/cimv2");
  link.setKeyValue("Antecedent", CIMValue(CIMObjectPath::parse("root/cimv2:Test_Service.Name=\"s\"")));
  link.setKeyValue("Dependent", CIMValue(CIMObjectPath::parse("root/cimv2:Test_Item.Name=\"i1\",Id=7")));
  m_repo.typeObjectPath(link);
  EXPECT_EQ(link.getKeyValue("Dependent").toCIMObjectPath().getKeyValue("Id").getType(), CIMDataType::UINT16)
      << "keys of referenced objects are typed too";

  CIMInstance inst("Test_Item");
  inst.setProperty("small", CIMValue("200"));
  inst.setProperty("Flag", CIMValue("true"));
  inst.setProperty("NotInClass", CIMValue(Int64(1)));
  m_repo.typeInstance(inst);
  EXPECT_EQ(inst.getPropertyValue("Small"), CIMValue(UInt8(200)));
  EXPECT_EQ(inst.getPropertyValue("Flag"), CIMValue(true));
  EXPECT_EQ(inst.getPropertyValue("NotInClass"), CIMValue(Int64(1)));
  struct {
    const char* property;
    CIMValue value;
    const char* error;
  } cases[] = {
      {"Small", CIMValue(Int64(256)), "4 Property \"Small\": Value 256 is out of range for uint8"},
      {"Small", CIMValue(StringArray{"1"}), "13 Property \"Small\": a single value is required"},
      {"Tags", CIMValue("a"), "13 Property \"Tags\": an array value is required"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    CIMInstance bad("Test_Item");
    bad.setProperty(c.property, c.value);
    EXPECT_EQ(errorOf([&] { m_repo.typeInstance(bad); }), c.error);
  }
  CIMParamValueArray params{CIMParamValue("times", CIMValue("3"))},
      tooBig{CIMParamValue("Times", CIMValue("70000"))};
  m_repo.typeMethodParams("Test_Service", "echo", params);
  EXPECT_EQ(params[0].getValue(), CIMValue(UInt16(3)));
  EXPECT_EQ(errorOf([&] { m_repo.typeMethodParams("Test_Service", "Echo", tooBig); }),
            "4 Parameter \"Times\": Value 70000 is out of range for uint16");
}

}  // namespace
}  // namespace OpenWBEM
