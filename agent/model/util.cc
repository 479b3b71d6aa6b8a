// Address, number, lease-time and text helpers of the DHCP configuration model.
#include "model/util.h"

#include <arpa/inet.h>
#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "corvane.h"
#include "model/records.h"
#include "model/result.h"
#include "netkeel.h"
#include "tavrel_agent_api.h"

static const char kNetworkSettingsFile[] = "/etc/sysconfig/network";
static const char kHostnameKey[] = "HOSTNAME=";
static const char kLoopbackText[] = "127.0.0.1";

// "W YYYY/MM/DD HH:MM:SS" and its CIM date-time form.
static const size_t kLeaseTimeLength = 21;
static const char kOWTimeSuffix[] = ".000000+000";

// Octets and dotted-quad text of ipLong (written by hand: lease files
// convert an address per record).
static void splitIPAddr(s_ipAddr* a) {
  char* out = a->ipString;
  for (int i = 0; i < 4; ++i) {
    uint8_t octet = static_cast<uint8_t>(a->ipLong >> (24 - 8 * i));
    a->ipOctets[i] = octet;
    if (i > 0) *out++ = '.';
    if (octet >= 100) *out++ = static_cast<char>('0' + octet / 100);
    if (octet >= 10) *out++ = static_cast<char>('0' + octet / 10 % 10);
    *out++ = static_cast<char>('0' + octet % 10);
  }
  *out = '\0';
}

int dhcpUtilConvertIPStringtoIPAddr(s_ipAddr* a, e_ipType type, bool allowLoopback) {
  if (a == nullptr) return DHCP_RC_INVALID_ADDRESS;
  a->ipLong = 0;
  memset(a->ipOctets, 0, sizeof(a->ipOctets));
  a->ipString[sizeof(a->ipString) - 1] = '\0';

  bool valid;
  if (type == ipTypeNetmask) {
    uint32_t prefix = 0;
    valid = NetkeelIsValidIpNetmask(a->ipString, &prefix) != 0;
  } else {
    valid = NetkeelIsValidIpAddress(a->ipString) != 0 ||
            (allowLoopback && strcmp(a->ipString, kLoopbackText) == 0);
  }
  struct in_addr parsed;
  if (!valid || inet_aton(a->ipString, &parsed) == 0) return DHCP_RC_INVALID_ADDRESS;

  // The canonical text replaces forms such as "10.1" or "0x0a.1.2.3" (and
  // keeps "0.0.0.0", a valid netmask, as text).
  a->ipLong = ntohl(parsed.s_addr);
  splitIPAddr(a);
  return DHCP_RC_OK;
}

// Four groups of 1-3 decimal digits joined by ".", each 0-255 and without
// a leading zero, covering all of [text, text + length).
static bool isCanonicalDottedQuad(const char* text, size_t length) {
  const char* p = text;
  const char* end = text + length;
  for (int group = 0; group < 4; ++group) {
    if (group > 0 && (p == end || *p++ != '.')) return false;
    const char* digits = p;
    unsigned value = 0;
    while (p < end && p - digits < 3 && *p >= '0' && *p <= '9')
      value = value * 10 + static_cast<unsigned>(*p++ - '0');
    size_t count = static_cast<size_t>(p - digits);
    if (count == 0 || value > 255 || (count > 1 && digits[0] == '0')) return false;
  }
  return p == end;
}

int dhcpUtilConvertCanonicalIPAddr(s_ipAddr* a, const char* text, size_t length) {
  if (a == nullptr || text == nullptr || length >= sizeof(a->ipString) ||
      !isCanonicalDottedQuad(text, length))
    return DHCP_RC_INVALID_ADDRESS;
  s_ipAddr parsed;
  memset(&parsed, 0, sizeof(parsed));
  memcpy(parsed.ipString, text, length);
  if (dhcpUtilConvertIPStringtoIPAddr(&parsed, ipTypeAddress, false) != DHCP_RC_OK)
    return DHCP_RC_INVALID_ADDRESS;
  *a = parsed;
  return DHCP_RC_OK;
}

void dhcpUtilConvertIPAddrLongtoIPAddr(s_ipAddr* a) {
  if (a == nullptr) return;
  if (a->ipLong == 0) {
    memset(a->ipOctets, 0, sizeof(a->ipOctets));
    a->ipString[0] = '\0';
    return;
  }
  splitIPAddr(a);
}

int dhcpUtilIntToAscii(int value, char* out) {
  if (out == nullptr) return 0;
  if (value < 0) {
    strcpy(out, "0");
    return 0;
  }
  return snprintf(out, 12, "%d", value);
}

unsigned long dhcpUtilatoul(char* s) {
  unsigned long value = 0;
  if (s == nullptr) return 0;
  for (; *s >= '0' && *s <= '9'; ++s) value = value * 10 + static_cast<unsigned long>(*s - '0');
  return value;
}

uint8_t dhcpUtilGetDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  if (c == '\0') return 255;
  return 254;
}

int dhcpUtilAtoH(char* s) {
  if (s == nullptr) return 0;
  uint8_t digit = dhcpUtilGetDigit(s[0]);
  if (digit == 254) return -1;
  if (digit == 255) return 0;
  return digit;
}

// Every character of text matches its place in pattern: 'd' a digit, any
// other character itself.
static bool matchesPattern(const char* text, const char* pattern) {
  for (; *pattern != '\0'; ++pattern, ++text) {
    if (*pattern == 'd' ? !isdigit(static_cast<unsigned char>(*text)) : *text != *pattern) return false;
  }
  return *text == '\0';
}

static int digitsValue(const char* p, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value = value * 10 + (p[i] - '0');
  return value;
}

// 1 when the fields name a real second of the calendar (no 31 April, no
// leap second): the CIM date-time the text becomes must parse.
static int isCalendarTime(int year, int month, int day, int hour, int minute, int second) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return 0;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int dhcpUtilConvertLeaseTimeToOWTime(char* text) {
  // "W YYYY/MM/DD HH:MM:SS"
  if (text == nullptr || strlen(text) != kLeaseTimeLength || !matchesPattern(text, "d dddd/dd/dd dd:dd:dd") ||
      !isCalendarTime(digitsValue(text + 2, 4), digitsValue(text + 7, 2), digitsValue(text + 10, 2),
                      digitsValue(text + 13, 2), digitsValue(text + 16, 2), digitsValue(text + 19, 2)))
    return 0;
  // Year, month, day, hour, minute, second, then the fixed fraction and offset.
  static const int kFields[][2] = {{2, 4}, {7, 2}, {10, 2}, {13, 2}, {16, 2}, {19, 2}};
  char converted[DHCP_LEASE_TIME_TEXT_SIZE];
  char* out = converted;
  for (const int* field : kFields) {
    memcpy(out, text + field[0], static_cast<size_t>(field[1]));
    out += field[1];
  }
  memcpy(out, kOWTimeSuffix, sizeof(kOWTimeSuffix));
  strcpy(text, converted);
  return 1;
}

char* dhcpUtilReadTextFile(const char* path, size_t maxBytes) {
  FILE* fp = nullptr;
  long size = 0;
  if (!corvaneFileOpenForRead(const_cast<char*>(path), &fp, &size)) return nullptr;
  if (size >= 0 && static_cast<unsigned long>(size) > maxBytes) {
    fclose(fp);
    errno = EFBIG;
    return nullptr;
  }
  char* text = size >= 0 ? static_cast<char*>(malloc(static_cast<size_t>(size) + 1)) : nullptr;
  if (text == nullptr) {
    fclose(fp);
    return nullptr;
  }
  size_t got = fread(text, 1, static_cast<size_t>(size), fp);
  fclose(fp);
  corvaneRemove0Ds(text, static_cast<long>(got));
  text[got] = '\0';
  return text;
}

char* dhcpUtilReadCommandOutput(const char* command, size_t maxBytes) {
  // "e": the pipe is close-on-exec, no other child inherits it.
  FILE* pipe = popen(command, "re");
  if (pipe == nullptr) return nullptr;
  char* text = static_cast<char*>(malloc(maxBytes + 1));
  size_t got = 0;
  if (text != nullptr) got = fread(text, 1, maxBytes, pipe);
  char discard[512];
  while (fread(discard, 1, sizeof(discard), pipe) > 0) {}
  pclose(pipe);
  if (text == nullptr) return nullptr;
  corvaneRemove0Ds(text, static_cast<long>(got));
  text[got] = '\0';
  return text;
}

int dhcpUtilGetHostname(char* out) {
  corvaneRequestDHCPLANSemaphore();
  char* text = dhcpUtilReadTextFile(kNetworkSettingsFile);
  corvaneReleaseDHCPLANSemaphore();
  if (text == nullptr) return 0;
  int found = 0;
  const char* key = strstr(text, kHostnameKey);
  if (key != nullptr && out != nullptr) {
    const char* value = key + strlen(kHostnameKey);
    dhcpUtilCopyText(out, DHCP_HOSTNAME_SIZE, value, static_cast<size_t>(dhcpUtilLineEnd(value) - value));
    found = 1;
  }
  free(text);
  return found;
}

void dhcpUtilDebugStop(int) {}
void dhcpUtilDbgPrintDhcpConfig(s_dhcpCompConfig*) {}
void dhcpUtilDbgPrintEthIpConfig(s_ethIpConfig*) {}

void dhcpUtilCopyText(char* dst, size_t size, const char* src, size_t len) {
  if (size == 0) return;
  if (len > size - 1) len = size - 1;
  memcpy(dst, src, len);
  dst[len] = '\0';
}

const char* dhcpUtilFindInLine(const char* p, const char* stops) {
  while (*p != '\0' && *p != '\n' && strchr(stops, *p) == nullptr) ++p;
  return p;
}

const char* dhcpUtilLineEnd(const char* p) {
  return dhcpUtilFindInLine(p, "");
}

int dhcpUtilLeadingInt(const char* s) {
  if (s == nullptr) return 0;
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  long long value = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    value = value * 10 + (*s - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void dhcpUtilClearIPAddr(s_ipAddr* a) {
  memset(a, 0, sizeof(*a));
}

int dhcpUtilConvertUntrustedIPAddr(s_ipAddr* a, e_ipType type) {
  int rc = dhcpUtilConvertIPStringtoIPAddr(a, type, false);
  if (rc != DHCP_RC_OK) dhcpUtilClearIPAddr(a);
  return rc;
}
