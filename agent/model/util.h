// Address, number and text helpers of the model: address conversion, the
// readers' text scanning, whole-file and command-output reading, the host
// name, and the appliance's alarm path.
#ifndef TAVREL_AGENT_MODEL_UTIL_H
#define TAVREL_AGENT_MODEL_UTIL_H

#include <stddef.h>
#include <stdint.h>

#include "model/records.h"

#define DHCP_HOSTNAME_SIZE 64  // output of dhcpUtilGetHostname

TAVREL_EXTERN_C_BEGIN

// Validates a->ipString as an address (or netmask) and fills ipLong and
// ipOctets. A valid text is rewritten in canonical dotted-quad form, so the
// shorter, hexadecimal and octal forms that inet_aton accepts never travel
// further. With allowLoopback "127.0.0.1" is accepted as well. 0, or 320 with
// ipLong and ipOctets zero (the text is then left as it was).
int dhcpUtilConvertIPStringtoIPAddr(s_ipAddr* a, e_ipType type, bool allowLoopback);
// Rebuilds ipOctets and ipString from ipLong (0 gives the empty text).
void dhcpUtilConvertIPAddrLongtoIPAddr(s_ipAddr* a);
// Decimal text of value into out (at least 12 bytes); returns the number of
// digits, 0 for a negative value (written as "0").
int dhcpUtilIntToAscii(int value, char* out);
// Value of the leading decimal digits (no sign, wraps on overflow).
unsigned long dhcpUtilatoul(char* s);
// Hexadecimal digit value; NUL gives 255, any other character 254.
uint8_t dhcpUtilGetDigit(char c);
// Value of the first character as a hexadecimal digit; -1 when it is not
// one, 0 for the empty text.
int dhcpUtilAtoH(char* s);
// "W YYYY/MM/DD HH:MM:SS" (21 characters) becomes "YYYYMMDDHHMMSS.000000+000"
// in place (buffer of at least 26 bytes): 1, else 0 and the text unchanged,
// also when the fields are no real second of the calendar.
int dhcpUtilConvertLeaseTimeToOWTime(char* text);
// Host name from "HOSTNAME=" of /etc/sysconfig/network into out
// (DHCP_HOSTNAME_SIZE bytes, cut to fit). 1 when found, else 0, out unchanged.
int dhcpUtilGetHostname(char* out);

// Debug hooks; they have no effect.
void dhcpUtilDebugStop(int code);
void dhcpUtilDbgPrintDhcpConfig(s_dhcpCompConfig* cfg);
void dhcpUtilDbgPrintEthIpConfig(s_ethIpConfig* eth);

TAVREL_EXTERN_C_END

// Reads a whole file as text the appliance's way (corvaneFileOpenForRead,
// carriage returns turned into line feeds, zero byte appended). Returns a
// malloc'd text to free(), or null when it cannot be opened, memory ran out
// or it is longer than maxBytes (errno EFBIG).
char* dhcpUtilReadTextFile(const char* path, size_t maxBytes = SIZE_MAX);

// Runs a shell command and reads what it prints on standard output, at most
// maxBytes (the rest is discarded), with carriage returns turned into line
// feeds. Returns a malloc'd text to free(), or null when it cannot be run.
char* dhcpUtilReadCommandOutput(const char* command, size_t maxBytes);

// Copies len characters of src into dst (size bytes), cut to size - 1 and
// always terminated.
void dhcpUtilCopyText(char* dst, size_t size, const char* src, size_t len);

// First position in [p, end of line) holding one of stops; the newline or the
// terminating zero when none does.
const char* dhcpUtilFindInLine(const char* p, const char* stops);

// End of the line that p is in: its newline or the terminating zero.
const char* dhcpUtilLineEnd(const char* p);

// Leading decimal number as atoi reads it (blanks, sign, digits) without
// leaving the line, clamped to the int range instead of overflowing.
int dhcpUtilLeadingInt(const char* s);

// Empties an address: text and numbers zero.
void dhcpUtilClearIPAddr(s_ipAddr* a);

// Converts an address that came from outside (lease, vendor text); when it is
// not valid its text is emptied as well, so only checked text remains.
int dhcpUtilConvertUntrustedIPAddr(s_ipAddr* a, e_ipType type);

#endif
