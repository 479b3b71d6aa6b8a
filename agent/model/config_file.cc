// Component configuration file (/pq/etc/dhcpcomp.conf): reader, writer and
// the propagation of the customer LAN's common settings to its VLANs.
//
// Layout: sections "[<interface>]" for eth1, its VLANs, then eth2, separated
// by one empty line; each holds "key = value" lines in a fixed key order.
// Range entries are "<start>-<end>", reservations "<addr> <mac> <name>
// <description>", entries joined by ", "; entries that cannot be used follow
// the LAN's own, as they were written.
#include "model/config_file.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

#include <set>
#include <string>

#include "messages.h"
#include "model/problems.h"
#include "model/ranges.h"
#include "model/records.h"
#include "model/result.h"
#include "model/text_file.h"
#include "model/util.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

// Room the output starts with (the appliance's buffer size); it grows from
// there as sections need it.
const size_t kInitialOutputSize = 33720;

// The most the reader reads: far above a full file (every LAN with all its
// ranges and reservations is about 150 KiB), low enough for the appliance.
const size_t kMaxFileBytes = 1024 * 1024;

const char kCallServerKeysSection[] = DHCP_CUSTOMER_LAN_IFNAME;

template <size_t N>
std::string fieldText(const char (&field)[N]);

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

// At most this many unusable values are remembered as logged; beyond, the
// memory starts afresh.
const size_t kMaxLoggedValues = 256;

// Logs a value the reader cannot use, with its line of the file, and what
// becomes of it. The file is read again after every address change, with the
// entries kept for writing back: each value goes to the system log once. The
// checker's sink (dhcpCompReportReadProblem) hears of it at every read.
void logReadProblem(const std::string& what, const char* begin, const char* end, const std::string& problem) {
  int line = 1;
  if (s_parsedText != nullptr && s_parsedText <= begin)
    for (const char* p = s_parsedText; p < begin; ++p) line += *p == '\n';
  std::string value(begin, end);
  static std::set<std::string> logged;
  if (logged.size() >= kMaxLoggedValues) logged.clear();
  if (logged.insert(what + '\n' + value).second)
    syslog(LOG_WARNING, "%s line %d: %s \"%s\" %s.", g_strT20ConfigFilename, line, what.c_str(),
           value.c_str(), problem.c_str());
  dhcpCompReportReadProblem({g_strT20ConfigFilename, line, what, value, problem});
}

void logUnusable(const char* what, const char* begin, const char* end, const char* outcome) {
  logReadProblem(what, begin, end, std::string("cannot be used; ") + outcome);
}

// ---- Values too long for their fields ----
//
// keptValues holds entries "<tag>\0<as read>\0<as written>\0" one after the
// other, an empty tag after the last: the tag names the field (a key, or a
// reservation's field), "as read" is what the writer made of the field just
// after the read, "as written" the file's text. While the writer would still
// write "as read", it writes "as written" instead; a field changed since then
// is written with its new value.

struct KeptValue {
  const char *tag, *asRead, *written;
};

// Calls handle(KeptValue) for each entry of kept (DHCP_KEPT_VALUES_SIZE
// bytes); returns the bytes the entries use.
template <typename Handler>
size_t forEachKeptValue(const char* kept, Handler handle) {
  size_t at = 0;
  while (at < DHCP_KEPT_VALUES_SIZE && kept[at] != '\0') {
    const char* parts[3];
    for (const char*& part : parts) {
      part = kept + at;
      at += strnlen(part, DHCP_KEPT_VALUES_SIZE - at) + 1;
      if (at > DHCP_KEPT_VALUES_SIZE) return DHCP_KEPT_VALUES_SIZE;  // not terminated: full
    }
    handle(KeptValue{parts[0], parts[1], parts[2]});
  }
  return at;
}

// Adds an entry; false when the record has no room left for it.
bool keepValue(char* kept, const KeptValue& value) {
  size_t used = forEachKeptValue(kept, [](const KeptValue&) {});
  const char* parts[] = {value.tag, value.asRead, value.written};
  size_t need = 0;
  for (const char* part : parts) need += strlen(part) + 1;
  if (used + need >= DHCP_KEPT_VALUES_SIZE) return false;
  for (const char* part : parts) {
    size_t length = strlen(part) + 1;
    memcpy(kept + used, part, length);
    used += length;
  }
  kept[used] = '\0';
  return true;
}

// Keeps the text [begin, end) of a field, which the writer now writes as
// asRead, and logs it. served says whether the agent still uses the cut
// value.
void keepOverlong(s_dhcpCompConfig* cfg, const std::string& what, const std::string& tag,
                  const std::string& asRead, const char* begin, const char* end, size_t room, bool served) {
  std::string written(begin, end);
  bool kept = keepValue(cfg->keptValues, {tag.c_str(), asRead.c_str(), written.c_str()});
  logReadProblem(what, begin, end,
                 "is longer than " + std::to_string(room) + " characters; " +
                     (served ? "its first ones are used" : "not used") +
                     (kept ? ", kept as written" : ", cut: the LAN keeps no more long values"));
}

// Keeps an entry that cannot be used in kept (DHCP_KEPT_ENTRIES_SIZE bytes),
// joined to earlier ones by ", ", so that the writer writes it back. Returns
// what became of it, for the message.
const char* keepEntry(char (&kept)[DHCP_KEPT_ENTRIES_SIZE], const char* begin, const char* end) {
  size_t used = strnlen(kept, sizeof(kept) - 1);
  size_t length = static_cast<size_t>(end - begin);
  size_t separator = used == 0 ? 0 : 2;
  if (length == 0) return "dropped";
  if (used + separator + length >= sizeof(kept)) return "dropped: the line keeps no more unusable entries";
  memcpy(kept + used, ", ", separator);
  memcpy(kept + used + separator, begin, length);
  kept[used + separator + length] = '\0';
  return "kept as written, not served";
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
  for (const char* p = skipBlanks(value); p < lineEnd; p = skipBlanks(p)) {
    const char* entryEnd = dhcpUtilFindInLine(p, ",");
    handle(p, entryEnd);
    p = entryEnd;
    if (*p == ',') ++p;
  }
}

// Range entries "<start>-<end>". An entry without "-", with an address
// that is not valid, refused, or beyond the range ids is kept as written;
// the others are stored while range ids last (a range noted by
// dhcpCompKeepInstanceIDs takes its id again).
void readRanges(s_dhcpCompConfig* cfg, const char* value) {
  forEachEntry(value, [cfg](const char* p, const char* entryEnd) {
    const char* dash = dhcpUtilFindInLine(p, "-,");
    bool usable = dash < entryEnd && *dash == '-';
    if (usable) {
      s_ipAddrRange range;
      memset(&range, 0, sizeof(range));
      setAddress(&range.startAddr, p, dash);
      setAddress(&range.endAddr, dash + 1, entryEnd);
      range.gateway = cfg->defaultGateway;
      int id = dhcpCompTakeAddressRangeInstanceID(cfg, &range);
      usable = range.startAddr.ipLong != 0 && range.endAddr.ipLong != 0 && id >= 0 &&
               dhcpCompAddIPAddressRangeCustomerLAN(cfg, &range, id) == DHCP_RC_OK;
    }
    if (!usable) logUnusable("address range", p, entryEnd, keepEntry(cfg->keptAddrRanges, p, entryEnd));
  });
}

// A field of [begin, end) that does not fit size bytes: noted in *overlong,
// which then holds its bounds.
struct FieldText {
  const char *begin = nullptr, *end = nullptr;
};

void noteOverlong(FieldText* overlong, const char* begin, const char* end, size_t size) {
  if (static_cast<size_t>(end - begin) >= size) *overlong = {begin, end};
}

// Copies the field at *p up to the next blank of the entry into dst.
// False when the entry ends before a blank (a field is missing), or when
// the field does not fit dst and overlong is null; with overlong, it is
// cut and noted there.
bool takeField(const char** p, const char* entryEnd, char* dst, size_t size, FieldText* overlong = nullptr) {
  const char* blank = dhcpUtilFindInLine(*p, ", ");
  if (blank >= entryEnd || *blank != ' ') return false;
  if (overlong == nullptr && static_cast<size_t>(blank - *p) >= size) return false;
  if (overlong != nullptr) noteOverlong(overlong, *p, blank, size);
  dhcpUtilCopyText(dst, size, *p, static_cast<size_t>(blank - *p));
  *p = blank + 1;
  return true;
}

// The fields of a reservation kept when too long, by its address.
std::string nameTag(const s_reservedAddr& rec) {
  return std::string("client name of reserved address ") + rec.ipAddr.ipString;
}

std::string descriptionTag(const s_reservedAddr& rec) {
  return std::string("description of reserved address ") + rec.ipAddr.ipString;
}

// Reservation entries "<addr> <mac> <name> <description>". Entries with
// fewer than four fields, refused, or beyond the reservation ids are kept as
// written, as are those with an address or MAC address too long for its
// field. A client name or description that today's rules refuse (stored
// under earlier ones) is kept in the reservation as it is, and logged: it is
// written back unchanged, and dhcpd.conf declares the host as
// "reserved-<id>". One too long for its field is used cut and written back
// whole.
void readReservations(s_dhcpCompConfig* cfg, const char* value) {
  forEachEntry(value, [cfg](const char* field, const char* entryEnd) {
    const char* entry = field;
    s_reservedAddr rec;
    memset(&rec, 0, sizeof(rec));
    FieldText longName, longDescription;
    bool usable = takeField(&field, entryEnd, rec.ipAddr.ipString, sizeof(rec.ipAddr.ipString)) &&
                  takeField(&field, entryEnd, rec.macAddr, sizeof(rec.macAddr)) &&
                  takeField(&field, entryEnd, rec.clientName, sizeof(rec.clientName), &longName);
    if (usable) {
      noteOverlong(&longDescription, field, entryEnd, sizeof(rec.clientDescription));
      dhcpUtilCopyText(rec.clientDescription, sizeof(rec.clientDescription), field,
                       static_cast<size_t>(entryEnd - field));
      for (char* c = rec.macAddr; *c != '\0'; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
      dhcpUtilConvertIPStringtoIPAddr(&rec.ipAddr, ipTypeAddress, false);
      int id = dhcpCompTakeReservedAddressInstanceID(cfg, &rec);
      if (id < 0) {
        usable = false;
      } else if (dhcpUtilIsValidHostName(rec.clientName) &&
                 dhcpUtilIsValidDescription(rec.clientDescription)) {
        usable = dhcpCompCheckAndAddReservedAddress(std::to_string(id), &rec) == DHCP_RC_OK;
      } else {
        usable = dhcpCompAddStoredReservedAddress(std::to_string(id), &rec) == DHCP_RC_OK;
        if (usable)
          logUnusable("reserved address (client name or description not allowed for new entries)", entry,
                      entryEnd, "kept as stored");
      }
    }
    if (!usable) {
      logUnusable("reserved address", entry, entryEnd, keepEntry(cfg->keptReservedAddrs, entry, entryEnd));
      return;
    }
    if (longName.begin != nullptr)
      keepOverlong(cfg, nameTag(rec), nameTag(rec), fieldText(rec.clientName), longName.begin, longName.end,
                   sizeof(rec.clientName) - 1, true);
    if (longDescription.begin != nullptr)
      keepOverlong(cfg, descriptionTag(rec), descriptionTag(rec), fieldText(rec.clientDescription),
                   longDescription.begin, longDescription.end, sizeof(rec.clientDescription) - 1, true);
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

// "vlanIds = ": a list the rule refuses is kept as written, so that a commit
// writes it back; telephones get none (dhcpd.conf), and CIM shows it.
void readVlanIds(s_dhcpCompConfig* cfg, const char* value) {
  copyValue(cfg->vlanIds, sizeof(cfg->vlanIds), value);
  // One too long for the field is reported as such.
  bool fits = strlen(cfg->vlanIds) == static_cast<size_t>(dhcpUtilLineEnd(value) - value);
  if (fits && dhcpCompVerifyVLANIds(cfg->vlanIds) != DHCP_RC_OK)
    logUnusable("VLAN id list", value, dhcpUtilLineEnd(value), "kept as written, telephones get none");
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

// ---- Writing ----

// Appends text[0, max) up to its terminator. A control character becomes a
// blank, so that no value can break its line and start a key of its own.
void appendText(std::string* out, const char* text, size_t max) {
  size_t length = strnlen(text, max);
  size_t at = out->size();
  out->append(text, length);
  for (size_t i = at; i < out->size(); ++i) {
    unsigned char c = static_cast<unsigned char>((*out)[i]);
    if (c < 0x20 || c == 0x7f) (*out)[i] = ' ';
  }
}

template <size_t N>
void appendText(std::string* out, const char (&field)[N]) {
  appendText(out, field, N);
}

// A field's text as the writer writes it.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
  std::string text;
  appendText(&text, field);
  return text;
}

// The field named tag: its text as written in the file while the writer
// would still write it as read, else current.
void appendKeptOr(std::string* out, const s_dhcpCompConfig& cfg, const std::string& tag,
                  const std::string& current) {
  const char* written = nullptr;
  forEachKeptValue(cfg.keptValues, [&](const KeptValue& v) {
    if (written == nullptr && tag == v.tag && current == v.asRead) written = v.written;
  });
  if (written == nullptr)
    *out += current;
  else
    appendText(out, written, DHCP_KEPT_VALUES_SIZE);
}

void appendNumber(std::string* out, long long value) {
  *out += std::to_string(value);
}

// Nothing when the flag says empty, else the address text.
void appendOptionalAddress(std::string* out, uint8_t empty, const s_ipAddr& a) {
  if (!empty) appendText(out, a.ipString);
}

// The entries kept as written, after the LAN's own ones.
void appendKept(std::string* out, const char* separator, const char (&kept)[DHCP_KEPT_ENTRIES_SIZE]) {
  if (kept[0] == '\0') return;
  *out += separator;
  appendText(out, kept);
}

// "<start>-<end>" per range slot in use, then the kept entries, joined by
// ", ".
void writeRanges(std::string* out, s_dhcpCompConfig* cfg) {
  const char* separator = "";
  for (const s_ipAddrRange& range : cfg->addrRanges) {
    if (range.startAddr.ipLong == 0) continue;
    *out += separator;
    appendText(out, range.startAddr.ipString);
    *out += '-';
    appendText(out, range.endAddr.ipString);
    separator = ", ";
  }
  appendKept(out, separator, cfg->keptAddrRanges);
}

// "<addr> <mac> <name> <description>" per reservation slot in use (an empty
// name or description leaves two blanks side by side), then the kept
// entries, joined by ", ".
void writeReservations(std::string* out, s_dhcpCompConfig* cfg) {
  const char* separator = "";
  for (const s_reservedAddr& rec : cfg->reservedAddrs) {
    if (rec.ipAddr.ipLong == 0) continue;
    *out += separator;
    appendText(out, rec.ipAddr.ipString);
    *out += ' ';
    appendText(out, rec.macAddr);
    *out += ' ';
    appendKeptOr(out, *cfg, nameTag(rec), fieldText(rec.clientName));
    *out += ' ';
    appendKeptOr(out, *cfg, descriptionTag(rec), fieldText(rec.clientDescription));
    separator = ", ";
  }
  appendKept(out, separator, cfg->keptReservedAddrs);
}

// A call server's address: the customer LAN's own address counts as none,
// and the record says so from then on.
void writeCallServerAddress(std::string* out, s_ipAddr* address, uint8_t* addressEmpty) {
  if (strcmp(address->ipString, CustomerLANIpConfig.ipAddress.ipString) == 0) *addressEmpty = 1;
  appendOptionalAddress(out, *addressEmpty, *address);
}

// "dnsServers": the second server only when it is set.
void writeDnsServers(std::string* out, s_dhcpCompConfig* cfg) {
  if (cfg->dnsServersEmpty) return;
  appendText(out, cfg->dnsServer1.ipString);
  if (cfg->dnsServer2.ipLong == 0) return;
  *out += ", ";
  appendText(out, cfg->dnsServer2.ipString);
}

// ---- The file's keys ----

// Where a key stands. The reader reads kServedLan keys for the customer LAN
// and its VLANs only (the OAM LAN's range is derived from its address). The
// writer writes kCustomerLan keys only in "[eth1]", which precedes the VLAN
// sections, so that a VLAN parse ends at the first of them.
enum KeyScope { kEverySection, kServedLan, kCustomerLan };

// One line of a section: the key as written (with its " = "), where its
// value comes from and goes to. absent is called when the reader does not
// find the key; without it the key is required and the parse of the
// interface ends there.
struct FileKey {
  const char* key;
  KeyScope scope;
  void (*read)(s_dhcpCompConfig* cfg, const char* value);
  void (*write)(std::string* out, s_dhcpCompConfig* cfg);
  void (*absent)(s_dhcpCompConfig* cfg);
};

void noDefault(s_dhcpCompConfig*) {}

using Cfg = s_dhcpCompConfig;
using Out = std::string;

// Every key of a section, in file order.
const FileKey kFileKeys[] = {
    {"dhcpStatus = ", kEverySection, [](Cfg* c, const char* v) { c->dhcpStatus = dhcpUtilLeadingInt(v); },
     [](Out* o, Cfg* c) { appendNumber(o, c->dhcpStatus); }, nullptr},
    {"dnsServers = ", kEverySection, readDnsServers, writeDnsServers, nullptr},
    {"domainName = ", kEverySection, readDomainName,
     [](Out* o, Cfg* c) {
       if (!c->domainNameEmpty) appendText(o, c->domainName);
     },
     nullptr},
    {"winsServer = ", kEverySection,
     [](Cfg* c, const char* v) { readAddressValue(&c->winsServer, &c->winsServerEmpty, v); },
     [](Out* o, Cfg* c) { appendOptionalAddress(o, c->winsServerEmpty, c->winsServer); }, nullptr},
    {"winsNodeType = ", kEverySection,
     [](Cfg* c, const char* v) { c->winsNodeType = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); },
     [](Out* o, Cfg* c) { appendNumber(o, c->winsNodeType); }, nullptr},
    {"defaultGateway = ", kEverySection,
     [](Cfg* c, const char* v) { readAddressValue(&c->defaultGateway, &c->defaultGatewayEmpty, v); },
     [](Out* o, Cfg* c) { appendOptionalAddress(o, c->defaultGatewayEmpty, c->defaultGateway); }, nullptr},
    {"leaseTime = ", kEverySection,
     [](Cfg* c, const char* v) { c->leaseTime = static_cast<uint32_t>(dhcpUtilatoul(const_cast<char*>(v))); },
     [](Out* o, Cfg* c) { appendNumber(o, c->leaseTime); }, nullptr},
    {"addrRange = ", kServedLan, readRanges, writeRanges, nullptr},
    {"reservedAddrs = ", kServedLan, readReservations, writeReservations, noDefault},
    {"s1Address = ", kCustomerLan,
     [](Cfg* c, const char* v) { readCallServerAddress(&c->s1Address, &c->s1AddressEmpty, v); },
     [](Out* o, Cfg* c) { writeCallServerAddress(o, &c->s1Address, &c->s1AddressEmpty); }, nullptr},
    {"s1PortNumber = ", kCustomerLan,
     [](Cfg* c, const char* v) { readCallServerPort(&c->s1PortNumber, &c->s1OtherPortNumber, v); },
     [](Out* o, Cfg* c) {
       appendNumber(o, static_cast<int>(c->s1PortNumber != 0 ? c->s1PortNumber : c->s1OtherPortNumber));
     },
     nullptr},
    {"s1Action = ", kCustomerLan,
     [](Cfg* c, const char* v) { c->s1Action = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); },
     [](Out* o, Cfg* c) { appendNumber(o, c->s1Action); }, nullptr},
    {"s1RetryCount = ", kCustomerLan,
     [](Cfg* c, const char* v) { c->s1RetryCount = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); },
     [](Out* o, Cfg* c) { appendNumber(o, c->s1RetryCount); }, nullptr},
    {"s2Address = ", kCustomerLan,
     [](Cfg* c, const char* v) { readCallServerAddress(&c->s2Address, &c->s2AddressEmpty, v); },
     [](Out* o, Cfg* c) { writeCallServerAddress(o, &c->s2Address, &c->s2AddressEmpty); }, nullptr},
    {"s2PortNumber = ", kCustomerLan,
     [](Cfg* c, const char* v) { readCallServerPort(&c->s2PortNumber, &c->s2OtherPortNumber, v); },
     [](Out* o, Cfg* c) {
       appendNumber(o, static_cast<int>(c->s2PortNumber != 0 ? c->s2PortNumber : c->s2OtherPortNumber));
     },
     nullptr},
    {"s2Action = ", kCustomerLan,
     [](Cfg* c, const char* v) { c->s2Action = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); },
     [](Out* o, Cfg* c) { appendNumber(o, c->s2Action); }, nullptr},
    {"s2RetryCount = ", kCustomerLan,
     [](Cfg* c, const char* v) { c->s2RetryCount = static_cast<uint8_t>(dhcpUtilLeadingInt(v)); },
     [](Out* o, Cfg* c) { appendNumber(o, c->s2RetryCount); }, nullptr},
    {"vlanIds = ", kCustomerLan, readVlanIds, [](Out* o, Cfg* c) { appendText(o, c->vlanIds); }, nullptr},
    {"spectraTFTPAddress = ", kCustomerLan,
     [](Cfg* c, const char* v) { readAddressValue(&c->spectraTFTPAddress, nullptr, v); },
     [](Out* o, Cfg* c) { appendText(o, c->spectraTFTPAddress.ipString); }, nullptr},
    {"spectraSVPAddress = ", kCustomerLan,
     [](Cfg* c, const char* v) { readAddressValue(&c->spectraSVPAddress, nullptr, v); },
     [](Out* o, Cfg* c) { appendText(o, c->spectraSVPAddress.ipString); }, nullptr},
    {"renewTimeLease = ", kCustomerLan,
     [](Cfg*, const char* v) {
       copyValue(CustomerLANIpConfig.renewTimeLease, sizeof(CustomerLANIpConfig.renewTimeLease), v);
     },
     [](Out* o, Cfg*) { appendText(o, CustomerLANIpConfig.renewTimeLease); }, nullptr},
    // Written as 0 whatever was read.
    {"startedFromPowerUp = ", kCustomerLan,
     [](Cfg*, const char* v) {
       CustomerLANIpConfig.startedFromPowerUp = static_cast<uint8_t>(dhcpUtilLeadingInt(v));
     },
     [](Out* o, Cfg*) { *o += '0'; }, nullptr},
    {"dhcpServerOnRouter = ", kCustomerLan, readDhcpServerOnRouter,
     [](Out* o, Cfg* c) { appendNumber(o, c->dhcpServerOnRouter); }, defaultDhcpServerOnRouter},
};

void clearAddress(s_ipAddr* a) {
  memset(a, 0, sizeof(*a));
}

// Values longer than their fields hold: the longest that fits (room), and
// for values whose first characters would be wrong to serve (another
// address, domain or VLAN list) how the field is left instead, unused.
struct OverlongRule {
  const char* key;
  size_t room;
  void (*unusable)(s_dhcpCompConfig* cfg);
};

const OverlongRule kOverlongRules[] = {
    {"dnsServers = ", DHCP_DNS_SERVERS_TEXT_SIZE - 1,
     [](Cfg* c) {
       c->dnsServersText[0] = '\0';
       clearAddress(&c->dnsServer1);
       clearAddress(&c->dnsServer2);
     }},
    {"domainName = ", DHCP_DOMAIN_NAME_SIZE - 1, [](Cfg* c) { c->domainName[0] = '\0'; }},
    {"winsServer = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->winsServer); }},
    {"defaultGateway = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->defaultGateway); }},
    {"s1Address = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->s1Address); }},
    {"s2Address = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->s2Address); }},
    {"vlanIds = ", DHCP_VLAN_IDS_SIZE - 1, [](Cfg* c) { c->vlanIds[0] = '\0'; }},
    {"spectraTFTPAddress = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->spectraTFTPAddress); }},
    {"spectraSVPAddress = ", DHCP_IP_STRING_SIZE - 1, [](Cfg* c) { clearAddress(&c->spectraSVPAddress); }},
    // Compared with the lease's renew time only: the cut text serves as well.
    {"renewTimeLease = ", DHCP_LEASE_TIME_TEXT_SIZE - 1, nullptr},
};

// After the key's value was read: one longer than its field (trailing
// blanks aside) is kept as written, and left unused where its first
// characters would be wrong.
void checkLength(s_dhcpCompConfig* cfg, const FileKey& k, const char* value) {
  const char* end = dhcpUtilLineEnd(value);
  while (end > value && (end[-1] == ' ' || end[-1] == '\t')) --end;
  for (const OverlongRule& rule : kOverlongRules) {
    if (strcmp(rule.key, k.key) != 0 || static_cast<size_t>(end - value) <= rule.room) continue;
    if (rule.unusable != nullptr) rule.unusable(cfg);
    std::string asRead;
    k.write(&asRead, cfg);
    keepOverlong(cfg, std::string(k.key, strlen(k.key) - 3), k.key, asRead, value, end, rule.room,
                 rule.unusable == nullptr);
  }
}

// One section from *cursor (just past its header). Keys are searched in
// order from the cursor to the end of the text. Returns false when the parse
// of this interface ends (a key is missing, or the OAM LAN has no room).
bool parseSection(TextCursor* cursor, s_dhcpCompConfig* cfg) {
  bool oamLan = strstr(cfg->interfaceName, DHCP_CUSTOMER_LAN_IFNAME) == nullptr;
  for (const FileKey& k : kFileKeys) {
    if (oamLan && k.scope != kEverySection) {
      cfg->dhcpStatus = 2;
      return addOamLanRange();
    }
    const char* value = findValue(cursor, k.key);
    if (value != nullptr) {
      k.read(cfg, value);
      checkLength(cfg, k, value);
    } else if (k.absent != nullptr)
      k.absent(cfg);
    else
      return false;
  }
  return true;
}

}  // namespace

int dhcpCompReadDhcpCompConfigFile(void) {
  char* text = dhcpUtilReadTextFile(g_strT20ConfigFilename, kMaxFileBytes);
  if (text == nullptr) {
    int reason = errno;
    if (reason == EFBIG)
      syslog(LOG_ERR, "%s is larger than %zu bytes, more than a configuration holds; not read.",
             g_strT20ConfigFilename, kMaxFileBytes);
    errno = reason;
    return 0;
  }
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

void dhcpCompWriteDhcpCompConfigFileForInterface(std::string* out, s_dhcpCompConfig* cfg) {
  if (out == nullptr || cfg == nullptr) return;
  *out += '[';
  appendText(out, cfg->interfaceName);
  *out += "]\n";
  bool customerLan = strcmp(cfg->interfaceName, kCallServerKeysSection) == 0;
  for (const FileKey& k : kFileKeys) {
    if (k.scope == kCustomerLan && !customerLan) continue;
    *out += k.key;
    std::string value;
    k.write(&value, cfg);
    appendKeptOr(out, *cfg, k.key, value);
    *out += '\n';
  }
}

std::string dhcpCompFormatDhcpCompConfig(char useSaved) {
  s_dhcpCompConfig* customer = useSaved ? &CustomerLANDhcpCompConfigSaved : &CustomerLANDhcpCompConfig;
  s_dhcpCompConfig* vlans = useSaved ? VLANDhcpCompConfigSaved : VLANDhcpCompConfig;
  s_dhcpCompConfig* oam = useSaved ? &OAMLANDhcpCompConfigSaved : &OAMLANDhcpCompConfig;

  std::string out;
  out.reserve(kInitialOutputSize);
  dhcpCompWriteDhcpCompConfigFileForInterface(&out, customer);
  out += '\n';
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    dhcpCompWriteDhcpCompConfigFileForInterface(&out, &vlans[i]);
    out += '\n';
  }
  dhcpCompWriteDhcpCompConfigFileForInterface(&out, oam);
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

namespace {

// A VLAN section's common values are the customer LAN's: so are those of
// them kept as written.
void shareKeptValues(s_dhcpCompConfig* vlan, const s_dhcpCompConfig& lan) {
  auto shared = [](const char* tag) {
    return strcmp(tag, "dnsServers = ") == 0 || strcmp(tag, "domainName = ") == 0 ||
           strcmp(tag, "winsServer = ") == 0;
  };
  char own[DHCP_KEPT_VALUES_SIZE];
  memcpy(own, vlan->keptValues, sizeof(own));
  memset(vlan->keptValues, 0, sizeof(vlan->keptValues));
  forEachKeptValue(own, [&](const KeptValue& v) {
    if (!shared(v.tag)) keepValue(vlan->keptValues, v);
  });
  forEachKeptValue(lan.keptValues, [&](const KeptValue& v) {
    if (shared(v.tag)) keepValue(vlan->keptValues, v);
  });
}

}  // namespace

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
    shareKeptValues(&vlan, lan);
  }
}
