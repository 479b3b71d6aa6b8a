/* Text utilities and the interface type table. */
#include <stdio.h>
#include <string.h>

#include "netkeel.h"

namespace {

/* Type table indexed by the type number. */
const char g_ifEndPointType[][NETKEEL_IF_TYPE_NAME_SIZE] = {"lan", "vlan", "unknown"};
constexpr uint16_t kIfTypeCount = sizeof(g_ifEndPointType) / sizeof(g_ifEndPointType[0]);

}  // namespace

void trim(char* text) {
  if (text == nullptr) {
    return;
  }
  size_t end = strlen(text);
  size_t start = 0;
  while (start < end && text[start] == ' ') {
    ++start;
  }
  while (end > start && text[end - 1] == ' ') {
    --end;
  }
  memmove(text, text + start, end - start);
  text[end - start] = '\0';
}

void split(const char* text, char* left, char* right, const char* separator) {
  if (text == nullptr || left == nullptr || right == nullptr || separator == nullptr ||
      separator[0] == '\0') {
    return;
  }
  const char* at = strstr(text, separator);
  if (at == nullptr) {
    return;
  }
  const size_t leftLength = static_cast<size_t>(at - text);
  const char* after = at + 1;
  const size_t rightLength = strlen(after);
  if (leftLength >= NETKEEL_SPLIT_FIELD_SIZE || rightLength >= NETKEEL_SPLIT_FIELD_SIZE) {
    printf("Unexpected long field in rule file!, reformat it pls!\n");
    return;
  }
  /* left is terminated by the caller's clearing, right by the copy. */
  memcpy(left, text, leftLength);
  memcpy(right, after, rightLength + 1);
  trim(left);
  trim(right);
}

const char* mapIfTypeNumToName(uint16_t type) {
  if (type >= kIfTypeCount) {
    return g_ifEndPointType[NETKEEL_IF_TYPE_UNKNOWN];
  }
  return g_ifEndPointType[type];
}

uint16_t mapIfTypeNameToNum(const char* name) {
  if (name == nullptr) {
    return NETKEEL_IF_TYPE_UNKNOWN;
  }
  for (uint16_t type = 0; type < kIfTypeCount; ++type) {
    if (strncmp(g_ifEndPointType[type], name, NETKEEL_IF_TYPE_NAME_SIZE) == 0) {
      return type;
    }
  }
  return NETKEEL_IF_TYPE_UNKNOWN;
}
