/* Address validation and interface bring-up. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "netkeel.h"
#include "netkeel_internal.h"

namespace {

/* Commands of the bring-up are built in a buffer of this size. */
constexpr size_t kIfUpCommandSize = 128;
constexpr uint16_t kSeverityDuplicate = 1;

/* Parses text the way the system's inet_aton does, into host order. */
bool parseAddress(const char* text, uint32_t* value) {
  struct in_addr address;
  if (text == nullptr || inet_aton(text, &address) == 0) {
    return false;
  }
  *value = ntohl(address.s_addr);
  return true;
}

}  // namespace

int NetkeelIsValidIpAddress(const char* address) {
  uint32_t value = 0;
  if (!parseAddress(address, &value)) {
    return 0;
  }
  const uint32_t firstOctet = value >> 24;
  return firstOctet >= 1 && firstOctet <= 223 && firstOctet != 127 ? 1 : 0;
}

int NetkeelIsValidIpNetmask(const char* netmask, uint32_t* prefix) {
  uint32_t value = 0;
  if (!parseAddress(netmask, &value)) {
    return 0;
  }
  uint32_t count = 0;
  bool clearSeen = false;
  int valid = 1;
  for (int bit = 31; bit >= 0; --bit) {
    if ((value >> bit) & 1U) {
      if (clearSeen) {
        valid = 0;
        break;
      }
      ++count;
    } else {
      clearSeen = true;
    }
  }
  if (prefix != nullptr) {
    *prefix = count;
  }
  return valid;
}

int NetkeelGetSubnetAddress(const char* address, const char* netmask, char* subnet) {
  uint32_t addressValue = 0;
  uint32_t maskValue = 0;
  if (subnet == nullptr || !parseAddress(address, &addressValue) || !parseAddress(netmask, &maskValue)) {
    return 0;
  }
  struct in_addr network;
  network.s_addr = htonl(addressValue & maskValue);
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &network, text, sizeof(text)) == nullptr) {
    return 0;
  }
  snprintf(subnet, NETKEEL_IP_TEXT_SIZE, "%s", text);
  return 1;
}

int NetkeelIsHostAddressValid(const char* address, const char* netmask) {
  uint32_t addressValue = 0;
  uint32_t maskValue = 0;
  if (!parseAddress(address, &addressValue) || !parseAddress(netmask, &maskValue)) {
    return 0;
  }
  if ((addressValue | maskValue) == maskValue) {
    return 0;
  }
  if ((~maskValue | addressValue) == addressValue) {
    return 0;
  }
  return 1;
}

int NetkeelExecuteIfUp(const char* ifName) {
  if (!netkeelIsSafeIfName(ifName)) {
    return NETKEEL_IFUP_FAILED;
  }
  char command[kIfUpCommandSize];
  if (!netkeelFormatCommand(command, sizeof(command), "/sbin/ifup %s 2> /dev/null", ifName)) {
    return NETKEEL_IFUP_FAILED;
  }
  if (system(command) == 0) {
    return NETKEEL_IFUP_OK;
  }

  /* Second attempt through a pipe: the complaint about an address in use
   * is reduced to the address followed by one punctuation character. */
  if (!netkeelFormatCommand(
          command, sizeof(command),
          "/sbin/ifup %s  2> /dev/null | sed -e 's/Error, some other host already uses address //'",
          ifName)) {
    return NETKEEL_IFUP_FAILED;
  }
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) {
    return NETKEEL_IFUP_FAILED;
  }
  static_assert(kIfUpCommandSize == 128, "the scan width below is kIfUpCommandSize - 1");
  char word[kIfUpCommandSize] = {0};
  const int words = fscanf(pipe, "%127s", word);
  pclose(pipe);
  const size_t length = strlen(word);
  if (words != 1 || length == 0) {
    return NETKEEL_IFUP_FAILED;
  }
  word[length - 1] = '\0';

  /* Only a full dotted quad is taken as the duplicate address; other output
   * (a bare number, an interface name) is an ordinary failure. */
  struct in_addr duplicate;
  if (inet_pton(AF_INET, word, &duplicate) != 1) {
    return NETKEEL_IFUP_FAILED;
  }
  netkeelRaiseAlarm(NETKEEL_ALARM_DUPLICATE_IP, kSeverityDuplicate,
                    "Duplicate IP address %s has been detected on initialization of interface.", word);
  return NETKEEL_IFUP_DUPLICATE_ADDRESS;
}
