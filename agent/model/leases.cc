// The server lease file: following dhcpd's appends and rewrites, the record
// reader, and the lease lists of the LANs with their provider lease objects.
//
// dhcpd.leases holds a record at every grant, renewal, release and decline;
// the last record of an address is the one in effect. The file is read once,
// in chunks through one descriptor, and the working copy is written from the
// same chunks. While dhcpd only appends (same inode, grown, the bytes before
// the old end unchanged), only the new tail is read, from the start of the
// last incomplete record, and applied to the lists; anything else is a full
// read. Reading and parsing happen under the reader's own mutex, outside the
// agent's lock; the caller holding the agent's lock only applies the result.
#include "model/leases.h"

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"
#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"
#include "lease_watch.h"
#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

const char kLeaseCopyTemp[] = DHCPD_LEASE_COPY_FILE ".new";
const char kRecordStart[] = "lease ";
const char kRecordEnd = '}';

// 99 characters and the terminator: the longest line the stdio record
// reader keeps.
const size_t kLeaseLineSize = 100;
// The longest line the list reader looks at: a host name of 255 bytes that
// dhcpd wrote with octal escapes fits.
const size_t kMaxParsedLine = 1100;
// A lease file larger than this is not listed at all.
const off_t kMaxLeaseFileSize = off_t{1} << 30;
// Above this size (settable) the file is read at most every kSlowReadPeriod.
const unsigned long kDefaultLeaseFileLimit = 64ul << 20;
const auto kSlowReadPeriod = std::chrono::seconds(30);
// Addresses listed at most, over all LANs (a /16 worth), and addresses one
// read keeps values for.
const size_t kMaxLeaseNodes = 65536;
const size_t kMaxReadAddresses = 4 * kMaxLeaseNodes;
// Small enough that a chunk stays in the processor's cache while it is copied
// and parsed.
const size_t kReadChunk = 1 << 18;
// What an unfinished record may carry over from one chunk to the next; a
// longer one is skipped anyway.
const size_t kMaxCarry = 64 * 1024;
// Bytes before the old end compared to tell an append from a rewrite in place.
const size_t kAppendCheckBytes = 64;

const char kNeverEnds[] = "99991231235959.000000+000";
// Host names are kept whole up to this many bytes.
const size_t kMaxHostName = 255;

// ---- Stamp of the lease file ----

// What identifies one version of the lease file: dhcpd appends to it and,
// when it rewrites it, replaces it with a new file.
struct LeaseFileStamp {
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
  struct timespec changed;
};

bool sameStamp(const LeaseFileStamp& a, const LeaseFileStamp& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
         a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
}

LeaseFileStamp stampOf(const struct stat& st) {
  LeaseFileStamp stamp;
  memset(&stamp, 0, sizeof(stamp));
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modified = st.st_mtim;
  stamp.changed = st.st_ctim;
  return stamp;
}

// g_dhcpdLeaseFileTime holds the stamp in words ("size mtime") and is empty
// while no stamp is held.
void forgetStamp() {
  g_dhcpdLeaseFileTime[0] = '\0';
}

void keepStamp(const LeaseFileStamp& stamp) {
  snprintf(g_dhcpdLeaseFileTime, sizeof(g_dhcpdLeaseFileTime), "%lld %lld.%09ld",
           static_cast<long long>(stamp.size), static_cast<long long>(stamp.modified.tv_sec),
           stamp.modified.tv_nsec);
}

time_t s_clock = 0;

time_t leaseNow() {
  return s_clock != 0 ? s_clock : time(nullptr);
}

// One line of a lease file, line end included, and whether it fits the
// reader's line buffer. Lines that do not fit carry nothing the agent reads
// (long "uid", "set" and "option" lines): they are left out whole.
struct LeaseLine {
  const char* text;
  size_t length;
  bool fits;
};

// A line fits when it has at most kLeaseLineSize - 1 characters with its
// line end (kLeaseLineSize - 2 without, at the end of the file).
bool lineFits(const char* text, size_t length) {
  bool ended = length > 0 && text[length - 1] == '\n';
  return length + (ended ? 0 : 1) <= kLeaseLineSize - 1;
}

// The lines of a lease file read through stdio into a line buffer; a longer
// line is consumed whole and keeps only its start.
class FileLines {
 public:
  explicit FileLines(FILE* file) : m_file(file) {}
  bool next(LeaseLine* line) {
    size_t length = 0, kept = 0;
    int c;
    while ((c = getc_unlocked(m_file)) != EOF) {
      if (kept < sizeof(m_buffer) - 1) m_buffer[kept++] = static_cast<char>(c);
      ++length;
      if (c == '\n') break;
    }
    if (length == 0) return false;
    m_buffer[kept] = '\0';
    *line = {m_buffer, kept, kept == length && lineFits(m_buffer, kept)};
    return true;
  }

 private:
  FILE* m_file;
  char m_buffer[kLeaseLineSize];
};

template <size_t N>
bool startsWith(const char* text, size_t length, const char (&prefix)[N]) {
  return length >= N - 1 && memcmp(text, prefix, N - 1) == 0;
}

// The framing of records that both readers share: a record runs from a
// "lease " line to its "}" line; one that meets another "lease " line first
// is dropped, not merged; lines beyond the reader's line limit are left out;
// a record whose kept lines exceed the record buffer is skipped whole.
class RecordFrame {
 public:
  enum Step { kOutside, kStart, kLine, kEnd };

  // What the line is to the records; *keep tells whether it is one of the
  // record's kept lines (fits: within the reader's line limit).
  Step next(const char* text, size_t length, bool fits, bool* keep) {
    *keep = false;
    if (startsWith(text, length, kRecordStart)) {
      m_inRecord = true;
      m_broken = !fits;
      m_used = 0;
      *keep = take(length);
      return kStart;
    }
    if (!m_inRecord) return kOutside;
    if (text[0] == kRecordEnd) {
      m_inRecord = false;
      return m_broken ? kOutside : kEnd;
    }
    if (fits) *keep = take(length);
    return kLine;
  }

  bool inRecord() const { return m_inRecord; }
  // The record cannot be used: it is skipped up to its end.
  void skipRecord() { m_broken = true; }

 private:
  bool take(size_t length) {
    if (m_broken) return false;
    if (m_used + length >= DHCP_LEASE_RECORD_SIZE) {
      m_broken = true;
      return false;
    }
    m_used += length;
    return true;
  }

  bool m_inRecord = false;
  bool m_broken = false;
  size_t m_used = 0;
};

// Finds the next complete record and hands its kept lines to sink: start()
// at its first line, add() for each kept line (the first included),
// finish() at the "}" line. False at the end of the lines.
template <class Lines, class Sink>
bool readLeaseRecord(Lines& lines, Sink& sink) {
  LeaseLine line;
  RecordFrame frame;
  while (lines.next(&line)) {
    bool keep = false;
    RecordFrame::Step step = frame.next(line.text, line.length, line.fits, &keep);
    if (step == RecordFrame::kStart) sink.start(line);
    if (step == RecordFrame::kEnd) {
      sink.finish(line);
      return true;
    }
    if (keep) sink.add(line);
  }
  return false;
}

// Copies a record's kept lines into a record buffer, terminated.
class CopySink {
 public:
  explicit CopySink(char* out) : m_out(out) {}
  void start(const LeaseLine&) { m_used = 0; }
  void add(const LeaseLine& line) {
    memcpy(m_out + m_used, line.text, line.length);
    m_used += line.length;
  }
  void finish(const LeaseLine&) { m_out[m_used] = '\0'; }

 private:
  char* m_out;
  size_t m_used = 0;
};

// The first c in [p, end); nullptr when there is none. The lines of a lease
// file are short, so they are searched inline, 16 bytes at a time where the
// processor compares that many at once, rather than with a call per line;
// the bytes up to limit (at or after end) may be looked at too.
// Inlined into its callers: a call would cost more than most searches.
__attribute__((always_inline)) inline const char* findByte(const char* p, const char* end, char c,
                                                           const char* limit) {
#ifdef __SSE2__
  const __m128i wanted = _mm_set1_epi8(c);
  for (; p < end && limit - p >= 16; p += 16) {
    int hits =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), wanted));
    if (hits != 0) {
      const char* at = p + __builtin_ctz(static_cast<unsigned>(hits));
      return at < end ? at : nullptr;
    }
  }
  for (; p < end; ++p)
    if (*p == c) return p;
  return nullptr;
#else
  (void)limit;
  return static_cast<const char*>(memchr(p, c, static_cast<size_t>(end - p)));
#endif
}

__attribute__((always_inline)) inline const char* findByte(const char* p, const char* end, char c) {
  return findByte(p, end, c, end);
}

// ---- Lease times ----

int digits(const char* p, int n) {
  int value = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return -1;
    value = value * 10 + (p[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian, years
// 0 to 9999). Counted from the year -400, so that every term is positive.
int64_t daysFromCivil(int year, int month, int day) {
  uint32_t y = static_cast<uint32_t>(year + 400 - (month <= 2 ? 1 : 0));
  uint32_t era = y / 400, yoe = y % 400;
  uint32_t doy =
      (153 * static_cast<uint32_t>(month + (month > 2 ? -3 : 9)) + 2) / 5 + static_cast<uint32_t>(day) - 1;
  uint32_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int64_t>(era) * 146097 + doe - 719468 - 146097;
}

bool leapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A lease time as dhcpd writes it, up to its ";": "W YYYY/MM/DD HH:MM:SS"
// (UTC), "epoch <seconds>" (with db-time-format local) or "never".
enum TimeKind { kNoTime, kAtTime, kNever };

TimeKind leaseTime(const char* value, const char* lineEnd, int64_t* seconds, const char* limit) {
  const char* stop = findByte(value, lineEnd, ';', limit);
  if (stop == nullptr) return kNoTime;
  size_t length = static_cast<size_t>(stop - value);
  if (length == 5 && memcmp(value, "never", 5) == 0) return kNever;
  if (length > 6 && length <= 6 + 12 && memcmp(value, "epoch ", 6) == 0) {
    int64_t s = 0;
    for (const char* p = value + 6; p < stop; ++p) {
      if (*p < '0' || *p > '9') return kNoTime;
      s = s * 10 + (*p - '0');
    }
    // Year 9999 at most, as a CIM date-time holds it.
    if (s > 253402300799) return kNoTime;
    *seconds = s;
    return kAtTime;
  }
  if (length != 21 || value[1] != ' ' || value[6] != '/' || value[9] != '/' || value[12] != ' ' ||
      value[15] != ':' || value[18] != ':' || value[0] < '0' || value[0] > '6')
    return kNoTime;
  int year = digits(value + 2, 4), month = digits(value + 7, 2), day = digits(value + 10, 2);
  int hour = digits(value + 13, 2), minute = digits(value + 16, 2), second = digits(value + 19, 2);
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 60)
    return kNoTime;
  int monthDays = kMonthDays[month - 1] + (month == 2 && leapYear(year) ? 1 : 0);
  if (day > monthDays) return kNoTime;
  *seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return kAtTime;
}

void putDigits(char* out, int value, int n) {
  for (int i = n - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

// The CIM date-time text of a lease time (0 to the end of year 9999); a time
// the record did not give reads as dhcpd's zero, the epoch.
void cimTime(int64_t seconds, char* out) {
  if (seconds < 0 || seconds > 253402300799) seconds = 0;
  int64_t days = seconds / 86400, rest = seconds % 86400;
  // Civil date from the day count (proleptic Gregorian).
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  putDigits(out, year, 4);
  putDigits(out + 4, month, 2);
  putDigits(out + 6, day, 2);
  putDigits(out + 8, static_cast<int>(rest / 3600), 2);
  putDigits(out + 10, static_cast<int>(rest / 60 % 60), 2);
  putDigits(out + 12, static_cast<int>(rest % 60), 2);
  memcpy(out + 14, ".000000+000", 12);
}

// ---- Records ----

// The values of a record an object shows; the start and the hardware
// address as written, converted only for the record that is shown.
struct LeaseValues {
  char starts[24] = "";
  int64_t ends = 0;
  bool never = false;
  char mac[DHCP_MAC_ADDR_SIZE] = "";
  std::string host;
};

// A piece of the text being read.
struct TextSpan {
  const char* data = "";
  size_t size = 0;
};

// One record of the file as read: the address, whether it holds the address
// now, and where in the text being read its values are.
//   lease <address> {
//     starts <weekday> <yyyy/mm/dd> <hh:mm:ss>;   ends ...;
//     binding state <state>;   hardware ethernet <mac>;   client-hostname "<name>";
struct LeaseRecord {
  uint32_t address = 0;
  bool haveAddress = false, haveState = false, active = false;
  TimeKind ends = kNoTime;
  int64_t endSeconds = 0;
  TextSpan starts;  // with its ";"
  TextSpan mac;
  TextSpan host;

  // dhcpd lists a lease while its binding state is active (a record of an
  // old server without one counts as active) and its end lies ahead.
  bool current(time_t now) const {
    if (haveState && !active) return false;
    return ends == kNever || (ends == kAtTime && endSeconds > now);
  }

  void keepValues(LeaseValues* v) const {
    memcpy(v->starts, starts.data, starts.size);
    v->starts[starts.size] = '\0';
    v->ends = endSeconds;
    v->never = ends == kNever;
    memcpy(v->mac, mac.data, mac.size);
    v->mac[mac.size] = '\0';
    v->host.assign(host.data, host.size);
  }
};

// dhcpd writes canonical dotted quads (no leading zeros), followed by a
// blank; nothing else is taken. The line ends in a '\n', where the reading
// stops at the latest.
bool parseAddress(const char* p, uint32_t* address) {
  uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *p++ != '.') return false;
    const char* first = p;
    uint32_t octet = 0;
    for (unsigned digit; p - first < 4 && (digit = static_cast<unsigned char>(*p) - 48u) <= 9; ++p)
      octet = octet * 10 + digit;
    ptrdiff_t length = p - first;
    if (length == 0 || length > 3 || octet > 255 || (length > 1 && *first == '0')) return false;
    value = value << 8 | octet;
  }
  if (*p != ' ' && *p != '\n') return false;
  *address = value;
  return value != 0;
}

// The value of a statement up to its ";" (with it when withStop), empty when
// it has none or is not shorter than size.
TextSpan statement(const char* value, const char* lineEnd, const char* limit, size_t size, bool withStop) {
  const char* stop = findByte(value, lineEnd, ';', limit);
  TextSpan out;
  size_t length = stop != nullptr ? static_cast<size_t>(stop - value) + (withStop ? 1 : 0) : 0;
  if (length > 0 && length < size) out = {value, length};
  return out;
}

void parseBindingState(const char* value, const char* lineEnd, const char* limit, LeaseRecord* r) {
  const char* stop = findByte(value, lineEnd, ';', limit);
  if (stop == nullptr) return;
  r->haveState = true;
  // Only "active" is a lease a client holds (not "abandoned", "free",
  // "expired", "released", "reset", "backup").
  r->active = stop - value == 6 && memcmp(value, "active", 6) == 0;
}

// The name up to its closing quote, whole up to 255 bytes.
void parseHostname(const char* value, const char* lineEnd, const char* limit, LeaseRecord* r) {
  const char* quote = findByte(value, lineEnd, '"', limit);
  const char* stop = quote != nullptr ? quote : lineEnd;
  while (stop > value && (stop[-1] == '\n' || stop[-1] == '\r')) --stop;
  r->host = {value, std::min(static_cast<size_t>(stop - value), kMaxHostName)};
}

// One line inside a record (leading blanks included, line end included), in
// a text readable up to limit.
void parseRecordLine(const char* p, const char* lineEnd, const char* limit, LeaseRecord* r) {
  // dhcpd indents by two blanks.
  if (lineEnd - p > 2 && p[0] == ' ' && p[1] == ' ' && p[2] != ' ' && p[2] != '\t')
    p += 2;
  else
    while (p < lineEnd && (*p == ' ' || *p == '\t')) ++p;
  size_t length = static_cast<size_t>(lineEnd - p);
  // Most lines of a record are of no interest: their first letter says so.
  switch (length > 0 ? *p : '\0') {
    case 's':
      if (startsWith(p, length, "starts "))
        r->starts = statement(p + 7, lineEnd, limit, sizeof(LeaseValues::starts), true);
      break;
    case 'e':
      if (startsWith(p, length, "ends ")) r->ends = leaseTime(p + 5, lineEnd, &r->endSeconds, limit);
      break;
    case 'b':
      if (startsWith(p, length, "binding state ")) parseBindingState(p + 14, lineEnd, limit, r);
      break;
    case 'a':
      // Servers before binding states marked a declined address so.
      if (startsWith(p, length, "abandoned;")) r->haveState = true, r->active = false;
      break;
    case 'h':
      if (startsWith(p, length, "hardware ethernet "))
        r->mac = statement(p + 18, lineEnd, limit, sizeof(LeaseValues::mac), false);
      break;
    case 'c':
      if (startsWith(p, length, "client-hostname \"")) parseHostname(p + 17, lineEnd, limit, r);
      break;
    default:
      break;
  }
}

// Values by IPv4 address (never 0), kept in the order they were added: an
// open addressing table on the address's 32-bit value, with no node or
// allocation per value.
template <class V>
class AddressMap {
 public:
  static constexpr size_t npos = SIZE_MAX;
  using Item = std::pair<uint32_t, V>;

  // The index of address's value; npos when it has none.
  size_t find(uint32_t address) const {
    if (m_slots.empty()) return npos;
    for (size_t s = slotOf(address);; s = (s + 1) & (m_slots.size() - 1)) {
      if (m_slots[s].address == address) return m_slots[s].index;
      if (m_slots[s].address == 0) return npos;
    }
  }

  // The index of a new value-initialised value of an address that has none.
  size_t add(uint32_t address) {
    if ((m_items.size() + 1) * 4 > m_slots.size() * 3) grow();
    m_items.emplace_back(address, V());
    place(address, m_items.size() - 1);
    return m_items.size() - 1;
  }

  // The index of address's value, added when it had none.
  size_t findOrAdd(uint32_t address) {
    size_t index = find(address);
    return index != npos ? index : add(address);
  }

  V& value(size_t index) { return m_items[index].second; }
  const V& value(size_t index) const { return m_items[index].second; }
  std::vector<Item>& items() { return m_items; }
  size_t size() const { return m_items.size(); }

  void clear() {
    std::vector<Slot>().swap(m_slots);
    std::vector<Item>().swap(m_items);
  }

 private:
  struct Slot {
    uint32_t address;
    uint32_t index;
  };

  // Multiplicative hashing: the high bits of the product spread the
  // neighbouring addresses of a network over the table.
  size_t slotOf(uint32_t address) const { return static_cast<uint32_t>(address * 2654435769u) >> m_shift; }

  void place(uint32_t address, size_t index) {
    size_t s = slotOf(address);
    while (m_slots[s].address != 0) s = (s + 1) & (m_slots.size() - 1);
    m_slots[s] = {address, static_cast<uint32_t>(index)};
  }

  void grow() {
    size_t slots = m_slots.empty() ? 64 : 2 * m_slots.size();
    m_slots.assign(slots, Slot{0, 0});
    m_shift = 32 - __builtin_ctzll(slots);
    for (size_t i = 0; i < m_items.size(); ++i) place(m_items[i].first, i);
  }

  std::vector<Slot> m_slots;
  std::vector<Item> m_items;
  int m_shift = 0;
};

// What a read of the file (whole, or its appended tail) found: where an
// address's state changes, in file order, and for each address whether its
// last record is current and the values of its last current record. A
// record that repeats the state of the address's record before it changes
// nothing in the lists and is not an event.
struct LeaseBatch {
  struct Event {
    uint32_t address;
    uint32_t current;
  };
  struct Latest {
    bool current = false;
    bool haveValues = false;
    // held is the last current record, in the text being read.
    bool holding = false;
    LeaseRecord held;
    LeaseValues values;
  };
  bool full = false;
  std::vector<Event> events;
  AddressMap<Latest> latest;
  std::vector<size_t> holding;

  // The index of an address whose record starts (npos when it has none), for
  // add() at the record's end; its entry is fetched into the cache meanwhile.
  size_t lookUp(uint32_t address) const {
    size_t index = latest.find(address);
    if (index != AddressMap<Latest>::npos) {
      const char* entry = reinterpret_cast<const char*>(&latest.value(index));
      __builtin_prefetch(entry);
      __builtin_prefetch(entry + sizeof(Latest) - 1);
    }
    return index;
  }

  void add(const LeaseRecord& r, size_t index, time_t now) {
    bool current = r.current(now);
    if (index == AddressMap<Latest>::npos) {
      // Addresses beyond the limit are not listed; their ends still count.
      if (latest.size() >= kMaxReadAddresses) {
        if (!current) events.push_back({r.address, 0});
        return;
      }
      index = latest.add(r.address);
    } else if (latest.value(index).current == current) {
      if (current) hold(index, r);
      return;
    }
    latest.value(index).current = current;
    if (current) hold(index, r);
    events.push_back({r.address, current ? 1u : 0u});
  }

  // An address's values are copied out of the text once it is read, not at
  // each of its records.
  void hold(size_t index, const LeaseRecord& r) {
    Latest& l = latest.value(index);
    l.held = r;
    if (!l.holding) holding.push_back(index);
    l.holding = true;
  }

  void keepHeld() {
    for (size_t index : holding) {
      Latest& l = latest.value(index);
      l.held.keepValues(&l.values);
      l.haveValues = true;
      l.holding = false;
    }
    holding.clear();
  }

  // A later read's records follow this one's.
  void append(LeaseBatch&& later) {
    if (later.full) {
      *this = std::move(later);
      return;
    }
    events.insert(events.end(), later.events.begin(), later.events.end());
    for (AddressMap<Latest>::Item& item : later.latest.items()) {
      Latest& l = latest.value(latest.findOrAdd(item.first));
      l.current = item.second.current;
      if (item.second.haveValues) {
        l.values = std::move(item.second.values);
        l.haveValues = true;
      }
    }
  }
};

// Reads the complete records of [begin, end) into batch. Returns where the
// first incomplete record starts (or the end of the last whole line outside
// a record): the next read of an appended tail starts there. A record counts
// with its address and binding state alone.
const char* parseLeaseText(const char* begin, const char* end, time_t now, LeaseBatch* batch) {
  LeaseRecord record;
  RecordFrame frame;
  size_t known = AddressMap<LeaseBatch::Latest>::npos;
  const char* consumed = begin;
  for (const char* p = begin; p < end;) {
    const char* newline = findByte(p, end, '\n');
    const char* lineEnd = newline != nullptr ? newline + 1 : end;
    size_t length = static_cast<size_t>(lineEnd - p);
    // An unfinished last line waits for its rest, but for a record's "}".
    if (newline == nullptr && !(frame.inRecord() && *p == kRecordEnd)) break;
    bool keep = false;
    switch (frame.next(p, length, length <= kMaxParsedLine, &keep)) {
      case RecordFrame::kStart:
        consumed = p;
        record = LeaseRecord();
        record.haveAddress = parseAddress(p + sizeof(kRecordStart) - 1, &record.address);
        if (record.haveAddress)
          known = batch->lookUp(record.address);
        else
          frame.skipRecord();
        break;
      case RecordFrame::kLine:
        if (keep) parseRecordLine(p, lineEnd, end, &record);
        break;
      case RecordFrame::kEnd:
        batch->add(record, known, now);
        consumed = lineEnd;
        break;
      case RecordFrame::kOutside:
        consumed = lineEnd;
        break;
    }
    p = lineEnd;
  }
  batch->keepHeld();
  return consumed;
}

// ---- The lease lists ----

// The lists the leases go to: the OAM LAN, the customer LAN, its VLANs.
const int kLanLists = 2 + DHCP_MAX_VLANS;

s_dhcpCompConfig* lanList(int index) {
  if (index == 0) return &OAMLANDhcpCompConfig;
  if (index == 1) return &CustomerLANDhcpCompConfig;
  return &VLANDhcpCompConfig[index - 2];
}

const s_ethIpConfig& lanInterface(int index) {
  if (index == 0) return OAMLANIpConfig;
  if (index == 1) return CustomerLANIpConfig;
  return VLANIpConfig[index - 2];
}

int usedLanLists() {
  return 2 + std::min(std::max(num_of_available_vlans, 0), DHCP_MAX_VLANS);
}

// A LAN without an address serves no leases.
bool servesAddress(const s_ethIpConfig& eth, uint32_t address) {
  return dhcpUtilHasNetwork(&eth) && dhcpUtilInInterfaceNetwork(&eth, address);
}

// The list whose LAN's network holds address: the OAM LAN, the customer LAN,
// then the VLANs in their order; -1 when none does.
int leaseOwner(uint32_t address) {
  for (int i = 0; i < usedLanLists(); ++i)
    if (servesAddress(lanInterface(i), address)) return i;
  return -1;
}

// Every lease list of the agent: customer LAN, OAM LAN and all VLAN records.
template <class F>
void forEachLeaseList(F&& f) {
  f(&CustomerLANDhcpCompConfig);
  f(&OAMLANDhcpCompConfig);
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) f(&VLANDhcpCompConfig[i]);
}

// The lease lists as the records of the file made them. Each address that
// ever held a lease has one node in its LAN's list; the node has an object
// while the lease is current. Applying a batch runs its records in order:
// a current record gives the address a lease (a new one, with the next
// instance id of its LAN kind, when it had none), any other record ends it.
// Customer LAN and VLANs count ids from 0, the OAM LAN from 1; a full read
// starts the counts again, an appended tail goes on with them, so a tail
// gives the ids a full read of the grown file would give. Works under the
// agent's lock.
class LeaseLists {
 public:
  // True while the lists and networks are as the last apply left them
  // (records torn down or a network changed mean a full read).
  bool matchesLans() const { return m_heads == heads() && m_networks == networks(); }

  // Frees every list and starts the counts again.
  void reset() {
    forEachLeaseList(dhcpCompDeallocConfigLeaseInfo);
    m_entries.clear();
    m_tails.fill(nullptr);
    m_customerCount = 0;
    m_oamCount = 1;
    m_nextExpiry = INT64_MAX;
    m_heads = heads();
    m_networks = networks();
  }

  void apply(const LeaseBatch& batch) {
    if (batch.full) reset();
    bool full = false;
    std::vector<size_t> touched;
    for (const LeaseBatch::Event& event : batch.events) {
      size_t index = m_entries.find(event.address);
      if (index == AddressMap<Entry>::npos) {
        if (!event.current) continue;
        int lan = leaseOwner(event.address);
        if (lan < 0) continue;
        s_leaseInfo* node = m_entries.size() < kMaxLeaseNodes ? newNode(event.address, lan) : nullptr;
        if (node == nullptr) {
          full = true;
          continue;
        }
        index = m_entries.add(event.address);
        m_entries.value(index) = Entry{node, 0, 0, static_cast<uint8_t>(lan)};
      }
      Entry& e = m_entries.value(index);
      if (!event.current && !e.live) continue;
      if (event.current && !e.live) e.id = e.lan == 0 ? m_oamCount++ : m_customerCount++;
      e.live = event.current != 0;
      if (!e.touched) touched.push_back(index);
      e.touched = true;
    }
    for (size_t index : touched) {
      AddressMap<Entry>::Item& item = m_entries.items()[index];
      size_t latest = batch.latest.find(item.first);
      show(item.second,
           latest != AddressMap<LeaseBatch::Latest>::npos ? &batch.latest.value(latest) : nullptr);
    }
    m_heads = heads();
    m_networks = networks();
    if (full)
      syslog(LOG_WARNING, "Server lease file %s: only the first %zu addresses are listed.", DHCPD_LEASE_FILE,
             m_entries.size());
  }

  // The earliest end of a listed lease; INT64_MAX when none ends.
  int64_t nextExpiry() const { return m_nextExpiry; }

  // Ends the leases whose end has come.
  void expire(time_t now) {
    if (now < m_nextExpiry) return;
    m_nextExpiry = INT64_MAX;
    for (AddressMap<Entry>::Item& item : m_entries.items()) {
      Entry& e = item.second;
      if (!e.live) continue;
      if (e.ends <= now) {
        e.live = false;
        dropObject(e);
      } else {
        m_nextExpiry = std::min(m_nextExpiry, e.ends);
      }
    }
  }

 private:
  struct Entry {
    s_leaseInfo* node;
    int64_t ends;  // INT64_MAX for a lease that never ends
    uint32_t id;   // the id of the address's current lease
    uint8_t lan;
    bool live = false;
    bool touched = false;
  };

  // The instance id of the address's object; empty when it has none.
  static std::string objectId(const Entry& e) {
    const TavrelLeaseInfo* object = e.lan == 0
                                        ? static_cast<const TavrelLeaseInfo*>(e.node->oamLanLease)
                                        : static_cast<const TavrelLeaseInfo*>(e.node->customerLanLease);
    std::string id;
    OpenWBEM::Array<OpenWBEM::CIMQualifier> qualifiers;
    if (object != nullptr) object->getInstanceID(id, qualifiers);
    return id;
  }

  static std::array<s_leaseInfo*, kLanLists> heads() {
    std::array<s_leaseInfo*, kLanLists> out;
    for (int i = 0; i < kLanLists; ++i) out[i] = lanList(i)->leaseInfoList;
    return out;
  }

  static std::vector<uint32_t> networks() {
    std::vector<uint32_t> out{static_cast<uint32_t>(usedLanLists())};
    for (int i = 0; i < usedLanLists(); ++i) {
      const s_ethIpConfig& eth = lanInterface(i);
      out.push_back(dhcpUtilHasNetwork(&eth) ? eth.ipAddress.ipLong & eth.netmask.ipLong : 0);
      out.push_back(eth.netmask.ipLong);
    }
    return out;
  }

  s_leaseInfo* newNode(uint32_t address, int lan) {
    s_leaseInfo* node = static_cast<s_leaseInfo*>(calloc(1, sizeof(s_leaseInfo)));
    if (node == nullptr) return nullptr;
    node->ipAddr.ipLong = address;
    dhcpUtilConvertIPAddrLongtoIPAddr(&node->ipAddr);
    node->bindingActive = 1;
    s_leaseInfo*& tail = m_tails[lan];
    if (tail == nullptr) {
      // The list is empty: it was reset, or it only ever holds this agent's nodes.
      s_dhcpCompConfig* cfg = lanList(lan);
      s_leaseInfo* last = cfg->leaseInfoList;
      while (last != nullptr && last->next != nullptr) last = last->next;
      if (last == nullptr)
        cfg->leaseInfoList = node;
      else
        last->next = node;
    } else {
      tail->next = node;
    }
    tail = node;
    return node;
  }

  void dropObject(Entry& e) {
    if (e.lan == 0) {
      dhcpCompDeleteOamLanLeaseObject(e.node->oamLanLease);
      e.node->oamLanLease = nullptr;
    } else {
      dhcpCompDeleteCustomerLanLeaseObject(e.node->customerLanLease);
      e.node->customerLanLease = nullptr;
    }
  }

  // Gives the address's object the values of its last current record, or
  // takes the object away when its lease ended.
  void show(Entry& e, const LeaseBatch::Latest* latest) {
    e.touched = false;
    bool hasObject = e.node->oamLanLease != nullptr || e.node->customerLanLease != nullptr;
    if (hasObject && (!e.live || objectId(e) != std::to_string(e.id))) dropObject(e);
    if (!e.live || latest == nullptr || !latest->haveValues) {
      e.live = false;
      return;
    }
    const LeaseValues& v = latest->values;
    char starts[DHCP_LEASE_TIME_TEXT_SIZE], ends[DHCP_LEASE_TIME_TEXT_SIZE], mac[DHCP_MAC_ADDR_SIZE];
    int64_t startSeconds = 0;
    if (leaseTime(v.starts, v.starts + strlen(v.starts), &startSeconds, v.starts + strlen(v.starts)) !=
        kAtTime)
      startSeconds = 0;
    cimTime(startSeconds, starts);
    memcpy(mac, v.mac, sizeof(mac));
    if (dhcpUtilNormaliseMacAddr(mac) != DHCP_RC_OK) mac[0] = '\0';
    if (v.never)
      memcpy(ends, kNeverEnds, sizeof(kNeverEnds));
    else
      cimTime(v.ends, ends);
    s_leaseInfo* node = e.node;
    memcpy(node->hardwareAddr, mac, sizeof(node->hardwareAddr));
    snprintf(node->starts, sizeof(node->starts), "%s", starts);
    snprintf(node->ends, sizeof(node->ends), "%s", ends);
    dhcpUtilCopyText(node->clientHostname, sizeof(node->clientHostname), v.host.data(), v.host.size());
    if (e.lan == 0) {
      if (node->oamLanLease == nullptr)
        node->oamLanLease = new ZPX_DHCPClientLeaseInfoOAMLANImpl(std::to_string(e.id));
      node->oamLanLease->initContents(node, v.host);
    } else {
      if (node->customerLanLease == nullptr)
        node->customerLanLease = new ZPX_DHCPClientLeaseInfoCustomerLANImpl(std::to_string(e.id));
      node->customerLanLease->initContents(node, v.host);
    }
    e.ends = v.never ? INT64_MAX : v.ends;
    if (!v.never) m_nextExpiry = std::min(m_nextExpiry, v.ends);
  }

  AddressMap<Entry> m_entries;
  std::array<s_leaseInfo*, kLanLists> m_tails{};
  std::array<s_leaseInfo*, kLanLists> m_heads{};
  std::vector<uint32_t> m_networks;
  uint32_t m_customerCount = 0;
  uint32_t m_oamCount = 1;
  int64_t m_nextExpiry = INT64_MAX;
};

LeaseLists s_lists;
// s_lists.nextExpiry() for the lease watch, which does not take the lock.
std::atomic<int64_t> s_nextLeaseEnd{INT64_MAX};

// ---- Reading the file ----

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

ssize_t readAt(int fd, char* out, size_t size, off_t at) {
  for (;;) {
    ssize_t got = pread(fd, out, size, at);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// What the reader knows of the file it read last. Guarded by s_readMutex.
struct ReaderState {
  bool have = false;
  LeaseFileStamp stamp;
  off_t resume = 0;          // where an appended tail is read from
  std::string before;        // the kAppendCheckBytes before the end read
  bool fullNext = false;     // the next change is read whole
  bool limitLogged = false;  // the size limit was logged for this file
  std::chrono::steady_clock::time_point lastRead;
  unsigned long limit = kDefaultLeaseFileLimit;
  std::unique_ptr<LeaseBatch> pending;  // read, not yet applied
};

std::mutex s_readMutex;
ReaderState s_reader;

void addPending(std::unique_ptr<LeaseBatch> batch) {
  if (s_reader.pending == nullptr)
    s_reader.pending = std::move(batch);
  else
    s_reader.pending->append(std::move(*batch));
}

// The file is gone or unusable: the lists and the working copy must not
// show a stale state. True when there was something to take back.
bool dropFile() {
  bool had = s_reader.have || access(DHCPD_LEASE_COPY_FILE, F_OK) == 0;
  s_reader.have = false;
  forgetStamp();
  unlink(DHCPD_LEASE_COPY_FILE);
  if (had) {
    std::unique_ptr<LeaseBatch> empty(new LeaseBatch);
    empty->full = true;
    addPending(std::move(empty));
  }
  return had;
}

// The bytes before size, to recognise the file's start when it grows.
std::string bytesBefore(int fd, off_t size) {
  size_t n = static_cast<size_t>(std::min<off_t>(size, static_cast<off_t>(kAppendCheckBytes)));
  std::string out(n, '\0');
  if (n > 0 && readAt(fd, &out[0], n, size - static_cast<off_t>(n)) != static_cast<ssize_t>(n)) out.clear();
  return out;
}

// Reads [from, to) of fd in chunks, parses the records and writes the bytes
// from copyFrom on to copy (when copy >= 0; *copyOk false when that fails).
// Sets *resume to the start of the first incomplete record. False when the
// file cannot be read.
bool readRecords(int fd, off_t from, off_t to, int copy, off_t copyFrom, bool* copyOk, LeaseBatch* batch,
                 off_t* resume) {
  // Not zeroed: only bytes read into it are parsed. A chunk and what an
  // unfinished record carries over always fit.
  std::unique_ptr<char[]> buffer(
      new char[static_cast<size_t>(std::min<off_t>(to - from, kReadChunk)) + kMaxCarry]);
  time_t now = leaseNow();
  size_t carry = 0;
  off_t at = from;
  while (at < to) {
    size_t want = static_cast<size_t>(std::min<off_t>(to - at, kReadChunk));
    ssize_t got = readAt(fd, buffer.get() + carry, want, at);
    if (got < 0) return false;
    if (got == 0) break;  // cut short under us: what was read stands
    if (copy >= 0 && *copyOk && at + got > copyFrom) {
      off_t skip = std::max<off_t>(copyFrom - at, 0);
      *copyOk = writeAll(copy, buffer.get() + carry + skip, static_cast<size_t>(got - skip));
    }
    at += got;
    size_t held = carry + static_cast<size_t>(got);
    const char* consumed = parseLeaseText(buffer.get(), buffer.get() + held, now, batch);
    carry = held - static_cast<size_t>(consumed - buffer.get());
    // An unfinished record this long is one the reader skips.
    if (carry > kMaxCarry) carry = 0;
    memmove(buffer.get(), buffer.get() + held - carry, carry);
  }
  *resume = at - static_cast<off_t>(carry);
  return true;
}

// Reads the whole file into a full batch and the working copy.
bool readWhole(int fd, off_t size, LeaseBatch* batch, off_t* resume) {
  batch->full = true;
  int copy = open(kLeaseCopyTemp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  bool copyOk = copy >= 0;
  bool ok = readRecords(fd, 0, size, copy, 0, &copyOk, batch, resume);
  if (copy >= 0 && close(copy) != 0) copyOk = false;
  if (!ok || !copyOk || rename(kLeaseCopyTemp, DHCPD_LEASE_COPY_FILE) != 0) {
    unlink(kLeaseCopyTemp);
    unlink(DHCPD_LEASE_COPY_FILE);
    if (ok) syslog(LOG_WARNING, "Cannot write %s: %s", DHCPD_LEASE_COPY_FILE, strerror(errno));
  }
  return ok;
}

// Reads what was appended since the last read, and appends it to the working
// copy. False when the copy no longer matches (a full read follows).
bool readTail(int fd, off_t size, LeaseBatch* batch, off_t* resume) {
  int copy = open(DHCPD_LEASE_COPY_FILE, O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
  struct stat st;
  if (copy < 0) return false;
  if (fstat(copy, &st) != 0 || st.st_size != s_reader.stamp.size) {
    close(copy);
    return false;
  }
  bool copyOk = true;
  bool ok = readRecords(fd, s_reader.resume, size, copy, s_reader.stamp.size, &copyOk, batch, resume);
  if (close(copy) != 0) copyOk = false;
  if (ok && !copyOk) {
    syslog(LOG_WARNING, "Cannot write %s: %s", DHCPD_LEASE_COPY_FILE, strerror(errno));
    unlink(DHCPD_LEASE_COPY_FILE);
  }
  return ok;
}

// Reads the lease file when it changed since the last read (whole when
// whole is set) into the pending batch. 1 when something changed.
int readLeaseFile(bool whole) {
  std::lock_guard<std::mutex> guard(s_readMutex);
  int fd = open(DHCPD_LEASE_FILE, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) close(fd);
    return dropFile() ? 1 : 0;
  }
  LeaseFileStamp stamp = stampOf(st);
  const LeaseFileStamp& old = s_reader.stamp;
  bool sameFile = s_reader.have && old.device == stamp.device && old.inode == stamp.inode;
  if (!whole && s_reader.have && sameStamp(stamp, old)) {
    close(fd);
    return 0;
  }
  if (st.st_size > kMaxLeaseFileSize) {
    close(fd);
    syslog(LOG_WARNING, "Server lease file %s is larger than %lld bytes: no leases are listed.",
           DHCPD_LEASE_FILE, static_cast<long long>(kMaxLeaseFileSize));
    return dropFile() ? 1 : 0;
  }
  // A LAN host can make dhcpd grow the file fast; above the limit it is read
  // at most every kSlowReadPeriod until dhcpd rewrites it.
  auto now = std::chrono::steady_clock::now();
  if (!sameFile) s_reader.limitLogged = false;
  if (static_cast<unsigned long long>(st.st_size) > s_reader.limit) {
    if (!s_reader.limitLogged)
      syslog(LOG_WARNING,
             "Server lease file %s is larger than %lu bytes: it is read at most every %lld s until dhcpd "
             "rewrites it.",
             DHCPD_LEASE_FILE, s_reader.limit, static_cast<long long>(kSlowReadPeriod.count()));
    s_reader.limitLogged = true;
    if (sameFile && !whole && now - s_reader.lastRead < kSlowReadPeriod) {
      close(fd);
      return 0;
    }
  }
  std::unique_ptr<LeaseBatch> batch(new LeaseBatch);
  off_t resume = 0;
  bool appended = !whole && !s_reader.fullNext && sameFile && st.st_size > old.size &&
                  bytesBefore(fd, old.size) == s_reader.before;
  bool ok = appended && readTail(fd, st.st_size, batch.get(), &resume);
  if (!ok) {
    batch.reset(new LeaseBatch);
    ok = readWhole(fd, st.st_size, batch.get(), &resume);
  }
  if (!ok) {
    close(fd);
    return dropFile() ? 1 : 0;
  }
  s_reader.have = true;
  s_reader.stamp = stamp;
  s_reader.resume = resume;
  s_reader.before = bytesBefore(fd, st.st_size);
  s_reader.fullNext = false;
  s_reader.lastRead = now;
  close(fd);
  keepStamp(stamp);
  addPending(std::move(batch));
  return 1;
}

std::unique_ptr<LeaseBatch> takePending() {
  std::lock_guard<std::mutex> guard(s_readMutex);
  return std::move(s_reader.pending);
}

// Applies what was read (under the agent's lock); when the lists or the
// networks changed since the last apply, reads the file whole first.
void applyLeaseFile(bool whole) {
  if (!s_lists.matchesLans()) whole = true;
  if (whole) readLeaseFile(true);
  std::unique_ptr<LeaseBatch> batch = takePending();
  if (batch != nullptr) {
    if (!batch->full && !s_lists.matchesLans()) {
      readLeaseFile(true);
      batch = takePending();
    }
    if (batch != nullptr) s_lists.apply(*batch);
  }
  s_lists.expire(leaseNow());
  s_nextLeaseEnd = s_lists.nextExpiry();
}

}  // namespace

void dhcpCompForgetLeaseFile(void) {
  std::lock_guard<std::mutex> guard(s_readMutex);
  s_reader.have = false;
  forgetStamp();
}

int dhcpCompLeaseFileChanged(void) {
  return readLeaseFile(false);
}

int dhcpCompReadLeaseFileChanges(void) {
  return readLeaseFile(false);
}

long long dhcpCompNextLeaseEnd(void) {
  return s_nextLeaseEnd;
}

void dhcpCompSetLeaseFileLimit(unsigned long bytes) {
  std::lock_guard<std::mutex> guard(s_readMutex);
  s_reader.limit = bytes;
}

void dhcpCompSetLeaseClock(time_t now) {
  s_clock = now;
}

int dhcpReadAndConvertLeaseRecord(FILE* file, char* out) {
  out[0] = '\0';
  FileLines lines(file);
  CopySink sink(out);
  return readLeaseRecord(lines, sink) ? 1 : 0;
}

void dhcpCompBuildLeaseLists(const char* text, size_t size) {
  LeaseBatch batch;
  batch.full = true;
  parseLeaseText(text, text + size, leaseNow(), &batch);
  s_lists.apply(batch);
  s_lists.expire(leaseNow());
}

void dhcpCompGetDhcpdServerLeaseInfo(void) {
  bool pending;
  {
    std::lock_guard<std::mutex> guard(s_readMutex);
    pending = s_reader.pending != nullptr;
  }
  applyLeaseFile(!pending);
}

void dhcpCompRefreshLeaseInfo(void) {
  readLeaseFile(false);
  applyLeaseFile(false);
}

void dhcpCompDeleteLeaseInfoInstances(void) {
  s_lists.reset();
  std::lock_guard<std::mutex> guard(s_readMutex);
  s_reader.fullNext = true;
}

void dhcpCompDisownLeaseObject(const void* object) {
  if (object == nullptr) return;
  forEachLeaseList([object](s_dhcpCompConfig* cfg) {
    for (s_leaseInfo* node = cfg->leaseInfoList; node != nullptr; node = node->next) {
      if (static_cast<const TavrelLeaseInfo*>(node->customerLanLease) == object)
        node->customerLanLease = nullptr;
      if (static_cast<const TavrelLeaseInfo*>(node->oamLanLease) == object) node->oamLanLease = nullptr;
    }
  });
  // The next change of the file brings the lease back, as dhcpd still holds it.
  std::lock_guard<std::mutex> guard(s_readMutex);
  s_reader.fullNext = true;
}

void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl* object) {
  delete object;
}

void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl* object) {
  delete object;
}
