#include "openwbem/MOFReader.h"

#include "openwbem/CIMMethod.h"

#include <gtest/gtest.h>

namespace OpenWBEM {
namespace {

String dataFile(const char* name) {
  return String(std::string(OWSERVER_TEST_DATA "/") + name);
}

class MOFReaderTest : public ::testing::Test {
 protected:
  static std::string errorOf(const char* text) {
    try {
      MOFReader::parse(text, "t.mof");
    } catch (const MOFReaderException& e) {
      return e.getMessage();
    }
    return "no error";
  }
};

TEST_F(MOFReaderTest, ReadsTheTestSchema) {
  CIMClassArray classes = MOFReader::readFile(dataFile("TestProv.mof"));
  ASSERT_EQ(classes.size(), 5u);

  const CIMClass& base = classes[0];
  EXPECT_EQ(base.getName(), "Test_Base");
  EXPECT_TRUE(base.hasTrueQualifier("Abstract"));
  EXPECT_EQ(base.getQualifier("Description").getValue().toStringValue(), "Base of the test classes");
  ASSERT_TRUE(base.getProperty("Name"));
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
      {"Id", CIMDataType::UINT16, false},    {"Text", CIMDataType::STRING, true},
      {"Small", CIMDataType::UINT8, true},   {"Count", CIMDataType::UINT32, true},
      {"Delta", CIMDataType::SINT32, true},  {"Flag", CIMDataType::BOOLEAN, true},
      {"When", CIMDataType::DATETIME, true}, {"Big", CIMDataType::UINT64, false},
  };
  for (const auto& p : props) {
    SCOPED_TRACE(p.name);
    CIMProperty prop = item.getProperty(p.name);
    ASSERT_TRUE(prop);
    EXPECT_EQ(prop.getDataType().getType(), p.type);
    EXPECT_EQ(prop.hasTrueQualifier("Write"), p.write);
  }
  EXPECT_EQ(item.getProperty("Text").getQualifier("MaxLen").getValue().toUInt32(), 64u);
  EXPECT_EQ(item.getProperty("Big").getValue().toUInt64(), 18446744073709551615ull);
  CIMProperty tags = item.getProperty("Tags");
  EXPECT_TRUE(tags.getDataType().isArrayType());
  EXPECT_EQ(tags.getValue().toStringArray(), (StringArray{String("a"), String("b")}));

  const CIMClass& service = classes[2];
  CIMMethod echo = service.getMethod("Echo");
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo.getReturnType().getType(), CIMDataType::UINT32);
  EXPECT_EQ(echo.getQualifier("Description").getValue().toStringValue(), "Repeats Text Times times");
  ASSERT_EQ(echo.getParameters().size(), 3u);
  EXPECT_EQ(echo.getParameter("Times").getType().getType(), CIMDataType::UINT16);
  EXPECT_TRUE(echo.getParameter("Text").hasTrueQualifier("IN"));
  EXPECT_FALSE(echo.getParameter("Result").hasTrueQualifier("IN"));
  EXPECT_TRUE(echo.getParameter("Result").hasTrueQualifier("OUT"));

  const CIMClass& assoc = classes[3];
  EXPECT_TRUE(assoc.isAssociation());
  CIMProperty ref = assoc.getProperty("Antecedent");
  EXPECT_TRUE(ref.isReference());
  EXPECT_TRUE(ref.isKey());
  EXPECT_EQ(ref.getDataType().getRefClassName(), "Test_Service");
}

TEST_F(MOFReaderTest, ReferenceParametersAndArrays) {
  CIMClassArray classes = MOFReader::parse(
      "class A { sint64 Values[4] = {-1, 2}; boolean B = TRUE;\n"
      "  uint32 M(A REF Target, [IN] string Names[], [OUT] uint8 Codes[]); };");
  ASSERT_EQ(classes.size(), 1u);
  const CIMClass& a = classes[0];
  EXPECT_EQ(a.getProperty("Values").getValue().getArraySize(), 2u);
  EXPECT_EQ(a.getProperty("Values").getValue().getArray()[0].toInt64(), -1);
  EXPECT_TRUE(a.getProperty("B").getValue().toBool());
  CIMMethod m = a.getMethod("M");
  EXPECT_TRUE(m.getParameter("Target").getType().isReferenceType());
  EXPECT_EQ(m.getParameter("Target").getType().getRefClassName(), "A");
  EXPECT_TRUE(m.getParameter("Names").getType().isArrayType());
  EXPECT_EQ(m.getParameter("Codes").getType().getType(), CIMDataType::UINT8);
}

TEST_F(MOFReaderTest, ErrorsNameTheLine) {
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
    EXPECT_EQ(errorOf(c.text).rfind(c.expected, 0), 0u) << errorOf(c.text);
  }
  EXPECT_THROW(MOFReader::readFile(dataFile("no-such-file.mof")), MOFReaderException);
  EXPECT_THROW(MOFReader::readFile(dataFile("bad-types.mof")), MOFReaderException);
}

}  // namespace
}  // namespace OpenWBEM
