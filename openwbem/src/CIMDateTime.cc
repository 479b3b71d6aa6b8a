#include "openwbem/CIMDateTime.h"

#include "openwbem/CIMException.h"

#include <cstdio>

namespace OpenWBEM {

namespace {

const UInt64 MICROS_PER_SECOND = 1000000;
const UInt64 SECONDS_PER_DAY = 86400;
// Largest number of days the eight-digit field holds.
const UInt64 MAX_INTERVAL_DAYS = 99999999;

[[noreturn]] void invalid(const String& text, const char* why) {
  std::string msg = "Invalid CIM datetime \"" + text.toStdString() + "\": " + why;
  OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, msg.c_str());
}

// Value of the decimal digits text[pos, pos+len); -1 if any is not a digit.
long digits(const std::string& text, std::size_t pos, std::size_t len) {
  long v = 0;
  for (std::size_t i = pos; i < pos + len; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

bool isLeapYear(long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

long daysInMonth(long year, long month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

// Layout: yyyymmddhhmmss.mmmmmmsUUU (s is '+' or '-'), or for an interval
// ddddddddhhmmss.mmmmmm:000.
CIMDateTime::CIMDateTime(const String& text) {
  const std::string& s = text.toStdString();
  if (s.size() != TEXT_LENGTH) invalid(text, "must be 25 characters long");
  if (s[14] != '.') invalid(text, "'.' expected at position 15");
  long hours = digits(s, 8, 2);
  long minutes = digits(s, 10, 2);
  long seconds = digits(s, 12, 2);
  long micros = digits(s, 15, 6);
  long tail = digits(s, 22, 3);
  if (hours < 0 || minutes < 0 || seconds < 0 || micros < 0 || tail < 0) invalid(text, "digits expected");
  if (hours > 23 || minutes > 59 || seconds > 59) invalid(text, "time of day out of range");

  if (s[21] == ':') {
    long days = digits(s, 0, 8);
    if (days < 0) invalid(text, "digits expected");
    if (tail != 0) invalid(text, "an interval must end in \":000\"");
    m_interval = true;
    m_days = static_cast<UInt32>(days);
  } else if (s[21] == '+' || s[21] == '-') {
    long year = digits(s, 0, 4);
    long month = digits(s, 4, 2);
    long day = digits(s, 6, 2);
    if (year < 0 || month < 0 || day < 0) invalid(text, "digits expected");
    if (month < 1 || month > 12) invalid(text, "month out of range");
    if (day < 1 || day > daysInMonth(year, month)) invalid(text, "day out of range");
    m_interval = false;
    m_year = static_cast<UInt16>(year);
    m_month = static_cast<UInt8>(month);
    m_day = static_cast<UInt8>(day);
    m_utcOffset = static_cast<Int16>(s[21] == '-' ? -tail : tail);
  } else {
    invalid(text, "'+', '-' or ':' expected at position 22");
  }
  m_hours = static_cast<UInt8>(hours);
  m_minutes = static_cast<UInt8>(minutes);
  m_seconds = static_cast<UInt8>(seconds);
  m_microSeconds = static_cast<UInt32>(micros);
}

CIMDateTime::CIMDateTime(UInt64 microseconds) {
  UInt64 secs = microseconds / MICROS_PER_SECOND;
  UInt64 days = secs / SECONDS_PER_DAY;
  if (days > MAX_INTERVAL_DAYS) {
    OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "CIM datetime interval longer than 99999999 days");
  }
  m_interval = true;
  m_microSeconds = static_cast<UInt32>(microseconds % MICROS_PER_SECOND);
  m_days = static_cast<UInt32>(days);
  secs %= SECONDS_PER_DAY;
  m_hours = static_cast<UInt8>(secs / 3600);
  m_minutes = static_cast<UInt8>(secs / 60 % 60);
  m_seconds = static_cast<UInt8>(secs % 60);
}

String CIMDateTime::toString() const {
  char buf[64];
  if (m_interval) {
    std::snprintf(buf, sizeof(buf), "%08u%02u%02u%02u.%06u:000", static_cast<unsigned>(m_days),
                  static_cast<unsigned>(m_hours), static_cast<unsigned>(m_minutes),
                  static_cast<unsigned>(m_seconds), static_cast<unsigned>(m_microSeconds));
  } else {
    int off = m_utcOffset;
    std::snprintf(buf, sizeof(buf), "%04u%02u%02u%02u%02u%02u.%06u%c%03d", static_cast<unsigned>(m_year),
                  static_cast<unsigned>(m_month), static_cast<unsigned>(m_day),
                  static_cast<unsigned>(m_hours), static_cast<unsigned>(m_minutes),
                  static_cast<unsigned>(m_seconds), static_cast<unsigned>(m_microSeconds),
                  off < 0 ? '-' : '+', off < 0 ? -off : off);
  }
  return String(buf);
}

bool CIMDateTime::operator==(const CIMDateTime& o) const {
  return m_interval == o.m_interval && m_days == o.m_days && m_year == o.m_year && m_month == o.m_month &&
         m_day == o.m_day && m_hours == o.m_hours && m_minutes == o.m_minutes && m_seconds == o.m_seconds &&
         m_microSeconds == o.m_microSeconds && m_utcOffset == o.m_utcOffset;
}

}  // namespace OpenWBEM
