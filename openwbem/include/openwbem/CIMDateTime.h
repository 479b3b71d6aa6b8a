// CIM datetime: a point in time "yyyymmddhhmmss.mmmmmm+UUU" (UUU: offset
// from UTC in minutes, sign '+' or '-') or an interval
// "ddddddddhhmmss.mmmmmm:000".
#ifndef OPENWBEM_CIMDATETIME_H
#define OPENWBEM_CIMDATETIME_H

#include "openwbem/String.h"
#include "openwbem/Types.h"

namespace OpenWBEM {

class CIMDateTime {
 public:
  // Length of the text form.
  static const unsigned TEXT_LENGTH = 25;

  // The zero interval.
  CIMDateTime() = default;
  // Parses the 25-character text form. Anything else (wrong length or
  // separators, non-digits, a month, day, hour, minute or second out of
  // range) throws CIMException(INVALID_PARAMETER) naming the text.
  explicit CIMDateTime(const String& text);
  // An interval of the given number of microseconds.
  explicit CIMDateTime(UInt64 microseconds);

  bool isInterval() const { return m_interval; }
  // For a point in time: year..seconds as written; days for an interval.
  UInt16 getYear() const { return m_year; }
  UInt8 getMonth() const { return m_month; }
  UInt8 getDay() const { return m_day; }
  UInt32 getDays() const { return m_days; }
  UInt8 getHours() const { return m_hours; }
  UInt8 getMinutes() const { return m_minutes; }
  UInt8 getSeconds() const { return m_seconds; }
  UInt32 getMicroSeconds() const { return m_microSeconds; }
  // Offset from UTC in minutes (0 for intervals).
  Int16 getUtcOffset() const { return m_utcOffset; }

  // The 25-character text form.
  String toString() const;

  bool operator==(const CIMDateTime& o) const;
  bool operator!=(const CIMDateTime& o) const { return !(*this == o); }

 private:
  UInt32 m_days = 0;
  UInt32 m_microSeconds = 0;
  UInt16 m_year = 0;
  Int16 m_utcOffset = 0;
  UInt8 m_month = 0;
  UInt8 m_day = 0;
  UInt8 m_hours = 0;
  UInt8 m_minutes = 0;
  UInt8 m_seconds = 0;
  bool m_interval = true;
};

}  // namespace OpenWBEM

#endif
