/* Alarms into the maker's diagnostics log. */
#include <stdarg.h>
#include <stdio.h>

#include "netkeel.h"
#include "netkeel_internal.h"

namespace {

/* Diagnostics identity of this library. */
const char kModuleFile[] = "libnetkeel.so";
const char kModuleTag[] = "NETKEEL";
const char kLogFile[] = "LAN.log";
constexpr int kEntryKindAlarm = 2;

}  // namespace

int NetkeelGenerateAlarm(uint32_t alarm, uint16_t severity, const char* text) {
  /* The module is registered around each alarm: the library keeps no state. */
  uint32_t handle = UINT32_MAX;
  VexDiagRegisterModule(kModuleFile, kModuleTag, 0, kLogFile, &handle);
  VexDiagAddLogEntry(handle, kEntryKindAlarm, severity, alarm, text != nullptr ? text : "");
  return VexDiagDeregisterModule(handle);
}

void netkeelRaiseAlarm(uint32_t alarm, uint16_t severity, const char* format, ...) {
  char text[NETKEEL_ALARM_TEXT_SIZE] = {0};
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  NetkeelGenerateAlarm(alarm, severity, text);
}
