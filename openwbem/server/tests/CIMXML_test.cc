// Encoding and decoding of the CIM-XML elements: what the writer emits must
// parse, and read back to the same values.
#include "CIMXMLReader.h"
#include "CIMXMLWriter.h"
#include "XMLEscape.h"

#include "test_support.h"

#include "openwbem/CIMException.h"

#include <gtest/gtest.h>

namespace OpenWBEM {
namespace {

class CIMXMLTest : public ::testing::Test {
 protected:
  // Parses one written element; fails the test when it is not XML.
  pugi::xml_node parse(const std::string& xml) {
    pugi::xml_parse_result r = m_doc.load_string(xml.c_str());
    EXPECT_TRUE(r) << r.description() << " in " << xml;
    return m_doc.document_element();
  }

  pugi::xml_document m_doc;
};

// The reference instance holds every kind of property value and of
// reference: read, it is written back byte for byte, its qualifiers only
// when asked for.
TEST_F(CIMXMLTest, InstanceIsWrittenBackAsRead) {
  const std::string reference = tavrel::test::readFile(OWSERVER_TEST_DATA "/instance.xml");
  CIMInstance inst = cimxmlReadInstance(parse(reference));
  inst.setProperty(inst.getProperty("Name").setQualifier(CIMQualifier::createKey()));
  std::string xml;
  cimxmlWriteInstance(xml, inst, false);
  EXPECT_EQ(xml + "\n", reference) << "qualifiers only when asked for";
  xml.clear();
  cimxmlWriteInstance(xml, inst, true);
  EXPECT_NE(
      xml.find("<PROPERTY NAME=\"Name\" TYPE=\"string\"><QUALIFIER NAME=\"Key\" TYPE=\"boolean\"><VALUE>"
               "TRUE</VALUE></QUALIFIER><VALUE>n</VALUE></PROPERTY>"),
      std::string::npos);

  EXPECT_EQ(inst.getPropertyValue("Text").toStringValue(), "line1\nline2\r\n\ttab <&>");
  CIMObjectPath ref = inst.getPropertyValue("Ref").toCIMObjectPath();
  EXPECT_EQ(ref.getKeyValue("Name").toStringValue(), "a \"b\" <c> & d");
  // Numbers come back as sint64 until typed by the class; booleans typed.
  EXPECT_EQ(ref.getKeyValue("Id").getType(), CIMDataType::SINT64);
  EXPECT_EQ(ref.getKeyValue("On").getType(), CIMDataType::BOOLEAN);
  EXPECT_EQ(ref.getKeyValue("Ref").toCIMObjectPath().getNameSpace(), "root/cimv2");
  EXPECT_EQ(inst.getPropertyValue("Remote"),
            CIMValue(CIMObjectPath::parse("//host1/root/cimv2:Test_Service.Name=\"svc\"")));
  EXPECT_EQ(inst.getPropertyValue("Tags"), CIMValue(StringArray{"x", "y&z"}));
  // A path without host or namespace takes those of the request.
  xml.clear();
  cimxmlWriteInstancePath(xml, CIMObjectPath("Test_Item", ""), "host1", "root/cimv2");
  EXPECT_EQ(xml + "\n", tavrel::test::readFile(OWSERVER_TEST_DATA "/instance-path.xml"));
}

TEST_F(CIMXMLTest, ErrorAndReturnValueExactly) {
  const String message("Invalid value #CFG_000_0001,LeaseTime#\nsecond \"line\" <b>");
  std::string xml;
  cimxmlWriteError(xml, CIMException::INVALID_PARAMETER, message);
  pugi::xml_node node = parse(xml);
  EXPECT_STREQ(node.attribute("CODE").value(), "4");
  EXPECT_EQ(String(node.attribute("DESCRIPTION").value()), message);
  EXPECT_EQ(std::distance(node.attributes_begin(), node.attributes_end()), 2);

  xml.clear();
  cimxmlWriteError(xml, CIMException::INVALID_CLASS, String());
  EXPECT_EQ(xml, "<ERROR CODE=\"5\"/>");
  xml.clear();
  cimxmlWriteReturnValue(xml, CIMValue());
  EXPECT_EQ(xml, "") << "no return value";
  cimxmlWriteReturnValue(xml, CIMValue(UInt32(0)));
  EXPECT_EQ(xml, "<RETURNVALUE PARAMTYPE=\"uint32\"><VALUE>0</VALUE></RETURNVALUE>");
}

TEST_F(CIMXMLTest, MalformedElementsAreRefused) {
#define KEY(attrs, text)                                                           \
  "<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"a\"><KEYVALUE " attrs ">" text \
  "</KEYVALUE></KEYBINDING></INSTANCENAME>"
#define PROP(attrs) \
  "<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"p\" " attrs "><VALUE>256</VALUE></PROPERTY></INSTANCE>"
  struct {
    const char* xml;
    bool invalidRequest;  // else a CIM error (value does not fit)
  } cases[] = {
      {"<INSTANCENAME><KEYBINDING NAME=\"a\"><KEYVALUE>x</KEYVALUE></KEYBINDING></INSTANCENAME>", true},
      {"<INSTANCENAME CLASSNAME=\"C\"><KEYVALUE>x</KEYVALUE></INSTANCENAME>", true},
      {KEY("VALUETYPE=\"odd\"", "x"), true},
      {KEY("VALUETYPE=\"numeric\"", "12abc"), false},
      {KEY("VALUETYPE=\"boolean\"", "maybe"), false},
      {PROP("TYPE=\"uint8\""), false},
      {PROP("TYPE=\"bogus\""), true},
      {PROP(""), true},
      {"<INSTANCE CLASSNAME=\"C\"><KEYBINDING NAME=\"p\"/></INSTANCE>", true},
  };
#undef KEY
#undef PROP
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    pugi::xml_node node = parse(c.xml);
    auto read = [&] {
      if (std::string(node.name()) == "INSTANCE")
        cimxmlReadInstance(node);
      else
        cimxmlReadInstanceName(node);
    };
    if (c.invalidRequest)
      EXPECT_THROW(read(), CIMXMLInvalidRequest);
    else
      EXPECT_THROW(read(), CIMException);
  }
}

TEST_F(CIMXMLTest, NestingBeyondTheLimitIsRefused) {
  // A reference key naming a path with a reference key ... n levels deep.
  auto nestedReferences = [](int n) {
    std::string open, close;
    for (int i = 0; i < n; ++i) {
      open += "<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"r\"><VALUE.REFERENCE>";
      close = "</VALUE.REFERENCE></KEYBINDING></INSTANCENAME>" + close;
    }
    return open + "<INSTANCENAME CLASSNAME=\"C\"/>" + close;
  };
  EXPECT_NO_THROW(cimxmlReadObjectPath(parse(nestedReferences(kCIMXMLMaxNesting / 2 - 1))));
  EXPECT_THROW(cimxmlReadObjectPath(parse(nestedReferences(kCIMXMLMaxNesting))), CIMXMLInvalidRequest);
  // Arrays hold scalars only: no array in an array, however shallow.
  EXPECT_THROW(
      cimxmlReadValue(parse("<VALUE.ARRAY><VALUE.ARRAY><VALUE>1</VALUE></VALUE.ARRAY></VALUE.ARRAY>"),
                      CIMDataType::STRING),
      CIMXMLInvalidRequest);
  std::string deep;
  for (int i = 0; i < 40000; ++i) deep += "<VALUE.ARRAY>";
  for (int i = 0; i < 40000; ++i) deep += "</VALUE.ARRAY>";
  EXPECT_THROW(cimxmlReadValue(parse(deep), CIMDataType::STRING), CIMXMLInvalidRequest);
}

TEST_F(CIMXMLTest, TextThatXMLCannotCarryIsReplaced) {
  struct {
    std::string in;
    std::string attr;  // escaped for an attribute
    bool valid;        // acceptable in an incoming document
  } cases[] = {
      {"plain", "plain", true},
      {"<&>\"", "&lt;&amp;&gt;&quot;", true},
      {"a\nb\tc\rd", "a&#10;b&#9;c&#13;d", true},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC", true},
      {"bad \xFF byte", "bad \xEF\xBF\xBD byte", false},
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD", false},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD", false},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},
      {std::string("nul \0 bell \a", 12), "nul \xEF\xBF\xBD bell \xEF\xBF\xBD", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out;
    xmlAppendEscaped(out, c.in, true);
    EXPECT_EQ(out, c.attr);
    EXPECT_TRUE(xmlIsValidText(out.data(), out.size()));
    EXPECT_EQ(xmlIsValidText(c.in.data(), c.in.size()), c.valid);
    // Whatever the input, the document parses.
    std::string doc = "<V A=\"" + out + "\">";
    xmlAppendEscaped(doc, c.in, false);
    doc += "</V>";
    parse(doc);
  }
  std::string text;
  xmlAppendEscaped(text, "a\nb\r", false);
  EXPECT_EQ(text, "a\nb&#13;");
}

}  // namespace
}  // namespace OpenWBEM
