// Typed values, datetimes, object paths and instances: conversions from text
// and from the sint64 the CIM-XML reader gives, range and type errors, and
// the String conversions beneath them.
#include "openwbem/CIMValue.h"
#include "openwbem/CIMClass.h"
#include "openwbem/CIMDateTime.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"

#include <gtest/gtest.h>

#include <functional>

using namespace OpenWBEM;
typedef CIMDataType DT;

namespace {

// The CIM status f raised (SUCCESS when none); the messages are checked with
// the class repository, whose typing errors carry them.
CIMException::ErrNoType statusOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const CIMException& e) {
    return e.getErrNo();
  }
  return CIMException::SUCCESS;
}

const CIMException::ErrNoType OK = CIMException::SUCCESS, RANGE = CIMException::INVALID_PARAMETER,
                              TYPE = CIMException::TYPE_MISMATCH;

}  // namespace

TEST(CIMValueTest, ConversionsFromTextAndBetweenTypes) {
  const struct {
    CIMValue in;
    DT::Type type;
    CIMException::ErrNoType status;
    const char* result;  // toString() of the result when accepted
  } cases[] = {
      {CIMValue(" 42 "), DT::UINT8, OK, "42"},
      {CIMValue("0x1F"), DT::UINT16, OK, "31"},
      {CIMValue("18446744073709551615"), DT::UINT64, OK, "18446744073709551615"},
      {CIMValue("-9223372036854775808"), DT::SINT64, OK, "-9223372036854775808"},
      {CIMValue("65536"), DT::UINT16, RANGE, 0},
      {CIMValue("-32769"), DT::SINT16, RANGE, 0},
      {CIMValue("18446744073709551616"), DT::UINT64, RANGE, 0},
      {CIMValue("99999999999999999999999"), DT::SINT64, RANGE, 0},
      {CIMValue("12abc"), DT::UINT32, TYPE, 0},
      {CIMValue(""), DT::UINT8, TYPE, 0},
      {CIMValue("false"), DT::BOOLEAN, OK, "FALSE"},
      {CIMValue("1"), DT::BOOLEAN, TYPE, 0},
      {CIMValue("1e999"), DT::REAL64, RANGE, 0},
      {CIMValue("nan"), DT::REAL64, TYPE, 0},
      {CIMValue("20261206201530.000000+060"), DT::DATETIME, OK, "20261206201530.000000+060"},
      {CIMValue("2026-12-06"), DT::DATETIME, RANGE, 0},
      {CIMValue(Int64(65535)), DT::UINT16, OK, "65535"},
      {CIMValue(Int64(-128)), DT::SINT8, OK, "-128"},
      {CIMValue(Int64(128)), DT::SINT8, RANGE, 0},
      {CIMValue(Int64(-1)), DT::UINT8, RANGE, 0},
      {CIMValue(Int64(17)), DT::STRING, OK, "17"},  // a number for a string key is kept
      {CIMValue(UInt8(1)), DT::BOOLEAN, TYPE, 0},
      {CIMValue::createArray(DT::SINT64, {CIMValue(Int64(1)), CIMValue(Int64(300))}), DT::UINT16, OK,
       "1,300"},
      {CIMValue::createArray(DT::SINT64, {CIMValue(Int64(1)), CIMValue(Int64(300))}), DT::UINT8, RANGE, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in.toString() + " as " + DT::typeName(c.type));
    CIMValue v;
    EXPECT_EQ(c.status, statusOf([&] { v = c.in.convertTo(c.type); }));
    if (c.status == OK) {
      EXPECT_EQ(c.type, v.getType());
      EXPECT_EQ(c.result, v.toString());
    }
  }
  EXPECT_EQ(4294967295u, CIMValue(Int64(4294967295LL)).toUInt32());
  EXPECT_EQ(RANGE, statusOf([] { CIMValue(Int64(-1)).toUInt64(); }));
  EXPECT_EQ(RANGE, statusOf([] { CIMValue(UInt64(0x8000000000000000ULL)).toInt64(); }));
  EXPECT_EQ(TYPE, statusOf([] { CIMValue("5").toUInt16(); }));
  EXPECT_EQ(TYPE, statusOf([] { CIMValue(true).toStringValue(); }));
  EXPECT_EQ(TYPE, statusOf([] { CIMValue::createArray(DT::UINT8, {CIMValue("x")}); }));
  EXPECT_EQ(DT::STRING, CIMValue("text").getType()) << "a C string must not turn into a boolean";
  // Reals print exactly and shortest, always as reals.
  EXPECT_EQ("0.1", CIMValue(Real32(0.1f)).toString());
  EXPECT_EQ("1500.0", CIMValue(Real64(1500)).toString());
  EXPECT_EQ(CIMValue(Real64(0.1 + 0.2)),
            CIMValue::fromText(CIMValue(Real64(0.1 + 0.2)).toString(), DT::REAL64));
  EXPECT_NE(CIMValue(), CIMValue(""));
  // Strings convert strictly too.
  EXPECT_EQ(-5, String(" -5 ").toInt32());
  EXPECT_EQ(14u, String("D\xC3\xBCsseldorf \xE2\x82\xAC \xF0\x9F\x98\x80").UTF8Length());
  for (const char* text : {"65536", "-1", "12x", "", "0x10"})
    EXPECT_THROW(String(text).toUInt16(), StringConversionException) << text;
  EXPECT_TRUE(String("true").toBool());
  EXPECT_EQ(2.5, String("2.5").toReal64());
  EXPECT_THROW(String("yes").toBool(), StringConversionException);
  EXPECT_THROW(String("2.5.1").toReal64(), StringConversionException);
}

TEST(CIMDateTimeTest, ParsesBothFormsAndRejectsInvalidText) {
  CIMDateTime t(String("20240229235959.123456-300"));
  EXPECT_FALSE(t.isInterval());
  EXPECT_EQ(-300, t.getUtcOffset());
  EXPECT_EQ("20240229235959.123456-300", t.toString());
  CIMDateTime i(String("00000012030405.000006:000"));
  EXPECT_TRUE(i.isInterval());
  EXPECT_EQ(i, CIMDateTime(UInt64(((12ULL * 86400 + 3 * 3600 + 4 * 60 + 5) * 1000000) + 6)));
  for (const char* text :
       {"", "20261206201530.000000+06", "20261206201530.000000+0600", "20261206201530,000000+060",
        "20261206201530.000000*060", "2026120620153a.000000+060", "20261306201530.000000+060",
        "20260006201530.000000+060", "20250229201530.000000+060", "20260431201530.000000+060",
        "20261206241530.000000+060", "20261206206030.000000+060", "20261206201560.000000+060",
        "00000012030405.000006:001"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RANGE, statusOf([&] { CIMDateTime d{String(text)}; }));
  }
}

TEST(CIMObjectPathTest, TextFormRoundTripAndErrors) {
  CIMObjectPath p("ZPX_DHCPService", "root/cimv2");
  p.setKeyValue("SystemName", CIMValue("ZPX \"main\" \\ box"));
  p.setKeyValue("Count", CIMValue(Int64(-3)));
  p.setKeyValue("Enabled", CIMValue(true));
  EXPECT_EQ("root/cimv2:ZPX_DHCPService.SystemName=\"ZPX \\\"main\\\" \\\\ box\",Count=-3,Enabled=TRUE",
            p.toString());
  // A reference key nests a quoted path.
  CIMObjectPath assoc("ZPX_DHCPSettingDataInService", "root/cimv2");
  assoc.setKeyValue("Antecedent", CIMValue(p));
  EXPECT_EQ(
      p, CIMObjectPath::parse(CIMObjectPath::parse(assoc.toString()).getKeyValue("antecedent").toString()));
  // Names compare case-insensitively, keys in any order.
  EXPECT_EQ(CIMObjectPath::parse("ROOT/cimv2:zpx_x.A=\"1\",b=\"2\""),
            CIMObjectPath::parse("root/cimv2:ZPX_X.B=\"2\",a=\"1\""));
  EXPECT_NE(CIMObjectPath::parse("ns:X.A=\"1\""), CIMObjectPath::parse("ns:X.A=\"2\""));
  CIMObjectPath hosted = CIMObjectPath::parse("//appliance/root/cimv2:ZPX_X.InstanceID=\"1\"");
  EXPECT_EQ("appliance", hosted.getHost());
  EXPECT_EQ("root/cimv2", hosted.getNameSpace());
  for (const char* text : {"", "ns:", "ns:ZPX_X.", "ns:ZPX_X.Key", "ns:ZPX_X.Key=\"open", "ns:ZPX_X.K=1;K2=2",
                           "ns:ZPX_X.K=word", "ns:ZPX X", "//host"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RANGE, statusOf([&] { CIMObjectPath::parse(text); }));
  }
}

// Properties are found by name in any case; setting one keeps its declared
// name, and its type when the value is null. Typing by the class is checked
// with the class repository.
TEST(CIMInstanceTest, PropertiesByNameInAnyCase) {
  CIMInstance inst("ZPX_DHCPSettingData");
  inst.setProperty(CIMProperty("InstanceID", CIMValue("a")));
  inst.setProperty(CIMProperty("s1Port", CIMDataType(DT::UINT16)));
  inst.setProperty("instanceid", CIMValue("Zelkor:ZPX_DHCPSettingData"));
  inst.setProperty("S1PORT", CIMValue());
  ASSERT_EQ(2u, inst.getProperties().size());
  EXPECT_EQ("InstanceID", inst.getProperties()[0].getName());
  EXPECT_EQ(CIMValue("Zelkor:ZPX_DHCPSettingData"), inst.getPropertyValue("INSTANCEID"));
  EXPECT_EQ(DT::UINT16, inst.getProperty("s1port").getDataType().getType());
  StringArray only{"S1PORT"};
  CIMPropertyArray filtered = inst.filterProperties(&only, false).getProperties();
  ASSERT_EQ(1u, filtered.size());
  EXPECT_EQ("s1Port", filtered[0].getName());
  // Without a class, the path takes the properties that carry a Key qualifier.
  CIMProperty key("InstanceID", CIMValue("k"));
  key.setQualifier(CIMQualifier::createKey());
  inst.setProperty(key).removeProperty("S1PORT").removeProperty("missing");
  EXPECT_EQ("ns:ZPX_DHCPSettingData.InstanceID=\"k\"", inst.createObjectPath("ns", CIMClass()).toString());
  EXPECT_EQ(1u, inst.getProperties().size());
}

// Status names as clients show them (tavrelctl), the pull statuses included;
// unassigned numbers are unknown.
TEST(CIMExceptionTest, CodeNames) {
  struct {
    int code;
    const char* name;
  } rows[] = {{17, "CIM_ERR_METHOD_NOT_FOUND"},
              {18, "CIM_ERR_UNKNOWN"},
              {21, "CIM_ERR_INVALID_ENUMERATION_CONTEXT"},
              {28, "CIM_ERR_SERVER_IS_SHUTTING_DOWN"},
              {29, "CIM_ERR_UNKNOWN"}};
  for (const auto& row : rows)
    EXPECT_STREQ(row.name, CIMException::getCodeName(static_cast<CIMException::ErrNoType>(row.code)))
        << row.code;
}
