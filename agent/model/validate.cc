// Checks of host names, domain names, descriptions, hardware addresses, VLAN
// id lists and addresses in an interface's network.
#include "model/validate.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "tavrel_agent_api.h"

namespace {

// Hardware address: six pairs, bare or joined by ":" or "-".
const size_t kMacPairs = 6;
const size_t kMacBareLength = 12;
const size_t kMacTextLength = 17;

// VLAN id list: at most 10 ids of 0..4095, each read from at most 5 characters.
const int kMaxVlanListItems = 10;
const size_t kMaxVlanItemChars = 5;
const int kMaxVlanId = 4095;

// The setting data's other-port properties hold at most this.
const uint32_t kMaxOtherCallServerPort = 9999;

bool isAsciiAlnum(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

int dhcpUtilIsValidHostName(const char* name) {
  if (name == nullptr) return 0;
  if (name[0] == '\0') return 1;
  bool labelStart = true;
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (labelStart) {
      if (!isAsciiAlnum(c)) return 0;
      labelStart = false;
    } else if (c == '.') {
      labelStart = true;
    } else if (!isAsciiAlnum(c) && c != '-' && c != '_') {
      return 0;
    }
  }
  return labelStart ? 0 : 1;
}

int dhcpUtilIsValidDomainName(const char* name) {
  if (name == nullptr) return 0;
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (!isAsciiAlnum(c) && c != '.' && c != '-') return 0;
  }
  return 1;
}

int dhcpUtilIsValidDescription(const char* text) {
  if (text == nullptr) return 0;
  for (const char* p = text; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == ',' || c < 0x20 || c == 0x7f) return 0;
  }
  return 1;
}

int dhcpUtilNormaliseMacAddr(char* mac) {
  char text[DHCP_MAC_ADDR_SIZE];
  size_t length = strnlen(mac, DHCP_MAC_ADDR_SIZE);
  if (mac[0] != '\0' && mac[1] != '\0' && mac[2] != '-' && mac[2] != ':') {
    if (length != kMacBareLength) return DHCP_RC_INVALID_MAC;
    size_t out = 0;
    for (size_t pair = 0; pair < kMacPairs; ++pair) {
      if (pair > 0) text[out++] = ':';
      text[out++] = mac[2 * pair];
      text[out++] = mac[2 * pair + 1];
    }
    text[out] = '\0';
  } else {
    if (length != kMacTextLength) return DHCP_RC_INVALID_MAC;
    memcpy(text, mac, kMacTextLength + 1);
  }
  for (size_t pair = 0; pair < kMacPairs; ++pair) {
    char* p = text + 3 * pair;
    bool last = pair + 1 == kMacPairs;
    if (!last && p[2] == '-') p[2] = ':';
    // Both digits are checked: a pair such as "0g" would break dhcpd.conf.
    if (dhcpUtilGetDigit(p[0]) > 15 || dhcpUtilGetDigit(p[1]) > 15) return DHCP_RC_INVALID_MAC;
    if (!last && p[2] != ':') return DHCP_RC_INVALID_MAC;
  }
  for (char* c = text; *c != '\0'; ++c) *c = static_cast<char>(toupper(static_cast<unsigned char>(*c)));
  memcpy(mac, text, kMacTextLength + 1);
  return DHCP_RC_OK;
}

int dhcpUtilIsUnicastMacAddr(const char* mac) {
  if (mac == nullptr || strnlen(mac, kMacTextLength + 1) != kMacTextLength) return 0;
  if (dhcpUtilGetDigit(mac[1]) & 1) return 0;
  for (const char* p = mac; *p != '\0'; ++p)
    if (*p != '0' && *p != ':') return 1;
  return 0;
}

int dhcpUtilIsStandardCallServerPort(uint32_t port) {
  return port == 7000 || port == 7300 || port == 4100 || port == 5000;
}

int dhcpUtilIsValidCallServerPort(uint32_t port) {
  return dhcpUtilIsStandardCallServerPort(port) || port <= kMaxOtherCallServerPort;
}

void dhcpUtilSplitCallServerPort(uint32_t number, uint32_t* port, uint32_t* otherPort) {
  if (dhcpUtilIsStandardCallServerPort(number)) {
    *port = number;
  } else {
    *otherPort = number;
    *port = 0;
  }
}

int dhcpCompVerifyVLANIds(char* list) {
  if (list == nullptr) return DHCP_RC_INVALID_VLAN_IDS;
  size_t total = strlen(list);
  if (strspn(list, "0123456789,") != total || strstr(list, ",,") != nullptr) return DHCP_RC_INVALID_VLAN_IDS;
  // A "," at the end closes the list; an empty item (at its start) is 0.
  int items = 0;
  for (const char* p = list; *p != '\0';) {
    size_t length = strcspn(p, ",");
    char item[kMaxVlanItemChars + 1];
    dhcpUtilCopyText(item, sizeof(item), p, length);
    if (++items > kMaxVlanListItems || length > kMaxVlanItemChars || atoi(item) > kMaxVlanId)
      return DHCP_RC_INVALID_VLAN_IDS;
    p += length;
    if (*p == ',') ++p;
  }
  return DHCP_RC_OK;
}

int dhcpUtilHasNetwork(const s_ethIpConfig* e) {
  return e->ipAddress.ipLong != 0 && e->netmask.ipLong != 0;
}

int dhcpUtilInInterfaceNetwork(const s_ethIpConfig* e, uint32_t address) {
  uint32_t mask = e->netmask.ipLong;
  return address != 0 && (address & mask) == (e->ipAddress.ipLong & mask);
}
