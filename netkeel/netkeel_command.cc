/* Safe construction of the shell commands the library runs. */
#include <stdarg.h>
#include <stdio.h>

#include "corvane.h"
#include "netkeel_internal.h"

bool netkeelFormatCommand(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = vsnprintf(buffer, size, format, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool netkeelIsSafeIfName(const char* name) {
  return name != nullptr && corvaneIsValidInterfaceName(name);
}
