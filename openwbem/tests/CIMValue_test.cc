// Typed values: accessors, conversions from text and 64-bit integers, range
// errors, datetimes and object paths.
#include "openwbem/CIMValue.h"
#include "openwbem/CIMClass.h"
#include "openwbem/CIMDateTime.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"

#include <gtest/gtest.h>

using namespace OpenWBEM;
typedef CIMDataType DT;

namespace {

// Runs f and returns the CIM status it raised (SUCCESS when none).
template <class F>
CIMException::ErrNoType statusOf(F f) {
  try {
    f();
  } catch (const CIMException& e) {
    return e.getErrNo();
  }
  return CIMException::SUCCESS;
}

}  // namespace

TEST(CIMValueTest, TypedConstructorsAndAccessors) {
  EXPECT_TRUE(CIMValue().isNull());
  EXPECT_EQ(DT::BOOLEAN, CIMValue(true).getType());
  EXPECT_EQ(DT::UINT8, CIMValue(UInt8(7)).getType());
  EXPECT_EQ(DT::UINT16, CIMValue(UInt16(7)).getType());
  EXPECT_EQ(DT::UINT32, CIMValue(UInt32(7)).getType());
  EXPECT_EQ(DT::SINT64, CIMValue(Int64(-7)).getType());
  // A C string must not turn into a boolean.
  EXPECT_EQ(DT::STRING, CIMValue("text").getType());
  EXPECT_EQ("text", CIMValue("text").toString());
  EXPECT_EQ(3600u, CIMValue(UInt32(3600)).toUInt32());
  EXPECT_TRUE(CIMValue(true).toBool());
  EXPECT_EQ("TRUE", CIMValue(true).toString());
  EXPECT_EQ("-7", CIMValue(Int64(-7)).toString());
  EXPECT_EQ("", CIMValue().toString());

  UInt16 u16 = 0;
  CIMValue(UInt16(5060)).get(u16);
  EXPECT_EQ(5060, u16);
  String s;
  CIMValue("x").get(s);
  EXPECT_EQ("x", s);
}

TEST(CIMValueTest, AccessorTypeMismatch) {
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue("5").toUInt16(); }));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue(UInt8(1)).toBool(); }));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue().toUInt32(); }));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue(true).toStringValue(); }));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue(UInt32(1)).toCIMDateTime(); }));
}

TEST(CIMValueTest, SignedSixtyFourConvertsToAnyIntegerInRange) {
  // The CIM-XML reader types numeric values as sint64.
  EXPECT_EQ(5060, CIMValue(Int64(5060)).toUInt16());
  EXPECT_EQ(255, CIMValue(Int64(255)).toUInt8());
  EXPECT_EQ(-128, CIMValue(Int64(-128)).toInt8());
  EXPECT_EQ(4294967295u, CIMValue(Int64(4294967295LL)).toUInt32());
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue(Int64(65536)).toUInt16(); }));
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue(Int64(-1)).toUInt8(); }));
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue(Int64(-1)).toUInt64(); }));
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue(Int64(128)).toInt8(); }));
  EXPECT_EQ(CIMException::INVALID_PARAMETER,
            statusOf([] { CIMValue(UInt64(0x8000000000000000ULL)).toInt64(); }));
}

TEST(CIMValueTest, FromTextByType) {
  struct Case {
    const char* text;
    DT::Type type;
    CIMException::ErrNoType status;
    const char* result;  // toString() of the result when accepted
  };
  const Case cases[] = {
      {"5060", DT::UINT16, CIMException::SUCCESS, "5060"},
      {" 42 ", DT::UINT8, CIMException::SUCCESS, "42"},
      {"+7", DT::UINT32, CIMException::SUCCESS, "7"},
      {"0x1F", DT::UINT16, CIMException::SUCCESS, "31"},
      {"-32768", DT::SINT16, CIMException::SUCCESS, "-32768"},
      {"18446744073709551615", DT::UINT64, CIMException::SUCCESS, "18446744073709551615"},
      {"-9223372036854775808", DT::SINT64, CIMException::SUCCESS, "-9223372036854775808"},
      {"65535", DT::UINT16, CIMException::SUCCESS, "65535"},
      {"65536", DT::UINT16, CIMException::INVALID_PARAMETER, 0},
      {"256", DT::UINT8, CIMException::INVALID_PARAMETER, 0},
      {"-1", DT::UINT32, CIMException::INVALID_PARAMETER, 0},
      {"-32769", DT::SINT16, CIMException::INVALID_PARAMETER, 0},
      {"18446744073709551616", DT::UINT64, CIMException::INVALID_PARAMETER, 0},
      {"99999999999999999999999", DT::SINT64, CIMException::INVALID_PARAMETER, 0},
      {"abc", DT::UINT16, CIMException::TYPE_MISMATCH, 0},
      {"12abc", DT::UINT32, CIMException::TYPE_MISMATCH, 0},
      {"", DT::UINT8, CIMException::TYPE_MISMATCH, 0},
      {"1.5", DT::UINT16, CIMException::TYPE_MISMATCH, 0},
      {"TRUE", DT::BOOLEAN, CIMException::SUCCESS, "TRUE"},
      {"false", DT::BOOLEAN, CIMException::SUCCESS, "FALSE"},
      {"yes", DT::BOOLEAN, CIMException::TYPE_MISMATCH, 0},
      {"1", DT::BOOLEAN, CIMException::TYPE_MISMATCH, 0},
      {"2.5", DT::REAL64, CIMException::SUCCESS, "2.5"},
      {"1e999", DT::REAL64, CIMException::INVALID_PARAMETER, 0},
      {"nan", DT::REAL64, CIMException::TYPE_MISMATCH, 0},
      {"any text", DT::STRING, CIMException::SUCCESS, "any text"},
      {"20261206201530.000000+060", DT::DATETIME, CIMException::SUCCESS, "20261206201530.000000+060"},
      {"2026-12-06", DT::DATETIME, CIMException::INVALID_PARAMETER, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " as " + DT::typeName(c.type));
    CIMValue v;
    EXPECT_EQ(c.status, statusOf([&] { v = CIMValue::fromText(c.text, c.type); }));
    if (c.status == CIMException::SUCCESS) {
      EXPECT_EQ(c.type, v.getType());
      EXPECT_EQ(c.result, v.toString());
    }
  }
}

TEST(CIMValueTest, RangeErrorNamesValueAndType) {
  try {
    CIMValue::fromText("70000", DT::UINT16);
    FAIL() << "no exception";
  } catch (const CIMException& e) {
    EXPECT_STREQ("Value 70000 is out of range for uint16", e.getMessage());
  }
}

TEST(CIMValueTest, ConvertTo) {
  // sint64 from the wire to the declared types.
  CIMValue port = CIMValue(Int64(5060)).convertTo(DT::UINT16);
  EXPECT_EQ(DT::UINT16, port.getType());
  EXPECT_EQ(5060, port.toUInt16());
  EXPECT_EQ(DT::UINT8, CIMValue("3").convertTo(DT::UINT8).getType());
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue(Int64(70000)).convertTo(DT::UINT16); }));
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([] { CIMValue("300").convertTo(DT::UINT8); }));
  // Any scalar has a text form; a number arriving for a string key is kept.
  EXPECT_EQ(CIMValue("17"), CIMValue(Int64(17)).convertTo(DT::STRING));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue(true).convertTo(DT::UINT8); }));
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue(UInt8(1)).convertTo(DT::BOOLEAN); }));
  EXPECT_TRUE(CIMValue().convertTo(DT::UINT16).isNull());
  EXPECT_EQ(CIMValue(UInt16(9)), CIMValue(UInt16(9)).convertTo(DT::UINT16));
}

TEST(CIMValueTest, ArraysAndEquality) {
  StringArray sa{"a", "b"};
  CIMValue v(sa);
  EXPECT_TRUE(v.isArray());
  EXPECT_EQ(2u, v.getArraySize());
  EXPECT_EQ(sa, v.toStringArray());
  EXPECT_EQ("a,b", v.toString());
  CIMValue numbers = CIMValue::createArray(DT::SINT64, {CIMValue(Int64(1)), CIMValue(Int64(300))});
  EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([&] { numbers.convertTo(DT::UINT8); }));
  EXPECT_EQ("1,300", numbers.convertTo(DT::UINT16).toString());
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([] { CIMValue::createArray(DT::UINT8, {CIMValue("x")}); }));

  // Reals print exactly and shortest, always as reals.
  EXPECT_EQ("0.1", CIMValue(Real64(0.1)).toString());
  EXPECT_EQ("0.1", CIMValue(Real32(0.1f)).toString());
  EXPECT_EQ("1500.0", CIMValue(Real64(1500)).toString());
  EXPECT_EQ(CIMValue(Real64(0.30000000000000004)),
            CIMValue::fromText(CIMValue(Real64(0.1 + 0.2)).toString(), DT::REAL64));

  EXPECT_EQ(CIMValue(UInt16(1)), CIMValue(UInt16(1)));
  EXPECT_NE(CIMValue(UInt16(1)), CIMValue(UInt32(1)));
  EXPECT_NE(CIMValue("a"), CIMValue("A"));
  EXPECT_NE(CIMValue(), CIMValue(""));
}

TEST(CIMDateTimeTest, ParsesBothForms) {
  CIMDateTime t(String("20240229235959.123456-300"));
  EXPECT_FALSE(t.isInterval());
  EXPECT_EQ(2024, t.getYear());
  EXPECT_EQ(2, t.getMonth());
  EXPECT_EQ(29, t.getDay());
  EXPECT_EQ(59, t.getSeconds());
  EXPECT_EQ(123456u, t.getMicroSeconds());
  EXPECT_EQ(-300, t.getUtcOffset());
  EXPECT_EQ("20240229235959.123456-300", t.toString());

  CIMDateTime i(String("00000012030405.000006:000"));
  EXPECT_TRUE(i.isInterval());
  EXPECT_EQ(12u, i.getDays());
  EXPECT_EQ(3, i.getHours());
  EXPECT_EQ("00000012030405.000006:000", i.toString());
  EXPECT_EQ(i, CIMDateTime(UInt64(((12ULL * 86400 + 3 * 3600 + 4 * 60 + 5) * 1000000) + 6)));
  EXPECT_EQ(CIMValue(t), CIMValue::fromText(t.toString(), DT::DATETIME));
}

TEST(CIMDateTimeTest, RejectsInvalidText) {
  const char* bad[] = {
      "",
      "20261206201530.000000+06",    // too short
      "20261206201530.000000+0600",  // too long
      "20261206201530,000000+060",   // separator
      "20261206201530.000000*060",   // sign
      "2026120620153a.000000+060",   // non-digit
      "20261306201530.000000+060",   // month 13
      "20260006201530.000000+060",   // month 0
      "20250229201530.000000+060",   // 29 February of a common year
      "20260431201530.000000+060",   // 31 April
      "20261206241530.000000+060",   // hour 24
      "20261206206030.000000+060",   // minute 60
      "20261206201560.000000+060",   // second 60
      "00000012030405.000006:001",   // interval must end in :000
      "2026120620153.0000000+060",   // misplaced point
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([&] { CIMDateTime d{String(text)}; }));
  }
}

TEST(CIMObjectPathTest, TextFormRoundTrip) {
  CIMObjectPath p("ZPX_DHCPService", "root/cimv2");
  p.setKeyValue("SystemName", CIMValue("ZPX \"main\" \\ box"));
  p.setKeyValue("Count", CIMValue(Int64(-3)));
  p.setKeyValue("Enabled", CIMValue(true));
  String text = p.toString();
  EXPECT_EQ("root/cimv2:ZPX_DHCPService.SystemName=\"ZPX \\\"main\\\" \\\\ box\",Count=-3,Enabled=TRUE",
            text);
  CIMObjectPath back = CIMObjectPath::parse(text);
  EXPECT_EQ(p, back);
  EXPECT_EQ("ZPX \"main\" \\ box", back.getKeyValue("systemname").toString());

  // A reference key nests a quoted path.
  CIMObjectPath assoc("ZPX_DHCPSettingDataInService", "root/cimv2");
  assoc.setKeyValue("Antecedent", CIMValue(p));
  CIMObjectPath parsed = CIMObjectPath::parse(assoc.toString());
  EXPECT_EQ(p, CIMObjectPath::parse(parsed.getKeyValue("Antecedent").toString()));

  CIMObjectPath hosted = CIMObjectPath::parse("//appliance/root/cimv2:ZPX_X.InstanceID=\"1\"");
  EXPECT_EQ("appliance", hosted.getHost());
  EXPECT_EQ("root/cimv2", hosted.getNameSpace());
  EXPECT_EQ("ZPX_X", hosted.getClassName());
  EXPECT_TRUE(CIMObjectPath::parse("ZPX_X").isClassPath());
}

TEST(CIMObjectPathTest, RejectsMalformedText) {
  const char* bad[] = {"",
                       "ns:",
                       "ns:ZPX_X.",
                       "ns:ZPX_X.Key",
                       "ns:ZPX_X.Key=\"open",
                       "ns:ZPX_X.K=1;K2=2",
                       "ns:ZPX_X.K=word",
                       "ns:ZPX X",
                       "//host"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_EQ(CIMException::INVALID_PARAMETER, statusOf([&] { CIMObjectPath::parse(text); }));
  }
}

TEST(CIMObjectPathTest, KeysAreCaseInsensitiveAndUnordered) {
  CIMObjectPath a("ZPX_X", "root/cimv2");
  a.setKeyValue("A", CIMValue("1")).setKeyValue("B", CIMValue("2"));
  CIMObjectPath b("zpx_x", "ROOT/cimv2");
  b.setKeyValue("b", CIMValue("2")).setKeyValue("a", CIMValue("1"));
  EXPECT_EQ(a, b);
  b.setKeyValue("B", CIMValue("3"));
  EXPECT_NE(a, b);
  EXPECT_EQ(2u, b.getKeys().size());
  EXPECT_FALSE(a.getKey("C"));
  EXPECT_TRUE(a.getKeyValue("C").isNull());
}

namespace {

CIMClass settingDataClass() {
  CIMClass c("ZPX_DHCPSettingData");
  c.addProperty(CIMProperty("InstanceID", CIMDataType(DT::STRING)).setQualifier(CIMQualifier::createKey()));
  c.addProperty(CIMProperty("s1Port", CIMDataType(DT::UINT16)));
  c.addProperty(CIMProperty("dhcpServerOnRouter", CIMDataType(DT::BOOLEAN)));
  CIMMethod m("renewDynamicIPAddress", CIMDataType(DT::UINT16));
  m.addParameter(CIMParameter("Delay", CIMDataType(DT::UINT32)));
  c.addMethod(m);
  return c;
}

}  // namespace

TEST(CIMClassTest, TypesIncomingValuesByDefinition) {
  CIMClass c = settingDataClass();
  CIMInstance inst("ZPX_DHCPSettingData");
  inst.setProperty("InstanceID", CIMValue(Int64(1)));
  inst.setProperty("S1PORT", CIMValue("5061"));
  inst.setProperty("dhcpServerOnRouter", CIMValue("true"));
  inst.setProperty("unknownProperty", CIMValue(Int64(70000)));
  CIMPropertyArray props = inst.getProperties();
  c.typeProperties(props);
  inst.setProperties(props);
  EXPECT_EQ(CIMValue("1"), inst.getPropertyValue("InstanceID"));
  EXPECT_EQ(CIMValue(UInt16(5061)), inst.getPropertyValue("s1Port"));
  EXPECT_EQ(DT::UINT16, inst.getProperty("s1Port").getDataType().getType());
  EXPECT_EQ(CIMValue(true), inst.getPropertyValue("dhcpServerOnRouter"));
  EXPECT_EQ(CIMValue(Int64(70000)), inst.getPropertyValue("unknownProperty"));

  CIMPropertyArray bad{CIMProperty("s1Port", CIMValue(Int64(70000)))};
  try {
    c.typeProperties(bad);
    FAIL() << "no exception";
  } catch (const CIMException& e) {
    EXPECT_EQ(CIMException::INVALID_PARAMETER, e.getErrNo());
    EXPECT_STREQ("Property \"s1Port\": Value 70000 is out of range for uint16", e.getMessage());
  }
  CIMPropertyArray arrayForScalar{CIMProperty("s1Port", CIMValue(StringArray{"1"}))};
  EXPECT_EQ(CIMException::TYPE_MISMATCH, statusOf([&] { c.typeProperties(arrayForScalar); }));

  CIMParamValueArray params{CIMParamValue("delay", CIMValue("10"))};
  c.getMethod("RenewDynamicIPAddress").typeParamValues(params);
  EXPECT_EQ(CIMValue(UInt32(10)), CIMParamValueGet(params, "Delay"));
}

TEST(CIMClassTest, InstancePathFromClassKeys) {
  CIMClass c = settingDataClass();
  EXPECT_TRUE(c.isKeyed());
  ASSERT_EQ(1u, c.getKeys().size());
  CIMInstance inst = c.newInstance();
  EXPECT_EQ(3u, inst.getProperties().size());
  inst.setProperty("InstanceID", CIMValue("Zelkor:ZPX_DHCPSettingData"));
  inst.setProperty("s1Port", CIMValue(UInt16(5060)));
  CIMObjectPath path = inst.createObjectPath("root/cimv2", c);
  ASSERT_EQ(1u, path.getKeys().size());
  EXPECT_EQ(CIMValue("Zelkor:ZPX_DHCPSettingData"), path.getKeyValue("InstanceID"));
  // Without a class, the instance's own Key qualifiers decide.
  EXPECT_TRUE(inst.createObjectPath("root/cimv2", CIMClass()).getKeys().empty());

  StringArray only{"S1PORT"};
  CIMInstance filtered = inst.filterProperties(&only, false);
  ASSERT_EQ(1u, filtered.getProperties().size());
  EXPECT_EQ("s1Port", filtered.getProperties()[0].getName());
  EXPECT_EQ(3u, inst.filterProperties(0, true).getProperties().size());
}

TEST(CIMInstanceTest, PropertyLookupAndReplacement) {
  CIMInstance inst("ZPX_DHCPReservedAddress");
  EXPECT_FALSE(inst.getProperty("IPv4Address"));
  inst.setProperty(
      CIMProperty("IPv4Address", CIMValue("10.0.0.5")).setQualifier(CIMQualifier("Override", CIMValue("x"))));
  inst.setProperty("ipv4address", CIMValue("10.0.0.6"));
  ASSERT_EQ(1u, inst.getProperties().size());
  EXPECT_EQ("IPv4Address", inst.getProperties()[0].getName());
  EXPECT_EQ(CIMValue("10.0.0.6"), inst.getPropertyValue("IPv4Address"));
  EXPECT_TRUE(inst.getProperty("IPv4Address").getQualifier("override"));
  inst.setProperty("reservedMACAddr", CIMValue());
  EXPECT_TRUE(inst.getProperty("reservedMACAddr"));
  EXPECT_TRUE(inst.getPropertyValue("reservedMACAddr").isNull());
  inst.removeProperty("IPV4ADDRESS");
  EXPECT_EQ(1u, inst.getProperties().size());
}

TEST(CIMExceptionTest, MessageReachesCallerExactly) {
  try {
    OW_THROWCIMMSG(CIMException::INVALID_PARAMETER,
                   "The value of leaseTime is invalid.\n#CFG_000_0000,MOF_Props_X_leaseTime#");
  } catch (const std::exception& e) {
    const CIMException* ce = dynamic_cast<const CIMException*>(&e);
    ASSERT_NE(nullptr, ce);
    EXPECT_EQ(CIMException::INVALID_PARAMETER, ce->getErrNo());
    EXPECT_STREQ("The value of leaseTime is invalid.\n#CFG_000_0000,MOF_Props_X_leaseTime#",
                 ce->getMessage());
    EXPECT_GT(ce->getLine(), 0);
  }
  CIMException noMsg(__FILE__, __LINE__, CIMException::NOT_FOUND);
  EXPECT_STREQ("", noMsg.getMessage());
  EXPECT_STREQ("CIM_ERR_NOT_FOUND", noMsg.what());
  EXPECT_STREQ("CIM_ERR_METHOD_NOT_FOUND", CIMException::getCodeName(CIMException::METHOD_NOT_FOUND));
}
