// Copies a text into a fixed record field only when it fits with its
// terminator; a text that does not fit is refused, never cut.
#ifndef TAVREL_DHCPPROV_COPY_TO_FIELD_H
#define TAVREL_DHCPPROV_COPY_TO_FIELD_H

#include <string.h>

#include <string>

template <size_t N>
bool TavrelCopyToField(char (&field)[N], const std::string& text) {
  if (text.size() >= N || text.find('\0') != std::string::npos) return false;
  memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

#endif
