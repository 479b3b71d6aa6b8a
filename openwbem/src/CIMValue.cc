#include "openwbem/CIMValue.h"

#include "NumberParse.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMObjectPath.h"

#include <cfloat>
#include <limits>

namespace OpenWBEM {

namespace {

typedef CIMDataType DT;

// Index of each alternative of CIMValue::Data.
enum Slot {
  SLOT_NULL,
  SLOT_BOOL,
  SLOT_UNSIGNED,
  SLOT_SIGNED,
  SLOT_REAL,
  SLOT_STRING,
  SLOT_DATETIME,
  SLOT_REFERENCE,
  SLOT_ARRAY
};

bool isUnsignedType(DT::Type t) {
  return t == DT::UINT8 || t == DT::UINT16 || t == DT::UINT32 || t == DT::UINT64;
}

bool isSignedType(DT::Type t) {
  return t == DT::SINT8 || t == DT::SINT16 || t == DT::SINT32 || t == DT::SINT64;
}

// Range of an integer type.
void integerBounds(DT::Type t, Int64& min, UInt64& max) {
  switch (t) {
    case DT::UINT8:
      min = 0;
      max = UINT8_MAX;
      break;
    case DT::SINT8:
      min = INT8_MIN;
      max = INT8_MAX;
      break;
    case DT::UINT16:
      min = 0;
      max = UINT16_MAX;
      break;
    case DT::SINT16:
      min = INT16_MIN;
      max = INT16_MAX;
      break;
    case DT::UINT32:
      min = 0;
      max = UINT32_MAX;
      break;
    case DT::SINT32:
      min = INT32_MIN;
      max = INT32_MAX;
      break;
    case DT::UINT64:
      min = 0;
      max = UINT64_MAX;
      break;
    default:
      min = INT64_MIN;
      max = INT64_MAX;
      break;
  }
}

const char* describe(DT::Type t, bool isArray) {
  if (t == DT::CIMNULL) return "null";
  return isArray ? "array" : DT::typeName(t);
}

[[noreturn]] void mismatch(DT::Type from, bool fromArray, DT::Type to) {
  std::string msg =
      std::string("Cannot convert a ") + describe(from, fromArray) + " value to " + DT::typeName(to);
  OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, msg.c_str());
}

[[noreturn]] void outOfRange(const std::string& valueText, DT::Type to) {
  std::string msg = "Value " + valueText + " is out of range for " + DT::typeName(to);
  OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, msg.c_str());
}

[[noreturn]] void notOfType(const String& text, DT::Type to) {
  std::string msg = "Value \"" + text.toStdString() + "\" is not a valid " + DT::typeName(to);
  OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, msg.c_str());
}

// A value of integer type t holding v, or INVALID_PARAMETER when v does
// not fit. Exactly one of the two representations is used.
CIMValue makeInteger(DT::Type t, bool isSigned, Int64 s, UInt64 u) {
  Int64 min;
  UInt64 max;
  integerBounds(t, min, max);
  bool fits = isSigned ? (s >= min && (s < 0 || static_cast<UInt64>(s) <= max)) : (u <= max);
  if (!fits) outOfRange(isSigned ? std::to_string(s) : std::to_string(u), t);
  switch (t) {
    case DT::UINT8:
      return CIMValue(static_cast<UInt8>(isSigned ? s : u));
    case DT::SINT8:
      return CIMValue(static_cast<Int8>(isSigned ? s : u));
    case DT::UINT16:
      return CIMValue(static_cast<UInt16>(isSigned ? s : u));
    case DT::SINT16:
      return CIMValue(static_cast<Int16>(isSigned ? s : u));
    case DT::UINT32:
      return CIMValue(static_cast<UInt32>(isSigned ? s : u));
    case DT::SINT32:
      return CIMValue(static_cast<Int32>(isSigned ? s : u));
    case DT::UINT64:
      return CIMValue(static_cast<UInt64>(isSigned ? s : u));
    default:
      return CIMValue(static_cast<Int64>(isSigned ? s : u));
  }
}

const CIMValueArray& emptyArray() {
  static const CIMValueArray empty;
  return empty;
}

}  // namespace

CIMValue::CIMValue(bool v) : m_data(std::in_place_index<SLOT_BOOL>, v), m_type(DT::BOOLEAN) {}
CIMValue::CIMValue(UInt8 v) : m_data(std::in_place_index<SLOT_UNSIGNED>, v), m_type(DT::UINT8) {}
CIMValue::CIMValue(Int8 v) : m_data(std::in_place_index<SLOT_SIGNED>, v), m_type(DT::SINT8) {}
CIMValue::CIMValue(UInt16 v) : m_data(std::in_place_index<SLOT_UNSIGNED>, v), m_type(DT::UINT16) {}
CIMValue::CIMValue(Int16 v) : m_data(std::in_place_index<SLOT_SIGNED>, v), m_type(DT::SINT16) {}
CIMValue::CIMValue(UInt32 v) : m_data(std::in_place_index<SLOT_UNSIGNED>, v), m_type(DT::UINT32) {}
CIMValue::CIMValue(Int32 v) : m_data(std::in_place_index<SLOT_SIGNED>, v), m_type(DT::SINT32) {}
CIMValue::CIMValue(UInt64 v) : m_data(std::in_place_index<SLOT_UNSIGNED>, v), m_type(DT::UINT64) {}
CIMValue::CIMValue(Int64 v) : m_data(std::in_place_index<SLOT_SIGNED>, v), m_type(DT::SINT64) {}
CIMValue::CIMValue(Real32 v) : m_data(std::in_place_index<SLOT_REAL>, v), m_type(DT::REAL32) {}
CIMValue::CIMValue(Real64 v) : m_data(std::in_place_index<SLOT_REAL>, v), m_type(DT::REAL64) {}
CIMValue::CIMValue(const String& v) : m_data(std::in_place_index<SLOT_STRING>, v), m_type(DT::STRING) {}
CIMValue::CIMValue(const char* v) : m_data(std::in_place_index<SLOT_STRING>, v), m_type(DT::STRING) {}
CIMValue::CIMValue(const std::string& v) : m_data(std::in_place_index<SLOT_STRING>, v), m_type(DT::STRING) {}
CIMValue::CIMValue(const CIMDateTime& v)
    : m_data(std::in_place_index<SLOT_DATETIME>, v), m_type(DT::DATETIME) {}

CIMValue::CIMValue(const CIMObjectPath& v)
    : m_data(std::in_place_index<SLOT_REFERENCE>, std::make_shared<const CIMObjectPath>(v)),
      m_type(DT::REFERENCE) {}

CIMValue::CIMValue(const StringArray& v) : m_type(DT::STRING), m_isArray(true) {
  auto elems = std::make_shared<CIMValueArray>();
  elems->reserve(v.size());
  for (const String& s : v) elems->push_back(CIMValue(s));
  m_data.emplace<SLOT_ARRAY>(std::move(elems));
}

CIMValue CIMValue::createArray(DT::Type elementType, const CIMValueArray& elements) {
  if (elementType == DT::CIMNULL)
    OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, "An array needs an element type");
  for (const CIMValue& e : elements) {
    if (e.isArray() || (!e.isNull() && e.getType() != elementType))
      mismatch(e.getType(), e.isArray(), elementType);
  }
  CIMValue v;
  v.m_type = elementType;
  v.m_isArray = true;
  v.m_data.emplace<SLOT_ARRAY>(std::make_shared<const CIMValueArray>(elements));
  return v;
}

CIMValue CIMValue::fromText(const String& text, DT::Type type) {
  const std::string& s = text.toStdString();
  switch (type) {
    case DT::STRING:
      return CIMValue(text);
    case DT::BOOLEAN: {
      bool b;
      if (detail::parseBool(s, b) != detail::PARSE_OK) notOfType(text, type);
      return CIMValue(b);
    }
    case DT::REAL32:
    case DT::REAL64: {
      Real64 r;
      detail::ParseResult pr = detail::parseReal(s, r);
      if (pr == detail::PARSE_SYNTAX) notOfType(text, type);
      if (pr == detail::PARSE_RANGE || (type == DT::REAL32 && (r > FLT_MAX || r < -FLT_MAX)))
        outOfRange(s, type);
      return type == DT::REAL32 ? CIMValue(static_cast<Real32>(r)) : CIMValue(r);
    }
    case DT::DATETIME:
      return CIMValue(CIMDateTime(text));
    case DT::REFERENCE:
      return CIMValue(CIMObjectPath::parse(text));
    case DT::CIMNULL:
      OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, "A value needs a type");
    default:
      break;
  }
  Int64 min;
  UInt64 max;
  integerBounds(type, min, max);
  detail::ParseResult pr;
  if (isSignedType(type)) {
    Int64 v = 0;
    pr = detail::parseSigned(s, min, static_cast<Int64>(max), true, v);
    if (pr == detail::PARSE_OK) return makeInteger(type, true, v, 0);
  } else {
    UInt64 v = 0;
    pr = detail::parseUnsigned(s, max, true, v);
    if (pr == detail::PARSE_OK) return makeInteger(type, false, 0, v);
  }
  if (pr == detail::PARSE_RANGE) outOfRange(s, type);
  notOfType(text, type);
}

CIMValue CIMValue::convertTo(DT::Type type) const {
  if (isNull() || (type == m_type && !m_isArray)) return *this;
  if (m_isArray) {
    if (type == m_type) return *this;
    CIMValueArray converted;
    converted.reserve(getArraySize());
    for (const CIMValue& e : getArray()) converted.push_back(e.convertTo(type));
    return createArray(type, converted);
  }
  if (type == DT::STRING) return CIMValue(toString());
  if (m_type == DT::STRING) return fromText(std::get<SLOT_STRING>(m_data), type);
  if (DT::isIntegerType(m_type) && DT::isIntegerType(type))
    return makeInteger(type, isSignedType(m_type), signedRep(), unsignedRep());
  if (DT::isIntegerType(m_type) && (type == DT::REAL32 || type == DT::REAL64)) {
    Real64 r = isSignedType(m_type) ? static_cast<Real64>(signedRep()) : static_cast<Real64>(unsignedRep());
    return type == DT::REAL32 ? CIMValue(static_cast<Real32>(r)) : CIMValue(r);
  }
  if (m_type == DT::REAL32 && type == DT::REAL64) return CIMValue(std::get<SLOT_REAL>(m_data));
  mismatch(m_type, m_isArray, type);
}

CIMDataType CIMValue::getCIMDataType() const {
  if (m_type == DT::REFERENCE && !m_isArray)
    return DT::reference(std::get<SLOT_REFERENCE>(m_data)->getClassName());
  return CIMDataType(m_type, m_isArray);
}

std::size_t CIMValue::getArraySize() const {
  return m_isArray ? std::get<SLOT_ARRAY>(m_data)->size() : 0;
}

const CIMValueArray& CIMValue::getArray() const {
  return m_isArray ? *std::get<SLOT_ARRAY>(m_data) : emptyArray();
}

UInt64 CIMValue::unsignedRep() const {
  return m_data.index() == SLOT_UNSIGNED ? std::get<SLOT_UNSIGNED>(m_data) : 0;
}

Int64 CIMValue::signedRep() const {
  return m_data.index() == SLOT_SIGNED ? std::get<SLOT_SIGNED>(m_data) : 0;
}

bool CIMValue::toBool() const {
  if (m_isArray || m_type != DT::BOOLEAN) mismatch(m_type, m_isArray, DT::BOOLEAN);
  return std::get<SLOT_BOOL>(m_data);
}

namespace {

template <class T>
T integerAs(const CIMValue& v, DT::Type target, bool isSigned, Int64 s, UInt64 u) {
  if (v.isArray() || !DT::isIntegerType(v.getType())) mismatch(v.getType(), v.isArray(), target);
  CIMValue c = makeInteger(target, isSigned, s, u);
  return static_cast<T>(isSignedType(target) ? c.toInt64() : c.toUInt64());
}

}  // namespace

// The integer accessors share one range check through makeInteger; the
// 64-bit ones read the representation directly.
UInt8 CIMValue::toUInt8() const {
  return integerAs<UInt8>(*this, DT::UINT8, isSignedType(m_type), signedRep(), unsignedRep());
}
Int8 CIMValue::toInt8() const {
  return integerAs<Int8>(*this, DT::SINT8, isSignedType(m_type), signedRep(), unsignedRep());
}
UInt16 CIMValue::toUInt16() const {
  return integerAs<UInt16>(*this, DT::UINT16, isSignedType(m_type), signedRep(), unsignedRep());
}
Int16 CIMValue::toInt16() const {
  return integerAs<Int16>(*this, DT::SINT16, isSignedType(m_type), signedRep(), unsignedRep());
}
UInt32 CIMValue::toUInt32() const {
  return integerAs<UInt32>(*this, DT::UINT32, isSignedType(m_type), signedRep(), unsignedRep());
}
Int32 CIMValue::toInt32() const {
  return integerAs<Int32>(*this, DT::SINT32, isSignedType(m_type), signedRep(), unsignedRep());
}

UInt64 CIMValue::toUInt64() const {
  if (m_isArray || !DT::isIntegerType(m_type)) mismatch(m_type, m_isArray, DT::UINT64);
  if (isSignedType(m_type)) {
    Int64 s = signedRep();
    if (s < 0) outOfRange(std::to_string(s), DT::UINT64);
    return static_cast<UInt64>(s);
  }
  return unsignedRep();
}

Int64 CIMValue::toInt64() const {
  if (m_isArray || !DT::isIntegerType(m_type)) mismatch(m_type, m_isArray, DT::SINT64);
  if (isUnsignedType(m_type)) {
    UInt64 u = unsignedRep();
    if (u > static_cast<UInt64>(INT64_MAX)) outOfRange(std::to_string(u), DT::SINT64);
    return static_cast<Int64>(u);
  }
  return signedRep();
}

Real32 CIMValue::toReal32() const {
  if (m_isArray || m_type != DT::REAL32) mismatch(m_type, m_isArray, DT::REAL32);
  return static_cast<Real32>(std::get<SLOT_REAL>(m_data));
}

Real64 CIMValue::toReal64() const {
  if (m_isArray || (m_type != DT::REAL64 && m_type != DT::REAL32)) mismatch(m_type, m_isArray, DT::REAL64);
  return std::get<SLOT_REAL>(m_data);
}

CIMDateTime CIMValue::toCIMDateTime() const {
  if (m_isArray || m_type != DT::DATETIME) mismatch(m_type, m_isArray, DT::DATETIME);
  return std::get<SLOT_DATETIME>(m_data);
}

CIMObjectPath CIMValue::toCIMObjectPath() const {
  if (m_isArray || m_type != DT::REFERENCE) mismatch(m_type, m_isArray, DT::REFERENCE);
  return *std::get<SLOT_REFERENCE>(m_data);
}

const String& CIMValue::toStringValue() const {
  if (m_isArray || m_type != DT::STRING) mismatch(m_type, m_isArray, DT::STRING);
  return std::get<SLOT_STRING>(m_data);
}

StringArray CIMValue::toStringArray() const {
  if (!m_isArray || m_type != DT::STRING)
    OW_THROWCIMMSG(CIMException::TYPE_MISMATCH, "The value is not a string array");
  StringArray out;
  out.reserve(getArraySize());
  for (const CIMValue& e : getArray()) out.push_back(e.isNull() ? String() : e.toStringValue());
  return out;
}

void CIMValue::get(CIMDateTime& x) const {
  x = toCIMDateTime();
}

void CIMValue::get(CIMObjectPath& x) const {
  x = toCIMObjectPath();
}

String CIMValue::toString() const {
  if (m_isArray) {
    String out;
    bool first = true;
    for (const CIMValue& e : getArray()) {
      if (!first) out += ',';
      out += e.toString();
      first = false;
    }
    return out;
  }
  switch (m_data.index()) {
    case SLOT_BOOL:
      return String(std::get<SLOT_BOOL>(m_data) ? "TRUE" : "FALSE");
    case SLOT_UNSIGNED:
      return String(std::get<SLOT_UNSIGNED>(m_data));
    case SLOT_SIGNED:
      return String(std::get<SLOT_SIGNED>(m_data));
    case SLOT_REAL:
      return String(detail::formatReal(std::get<SLOT_REAL>(m_data), m_type == DT::REAL32));
    case SLOT_STRING:
      return std::get<SLOT_STRING>(m_data);
    case SLOT_DATETIME:
      return std::get<SLOT_DATETIME>(m_data).toString();
    case SLOT_REFERENCE:
      return std::get<SLOT_REFERENCE>(m_data)->toString();
    default:
      return String();
  }
}

bool CIMValue::equal(const CIMValue& o) const {
  if (m_type != o.m_type || m_isArray != o.m_isArray) return false;
  switch (m_data.index()) {
    case SLOT_REFERENCE:
      return *std::get<SLOT_REFERENCE>(m_data) == *std::get<SLOT_REFERENCE>(o.m_data);
    case SLOT_ARRAY:
      return *std::get<SLOT_ARRAY>(m_data) == *std::get<SLOT_ARRAY>(o.m_data);
    default:
      return m_data == o.m_data;
  }
}

}  // namespace OpenWBEM
