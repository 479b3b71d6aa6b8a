// Component configuration file (/pq/etc/dhcpcomp.conf): reader, writer and
// the propagation of the customer LAN's common settings to its VLANs.
//
// Layout: sections "[<interface>]" for eth1, its VLANs, then eth2, separated
// by one empty line; each holds "key = value" lines in a fixed key order.
// Range entries are "<start>-<end>", reservations "<addr> <mac> <name>
// <description>", entries joined by ", ".
#include "model/config_file.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

#include <string>

#include "model/records.h"
#include "model/problems.h"
#include "model/text_file.h"
#include "model/util.h"
#include "messages.h"
#include "model/ranges.h"
#include "model/result.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

// Size the appliance has always started the output buffer with; it grows
// from there as sections need room.
const size_t kInitialOutputSize = 33720;

const char kCallServerKeysSection[] = DHCP_CUSTOMER_LAN_IFNAME;

// ---- Reading ----

// The text being parsed: where it begins (for line starts and numbers) and
// how far the parse has come.
struct TextCursor {
  const char* text;
  const char* at;
};

// First occurrence of key at the start of a line, from p on: only blanks or
// tabs may stand before it on its line, so text inside a value never counts.
const char* findAtLineStart(const char* begin, const char* p, const char* key) {
  for (const char* hit = strstr(p, key); hit != nullptr; hit = strstr(hit + 1, key)) {
    const char* q = hit;
    while (q > begin && (q[-1] == ' ' || q[-1] == '\t')) --q;
    if (q == begin || q[-1] == '\n') return hit;
  }
  return nullptr;
}

// Finds the line starting with "key" (including its " = ") from the cursor
// on; returns the value's start and moves the cursor past the value (to its
// line end). Null when absent (cursor unchanged).
const char* findValue(TextCursor* cursor, const char* key) {
  const char* hit = findAtLineStart(cursor->text, cursor->at, key);
  if (hit == nullptr) return nullptr;
  const char* value = hit + strlen(key);
  cursor->at = dhcpUtilLineEnd(value);
  return value;
}

// The text of the value being read, for the messages about it.
const char* s_parsedText = nullptr;

// Logs a value the reader cannot use, with its line of the file, and what
// becomes of it.
void logUnusable(const char* what, const char* begin, const char* end, const char* outcome) {
  int line = 1;
  if (s_parsedText != nullptr && s_parsedText <= begin)
    for (const char* p = s_parsedText; p < begin; ++p) line += *p == '\n';
  syslog(LOG_WARNING, "%s line %d: %s \"%.*s\" cannot be used; %s.", g_strT20ConfigFilename, line, what,
         static_cast<int>(end - begin), begin, outcome);
  dhcpCompReportReadProblem({g_strT20ConfigFilename, line, what, std::string(begin, end),
                             std::string("cannot be used; ") + outcome});
}

// Copies the value at value up to the end of its line into dst, cut to size.
void copyValue(char* dst, size_t size, const char* value) {
  dhcpUtilCopyText(dst, size, value, static_cast<size_t>(dhcpUtilLineEnd(value) - value));
}

// Copies [begin, end) into the address text and converts it (no loopback).
void setAddress(s_ipAddr* a, const char* begin, const char* end) {
  dhcpUtilCopyText(a->ipString, sizeof(a->ipString), begin, static_cast<size_t>(end - begin));
  dhcpUtilConvertIPStringtoIPAddr(a, ipTypeAddress, false);
}

// An address value: converted; the empty value sets *emptyFlag.
void readAddressValue(s_ipAddr* a, uint8_t* emptyFlag, const char* value) {
  setAddress(a, value, dhcpUtilLineEnd(value));
  if (emptyFlag != nullptr && a->ipString[0] == '\0') *emptyFlag = 1;
}

const char* skipBlanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// Calls handle(begin, end) for each entry of a list value: entries joined by
// "," up to the end of the line, leading blanks skipped.
template <typename Handler>
void forEachEntry(const char* value, Handler handle) {
  const char* lineEnd = dhcpUtilLineEnd(value);
  for (const char* p = value; p < lineEnd;) {
    p = skipBlanks(p);
    if (p >= lineEnd) break;
    const char* entryEnd = dhcpUtilFindInLine(p, ",");
    handle(p, entryEnd);
    p = entryEnd;
    if (*p == ',') ++p;
  }
}

// Range entries "<start>-<end>". An entry without "-" or with an address
// that is not valid is dropped; the others are stored while range ids last
// (a range noted by dhcpCompKeepInstanceIDs takes its id again).
void readRanges(s_dhcpCompConfig* cfg, const char* value) {
  forEachEntry(value, [cfg](const char* p, const char* entryEnd) {
    const char* dash = dhcpUtilFindInLine(p, "-,");
    if (dash >= entryEnd || *dash != '-') {
      logUnusable("address range", p, entryEnd, "dropped");
      return;
    }
    s_ipAddrRange range;
    memset(&range, 0, sizeof(range));
    setAddress(&range.startAddr, p, dash);
    setAddress(&range.endAddr, dash + 1, entryEnd);
    range.gateway = cfg->defaultGateway;
    int id = dhcpCompTakeAddressRangeInstanceID(cfg, &range);
    if (range.startAddr.ipLong == 0 || range.endAddr.ipLong == 0 || id < 0 ||
        dhcpCompAddIPAddressRangeCustomerLAN(cfg, &range, id) != DHCP_RC_OK)
      logUnusable("address range", p, entryEnd, "dropped");
  });
}

// Copies the field at *p up to the next blank of the entry into dst.
// False when the entry ends before a blank (a field is missing).
bool takeField(const char** p, const char* entryEnd, char* dst, size_t size) {
  const char* blank = dhcpUtilFindInLine(*p, ", ");
  if (blank >= entryEnd || *blank != ' ') return false;
  dhcpUtilCopyText(dst, size, *p, static_cast<size_t>(blank - *p));
  *p = blank + 1;
  return true;
}

// Reservation entries "<addr> <mac> <name> <description>". Entries with
// fewer than four fields are dropped. A client name or description that
// today's rules refuse (stored under earlier ones) is kept as it is, and
// logged: it is written back unchanged, and dhcpd.conf declares the host as
// "reserved-<id>".
void readReservations(s_dhcpCompConfig* cfg, const char* value) {
  forEachEntry(value, [cfg](const char* field, const char* entryEnd) {
    const char* entry = field;
    s_reservedAddr rec;
    memset(&rec, 0, sizeof(rec));
    bool complete = takeField(&field, entryEnd, rec.ipAddr.ipString, sizeof(rec.ipAddr.ipString)) &&
                    takeField(&field, entryEnd, rec.macAddr, sizeof(rec.macAddr)) &&
                    takeField(&field, entryEnd, rec.clientName, sizeof(rec.clientName));
    if (!complete) {
      logUnusable("reserved address", entry, entryEnd, "dropped");
      return;
    }
    dhcpUtilCopyText(rec.clientDescription, sizeof(rec.clientDescription), field,
                     static_cast<size_t>(entryEnd - field));
    for (char* c = rec.macAddr; *c != '\0'; ++c)
      if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    dhcpUtilConvertIPStringtoIPAddr(&rec.ipAddr, ipTypeAddress, false);
    int id = dhcpCompTakeReservedAddressInstanceID(cfg, &rec);
    if (id < 0) {
      logUnusable("reserved address", entry, entryEnd, "dropped");
    } else if (dhcpUtilIsValidHostName(rec.clientName) && dhcpUtilIsValidDescription(rec.clientDescription)) {
      if (dhcpCompCheckAndAddReservedAddress(std::to_string(id), &rec) != DHCP_RC_OK)
        logUnusable("reserved address", entry, entryEnd, "dropped");
    } else if (dhcpCompAddStoredReservedAddress(std::to_string(id), &rec) == DHCP_RC_OK) {
      logUnusable("reserved address (client name or description not allowed for new entries)", entry,
                  entryEnd, "kept as stored");
    } else {
      logUnusable("reserved address", entry, entryEnd, "dropped");
    }
  });
}

// The OAM LAN serves one address next to its own: the one above it, or below
// it when the one above is the last of the network. False (parse ends) when
// the network has no room, after message 62006.
bool addOamLanRange() {
  const s_ethIpConfig& eth = OAMLANIpConfig;
  if (eth.ipAddress.ipLong == 0) return true;
  uint32_t address = eth.ipAddress.ipLong;
  uint32_t mask = eth.netmask.ipLong;
  uint32_t network = address & mask;
  int offset = 0;
  if (eth.numHostAddrs > 1) {
    if (((address + 2) & mask) == network)
      offset = 1;
    else if (((address - 1) & mask) == network)
      offset = -1;
  }
  if (offset == 0) {
    dhcpCompLogEvent(DHCP_MSG_NO_ROOM_FOR_RANGE, eth.interfaceName);
    return false;
  }
  s_ipAddrRange range;
  memset(&range, 0, sizeof(range));
  range.startAddr.ipLong = address + static_cast<uint32_t>(offset);
  dhcpUtilConvertIPAddrLongtoIPAddr(&range.startAddr);
  dhcpUtilConvertIPStringtoIPAddr(&range.startAddr, ipTypeAddress, false);
  range.endAddr = range.startAddr;
  dhcpCompCheckAndAddIPAddressRangeOAMLAN(&range, false);
  return true;
}

// "s1Address = " / "s2Address = ": the call server's own address counts as
// none.
void readCallServerAddress(s_ipAddr* address, uint8_t* addressEmpty, const char* value) {
  readAddressValue(address, addressEmpty, value);
  if (strcmp(address->ipString, CustomerLANIpConfig.ipAddress.ipString) == 0) *addressEmpty = 1;
}

// "s1PortNumber = " / "s2PortNumber = ".
void readCallServerPort(uint32_t* port, uint32_t* otherPort, const char* value) {
  dhcpUtilSplitCallServerPort(static_cast<uint32_t>(dhcpUtilLeadingInt(value)), port, otherPort);
}

// "dnsServers = ": one or two addresses joined by ",".
void readDnsServers(s_dhcpCompConfig* cfg, const char* value) {
  copyValue(cfg->dnsServersText, sizeof(cfg->dnsServersText), value);
  if (cfg->dnsServersText[0] == '\0') cfg->dnsServersEmpty = 1;
  const char* text = cfg->dnsServersText;
  const char* comma = strchr(text, ',');
  setAddress(&cfg->dnsServer1, text, comma != nullptr ? comma : text + strlen(text));
  if (comma != nullptr) {
    const char* second = skipBlanks(comma + 1);
    setAddress(&cfg->dnsServer2, second, second + strlen(second));
  }
}

// "domainName = ": one trailing "." is dropped.
void readDomainName(s_dhcpCompConfig* cfg, const char* value) {
  copyValue(cfg->domainName, sizeof(cfg->domainName), value);
  size_t length = strlen(cfg->domainName);
  if (length == 0)
    cfg->domainNameEmpty = 1;
  else if (cfg->domainName[length - 1] == '.')
    cfg->domainName[length - 1] = '\0';
}

// "dhcpServerOnRouter = ": only a fitted integrated router serves DHCP.
void readDhcpServerOnRouter(s_dhcpCompConfig* cfg, const char* value) {
  cfg->dhcpServerOnRouter = dhcpUtilLeadingInt(value) != 0 ? 1 : 0;
  if (!g_bIntegratedRouterPresent && cfg->dhcpServerOnRouter) {
    cfg->dhcpServerOnRouter = 0;
    cfg->dhcpStatus = 1;
  }
}

// Without the key (files of appliances before the integrated router) the
// router serves DHCP when it is fitted.
void defaultDhcpServerOnRouter(s_dhcpCompConfig* cfg) {
  if (!g_bIntegratedRouterPresent) {
    cfg->dhcpServerOnRouter = 0;
    if (cfg->dhcpStatus == 3) cfg->dhcpStatus = 1;
  } else {
    cfg->dhcpServerOnRouter = 1;
    cfg->dhcpStatus = 0;
  }
}

// One key of a section and where its value goes. absent is called when the
// key is missing; without it the key is required and the parse of the
// interface ends there.
struct SectionKey {
  const char* key;
  void (*read)(s_dhcpCompConfig* cfg, const char* value);
  void (*absent)(s_dhcpCompConfig* cfg) = nullptr;
};

void noDefault(s_dhcpCompConfig*) {}

// Keys of every section, in file order.
const SectionKey kCommonKeys[] = {
    {"dhcpStatus = ", [](s_dhcpCompConfig* c, const char* v) { c->dhcpStatus = dhcpUtilLeadingInt(v); }},
    {"dnsServers = ", readDnsServers},
    {"domainName = ", readDomainName},
    {"winsServer = ",
     [](s_dhcpCompConfig* c, const char* v) { readAddressValue(&c->winsServer, &c->winsServerEmpty, v); }},
    {"winsNodeType = ", [](s_dhcpCompConfig* c,
                           const char* v) { c->winsNodeType = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); }},
    {"defaultGateway = ",
     [](s_dhcpCompConfig* c, const char* v) {
       readAddressValue(&c->defaultGateway, &c->defaultGatewayEmpty, v);
     }},
    {"leaseTime = ",
     [](s_dhcpCompConfig* c, const char* v) {
       c->leaseTime = static_cast<uint32_t>(dhcpUtilatoul(const_cast<char*>(v)));
     }},
};

// Keys of the customer LAN and its VLANs after the common ones. The
// call-server keys follow only in "[eth1]", which precedes the VLANs: a VLAN
// parse ends at "s1Address = ".
const SectionKey kCustomerLanKeys[] = {
    {"addrRange = ", readRanges},
    {"reservedAddrs = ", readReservations, noDefault},
    {"s1Address = ",
     [](s_dhcpCompConfig* c, const char* v) { readCallServerAddress(&c->s1Address, &c->s1AddressEmpty, v); }},
    {"s1PortNumber = ",
     [](s_dhcpCompConfig* c, const char* v) {
       readCallServerPort(&c->s1PortNumber, &c->s1OtherPortNumber, v);
     }},
    {"s1Action = ",
     [](s_dhcpCompConfig* c, const char* v) { c->s1Action = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); }},
    {"s1RetryCount = ", [](s_dhcpCompConfig* c,
                           const char* v) { c->s1RetryCount = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); }},
    {"s2Address = ",
     [](s_dhcpCompConfig* c, const char* v) { readCallServerAddress(&c->s2Address, &c->s2AddressEmpty, v); }},
    {"s2PortNumber = ",
     [](s_dhcpCompConfig* c, const char* v) {
       readCallServerPort(&c->s2PortNumber, &c->s2OtherPortNumber, v);
     }},
    {"s2Action = ",
     [](s_dhcpCompConfig* c, const char* v) { c->s2Action = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); }},
    {"s2RetryCount = ", [](s_dhcpCompConfig* c,
                           const char* v) { c->s2RetryCount = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); }},
    {"vlanIds = ",
     [](s_dhcpCompConfig* c, const char* v) {
       // A list the rule refuses is kept as written, so that a commit writes
       // it back; telephones get none (dhcpd.conf), and CIM shows it.
       copyValue(c->vlanIds, sizeof(c->vlanIds), v);
       if (dhcpCompVerifyVLANIds(c->vlanIds) != DHCP_RC_OK)
         logUnusable("VLAN id list", v, dhcpUtilLineEnd(v), "kept as written, telephones get none");
     }},
    {"spectraTFTPAddress = ",
     [](s_dhcpCompConfig* c, const char* v) { readAddressValue(&c->spectraTFTPAddress, nullptr, v); }},
    {"spectraSVPAddress = ",
     [](s_dhcpCompConfig* c, const char* v) { readAddressValue(&c->spectraSVPAddress, nullptr, v); }},
    {"renewTimeLease = ",
     [](s_dhcpCompConfig*, const char* v) {
       copyValue(CustomerLANIpConfig.renewTimeLease, sizeof(CustomerLANIpConfig.renewTimeLease), v);
     }},
    {"startedFromPowerUp = ",
     [](s_dhcpCompConfig*, const char* v) {
       CustomerLANIpConfig.startedFromPowerUp = static_cast<uint8_t>(dhcpUtilLeadingInt(v));
     }},
    {"dhcpServerOnRouter = ", readDhcpServerOnRouter, defaultDhcpServerOnRouter},
};

// Reads keys in order from the cursor. False when a required key is missing.
template <size_t N>
bool readKeys(TextCursor* cursor, s_dhcpCompConfig* cfg, const SectionKey (&keys)[N]) {
  for (const SectionKey& k : keys) {
    const char* value = findValue(cursor, k.key);
    if (value != nullptr)
      k.read(cfg, value);
    else if (k.absent != nullptr)
      k.absent(cfg);
    else
      return false;
  }
  return true;
}

// One section from *cursor (just past its header). Keys are searched in
// order from the cursor to the end of the text. Returns false when the parse
// of this interface ends (a key is missing, or the OAM LAN has no room).
bool parseSection(TextCursor* cursor, s_dhcpCompConfig* cfg) {
  if (!readKeys(cursor, cfg, kCommonKeys)) return false;
  // The OAM LAN's only range is derived from its own address; its range and
  // reservation lines are not read.
  if (strstr(cfg->interfaceName, DHCP_CUSTOMER_LAN_IFNAME) == nullptr) {
    cfg->dhcpStatus = 2;
    return addOamLanRange();
  }
  return readKeys(cursor, cfg, kCustomerLanKeys);
}

// ---- Writing ----

// Appends one formatted line (or part of one) at *out. A control character
// inside a value becomes a blank, so that no value can break a line and
// start a key of its own; only a line's final newline stays.
void appendLine(char** out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendLine(char** out, const char* format, ...) {
  char line[DHCP_TEMP_BUF_SIZE];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  if (length < 0) return;
  if (static_cast<size_t>(length) >= sizeof(line)) length = sizeof(line) - 1;
  for (int i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    bool finalNewline = c == '\n' && i == length - 1;
    if ((c < 0x20 || c == 0x7f) && !finalNewline) line[i] = ' ';
  }
  memcpy(*out, line, static_cast<size_t>(length));
  *out += length;
  **out = '\0';
}

// "<key> = \n" when the flag says empty, else "<key> = <text>\n".
void appendOptionalAddress(char** out, const char* key, uint8_t empty, const s_ipAddr& a) {
  if (empty)
    appendLine(out, "%s = \n", key);
  else
    appendLine(out, "%s = %s\n", key, a.ipString);
}

void appendCallServer(char** out, const char* prefix, s_ipAddr* address, uint8_t* addressEmpty, uint32_t port,
                      uint32_t otherPort, uint8_t action, uint8_t retryCount) {
  if (strcmp(address->ipString, CustomerLANIpConfig.ipAddress.ipString) == 0) *addressEmpty = 1;
  if (*addressEmpty)
    appendLine(out, "%sAddress = \n", prefix);
  else
    appendLine(out, "%sAddress = %s\n", prefix, address->ipString);
  appendLine(out, "%sPortNumber = %d\n", prefix, static_cast<int>(port != 0 ? port : otherPort));
  appendLine(out, "%sAction = %d\n", prefix, action);
  appendLine(out, "%sRetryCount = %d\n", prefix, retryCount);
}

// Appends the section of cfg to the output, growing it first so that the
// largest possible section fits.
void appendSection(std::string* out, size_t* used, s_dhcpCompConfig* cfg) {
  out->resize(*used + DHCPCOMP_SECTION_MAX_SIZE + 1);
  char* end = &(*out)[*used];
  dhcpCompWriteDhcpCompConfigFileForInterface(&end, cfg);
  *used = static_cast<size_t>(end - out->data());
}

void appendSeparator(std::string* out, size_t* used) {
  out->resize(*used + 2);
  (*out)[(*used)++] = '\n';
}

}  // namespace

int dhcpCompReadDhcpCompConfigFile(void) {
  char* text = dhcpUtilReadTextFile(g_strT20ConfigFilename);
  if (text == nullptr) return 0;
  dhcpCompParseDhcpCompConfigText(text);
  free(text);
  return 1;
}

void dhcpCompParseDhcpCompConfigText(char* text) {
  dhcpCompParseDhcpCompContentsForInterface(text, &CustomerLANDhcpCompConfig);
  dhcpCompParseDhcpCompContentsForInterface(text, &OAMLANDhcpCompConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    dhcpCompParseDhcpCompContentsForInterface(text, &VLANDhcpCompConfig[i]);
}

void dhcpCompParseDhcpCompContentsForInterface(char* text, s_dhcpCompConfig* cfg) {
  if (text == nullptr || cfg == nullptr) return;
  char header[DHCP_INTERFACE_NAME_SIZE + 3];
  snprintf(header, sizeof(header), "[%.*s]", DHCP_INTERFACE_NAME_SIZE - 1, cfg->interfaceName);
  TextCursor cursor = {text, text};
  s_parsedText = text;
  // A later section of the same name adds to the record.
  while ((cursor.at = findAtLineStart(text, cursor.at, header)) != nullptr) {
    cursor.at += strlen(header);
    if (!parseSection(&cursor, cfg)) break;
  }
  s_parsedText = nullptr;
}

char* dhcpCompWriteDhcpCompConfigFileForInterface(char** out, s_dhcpCompConfig* cfg) {
  if (out == nullptr || *out == nullptr) return nullptr;
  **out = '\0';
  if (cfg == nullptr) return *out;
  appendLine(out, "[%s]\n", cfg->interfaceName);
  appendLine(out, "dhcpStatus = %d\n", cfg->dhcpStatus);
  if (cfg->dnsServersEmpty)
    appendLine(out, "dnsServers = \n");
  else if (cfg->dnsServer2.ipLong == 0)
    appendLine(out, "dnsServers = %s\n", cfg->dnsServer1.ipString);
  else
    appendLine(out, "dnsServers = %s, %s\n", cfg->dnsServer1.ipString, cfg->dnsServer2.ipString);
  if (cfg->domainNameEmpty)
    appendLine(out, "domainName = \n");
  else
    appendLine(out, "domainName = %s\n", cfg->domainName);
  appendOptionalAddress(out, "winsServer", cfg->winsServerEmpty, cfg->winsServer);
  appendLine(out, "winsNodeType = %d\n", cfg->winsNodeType);
  appendOptionalAddress(out, "defaultGateway", cfg->defaultGatewayEmpty, cfg->defaultGateway);
  appendLine(out, "leaseTime = %u\n", cfg->leaseTime);

  appendLine(out, "addrRange = ");
  const char* separator = "";
  for (const s_ipAddrRange& range : cfg->addrRanges) {
    if (range.startAddr.ipLong == 0) continue;
    appendLine(out, "%s%s-%s", separator, range.startAddr.ipString, range.endAddr.ipString);
    separator = ", ";
  }
  appendLine(out, "\n");
  appendLine(out, "reservedAddrs = ");
  separator = "";
  for (const s_reservedAddr& rec : cfg->reservedAddrs) {
    if (rec.ipAddr.ipLong == 0) continue;
    appendLine(out, "%s%s %s %s %s", separator, rec.ipAddr.ipString, rec.macAddr, rec.clientName,
               rec.clientDescription);
    separator = ", ";
  }
  appendLine(out, "\n");

  if (strcmp(cfg->interfaceName, kCallServerKeysSection) == 0) {
    appendCallServer(out, "s1", &cfg->s1Address, &cfg->s1AddressEmpty, cfg->s1PortNumber,
                     cfg->s1OtherPortNumber, cfg->s1Action, cfg->s1RetryCount);
    appendCallServer(out, "s2", &cfg->s2Address, &cfg->s2AddressEmpty, cfg->s2PortNumber,
                     cfg->s2OtherPortNumber, cfg->s2Action, cfg->s2RetryCount);
    appendLine(out, "vlanIds = %s\n", cfg->vlanIds);
    appendLine(out, "spectraTFTPAddress = %s\n", cfg->spectraTFTPAddress.ipString);
    appendLine(out, "spectraSVPAddress = %s\n", cfg->spectraSVPAddress.ipString);
    appendLine(out, "renewTimeLease = %s\n", CustomerLANIpConfig.renewTimeLease);
    appendLine(out, "startedFromPowerUp = 0\n");
    appendLine(out, "dhcpServerOnRouter = %d\n", cfg->dhcpServerOnRouter);
  }
  return *out;
}

std::string dhcpCompFormatDhcpCompConfig(char useSaved) {
  s_dhcpCompConfig* customer = useSaved ? &CustomerLANDhcpCompConfigSaved : &CustomerLANDhcpCompConfig;
  s_dhcpCompConfig* vlans = useSaved ? VLANDhcpCompConfigSaved : VLANDhcpCompConfig;
  s_dhcpCompConfig* oam = useSaved ? &OAMLANDhcpCompConfigSaved : &OAMLANDhcpCompConfig;

  std::string out;
  out.reserve(kInitialOutputSize);
  size_t used = 0;
  appendSection(&out, &used, customer);
  appendSeparator(&out, &used);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    appendSection(&out, &used, &vlans[i]);
    appendSeparator(&out, &used);
  }
  appendSection(&out, &used, oam);
  out.resize(used);
  return out;
}

int dhcpCompWriteDhcpCompConfigFile(char useSaved) {
  duplicateCommonPortion();
  return dhcpCompWriteDhcpCompConfigText(dhcpCompFormatDhcpCompConfig(useSaved));
}

int dhcpCompWriteDhcpCompConfigText(const std::string& out) {
  int rc = dhcpUtilReplaceFile(g_strT20ConfigFilename, out.data(), out.size());
  if (rc != 0) {
    dhcpCompLogEvent(DHCP_MSG_CONFIG_FILE_WRITE, g_strT20ConfigFilename, strerror(rc));
    return 0;
  }
  return 1;
}

void duplicateCommonPortion(void) {
  const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    s_dhcpCompConfig& vlan = VLANDhcpCompConfig[i];
    vlan.dhcpServerOnRouter = lan.dhcpServerOnRouter;
    vlan.dhcpStatus = lan.dhcpStatus;
    vlan.externalServerWarning = lan.externalServerWarning;
    memcpy(vlan.dnsServersText, lan.dnsServersText, sizeof(vlan.dnsServersText));
    memcpy(vlan.domainName, lan.domainName, sizeof(vlan.domainName));
    vlan.domainNameEmpty = lan.domainNameEmpty;
    vlan.dnsServer1 = lan.dnsServer1;
    vlan.dnsServersEmpty = lan.dnsServersEmpty;
    vlan.dnsServer2 = lan.dnsServer2;
    vlan.winsServer = lan.winsServer;
    vlan.winsServerEmpty = lan.winsServerEmpty;
    vlan.winsNodeType = lan.winsNodeType;
    vlan.leaseTime = lan.leaseTime;
    vlan.s1Address = lan.s1Address;
    vlan.s2Address = lan.s2Address;
    vlan.s1AddressEmpty = lan.s1AddressEmpty;
    vlan.s2AddressEmpty = lan.s2AddressEmpty;
    vlan.s1PortNumber = lan.s1PortNumber;
    vlan.s2PortNumber = lan.s2PortNumber;
    vlan.s1OtherPortNumber = lan.s1OtherPortNumber;
    vlan.s2OtherPortNumber = lan.s2OtherPortNumber;
    vlan.s1Action = lan.s1Action;
    vlan.s2Action = lan.s2Action;
    vlan.s1RetryCount = lan.s1RetryCount;
    vlan.s2RetryCount = lan.s2RetryCount;
    vlan.spectraTFTPAddress = lan.spectraTFTPAddress;
    vlan.spectraSVPAddress = lan.spectraSVPAddress;
    snprintf(vlan.vlanIds, sizeof(vlan.vlanIds), "%d", vlanlists[i]);
  }
}
