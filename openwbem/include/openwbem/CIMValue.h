// A typed CIM value: null, a scalar of one of the CIM types, or an array of
// scalars of one type. Copies are cheap (references and arrays are shared,
// immutable).
#ifndef OPENWBEM_CIMVALUE_H
#define OPENWBEM_CIMVALUE_H

#include "openwbem/CIMDataType.h"
#include "openwbem/CIMDateTime.h"
#include "openwbem/CIMFwd.h"
#include "openwbem/String.h"
#include "openwbem/Types.h"

#include <memory>
#include <string>
#include <variant>

namespace OpenWBEM {

class CIMValue {
 public:
  // The null value.
  CIMValue() = default;
  explicit CIMValue(bool v);
  explicit CIMValue(UInt8 v);
  explicit CIMValue(Int8 v);
  explicit CIMValue(UInt16 v);
  explicit CIMValue(Int16 v);
  explicit CIMValue(UInt32 v);
  explicit CIMValue(Int32 v);
  explicit CIMValue(UInt64 v);
  explicit CIMValue(Int64 v);
  explicit CIMValue(Real32 v);
  explicit CIMValue(Real64 v);
  explicit CIMValue(const String& v);
  explicit CIMValue(const char* v);
  explicit CIMValue(const std::string& v);
  explicit CIMValue(const CIMDateTime& v);
  // A reference value.
  explicit CIMValue(const CIMObjectPath& v);
  // A string array.
  explicit CIMValue(const StringArray& v);

  // An array of elementType. Every element must be null or of
  // elementType, else CIMException(TYPE_MISMATCH).
  static CIMValue createArray(CIMDataType::Type elementType, const CIMValueArray& elements);

  // Typed value from text: integers in decimal (optional sign) or
  // hexadecimal ("0x1F"), booleans "true"/"false" in any case, reals,
  // datetimes in the 25-character form, references as object path text.
  // Text that is not of the type throws CIMException(TYPE_MISMATCH), a
  // number out of the type's range CIMException(INVALID_PARAMETER), an
  // invalid datetime or object path CIMException(INVALID_PARAMETER).
  static CIMValue fromText(const String& text, CIMDataType::Type type);

  // This value as the given type: a copy when it already is; text parsed as
  // fromText; any integer to any integer type, range-checked
  // (INVALID_PARAMETER when out of range); integers to reals; any scalar to
  // STRING as its text form. A null value stays null. Other combinations
  // throw CIMException(TYPE_MISMATCH). Array values convert element-wise.
  CIMValue convertTo(CIMDataType::Type type) const;

  bool isNull() const { return m_type == CIMDataType::CIMNULL; }
  explicit operator bool() const { return !isNull(); }
  bool operator!() const { return isNull(); }
  bool isArray() const { return m_isArray; }
  // Element type (CIMNULL for the null value).
  CIMDataType::Type getType() const { return m_type; }
  // Full type, with the array flag and a reference's class name.
  CIMDataType getCIMDataType() const;
  // Number of elements of an array value (0 for scalars).
  std::size_t getArraySize() const;
  // Elements of an array value (empty for scalars).
  const CIMValueArray& getArray() const;

  // Accessors. Each throws CIMException(TYPE_MISMATCH) when the value is
  // null, an array, or of another type; the integer accessors accept any
  // integer value that fits the requested type (and throw
  // CIMException(INVALID_PARAMETER) when it does not fit).
  bool toBool() const;
  UInt8 toUInt8() const;
  Int8 toInt8() const;
  UInt16 toUInt16() const;
  Int16 toInt16() const;
  UInt32 toUInt32() const;
  Int32 toInt32() const;
  UInt64 toUInt64() const;
  Int64 toInt64() const;
  Real32 toReal32() const;
  Real64 toReal64() const;
  CIMDateTime toCIMDateTime() const;
  CIMObjectPath toCIMObjectPath() const;
  // The text of a string value (TYPE_MISMATCH for other types).
  const String& toStringValue() const;
  StringArray toStringArray() const;

  void get(bool& x) const { x = toBool(); }
  void get(UInt8& x) const { x = toUInt8(); }
  void get(Int8& x) const { x = toInt8(); }
  void get(UInt16& x) const { x = toUInt16(); }
  void get(Int16& x) const { x = toInt16(); }
  void get(UInt32& x) const { x = toUInt32(); }
  void get(Int32& x) const { x = toInt32(); }
  void get(UInt64& x) const { x = toUInt64(); }
  void get(Int64& x) const { x = toInt64(); }
  void get(Real32& x) const { x = toReal32(); }
  void get(Real64& x) const { x = toReal64(); }
  void get(String& x) const { x = toStringValue(); }
  void get(CIMDateTime& x) const;
  void get(CIMObjectPath& x) const;
  void get(StringArray& x) const { x = toStringArray(); }

  // Text form of any value: strings as they are, integers in decimal,
  // booleans "TRUE"/"FALSE", datetimes in the 25-character form,
  // references as object path text, arrays as their elements joined by
  // ","; "" for the null value.
  String toString() const;

  // Same type and equal contents.
  bool equal(const CIMValue& o) const;
  bool operator==(const CIMValue& o) const { return equal(o); }
  bool operator!=(const CIMValue& o) const { return !equal(o); }

 private:
  typedef std::variant<std::monostate, bool, UInt64, Int64, Real64, String, CIMDateTime,
                       std::shared_ptr<const CIMObjectPath>, std::shared_ptr<const CIMValueArray>>
      Data;

  UInt64 unsignedRep() const;
  Int64 signedRep() const;

  Data m_data;
  CIMDataType::Type m_type = CIMDataType::CIMNULL;
  bool m_isArray = false;
};

}  // namespace OpenWBEM

#endif
