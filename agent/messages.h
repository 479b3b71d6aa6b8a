// The agent's message catalogue: every event and alarm it writes to the
// system log, with its id, priority and text. Code names a message by its
// constant; dhcpCompLogEvent and dhcpCompRaiseAlarm write it, once the
// compiler has checked the arguments against the text's placeholders.
#pragma once

#include <stdarg.h>
#include <stdio.h>
#include <syslog.h>

#include <cstddef>
#include <string>
#include <type_traits>

#include "netkeel.h"

// Severities of the appliance's alarm path: a raised alarm, and its end.
#define DHCP_ALARM_SEVERITY_MAJOR 2
#define DHCP_ALARM_SEVERITY_CLEARED 4
// What the diagnostics log keeps of an alarm text, terminator included.
#define DHCP_ALARM_TEXT_SIZE 100
// Room for "{<id>} {<text>}<detail>" before its placeholders are filled.
#define DHCP_MESSAGE_FORMAT_SIZE 256

// Every message: name, id, syslog priority, alarm severity (0: an event, no
// alarm), the text between the braces and the text after them. Texts are
// printf formats taking %s (text), %d (int), %u (unsigned) and %zu (size_t).
// The appliance's log readers look for these ids and texts: they stay as
// they are. One id may have several texts.
#define DHCP_MESSAGES(MESSAGE)                                                                              \
  MESSAGE(DHCP_MSG_SERVICE_STARTED, 62000, LOG_NOTICE, 0, "TavrelAgent Service started.", "")               \
  MESSAGE(DHCP_MSG_SERVICE_STOPPED, 62001, LOG_NOTICE, 0, "TavrelAgent Service stopped.", "")               \
  MESSAGE(DHCP_MSG_CONFIG_FILE, 62004, LOG_ERR, 0, "Cannot open TavrelAgent config file: %s.", " (%s)")     \
  MESSAGE(DHCP_MSG_CONFIG_FILE_KEPT, 62004, LOG_ERR, 0, "Cannot open TavrelAgent config file: %s.",         \
          " (%s; the last good configuration is kept)")                                                     \
  MESSAGE(DHCP_MSG_FOREIGN_SERVER, 62005, LOG_ERR, 0,                                                       \
          "External Corporate DHCP Server detected on Customer LAN AND T20 has DHCP Server enabled for "    \
          "ALL Devices",                                                                                    \
          "")                                                                                               \
  MESSAGE(DHCP_MSG_NO_ROOM_FOR_RANGE, 62006, LOG_ERR, 0,                                                    \
          "LAN %s IP Network does not allow enough room for a default IP Address Range ", "")               \
  MESSAGE(DHCP_MSG_NO_CONFIG_OPTION, 62007, LOG_ERR, 0,                                                     \
          "TavrelAgent must use -c option to specify location of Config file.", "")                         \
  MESSAGE(DHCP_MSG_ROUTER_UNREACHABLE, 62008, LOG_ERR, 0,                                                   \
          "Integrated Routers DHCP Server: %s not reachable. Re-starting DHCP Client on Customer LAN.", "") \
  MESSAGE(DHCP_MSG_DEFAULT_ADDRESS, 62009, LOG_NOTICE, 0,                                                   \
          "TavrelAgent Assigned Default address to Customer LAN", "")                                       \
  MESSAGE(DHCP_MSG_CONFIG_FILE_WRITE, 62010, LOG_ERR, 0,                                                    \
          "Cannot write TavrelAgent config file: %s (%s); changes not saved.", "")                          \
  MESSAGE(DHCP_ALARM_POOL_EXHAUSTED, 60010, LOG_WARNING, DHCP_ALARM_SEVERITY_MAJOR,                         \
          "DHCP pool nearly exhausted, %s (%d%%)", "")                                                      \
  MESSAGE(DHCP_ALARM_POOL_RECOVERED, 60011, LOG_NOTICE, DHCP_ALARM_SEVERITY_CLEARED,                        \
          "DHCP pool has room again, %s (%d%%)", "")                                                        \
  MESSAGE(DHCP_ALARM_POOL_REMOVED, 60011, LOG_NOTICE, DHCP_ALARM_SEVERITY_CLEARED, "DHCP pool removed, %s", \
          "")                                                                                               \
  MESSAGE(DHCP_ALARM_FOREIGN_SERVER, 60012, LOG_WARNING, DHCP_ALARM_SEVERITY_MAJOR,                         \
          "Foreign DHCP server %s (%s) answers on %s", "")                                                  \
  MESSAGE(DHCP_ALARM_FOREIGN_OFFERS_DROPPED, 60012, LOG_WARNING, DHCP_ALARM_SEVERITY_MAJOR,                 \
          "Foreign DHCP servers: %zu further offers of this probe not recorded", "")                        \
  MESSAGE(DHCP_ALARM_FOREIGN_SERVER_GONE, 60013, LOG_NOTICE, DHCP_ALARM_SEVERITY_CLEARED,                   \
          "Foreign DHCP server %s (%s) no longer answers on %s", "")                                        \
  MESSAGE(DHCP_ALARM_FOREIGN_SERVERS_GONE, 60013, LOG_NOTICE, DHCP_ALARM_SEVERITY_CLEARED,                  \
          "Foreign DHCP servers: %d further servers no longer answer", "")

#define DHCP_MESSAGE_KEY(name, id, priority, severity, text, detail) name,
enum class e_dhcpMessage { DHCP_MESSAGES(DHCP_MESSAGE_KEY) };
#undef DHCP_MESSAGE_KEY

typedef struct s_dhcpMessage {
  int id;
  int priority;
  int severity;
  const char* text;
  const char* detail;
} s_dhcpMessage;

#define DHCP_MESSAGE_ROW(name, id, priority, severity, text, detail) {id, priority, severity, text, detail},
inline constexpr s_dhcpMessage g_dhcpMessages[] = {DHCP_MESSAGES(DHCP_MESSAGE_ROW)};
#undef DHCP_MESSAGE_ROW

// A message as a type of its own, so that its text is known where it is
// written and the arguments can be checked against it.
template <e_dhcpMessage M>
using DhcpMessage = std::integral_constant<e_dhcpMessage, M>;

#define DHCP_MESSAGE_CONSTANT(name, id, priority, severity, text, detail) \
  inline constexpr DhcpMessage<e_dhcpMessage::name> name{};
DHCP_MESSAGES(DHCP_MESSAGE_CONSTANT)
#undef DHCP_MESSAGE_CONSTANT

// The conversion a printf argument of type T fits: 's', 'd', 'u' or 'z'
// (%zu); '?' for a type no message text takes.
template <typename T>
constexpr char dhcpMessageArgKind() {
  using V = std::decay_t<T>;
  if (std::is_same_v<V, const char*> || std::is_same_v<V, char*>) return 's';
  if (std::is_same_v<V, int>) return 'd';
  if (std::is_same_v<V, unsigned>) return 'u';
  if (std::is_same_v<V, size_t>) return 'z';
  return '?';
}

// Whether the conversions of format take the argument kinds from kinds[at]
// on, in order; at moves past those it took.
constexpr bool dhcpMessageTakes(const char* format, const char* kinds, size_t& at) {
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    char kind = *p;
    if (kind == 'z') {
      if (p[1] != 'u') return false;
      ++p;
    } else if (kind != 's' && kind != 'd' && kind != 'u') {
      return false;
    }
    if (kinds[at] != kind) return false;
    ++at;
  }
  return true;
}

// Whether arguments of types Args fill the placeholders of m's text and
// detail exactly.
template <typename... Args>
constexpr bool dhcpMessageArgsFit(const s_dhcpMessage& m) {
  const char kinds[] = {dhcpMessageArgKind<Args>()..., '\0'};
  size_t at = 0;
  return dhcpMessageTakes(m.text, kinds, at) && dhcpMessageTakes(m.detail, kinds, at) && kinds[at] == '\0';
}

// Whether every message has a five-digit id and its line's format fits
// DHCP_MESSAGE_FORMAT_SIZE.
constexpr bool dhcpMessageFormatsFit() {
  for (const s_dhcpMessage& m : g_dhcpMessages) {
    size_t length = std::char_traits<char>::length(m.text) + std::char_traits<char>::length(m.detail);
    if (m.id < 10000 || m.id > 99999 || length + sizeof("{99999} {}") > DHCP_MESSAGE_FORMAT_SIZE)
      return false;
  }
  return true;
}
static_assert(dhcpMessageFormatsFit(), "a message id or text does not fit its line");

// The formats below come from the catalogue; dhcpCompLogEvent and
// dhcpCompRaiseAlarm have checked them against their arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

// Writes "{<id>} {<text>}<detail>" to the system log at m's priority, text
// and detail being formats whose placeholders the arguments fill in turn.
inline void dhcpMessageWrite(const s_dhcpMessage* m, const char* text, const char* detail, ...) {
  char format[DHCP_MESSAGE_FORMAT_SIZE];
  snprintf(format, sizeof(format), "{%d} {%s}%s", m->id, text, detail);
  va_list args;
  va_start(args, detail);
  vsyslog(m->priority, format, args);
  va_end(args);
}

// Formats alarm m's text, cut to DHCP_ALARM_TEXT_SIZE, raises the alarm
// through the appliance's alarm path and logs it with the text it raised.
inline void dhcpMessageRaise(const s_dhcpMessage* m, ...) {
  char text[DHCP_ALARM_TEXT_SIZE];
  va_list args;
  va_start(args, m);
  vsnprintf(text, sizeof(text), m->text, args);
  va_end(args);
  NetkeelGenerateAlarm(static_cast<uint32_t>(m->id), static_cast<uint16_t>(m->severity), text);
  dhcpMessageWrite(m, "%s", "", text);
}

#pragma GCC diagnostic pop

// Writes the event to the system log as "{<id>} {<text>}<detail>" at
// its priority, the placeholders filled from args.
template <e_dhcpMessage M, typename... Args>
void dhcpCompLogEvent(DhcpMessage<M>, Args... args) {
  constexpr const s_dhcpMessage& m = g_dhcpMessages[static_cast<int>(M)];
  static_assert(m.severity == 0, "an alarm is raised with dhcpCompRaiseAlarm");
  static_assert(dhcpMessageArgsFit<Args...>(m), "the arguments do not fit the message's placeholders");
  dhcpMessageWrite(&m, m.text, m.detail, args...);
}

// Raises the alarm with its text, the placeholders filled from args,
// and logs it as "{<id>} {<text>}": a raised alarm as a warning, its end as
// a notice.
template <e_dhcpMessage M, typename... Args>
void dhcpCompRaiseAlarm(DhcpMessage<M>, Args... args) {
  constexpr const s_dhcpMessage& m = g_dhcpMessages[static_cast<int>(M)];
  static_assert(m.severity != 0, "an event is written with dhcpCompLogEvent");
  static_assert(dhcpMessageArgsFit<Args...>(m), "the arguments do not fit the message's placeholders");
  dhcpMessageRaise(&m, args...);
}
