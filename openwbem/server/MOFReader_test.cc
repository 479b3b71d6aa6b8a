#include "openwbem/MOFReader.h"

#include "openwbem/CIMMethod.h"

#include <gtest/gtest.h>

namespace OpenWBEM {
namespace {

TEST(MOFReaderTest, ReadsTheTestSchema) {
  CIMClassArray classes = MOFReader::readFile(OWSERVER_TEST_DATA "/TestProv.mof");
  ASSERT_EQ(classes.size(), 5u);
  const CIMClass& base = classes[0];
  EXPECT_TRUE(base.hasTrueQualifier("Abstract"));
  EXPECT_EQ(base.getQualifier("Description").getValue().toStringValue(), "Base of the test classes");
  EXPECT_TRUE(base.getProperty("Name").isKey());
  const CIMClass& item = classes[1];
  EXPECT_EQ(item.getSuperClass(), "Test_Base");
  EXPECT_EQ(item.getQualifier("Provider").getValue().toStringValue(), "c++::TestProv");
  EXPECT_FALSE(item.getProperty("Name")) << "inherited members are not copied by the reader";
  struct {
    const char* name;
    CIMDataType::Type type;
    bool write;
  } props[] = {
      {"Id", CIMDataType::UINT16, false},   {"Text", CIMDataType::STRING, true},
      {"Small", CIMDataType::UINT8, true},  {"Delta", CIMDataType::SINT32, true},
      {"Flag", CIMDataType::BOOLEAN, true}, {"When", CIMDataType::DATETIME, true},
      {"Big", CIMDataType::UINT64, false},
  };
  for (const auto& p : props) {
    SCOPED_TRACE(p.name);
    ASSERT_TRUE(item.getProperty(p.name));
    EXPECT_EQ(item.getProperty(p.name).getDataType().getType(), p.type);
    EXPECT_EQ(item.getProperty(p.name).hasTrueQualifier("Write"), p.write);
  }
  EXPECT_EQ(item.getProperty("Text").getQualifier("MaxLen").getValue().toUInt32(), 64u);
  EXPECT_EQ(item.getProperty("Big").getValue().toUInt64(), 18446744073709551615ull);
  EXPECT_EQ(item.getProperty("Tags").getValue().toStringArray(), (StringArray{String("a"), String("b")}));
  CIMMethod echo = classes[2].getMethod("Echo");
  EXPECT_EQ(echo.getReturnType().getType(), CIMDataType::UINT32);
  EXPECT_EQ(echo.getQualifier("Description").getValue().toStringValue(), "Repeats Text Times times");
  ASSERT_EQ(echo.getParameters().size(), 3u);
  EXPECT_EQ(echo.getParameter("Times").getType().getType(), CIMDataType::UINT16);
  EXPECT_TRUE(echo.getParameter("Text").hasTrueQualifier("IN"));
  EXPECT_FALSE(echo.getParameter("Result").hasTrueQualifier("IN"));
  EXPECT_TRUE(echo.getParameter("Result").hasTrueQualifier("OUT"));
  EXPECT_TRUE(classes[3].isAssociation());
  EXPECT_TRUE(classes[3].getProperty("Antecedent").isKey());
  EXPECT_EQ(classes[3].getProperty("Antecedent").getDataType().getRefClassName(), "Test_Service");

  CIMClass a =
      MOFReader::parse("class A { sint64 Values[4] = {-1, 2}; uint32 M(A REF T, [OUT] uint8 C[]); };")[0];
  EXPECT_EQ(a.getProperty("Values").getValue().getArray()[0].toInt64(), -1);
  EXPECT_EQ(a.getMethod("M").getParameter("T").getType().getRefClassName(), "A");
  EXPECT_TRUE(a.getMethod("M").getParameter("C").getType().isArrayType());
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
    try {
      MOFReader::parse(c.text, "t.mof");
      ADD_FAILURE() << "no error";
    } catch (const MOFReaderException& e) {
      EXPECT_EQ(std::string(e.getMessage()).rfind(c.expected, 0), 0u) << e.getMessage();
    }
  }
  EXPECT_THROW(MOFReader::readFile(OWSERVER_TEST_DATA "/no-such-file.mof"), MOFReaderException);
  EXPECT_THROW(MOFReader::readFile(OWSERVER_TEST_DATA "/bad-types.mof"), MOFReaderException);
}

}  // namespace
}  // namespace OpenWBEM
