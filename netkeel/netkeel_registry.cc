/* Interface registry: key iteration, key decoding and the published IP. */
#include <net/if.h>
#include <stdio.h>
#include <string.h>

#include "VexShared.h"
#include "corvane.h"
#include "netkeel.h"
#include "netkeel_internal.h"
#include "torvo.h"

namespace {

/* All registry calls of the library use this area. */
constexpr int kRegistryArea = 5;

/* Iterator limits passed to the registry: key size, keys per level. */
constexpr int kIteratorMaxSubKeys = 60;
constexpr int kIteratorMaxKeys = 128;

/* Published-IP record: "PublishedIP\default" with "interface" (key of the
 * published interface) and "ipaddress" (its dotted quad, or the placeholder
 * "127.0.0.1" while the interface has no address). */
const char kPublishedIPKey[] = "PublishedIP\\default";
const char kPublishedInterface[] = "interface";
const char kPublishedAddress[] = "ipaddress";
const char kAddressPlaceholder[] = "127.0.0.1";
const char kCustomerLANKey[] = "if\\lan\\eth1";

/* Values on an interface's own key. */
const char kDescription[] = "description";
constexpr size_t kDescriptionSize = 32;
const char kVlanId[] = "vlanid";

/* Keys start with this prefix, then "<type>\<name>". */
const char kKeyPrefix[] = "if\\";
constexpr size_t kKeyPrefixLength = sizeof(kKeyPrefix) - 1;

/* Compared lengths of keys in the published-IP checks. */
constexpr size_t kPublishedKeyCompare = 100;

const char kInvalidText[] = "The Published IP address is invalid. The Published IP interface is: [%s].";
const char kInvalidVlanText[] =
    "The Published IP address is invalid. The Published IP interface is: [VLAN %d: %s].";
const char kResolvedText[] = "The invalid Published IP address issue has now been resolved.";
constexpr uint16_t kSeverityInvalid = 1;
constexpr uint16_t kSeverityResolved = 4;

int readPublishedInterface(char* key) {
  return VexGetRegEntryStringEx(kRegistryArea, kPublishedIPKey, kPublishedInterface, key,
                                NETKEEL_IF_KEY_SIZE);
}

/* Alarm 60006 naming the published interface by its description. */
void raisePublishedIPInvalid(const char* key, uint16_t type) {
  char description[kDescriptionSize] = {0};
  if (VexGetRegEntryStringEx(kRegistryArea, key, kDescription, description, sizeof(description)) != 0) {
    netkeelRaiseAlarm(NETKEEL_ALARM_PUBLISHED_IP_INVALID, kSeverityInvalid, kInvalidText, "Unknown");
    return;
  }
  description[sizeof(description) - 1] = '\0';
  uint16_t vlanId = 0;
  if (type == NETKEEL_IF_TYPE_VLAN && VexGetRegEntryUint16Ex(kRegistryArea, key, kVlanId, &vlanId) == 0) {
    netkeelRaiseAlarm(NETKEEL_ALARM_PUBLISHED_IP_INVALID, kSeverityInvalid, kInvalidVlanText, vlanId,
                      description);
    return;
  }
  netkeelRaiseAlarm(NETKEEL_ALARM_PUBLISHED_IP_INVALID, kSeverityInvalid, kInvalidText, description);
}

}  // namespace

int NetkeelBeginIteration(VexPdrKeyIterator* iterator) {
  return VexLevel2PdrKeyIteratorBegin(iterator, "if", NETKEEL_IF_KEY_SIZE, kIteratorMaxSubKeys,
                                      kIteratorMaxKeys);
}

int NetkeelBeginIterationForMedia(VexPdrKeyIterator* iterator, uint16_t type) {
  char key[NETKEEL_IF_KEY_SIZE];
  snprintf(key, sizeof(key), "%s%s", kKeyPrefix, mapIfTypeNumToName(type));
  return VexLevel1PdrKeyIteratorBegin(iterator, key, NETKEEL_IF_KEY_SIZE, kIteratorMaxKeys);
}

int NetkeelGetNextKey(VexPdrKeyIterator iterator, char* key) {
  return VexPdrKeyIteratorGetNextKey(iterator, key);
}

int NetkeelEndIteration(VexPdrKeyIterator iterator) {
  return VexPdrKeyIteratorEnd(iterator);
}

int NetkeelGetIfDataFromKey(const char* key, uint16_t* type, char* name) {
  /* split() may fill a field up to its own limit; the type table compares
   * only the first NETKEEL_IF_TYPE_NAME_SIZE characters. */
  char typeName[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  if (name != nullptr) {
    memset(name, 0, NETKEEL_IF_NAME_SIZE);
  }
  if (key == nullptr) {
    return NETKEEL_RC_NO_KEY;
  }
  if (name != nullptr && strlen(key) > kKeyPrefixLength) {
    split(key + kKeyPrefixLength, typeName, name, "\\");
  }
  if (type != nullptr) {
    *type = mapIfTypeNameToNum(typeName);
  }
  return 0;
}

int NetkeelFindIfIndexForIfKey(const char* key, uint16_t* ifIndex) {
  char name[NETKEEL_IF_NAME_SIZE];
  uint16_t type = 0;
  if (ifIndex != nullptr) {
    *ifIndex = 0;
  }
  const int result = NetkeelGetIfDataFromKey(key, &type, name);
  if (result == 0 && ifIndex != nullptr && name[0] != '\0') {
    *ifIndex = static_cast<uint16_t>(if_nametoindex(name));
  }
  return result;
}

int NetkeelGetIfKeyOfPublishedIP(char* key) {
  return readPublishedInterface(key);
}

int NetkeelIsPublishedIPInterface(const char* key, uint8_t* isPublished) {
  char publishedKey[NETKEEL_IF_KEY_SIZE] = {0};
  if (isPublished != nullptr) {
    *isPublished = 0;
  }
  int result = readPublishedInterface(publishedKey);
  if (result != 0) {
    NetkeelSanitizePublishedIP();
    result = readPublishedInterface(publishedKey);
  }
  if (result == 0 && key != nullptr && isPublished != nullptr &&
      strncmp(publishedKey, key, kPublishedKeyCompare) == 0) {
    *isPublished = 1;
  }
  return result;
}

int NetkeelSetIfKeyOfPublishedIP(const char* key) {
  if (key == nullptr) {
    return NETKEEL_RC_NO_KEY;
  }
  char oldKey[NETKEEL_IF_KEY_SIZE] = {0};
  const bool interfaceChanged =
      readPublishedInterface(oldKey) == 0 && strncmp(oldKey, key, NETKEEL_IF_KEY_SIZE) != 0;

  int result = VexSetRegEntryStringEx(kRegistryArea, kPublishedIPKey, kPublishedInterface, key);
  if (result != 0) {
    return result;
  }

  char oldAddress[NETKEEL_IP_TEXT_SIZE] = {0};
  if (VexGetRegEntryStringEx(kRegistryArea, kPublishedIPKey, kPublishedAddress, oldAddress,
                             sizeof(oldAddress)) != 0) {
    oldAddress[0] = '\0';
  }
  oldAddress[sizeof(oldAddress) - 1] = '\0';

  uint16_t type = NETKEEL_IF_TYPE_UNKNOWN;
  char name[NETKEEL_IF_NAME_SIZE];
  result = NetkeelGetIfDataFromKey(key, &type, name);
  if (result != 0) {
    return result;
  }
  const bool wasPlaceholder = strcmp(oldAddress, kAddressPlaceholder) == 0;

  /* A name unfit for a command line cannot carry an address. */
  char current[CORVANE_IP_TEXT_SIZE] = {0};
  if (netkeelIsSafeIfName(name)) {
    corvaneGetIPInfo(name, current, nullptr, nullptr);
    current[sizeof(current) - 1] = '\0';
  }
  const bool missing = current[0] == '\0';
  char address[NETKEEL_IP_TEXT_SIZE];
  osLStrCpyn(address, missing ? kAddressPlaceholder : current, sizeof(address));

  int storeResult = 0;
  if (strncmp(address, oldAddress, sizeof(address)) != 0) {
    storeResult = VexSetRegEntryStringEx(kRegistryArea, kPublishedIPKey, kPublishedAddress, address);
  }

  if (missing) {
    if (!(wasPlaceholder && !interfaceChanged)) {
      raisePublishedIPInvalid(key, type);
    }
    return NETKEEL_RC_PUBLISHED_IP_INVALID;
  }
  if (wasPlaceholder) {
    NetkeelGenerateAlarm(NETKEEL_ALARM_PUBLISHED_IP_RESOLVED, kSeverityResolved, kResolvedText);
  }
  return storeResult;
}

int NetkeelSanitizePublishedIP(void) {
  char key[NETKEEL_IF_KEY_SIZE] = {0};
  if (readPublishedInterface(key) != 0) {
    snprintf(key, sizeof(key), "%s", kCustomerLANKey);
  }
  key[sizeof(key) - 1] = '\0';
  return NetkeelSetIfKeyOfPublishedIP(key);
}
