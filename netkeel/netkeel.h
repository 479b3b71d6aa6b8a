/* libnetkeel: the appliance's interface utilities. Interface registry
 * iteration and key decoding, the published IP address and its alarms,
 * address validation, interface bring-up and interface statistics.
 * All functions have C linkage; texts are NUL-terminated. */
#ifndef NETKEEL_H
#define NETKEEL_H

#include <stdint.h>

#include "VexShared.h"
#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* Buffer sizes fixed by the registry and by callers. */
#define NETKEEL_IF_KEY_SIZE 52       /* interface key "if\<type>\<name>" */
#define NETKEEL_IF_NAME_SIZE 32      /* interface name out of a key */
#define NETKEEL_IF_TYPE_NAME_SIZE 20 /* one entry of the type table */
#define NETKEEL_SPLIT_FIELD_SIZE 25  /* split() writes fields up to 24 characters */
#define NETKEEL_IP_TEXT_SIZE 16      /* dotted quad with terminator */
#define NETKEEL_ALARM_TEXT_SIZE 100  /* alarm texts are cut to 99 characters */

/* Interface type numbers (index of the type table). */
#define NETKEEL_IF_TYPE_LAN 0
#define NETKEEL_IF_TYPE_VLAN 1
#define NETKEEL_IF_TYPE_UNKNOWN 2

/* Result codes besides 0 and the registry's own. */
#define NETKEEL_RC_NO_KEY 13
#define NETKEEL_RC_PUBLISHED_IP_INVALID 21
#define NETKEEL_IFUP_OK 0
#define NETKEEL_IFUP_DUPLICATE_ADDRESS 183
#define NETKEEL_IFUP_FAILED 487
#define NETKEEL_G4_OK 0
#define NETKEEL_G4_SHORT_OUTPUT 1
#define NETKEEL_G4_NO_COMMAND 2

/* Alarms raised into the diagnostics log "LAN.log". */
#define NETKEEL_ALARM_DUPLICATE_IP 60005
#define NETKEEL_ALARM_PUBLISHED_IP_INVALID 60006
#define NETKEEL_ALARM_PUBLISHED_IP_RESOLVED 60007

/* Interface counters from /proc/net/dev. */
typedef struct s_operG2Stats {
  uint32_t timeStamp;
  uint64_t rxPackets;
  uint64_t rxBytes;
  uint64_t rxDropped;
  uint64_t rxErrors;
  uint64_t txPackets;
  uint64_t txBytes;
  uint64_t txDropped;
  uint64_t txErrors;
} s_operG2Stats;

/* VLAN interface counters from /proc/net/vlan/<name>. */
typedef struct s_operG3Stats {
  uint32_t timeStamp;
  uint64_t framesReceived;
  uint64_t bytesReceived;
  uint64_t multicastReceived;
  uint64_t framesTransmitted;
  uint64_t bytesTransmitted;
  uint64_t headroomIncreases;
  uint64_t encapsulationsOnTransmit;
} s_operG3Stats;

/* Traffic-control counters of one HTB class or queueing discipline; the
 * fourth counter is an HTB class's "borrowed" count or a discipline's
 * "overlimits" count. */
#define NETKEEL_G4_BLOCKS 9
typedef struct s_operG4Block {
  uint64_t sentBytes;
  uint64_t sentPackets;
  uint64_t dropped;
  uint64_t borrowedOrOverlimits;
} s_operG4Block;

typedef struct s_operG4Stats {
  uint32_t timeStamp;
  s_operG4Block blocks[NETKEEL_G4_BLOCKS];
} s_operG4Stats;

/* ---- Text utilities ---- */

/* Removes leading and trailing spaces (code 32) in place; null does nothing.
 * Empty text or text of spaces only becomes empty. */
TAVREL_EXPORT void trim(char* text);

/* Splits text at the first occurrence of separator into left and right
 * (each at least NETKEEL_SPLIT_FIELD_SIZE bytes, cleared by the caller) and
 * trims both. Does nothing when an argument is null or the separator is
 * absent; a part of 25 characters or more leaves both outputs untouched and
 * prints a message on standard output. */
TAVREL_EXPORT void split(const char* text, char* left, char* right, const char* separator);

/* Type number to name ("lan", "vlan", "unknown"); above 2 gives "unknown". */
TAVREL_EXPORT const char* mapIfTypeNumToName(uint16_t type);
/* Type name to number; null or no match gives 2 (unknown). */
TAVREL_EXPORT uint16_t mapIfTypeNameToNum(const char* name);

/* ---- Diagnostics ---- */

/* Writes one alarm entry to the diagnostics log; returns the result of
 * releasing the log module. */
TAVREL_EXPORT int NetkeelGenerateAlarm(uint32_t alarm, uint16_t severity, const char* text);

/* ---- Interface registry ---- */

/* Iteration over all interface keys, or over the keys of one type. Keys are
 * copied into buffers of NETKEEL_IF_KEY_SIZE bytes. GetNextKey returns
 * non-zero when no key is left. All return the registry's result. */
TAVREL_EXPORT int NetkeelBeginIteration(VexPdrKeyIterator* iterator);
TAVREL_EXPORT int NetkeelBeginIterationForMedia(VexPdrKeyIterator* iterator, uint16_t type);
TAVREL_EXPORT int NetkeelGetNextKey(VexPdrKeyIterator iterator, char* key);
TAVREL_EXPORT int NetkeelEndIteration(VexPdrKeyIterator iterator);

/* Decodes "if\<type>\<name>" into the type number and the interface name
 * (name: at least NETKEEL_IF_NAME_SIZE bytes). 0, or 13 for a null key. A
 * key without a second backslash gives type 2 and an empty name. */
TAVREL_EXPORT int NetkeelGetIfDataFromKey(const char* key, uint16_t* type, char* name);

/* Kernel interface index of the key's interface (0 when it does not exist);
 * returns the result of NetkeelGetIfDataFromKey. */
TAVREL_EXPORT int NetkeelFindIfIndexForIfKey(const char* key, uint16_t* ifIndex);

/* ---- Published IP ---- */

/* Key of the interface carrying the published address (buffer: at least
 * NETKEEL_IF_KEY_SIZE bytes). Registry result. */
TAVREL_EXPORT int NetkeelGetIfKeyOfPublishedIP(char* key);

/* Writes exactly one byte at isPublished: 1 when key names the published
 * interface, else 0 (a caller's zeroed wider flag thus becomes non-zero).
 * Sanitizes the published IP once when it cannot be read. Registry result
 * of the last read. */
TAVREL_EXPORT int NetkeelIsPublishedIPInterface(const char* key, uint8_t* isPublished);

/* Publishes the interface of key and stores its current address. Without an
 * address the placeholder "127.0.0.1" is stored, alarm 60006 is raised when
 * the address became invalid or the interface changed, and 21 is returned;
 * when an address replaces the placeholder alarm 60007 is raised. 0, 21 or
 * a registry result. */
TAVREL_EXPORT int NetkeelSetIfKeyOfPublishedIP(const char* key);

/* Re-publishes the recorded interface, or "if\lan\eth1" when none is
 * recorded; result of NetkeelSetIfKeyOfPublishedIP. */
TAVREL_EXPORT int NetkeelSanitizePublishedIP(void);

/* ---- Address validation ---- */

/* 1 when the address parses and its first octet is 1..223 but not 127. */
TAVREL_EXPORT int NetkeelIsValidIpAddress(const char* address);
/* 1 when the mask parses and its set bits are contiguous from the top;
 * *prefix receives the number of leading set bits (not written when the
 * text does not parse). */
TAVREL_EXPORT int NetkeelIsValidIpNetmask(const char* netmask, uint32_t* prefix);
/* address AND netmask as dotted quad into subnet (NETKEEL_IP_TEXT_SIZE
 * bytes); 1, or 0 when a text does not parse. */
TAVREL_EXPORT int NetkeelGetSubnetAddress(const char* address, const char* netmask, char* subnet);
/* 1 when the host part of the address is neither all zeros nor all ones. */
TAVREL_EXPORT int NetkeelIsHostAddressValid(const char* address, const char* netmask);

/* ---- Interface bring-up ---- */

/* Runs /sbin/ifup for the interface. 0 when it came up; 183 when another
 * host uses its address (alarm 60005 names the address); 487 for any other
 * failure, including a name that is not a valid interface name (nothing is
 * run then). */
TAVREL_EXPORT int NetkeelExecuteIfUp(const char* ifName);

/* ---- Interface statistics ---- */

/* Runs command and reads one unsigned decimal number into *counter (0 when
 * none is printed). Returns the pipe's close status, or 0 without touching
 * *counter when the command cannot be started. */
TAVREL_EXPORT int getStatValue(const char* command, uint64_t* counter);

/* Counters of the interface from /proc/net/dev, time-stamped. Always 0. An
 * invalid interface name, or a pipeline that cannot be started, leaves the
 * record cleared without a time stamp. */
TAVREL_EXPORT int NetkeelGetUpdOperG2Stats(const char* ifName, s_operG2Stats* stats);

/* Counters of the VLAN interface from /proc/net/vlan, time-stamped; a
 * missing file or label gives 0. Always 0. An invalid interface name leaves
 * the record cleared without a time stamp. */
TAVREL_EXPORT int NetkeelGetUpdOperG3Stats(const char* ifName, s_operG3Stats* stats);

/* Traffic-control counters of the interface: its HTB classes in blocks
 * 0, 1, ... in tc's order, or without HTB its queueing disciplines from
 * block 8 down. Each class or discipline is read from its own output lines,
 * so words tc adds there ("pkt", "requeues") are skipped; a counter its line
 * lacks keeps its value. 0 when all nine blocks were read (time-stamped);
 * 1 when tc's output ended first (blocks read so far are updated, no time
 * stamp); 2 when a command cannot be started or the interface name is
 * invalid (record untouched). */
TAVREL_EXPORT int NetkeelGetUpdOperG4Stats(const char* ifName, s_operG4Stats* stats);

TAVREL_EXTERN_C_END

#endif
