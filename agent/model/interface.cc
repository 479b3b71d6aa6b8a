// Interface IP parameters: address, mask and addressing mode of each LAN
// interface from its ifcfg file and ifconfig, the DHCP client lease with the
// upstream router's vendor texts, and the VLAN ids of the customer LAN.
#include "model/interface.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "VexShared.h"
#include "corvane.h"
#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "model/validate.h"
#include "netkeel.h"
#include "tavrel_agent_api.h"

static_assert(DHCP_IP_STRING_SIZE >= CORVANE_LEASE_ADDR_SIZE, "lease addresses must fit");
static_assert(DHCP_DOMAIN_NAME_SIZE >= CORVANE_LEASE_DOMAIN_SIZE, "lease domain must fit");
static_assert(DHCP_LEASE_TIME_TEXT_SIZE >= CORVANE_LEASE_RENEW_SIZE, "renew text must fit");

namespace {

const char kIfcfgPrefix[] = "/etc/sysconfig/network-scripts/ifcfg-";
const char kIfconfigCommand[] = "/sbin/ifconfig %s";
// ifconfig prints a few hundred bytes per interface.
const size_t kIfconfigOutputMax = 16 * 1024;

// Registry store and value of the VLAN interfaces' ids.
const int kRegistryStore = 5;
const char kVlanIdValue[] = "vlanid";
const size_t kRegistryKeySize = 64;

// Vendor text buffers handed to libcorvane (it writes at most 200 bytes).
const size_t kVendorTextBufferSize = 208;
const char kVlanListMarker[] = "VLAN-A:";
const char kNoVlans[] = "none";
const uint32_t kNoVendorDhcpMode = 4;

// Value of "KEY=" at the start of a line of an ifcfg file, without blanks
// and one pair of surrounding quotes, as the network scripts read it.
bool ifcfgValue(const char* text, const char* key, std::string* value) {
  size_t keyLength = strlen(key);
  for (const char* line = text; *line != '\0';) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    const char* end = dhcpUtilLineEnd(line);
    if (strncmp(p, key, keyLength) == 0) {
      p += keyLength;
      while (end > p && (end[-1] == ' ' || end[-1] == '\t')) --end;
      if (end - p >= 2 && (*p == '"' || *p == '\'') && end[-1] == *p) {
        ++p;
        --end;
      }
      value->assign(p, static_cast<size_t>(end - p));
      return true;
    }
    line = *end == '\n' ? end + 1 : end;
  }
  return false;
}

// Copies [begin, end) into the address and converts it; text that is not a
// valid address leaves the address empty.
void setCheckedAddress(s_ipAddr* a, const char* begin, const char* end, e_ipType type) {
  dhcpUtilCopyText(a->ipString, sizeof(a->ipString), begin, static_cast<size_t>(end - begin));
  dhcpUtilConvertUntrustedIPAddr(a, type);
}

void setCheckedAddress(s_ipAddr* a, const std::string& text, e_ipType type) {
  setCheckedAddress(a, text.data(), text.data() + text.size(), type);
}

// The text after marker up to the first of stops (or the line end), or null
// when the marker is absent.
const char* valueAfter(const char* text, const char* marker, const char* stops, const char** end) {
  const char* hit = strstr(text, marker);
  if (hit == nullptr) return nullptr;
  const char* value = hit + strlen(marker);
  *end = dhcpUtilFindInLine(value, stops);
  return value;
}

// ifconfig output, in the classic form ("HWaddr ", "inet addr:", "Mask:")
// or in the current net-tools form ("ether ", "inet ", "netmask ").
void readIfconfigOutput(s_ethIpConfig* e, const char* text, bool takeAddress) {
  const char* end = nullptr;
  const char* value = valueAfter(text, "HWaddr ", "", &end);
  if (value == nullptr) value = valueAfter(text, "ether ", " ", &end);
  if (value != nullptr) {
    dhcpUtilCopyText(e->macAddress, sizeof(e->macAddress), value, static_cast<size_t>(end - value));
    for (char* c = e->macAddress; *c != '\0'; ++c) *c = static_cast<char>(toupper(*c));
  }
  if (!takeAddress) return;
  value = valueAfter(text, "inet addr:", " ", &end);
  if (value == nullptr) value = valueAfter(text, "inet ", " ", &end);
  if (value != nullptr) setCheckedAddress(&e->ipAddress, value, end, ipTypeAddress);
  value = valueAfter(text, "Mask:", "", &end);
  if (value == nullptr) value = valueAfter(text, "netmask ", " ", &end);
  if (value != nullptr) setCheckedAddress(&e->netmask, value, end, ipTypeNetmask);
}

void clearVendorCallServers(s_ethIpConfig* e) {
  dhcpUtilClearIPAddr(&e->vendorS1Address);
  dhcpUtilClearIPAddr(&e->vendorS2Address);
  e->vendorS1PortNumber = e->vendorS2PortNumber = 0;
  e->vendorS1Action = e->vendorS2Action = 0;
  e->vendorS1RetryCount = e->vendorS2RetryCount = 0;
  e->vendorVlanIds[0] = '\0';
}

// Reads the field at *p up to terminator; false when the text ends first.
bool takeVendorField(const char** p, char terminator, std::string* field) {
  const char* end = strchr(*p, terminator);
  if (end == nullptr) return false;
  field->assign(*p, static_cast<size_t>(end - *p));
  *p = end + 1;
  return true;
}

struct CallServer {
  std::string address, port, action, retryCount;
};

bool takeCallServer(const char** p, char last, CallServer* server) {
  return takeVendorField(p, ':', &server->address) && takeVendorField(p, ',', &server->port) &&
         takeVendorField(p, ',', &server->action) && takeVendorField(p, last, &server->retryCount);
}

// Action and retry count are CIM uint8 values.
const unsigned kMaxCallServerByte = 255;
// More digits than any accepted number has.
const size_t kMaxCallServerDigits = 5;

// Plain decimal digits of a value up to max.
bool readCallServerNumber(const std::string& text, unsigned max, unsigned* value) {
  if (text.empty() || text.size() > kMaxCallServerDigits ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = static_cast<unsigned>(strtoul(text.c_str(), nullptr, 10));
  return *value <= max;
}

// The numbers of a call server as the setting data can hold them; false
// when one is outside.
bool callServerNumbersValid(const CallServer& server) {
  unsigned port = 0, action = 0, retryCount = 0;
  return readCallServerNumber(server.port, UINT16_MAX, &port) && dhcpUtilIsValidCallServerPort(port) &&
         readCallServerNumber(server.action, kMaxCallServerByte, &action) &&
         readCallServerNumber(server.retryCount, kMaxCallServerByte, &retryCount);
}

// Stores a call server whose numbers callServerNumbersValid accepted.
void storeCallServer(const CallServer& server, s_ipAddr* address, uint32_t* port, uint8_t* action,
                     uint8_t* retryCount) {
  setCheckedAddress(address, server.address, ipTypeAddress);
  *port = static_cast<uint32_t>(strtoul(server.port.c_str(), nullptr, 10));
  *action = static_cast<uint8_t>(strtoul(server.action.c_str(), nullptr, 10));
  *retryCount = static_cast<uint8_t>(strtoul(server.retryCount.c_str(), nullptr, 10));
}

// Leading part of a dotted quad up to and including its n-th ".".
std::string leadingOctets(const char* address, int n) {
  const char* p = address;
  for (int found = 0; found < n; ++p) {
    if (*p == '\0') return std::string();
    if (*p == '.') ++found;
  }
  return std::string(address, static_cast<size_t>(p - address));
}

}  // namespace

void dhcpCompCalcIPNetwork(s_ethIpConfig* e) {
  if (e == nullptr) return;
  e->network.ipLong = e->ipAddress.ipLong & e->netmask.ipLong;
  dhcpUtilConvertIPAddrLongtoIPAddr(&e->network);
  // Host addresses counted in the mask's last octet only.
  uint32_t lastOctet = e->netmask.ipLong & 0xff;
  if (lastOctet == 0) {
    e->numHostAddrs = 254;
    return;
  }
  uint32_t count = 2;
  for (int bit = 1; bit < 8 && (lastOctet & (1u << bit)) == 0; ++bit) count *= 2;
  e->numHostAddrs = count - 2;
}

void dhcpCompGetInterfaceIPParams(s_ethIpConfig* e) {
  if (e == nullptr) return;
  syslog(LOG_INFO, "dhcpCompGetInterfaceIPParams");
  dhcpUtilClearIPAddr(&e->ipAddress);
  dhcpUtilClearIPAddr(&e->netmask);
  e->vendorDhcpMode = kNoVendorDhcpMode;

  // Only names that are safe in a path and a shell command are looked up.
  char* ifcfg = nullptr;
  bool validName = corvaneIsValidInterfaceName(e->interfaceName) != 0;
  if (validName) {
    std::string path = std::string(kIfcfgPrefix) + e->interfaceName;
    size_t dot = path.rfind('.');
    if (dot != std::string::npos) path[dot] = '_';
    corvaneRequestDHCPLANSemaphore();
    ifcfg = dhcpUtilReadTextFile(path.c_str());
    corvaneReleaseDHCPLANSemaphore();
  }
  // Without an ifcfg file the interface is static, with the address it
  // has: only an administrator's BOOTPROTO=dhcp makes the agent change it.
  bool dhcp = false;
  bool fromFile = ifcfg != nullptr;
  if (ifcfg != nullptr) {
    std::string value;
    dhcp = ifcfgValue(ifcfg, "BOOTPROTO=", &value) && value.compare(0, 1, "s") != 0;
    if (!dhcp) {
      if (ifcfgValue(ifcfg, "IPADDR=", &value)) setCheckedAddress(&e->ipAddress, value, ipTypeAddress);
      if (ifcfgValue(ifcfg, "NETMASK=", &value)) setCheckedAddress(&e->netmask, value, ipTypeNetmask);
    }
    free(ifcfg);
  }
  e->staticIP = dhcp ? 0 : 1;
  if (validName) {
    char command[DHCP_TEMP_BUF_SIZE];
    snprintf(command, sizeof(command), kIfconfigCommand, e->interfaceName);
    char* output = dhcpUtilReadCommandOutput(command, kIfconfigOutputMax);
    if (dhcp) {
      dhcpUtilClearIPAddr(&e->ipAddress);
      dhcpUtilClearIPAddr(&e->netmask);
    }
    if (output != nullptr) {
      readIfconfigOutput(e, output, dhcp || !fromFile);
      free(output);
    }
    dhcpCompCalcIPNetwork(e);
    if (dhcp) dhcpCompGetDhclientLeaseInfo(e);
  }
  dhcpCompCalcIPNetwork(e);
}

int dhcpCompGetDhclientLeaseInfo(s_ethIpConfig* e) {
  if (e == nullptr) return 0;
  char ipSetText[kVendorTextBufferSize] = "";
  char dhcpText[kVendorTextBufferSize] = "";
  if (!corvaneParseDhclientLeaseFile(
          e->interfaceName, e->leaseFixedAddress.ipString, e->leaseSubnetMask.ipString,
          e->leaseRouter.ipString, e->leaseDnsServer1.ipString, e->leaseDnsServer2.ipString,
          e->leaseNetbiosServer.ipString, &e->leaseNetbiosNodeType, e->leaseDomainName, e->leaseRenewTime,
          e->leaseServerIdentifier.ipString, ipSetText, dhcpText))
    return 0;

  // Lease values come from the network: only checked values stay.
  dhcpUtilConvertUntrustedIPAddr(&e->leaseFixedAddress, ipTypeAddress);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseSubnetMask, ipTypeNetmask);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseRouter, ipTypeAddress);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseDnsServer1, ipTypeAddress);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseDnsServer2, ipTypeAddress);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseNetbiosServer, ipTypeAddress);
  dhcpUtilConvertUntrustedIPAddr(&e->leaseServerIdentifier, ipTypeAddress);
  if (!dhcpUtilIsValidDomainName(e->leaseDomainName)) e->leaseDomainName[0] = '\0';
  // The renew time becomes the component file's "renewTimeLease" field.
  if (!dhcpUtilIsValidDescription(e->leaseRenewTime)) e->leaseRenewTime[0] = '\0';

  dhcpCompParseIPSetVendorText(e, ipSetText);
  dhcpCompParseDhcpVendorText(e, dhcpText);
  return 1;
}

// "<s1 addr>:<port>,<action>,<retries>;<s2 addr>:<port>,<action>,<retries>."
// followed somewhere by "VLAN-A:<list or none>.".
void dhcpCompParseIPSetVendorText(s_ethIpConfig* e, const char* text) {
  if (e == nullptr) return;
  const char* p = text != nullptr ? text : "";
  CallServer s1, s2;
  bool valid = takeCallServer(&p, ';', &s1) && takeCallServer(&p, '.', &s2);
  char vlans[DHCP_VLAN_IDS_SIZE] = "";
  if (valid) {
    const char* list = strstr(p, kVlanListMarker);
    const char* end = nullptr;
    if (list != nullptr) {
      list += strlen(kVlanListMarker);
      end = static_cast<const char*>(memchr(list, '.', strnlen(list, DHCP_VENDOR_VLAN_IDS_MAX_LEN + 1)));
    }
    valid = end != nullptr;
    if (valid) {
      dhcpUtilCopyText(vlans, sizeof(vlans), list, static_cast<size_t>(end - list));
      if (strcmp(vlans, kNoVlans) == 0)
        vlans[0] = '\0';
      else
        valid = dhcpCompVerifyVLANIds(vlans) == DHCP_RC_OK;
    }
  }
  if (valid && !(callServerNumbersValid(s1) && callServerNumbersValid(s2))) {
    syslog(LOG_ERR,
           "Call-server text of the router's lease refused: a port, action or retry count is out of range.");
    valid = false;
  } else if (!valid && text != nullptr && text[0] != '\0') {
    syslog(LOG_ERR, "Call-server text of the router's lease refused: malformed.");
  }
  if (!valid) {
    clearVendorCallServers(e);
    return;
  }
  storeCallServer(s1, &e->vendorS1Address, &e->vendorS1PortNumber, &e->vendorS1Action,
                  &e->vendorS1RetryCount);
  storeCallServer(s2, &e->vendorS2Address, &e->vendorS2PortNumber, &e->vendorS2Action,
                  &e->vendorS2RetryCount);
  memcpy(e->vendorVlanIds, vlans, sizeof(vlans));
}

// "<mode digit>" then "." or "," and a range of trailing octets such as
// "100-200." or "1.100-1.200.", completed from the interface's address.
void dhcpCompParseDhcpVendorText(s_ethIpConfig* e, const char* text) {
  if (e == nullptr) return;
  e->vendorInfoPresent = 0;
  if (text == nullptr || text[0] == '\0') return;
  e->vendorInfoPresent = 1;
  if ((text[1] != ',' && text[1] != '.') || !isdigit(static_cast<unsigned char>(text[0]))) {
    e->vendorDhcpMode = 0;
    dhcpUtilClearIPAddr(&e->vendorRangeStart);
    dhcpUtilClearIPAddr(&e->vendorRangeEnd);
    return;
  }
  e->vendorDhcpMode = static_cast<uint32_t>(text[0] - '0');
  if (text[1] != ',') return;

  const char* rest = text + 2;
  std::string range(rest, strcspn(rest, ";"));
  size_t dash = range.find('-');
  if (dash == std::string::npos || e->ipAddress.ipLong == 0) return;
  auto at = range.begin() + static_cast<std::ptrdiff_t>(dash);
  int before = static_cast<int>(std::count(range.begin(), at, '.'));
  // The last character is the closing ".", not part of the end address.
  int after = static_cast<int>(std::count(at + 1, range.end(), '.')) - 1;
  if (before >= 4 || before != after) return;

  std::string prefix = leadingOctets(e->ipAddress.ipString, 3 - before);
  std::string start = prefix + range.substr(0, dash);
  std::string end = prefix + range.substr(dash + 1, range.size() - dash - 2);
  setCheckedAddress(&e->vendorRangeStart, start, ipTypeAddress);
  setCheckedAddress(&e->vendorRangeEnd, end, ipTypeAddress);
  if (start.size() >= DHCP_IP_STRING_SIZE) dhcpUtilClearIPAddr(&e->vendorRangeStart);
  if (end.size() >= DHCP_IP_STRING_SIZE) dhcpUtilClearIPAddr(&e->vendorRangeEnd);

  uint32_t first = e->vendorRangeStart.ipLong;
  uint32_t last = e->vendorRangeEnd.ipLong;
  uint32_t own = e->ipAddress.ipLong;
  bool keep = dhcpUtilInInterfaceNetwork(e, first) && dhcpUtilInInterfaceNetwork(e, last) &&
              (first & 0xff) <= (last & 0xff) && (own < first || own > last);
  if (!keep) {
    if (first != 0 && last != 0)
      syslog(LOG_ERR, "Range %s-%s of the router's DHCP vendor text does not fit %s/%s of %s; not served.",
             e->vendorRangeStart.ipString, e->vendorRangeEnd.ipString, e->network.ipString,
             e->netmask.ipString, e->interfaceName);
    dhcpUtilClearIPAddr(&e->vendorRangeStart);
    dhcpUtilClearIPAddr(&e->vendorRangeEnd);
  }
}

int getNumberOfVlans(int* list, int max) {
  int count = 0;
  VexPdrKeyIterator iterator = nullptr;
  if (list == nullptr || NetkeelBeginIterationForMedia(&iterator, NETKEEL_IF_TYPE_VLAN) != 0) return 0;
  char key[kRegistryKeySize];
  while (NetkeelGetNextKey(iterator, key) == 0) {
    uint16_t id = 0;
    if (VexGetRegEntryUint16Ex(kRegistryStore, key, kVlanIdValue, &id) != 0) continue;
    if (count >= max) break;
    list[count++] = id;
  }
  NetkeelEndIteration(iterator);
  return count;
}

// The gateway that a LAN's address ranges hand out when the configuration
// leaves it to the LAN.
void updateDefaultGatewayDynamic(s_dhcpCompConfig* config, s_ethIpConfig* ip) {
  if (config == nullptr || ip == nullptr) return;
  char text[CORVANE_IP_TEXT_SIZE] = "";
  corvaneGetDefaultGateway(text);
  s_ipAddr gateway = {};
  dhcpUtilCopyText(gateway.ipString, sizeof(gateway.ipString), text, strnlen(text, sizeof(text)));
  dhcpUtilConvertUntrustedIPAddr(&gateway, ipTypeAddress);
  if (gateway.ipLong != 0 && (gateway.ipLong & ip->netmask.ipLong) == ip->network.ipLong)
    syncUpGatewayForAddrRanges(config, &gateway);
  else
    syncUpGatewayForAddrRanges(config, &ip->ipAddress);
}

// The agent's copy of the appliance's published address and the registry
// callback that reports changes of it through the IP-change flag file.
// Size of the published-address text the registry hands out.
#define PUBLISHED_IP_TEXT_SIZE 16

s_ipAddr publishedIpAddress;
uint8_t publishedIpCallbackEnabled = 0;
uint32_t publishedIpListenerID = 0;

int dhcpCompRefreshPublishedIPAddress(void) {
  char text[PUBLISHED_IP_TEXT_SIZE] = "";
  int status = publishedIpCallbackEnabled == 0
                   ? VexGetDefaultPublishedIPStr(text, sizeof(text), PublishedIpChangeNotificationHandler,
                                                 &publishedIpListenerID)
                   : VexGetDefaultPublishedIPStr(text, sizeof(text), nullptr, nullptr);
  if (status != 0) return status;
  publishedIpCallbackEnabled = 1;
  dhcpUtilCopyText(publishedIpAddress.ipString, sizeof(publishedIpAddress.ipString), text,
                   strnlen(text, sizeof(text)));
  int rc = dhcpUtilConvertIPStringtoIPAddr(&publishedIpAddress, ipTypeAddress, true);
  if (rc != DHCP_RC_OK) dhcpUtilClearIPAddr(&publishedIpAddress);
  return rc;
}

void PublishedIpChangeNotificationHandler(unsigned long, unsigned char, unsigned char, unsigned long, void*,
                                          unsigned long oldLength, void* oldValue, unsigned long newLength,
                                          void* newValue) {
  if (oldLength == newLength && (oldLength == 0 || (oldValue != nullptr && newValue != nullptr &&
                                                    memcmp(oldValue, newValue, oldLength) == 0)))
    return;
  corvaneInformTavrelOfIPConfigChange();
}
