// Text helpers shared by the model's readers (component configuration file,
// interface files, command output). Internal to the agent.
#ifndef TAVREL_AGENT_DHCPUTIL_INTERNAL_H
#define TAVREL_AGENT_DHCPUTIL_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#include "dhcpcomp.h"

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

// Severities of the appliance's alarm path: a raised alarm, and its end.
#define DHCP_ALARM_SEVERITY_MAJOR 2
#define DHCP_ALARM_SEVERITY_CLEARED 4
// What the diagnostics log keeps of an alarm text, terminator included.
#define DHCP_ALARM_TEXT_SIZE 100

// Raises alarm number through the appliance's alarm path, with text cut to
// DHCP_ALARM_TEXT_SIZE, and logs it with its number: a raised alarm as a
// warning, its end (DHCP_ALARM_SEVERITY_CLEARED) as a notice.
void dhcpUtilRaiseAlarm(uint32_t number, uint16_t severity, const char* text);

// Rebuilds the lease lists of all LANs, and their lease objects, from the
// text of a server lease file.
void dhcpCompBuildLeaseLists(const char* text, size_t size);

// The time the lease reader compares lease ends with; 0 (the default) is
// the system clock. For tests of files with fixed dates.
void dhcpCompSetLeaseClock(time_t now);

#endif
