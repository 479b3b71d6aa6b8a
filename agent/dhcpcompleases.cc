// The server lease file: change detection with a private copy, the record
// reader, and the lease lists of the LANs with their provider lease objects.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <string>
#include <unordered_map>

#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"
#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"
#include "dhcpcomp.h"
#include "dhcputil_internal.h"

namespace {

const char kLeaseCopyTemp[] = DHCPD_LEASE_COPY_FILE ".new";
const char kRecordStart[] = "lease ";
const char kRecordEnd = '}';

// 99 characters and the terminator: the longest line the reader keeps.
const size_t kLeaseLineSize = 100;
// A lease file larger than this is not listed (a year of renewals of a few
// thousand telephones stays far below it).
const off_t kMaxLeaseFileSize = off_t{1} << 30;
// Addresses listed at most, over all LANs (a /16 worth).
const size_t kMaxLeaseNodes = 65536;
const size_t kCopyChunk = 1 << 18;

// What identifies one version of the lease file: dhcpd appends to it and,
// when it rewrites it, replaces it with a new file.
struct LeaseFileStamp {
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
  struct timespec changed;
};

LeaseFileStamp s_stamp;

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
// while no stamp is held, as after the records' initialisation.
bool haveStamp() {
  return g_dhcpdLeaseFileTime[0] != '\0';
}

void forgetStamp() {
  g_dhcpdLeaseFileTime[0] = '\0';
}

void keepStamp(const LeaseFileStamp& stamp) {
  s_stamp = stamp;
  snprintf(g_dhcpdLeaseFileTime, sizeof(g_dhcpdLeaseFileTime), "%lld %lld.%09ld",
           static_cast<long long>(stamp.size), static_cast<long long>(stamp.modified.tv_sec),
           stamp.modified.tv_nsec);
}

enum CopyResult { kCopied, kCopyFailed, kCopyUnsupported };

// Copies from to to inside the kernel; kCopyUnsupported when the file
// systems do not allow it before anything was copied.
CopyResult copyInKernel(int from, int to) {
  off_t total = 0;
  for (;;) {
    ssize_t got = copy_file_range(from, nullptr, to, nullptr, kMaxLeaseFileSize, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) return kCopied;
    if (got < 0) {
      bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
      return total == 0 && unsupported ? kCopyUnsupported : kCopyFailed;
    }
    total += got;
    if (total > kMaxLeaseFileSize) return kCopyFailed;
  }
}

CopyResult copyThroughBuffer(int from, int to) {
  static char buffer[kCopyChunk];
  off_t total = 0;
  for (;;) {
    ssize_t got = read(from, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) return kCopied;
    if (got < 0) return kCopyFailed;
    total += got;
    if (total > kMaxLeaseFileSize) return kCopyFailed;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return kCopyFailed;
      done += put;
    }
  }
}

// Copies the open lease file into the private copy through a temporary file
// and a rename, so a reader never sees half a copy. dhcpd may append while
// this runs: the copy then ends inside a record, which the reader drops.
bool copyLeaseFile(int from) {
  int to = open(kLeaseCopyTemp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (to < 0) return false;
  CopyResult result = copyInKernel(from, to);
  if (result == kCopyUnsupported) result = copyThroughBuffer(from, to);
  bool ok = result == kCopied;
  if (close(to) != 0) ok = false;
  if (ok && rename(kLeaseCopyTemp, DHCPD_LEASE_COPY_FILE) == 0) return true;
  unlink(kLeaseCopyTemp);
  return false;
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

// The lines of a lease file held in memory.
class MemoryLines {
 public:
  MemoryLines(const char* begin, const char* end) : m_pos(begin), m_end(end) {}
  bool next(LeaseLine* line) {
    if (m_pos >= m_end) return false;
    const char* newline = static_cast<const char*>(memchr(m_pos, '\n', m_end - m_pos));
    const char* stop = newline != nullptr ? newline + 1 : m_end;
    size_t length = static_cast<size_t>(stop - m_pos);
    *line = {m_pos, length, lineFits(m_pos, length)};
    m_pos = stop;
    return true;
  }

 private:
  const char* m_pos;
  const char* m_end;
};

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

// Finds the next complete record ("lease ..." up to its "}" line) and hands
// its kept lines to sink: start() at its first line, add() for each kept line
// (the first included), finish() at the "}" line. A record that meets another
// "lease " line or the end of the file before its "}" is dropped, not merged;
// one whose kept lines exceed the record buffer is skipped whole. False at
// the end of the lines.
template <class Lines, class Sink>
bool readLeaseRecord(Lines& lines, Sink& sink) {
  LeaseLine line;
  size_t used = 0;
  bool inRecord = false;
  bool broken = false;  // skipped up to its end
  while (lines.next(&line)) {
    if (startsWith(line.text, line.length, kRecordStart)) {
      inRecord = true;
      broken = !line.fits;
      used = 0;
      sink.start(line);
    } else if (!inRecord) {
      continue;
    } else if (line.text[0] == kRecordEnd) {
      if (!broken) {
        sink.finish(line);
        return true;
      }
      inRecord = false;
      continue;
    }
    if (broken || !line.fits) continue;
    if (used + line.length >= DHCP_LEASE_RECORD_SIZE) {
      broken = true;
      continue;
    }
    sink.add(line);
    used += line.length;
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

// Copies the value of a "key value;" line, up to the ";", into out (size
// bytes). False when there is no ";" or the value does not fit.
bool statementValue(const char* value, const char* lineEnd, char* out, size_t size) {
  const char* stop = static_cast<const char*>(memchr(value, ';', lineEnd - value));
  if (stop == nullptr || static_cast<size_t>(stop - value) >= size) return false;
  memcpy(out, value, stop - value);
  out[stop - value] = '\0';
  return true;
}

bool leaseTime(const char* value, const char* lineEnd, char* out) {
  return statementValue(value, lineEnd, out, DHCP_LEASE_TIME_TEXT_SIZE) &&
         dhcpUtilConvertLeaseTimeToOWTime(out) == 1;
}

// Parses a record's lines as they come into lease. complete() tells whether
// the address, both times, the binding state and the hardware address were
// there and well formed.
//   lease <address> {
//     starts <weekday> <yyyy/mm/dd> <hh:mm:ss>;   ends ...;
//     binding state <state>;   hardware ethernet <mac>;   client-hostname "<name>";
class ParseSink {
 public:
  void start(const LeaseLine&) {
    memset(&lease, 0, sizeof(lease));
    m_first = true;
    m_haveAddress = m_haveStarts = m_haveEnds = m_haveState = m_haveMac = false;
  }

  void add(const LeaseLine& line) {
    const char* lineEnd = line.text + line.length;
    const char* p = line.text;
    while (p < lineEnd && (*p == ' ' || *p == '\t')) ++p;
    size_t length = static_cast<size_t>(lineEnd - p);
    if (m_first) {
      m_first = false;
      address(p + sizeof(kRecordStart) - 1, lineEnd);
      return;
    }
    // Most lines of a record are of no interest: their first letter says so.
    switch (length > 0 ? *p : '\0') {
      case 's':
        if (startsWith(p, length, "starts ")) m_haveStarts = leaseTime(p + 7, lineEnd, lease.starts);
        break;
      case 'e':
        if (startsWith(p, length, "ends ")) m_haveEnds = leaseTime(p + 5, lineEnd, lease.ends);
        break;
      case 'b':
        if (startsWith(p, length, "binding state ")) bindingState(p + 14, lineEnd);
        break;
      case 'h':
        if (startsWith(p, length, "hardware ethernet "))
          m_haveMac = statementValue(p + 18, lineEnd, lease.hardwareAddr, DHCP_MAC_ADDR_SIZE) &&
                      dhcpUtilNormaliseMacAddr(lease.hardwareAddr) == DHCP_RC_OK;
        break;
      case 'c':
        if (startsWith(p, length, "client-hostname \"")) hostname(p + 17, lineEnd);
        break;
      default:
        break;
    }
  }

  void finish(const LeaseLine&) {}

  bool complete() const { return m_haveAddress && m_haveStarts && m_haveEnds && m_haveState && m_haveMac; }

  s_leaseInfo lease;

 private:
  void bindingState(const char* value, const char* lineEnd) {
    char state[16];
    m_haveState = statementValue(value, lineEnd, state, sizeof(state));
    // Only "active" is a lease a client holds ("abandoned" is not).
    lease.bindingActive = m_haveState && strcmp(state, "active") == 0;
  }

  void hostname(const char* value, const char* lineEnd) {
    const char* quote = static_cast<const char*>(memchr(value, '"', lineEnd - value));
    const char* stop = quote != nullptr ? quote : lineEnd;
    while (stop > value && stop[-1] == '\n') --stop;
    dhcpUtilCopyText(lease.clientHostname, DHCP_CLIENT_NAME_SIZE, value, static_cast<size_t>(stop - value));
  }

  // dhcpd writes canonical dotted quads; inet_pton takes nothing else.
  void address(const char* value, const char* lineEnd) {
    const char* blank = value;
    while (blank < lineEnd && *blank != ' ' && *blank != '\n') ++blank;
    size_t length = static_cast<size_t>(blank - value);
    if (length >= DHCP_IP_STRING_SIZE) return;
    char text[DHCP_IP_STRING_SIZE];
    memcpy(text, value, length);
    text[length] = '\0';
    struct in_addr parsed;
    if (inet_pton(AF_INET, text, &parsed) != 1) return;
    lease.ipAddr.ipLong = ntohl(parsed.s_addr);
    dhcpUtilConvertIPAddrLongtoIPAddr(&lease.ipAddr);
    m_haveAddress = lease.ipAddr.ipLong != 0;
  }

  bool m_first = true;
  bool m_haveAddress = false, m_haveStarts = false, m_haveEnds = false, m_haveState = false,
       m_haveMac = false;
};

// A LAN without an address serves no leases.
bool servesAddress(const s_ethIpConfig& eth, uint32_t address) {
  return dhcpUtilHasNetwork(&eth) && dhcpUtilInInterfaceNetwork(&eth, address);
}

// The LAN whose network holds address: the OAM LAN, the customer LAN, then
// the VLANs in their order; null when none does.
s_dhcpCompConfig* leaseOwner(uint32_t address, bool* oam) {
  *oam = servesAddress(OAMLANIpConfig, address);
  if (*oam) return &OAMLANDhcpCompConfig;
  if (servesAddress(CustomerLANIpConfig, address)) return &CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    if (servesAddress(VLANIpConfig[i], address)) return &VLANDhcpCompConfig[i];
  return nullptr;
}

// Builds the lease lists record by record. The lease file holds a record at
// every grant and renewal; the latest record of an address tells its state.
// Nodes are indexed by address, so a rebuild is linear in the file; each
// object is given the values of its latest record once, at the end.
class LeaseListBuilder {
 public:
  LeaseListBuilder() { m_index.reserve(1024); }

  void add(const s_leaseInfo& lease) {
    bool oam = false;
    s_dhcpCompConfig* owner = leaseOwner(lease.ipAddr.ipLong, &oam);
    if (owner == nullptr) return;
    std::unordered_map<uint32_t, Entry>::iterator found = m_index.find(lease.ipAddr.ipLong);
    if (found != m_index.end()) {
      update(&found->second, lease, oam);
      return;
    }
    if (!lease.bindingActive) return;
    if (m_index.size() >= kMaxLeaseNodes) {
      m_full = true;
      return;
    }
    s_leaseInfo* node = static_cast<s_leaseInfo*>(malloc(sizeof(s_leaseInfo)));
    if (node == nullptr) {
      m_full = true;
      return;
    }
    *node = lease;
    node->next = nullptr;
    node->customerLanLease = nullptr;
    node->oamLanLease = nullptr;
    createObject(node, oam);
    // The lists start empty: the rebuild deleted them first.
    s_leaseInfo*& tail = m_tails[owner];
    if (tail == nullptr)
      owner->leaseInfoList = node;
    else
      tail->next = node;
    tail = node;
    m_index.emplace(lease.ipAddr.ipLong, Entry{node, lease});
  }

  // Hands every object the values of its latest active record.
  void finish() {
    for (auto& address : m_index) {
      const s_leaseInfo& v = address.second.latest;
      s_leaseInfo* node = address.second.node;
      if (node->customerLanLease != nullptr)
        node->customerLanLease->initContents(v.hardwareAddr, v.ipAddr.ipString, v.starts, v.ends,
                                             v.clientHostname, v.clientHostname);
      if (node->oamLanLease != nullptr)
        node->oamLanLease->initContents(v.hardwareAddr, v.ipAddr.ipString, v.starts, v.ends, v.clientHostname,
                                        v.clientHostname);
    }
  }

  // No more addresses can be listed (the limit, or memory ran out).
  bool full() const { return m_full; }
  size_t listed() const { return m_index.size(); }

 private:
  struct Entry {
    s_leaseInfo* node;
    s_leaseInfo latest;  // the latest active record's values
  };

  // A later record of a listed address: an active one makes its values the
  // object's (creating the object if there is none), an inactive one
  // removes the object; the node keeps its own fields.
  void update(Entry* entry, const s_leaseInfo& lease, bool oam) {
    s_leaseInfo* node = entry->node;
    bool hasObject = node->customerLanLease != nullptr || node->oamLanLease != nullptr;
    if (hasObject && !lease.bindingActive) {
      if (oam) {
        dhcpCompDeleteOamLanLeaseObject(node->oamLanLease);
        node->oamLanLease = nullptr;
      } else {
        dhcpCompDeleteCustomerLanLeaseObject(node->customerLanLease);
        node->customerLanLease = nullptr;
      }
      return;
    }
    if (!hasObject) createObject(node, oam);
    entry->latest = lease;
  }

  // Customer LAN and VLANs count from 0, the OAM LAN from 1.
  void createObject(s_leaseInfo* node, bool oam) {
    if (oam)
      node->oamLanLease = new ZPX_DHCPClientLeaseInfoOAMLANImpl(std::to_string(m_oamCount++));
    else
      node->customerLanLease = new ZPX_DHCPClientLeaseInfoCustomerLANImpl(std::to_string(m_customerCount++));
  }

  std::unordered_map<uint32_t, Entry> m_index;
  std::unordered_map<s_dhcpCompConfig*, s_leaseInfo*> m_tails;
  unsigned m_customerCount = 0;
  unsigned m_oamCount = 1;
  bool m_full = false;
};

// Every lease list of the agent: customer LAN, OAM LAN and all VLAN records.
template <class F>
void forEachLeaseList(F&& f) {
  f(&CustomerLANDhcpCompConfig);
  f(&OAMLANDhcpCompConfig);
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) f(&VLANDhcpCompConfig[i]);
}

}  // namespace

int dhcpCompLeaseFileChanged(void) {
  int fd = open(DHCPD_LEASE_FILE, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    LeaseFileStamp stamp = stampOf(st);
    if (haveStamp() && sameStamp(stamp, s_stamp)) {
      close(fd);
      return 0;
    }
    bool fits = st.st_size <= kMaxLeaseFileSize;
    bool copied = fits && copyLeaseFile(fd);
    close(fd);
    if (copied) {
      keepStamp(stamp);
      return 1;
    }
    if (!fits)
      syslog(LOG_WARNING, "Server lease file %s is larger than %lld bytes: no leases are listed.",
             DHCPD_LEASE_FILE, static_cast<long long>(kMaxLeaseFileSize));
  } else if (fd >= 0) {
    close(fd);
  }
  // Gone, unreadable or not copied: the lists must not show a stale copy.
  bool hadCopy = haveStamp() || access(DHCPD_LEASE_COPY_FILE, F_OK) == 0;
  forgetStamp();
  unlink(DHCPD_LEASE_COPY_FILE);
  return hadCopy ? 1 : 0;
}

int dhcpReadAndConvertLeaseRecord(FILE* file, char* out) {
  out[0] = '\0';
  FileLines lines(file);
  CopySink sink(out);
  return readLeaseRecord(lines, sink) ? 1 : 0;
}

void dhcpCompBuildLeaseLists(const char* text, size_t size) {
  dhcpCompDeleteLeaseInfoInstances();
  LeaseListBuilder builder;
  MemoryLines lines(text, text + size);
  ParseSink record;
  while (!builder.full() && readLeaseRecord(lines, record))
    if (record.complete()) builder.add(record.lease);
  builder.finish();
  if (builder.full())
    syslog(LOG_WARNING, "Server lease file %s: only the first %zu addresses are listed.", DHCPD_LEASE_FILE,
           builder.listed());
}

void dhcpCompGetDhcpdServerLeaseInfo(void) {
  int fd = open(DHCPD_LEASE_COPY_FILE, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0 || st.st_size > kMaxLeaseFileSize) {
    if (fd >= 0) close(fd);
    dhcpCompDeleteLeaseInfoInstances();
    return;
  }
  size_t size = static_cast<size_t>(st.st_size);
  void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (text == MAP_FAILED) {
    dhcpCompDeleteLeaseInfoInstances();
    return;
  }
  madvise(text, size, MADV_SEQUENTIAL);
  dhcpCompBuildLeaseLists(static_cast<const char*>(text), size);
  munmap(text, size);
}

void dhcpCompRefreshLeaseInfo(void) {
  if (dhcpCompLeaseFileChanged() != 0) dhcpCompGetDhcpdServerLeaseInfo();
}

void dhcpCompDeleteLeaseInfoInstances(void) {
  forEachLeaseList(dhcpCompDeallocConfigLeaseInfo);
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
}

void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl* object) {
  delete object;
}

void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl* object) {
  delete object;
}
