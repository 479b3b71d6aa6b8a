// The server lease file: change detection with a private copy, the record
// reader, and the lease lists of the LANs with their provider lease objects.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
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
bool haveStamp() { return g_dhcpdLeaseFileTime[0] != '\0'; }

void forgetStamp() { g_dhcpdLeaseFileTime[0] = '\0'; }

void keepStamp(const LeaseFileStamp& stamp) {
  s_stamp = stamp;
  snprintf(g_dhcpdLeaseFileTime, sizeof(g_dhcpdLeaseFileTime), "%lld %lld.%09ld",
           static_cast<long long>(stamp.size), static_cast<long long>(stamp.modified.tv_sec),
           stamp.modified.tv_nsec);
}

// Copies the open lease file into the private copy through a temporary file
// and a rename, so a reader never sees half a copy. dhcpd may append while
// this runs: the copy then ends inside a record, which the reader drops.
bool copyLeaseFile(int from) {
  int to = open(kLeaseCopyTemp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (to < 0) return false;
  static char buffer[kCopyChunk];
  bool ok = true;
  off_t total = 0;
  for (;;) {
    ssize_t got = read(from, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    total += got;
    if (total > kMaxLeaseFileSize) {
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  if (close(to) != 0) ok = false;
  if (ok && rename(kLeaseCopyTemp, DHCPD_LEASE_COPY_FILE) == 0) return true;
  unlink(kLeaseCopyTemp);
  return false;
}

// Reads one line into line, cut to kLeaseLineSize - 1 characters. 0 at the
// end of the file, 1 for a whole line, 2 for a longer line, whose rest is
// consumed so that it never reads as a line of its own (a line holding a zero
// byte counts as longer).
int readLeaseLine(FILE* file, char* line) {
  if (fgets(line, kLeaseLineSize, file) == nullptr) return 0;
  size_t length = strlen(line);
  if ((length > 0 && line[length - 1] == '\n') || feof(file)) return 1;
  int c;
  while ((c = getc(file)) != EOF && c != '\n') {
  }
  return 2;
}

bool startsWith(const char* text, size_t length, const char* prefix) {
  size_t prefixLength = strlen(prefix);
  return length >= prefixLength && memcmp(text, prefix, prefixLength) == 0;
}

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

// Fills lease from one record read by dhcpReadAndConvertLeaseRecord. False
// when the address, a time, the binding state or the hardware address is
// missing or malformed.
//   lease <address> {
//     starts <weekday> <yyyy/mm/dd> <hh:mm:ss>;   ends ...;
//     binding state <state>;   hardware ethernet <mac>;   client-hostname "<name>";
bool parseLeaseRecord(const char* record, s_leaseInfo* lease) {
  memset(lease, 0, sizeof(*lease));
  bool haveAddress = false, haveStarts = false, haveEnds = false, haveState = false,
       haveMac = false;
  for (const char* line = record; *line != '\0';) {
    const char* lineEnd = strchr(line, '\n');
    if (lineEnd == nullptr) lineEnd = line + strlen(line);
    const char* p = line;
    while (p < lineEnd && (*p == ' ' || *p == '\t')) ++p;
    size_t length = static_cast<size_t>(lineEnd - p);
    if (line == record && startsWith(p, length, kRecordStart)) {
      const char* value = p + strlen(kRecordStart);
      size_t valueLength = strcspn(value, " \n");
      if (valueLength < DHCP_IP_STRING_SIZE) {
        memcpy(lease->ipAddr.ipString, value, valueLength);
        lease->ipAddr.ipString[valueLength] = '\0';
        haveAddress = dhcpUtilConvertUntrustedIPAddr(&lease->ipAddr, ipTypeAddress) == DHCP_RC_OK;
      }
    } else if (startsWith(p, length, "starts ")) {
      haveStarts = leaseTime(p + 7, lineEnd, lease->starts);
    } else if (startsWith(p, length, "ends ")) {
      haveEnds = leaseTime(p + 5, lineEnd, lease->ends);
    } else if (startsWith(p, length, "binding state ")) {
      char state[16];
      haveState = statementValue(p + 14, lineEnd, state, sizeof(state));
      // Only "active" is a lease a client holds ("abandoned" is not).
      lease->bindingActive = haveState && strcmp(state, "active") == 0;
    } else if (startsWith(p, length, "hardware ethernet ")) {
      haveMac = statementValue(p + 18, lineEnd, lease->hardwareAddr, DHCP_MAC_ADDR_SIZE) &&
                dhcpUtilNormaliseMacAddr(lease->hardwareAddr) == DHCP_RC_OK;
    } else if (startsWith(p, length, "client-hostname \"")) {
      const char* value = p + 17;
      const char* quote = static_cast<const char*>(memchr(value, '"', lineEnd - value));
      size_t valueLength = static_cast<size_t>((quote != nullptr ? quote : lineEnd) - value);
      dhcpUtilCopyText(lease->clientHostname, DHCP_CLIENT_NAME_SIZE, value, valueLength);
    }
    line = *lineEnd == '\n' ? lineEnd + 1 : lineEnd;
  }
  return haveAddress && haveStarts && haveEnds && haveState && haveMac;
}

// The LAN whose network holds address: the OAM LAN, the customer LAN, then
// the VLANs in their order; null when none does.
s_dhcpCompConfig* leaseOwner(uint32_t address, bool* oam) {
  *oam = dhcpUtilInInterfaceNetwork(&OAMLANIpConfig, address) != 0;
  if (*oam) return &OAMLANDhcpCompConfig;
  if (dhcpUtilInInterfaceNetwork(&CustomerLANIpConfig, address)) return &CustomerLANDhcpCompConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    if (dhcpUtilInInterfaceNetwork(&VLANIpConfig[i], address)) return &VLANDhcpCompConfig[i];
  return nullptr;
}

template <class Impl>
Impl* makeLeaseObject(const std::string& id, const s_leaseInfo& values) {
  Impl* object = new Impl(id);
  object->initContents(values.hardwareAddr, values.ipAddr.ipString, values.starts, values.ends,
                       values.clientHostname, values.clientHostname);
  return object;
}

// Builds the lease lists record by record. The lease file holds a record at
// every grant and renewal; the latest record of an address tells its state.
// Nodes are indexed by address, so a rebuild is linear in the file.
class LeaseListBuilder {
 public:
  LeaseListBuilder() { m_index.reserve(1024); }

  void add(const s_leaseInfo& lease) {
    bool oam = false;
    s_dhcpCompConfig* owner = leaseOwner(lease.ipAddr.ipLong, &oam);
    if (owner == nullptr) return;
    std::unordered_map<uint32_t, s_leaseInfo*>::iterator found = m_index.find(lease.ipAddr.ipLong);
    if (found != m_index.end()) {
      update(found->second, lease, oam);
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
    createObject(node, lease, oam, nextId(oam));
    // The lists start empty: the rebuild deleted them first.
    s_leaseInfo*& tail = m_tails[owner];
    if (tail == nullptr)
      owner->leaseInfoList = node;
    else
      tail->next = node;
    tail = node;
    m_index.emplace(lease.ipAddr.ipLong, node);
  }

  // No more addresses can be listed (the limit, or memory ran out).
  bool full() const { return m_full; }
  size_t listed() const { return m_index.size(); }

 private:
  // A later record of a listed address: its values replace the object's, an
  // inactive binding removes the object; the node keeps its own fields.
  void update(s_leaseInfo* node, const s_leaseInfo& lease, bool oam) {
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
    if (!hasObject) {
      createObject(node, lease, oam, nextId(oam));
    } else if (oam) {
      node->oamLanLease->initContents(lease.hardwareAddr, lease.ipAddr.ipString, lease.starts,
                                      lease.ends, lease.clientHostname, lease.clientHostname);
    } else {
      node->customerLanLease->initContents(lease.hardwareAddr, lease.ipAddr.ipString,
                                           lease.starts, lease.ends, lease.clientHostname,
                                           lease.clientHostname);
    }
  }

  void createObject(s_leaseInfo* node, const s_leaseInfo& values, bool oam, const std::string& id) {
    if (oam)
      node->oamLanLease = makeLeaseObject<ZPX_DHCPClientLeaseInfoOAMLANImpl>(id, values);
    else
      node->customerLanLease = makeLeaseObject<ZPX_DHCPClientLeaseInfoCustomerLANImpl>(id, values);
  }

  // Customer LAN and VLANs count from 0, the OAM LAN from 1.
  std::string nextId(bool oam) { return std::to_string(oam ? m_oamCount++ : m_customerCount++); }

  std::unordered_map<uint32_t, s_leaseInfo*> m_index;
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
  char line[kLeaseLineSize];
  size_t used = 0;
  bool inRecord = false;
  bool broken = false;  // over-long: skipped up to its end
  out[0] = '\0';
  for (;;) {
    int kind = readLeaseLine(file, line);
    if (kind == 0) {
      out[0] = '\0';
      return 0;
    }
    size_t length = strlen(line);
    if (startsWith(line, length, kRecordStart)) {
      // A record still open here had no end: it is dropped, not merged.
      inRecord = true;
      broken = kind != 1;
      used = 0;
    } else if (!inRecord) {
      continue;
    } else if (line[0] == kRecordEnd) {
      if (!broken) {
        out[used] = '\0';
        return 1;
      }
      inRecord = false;
      continue;
    }
    if (broken || kind != 1) continue;
    if (used + length >= DHCP_LEASE_RECORD_SIZE) {
      broken = true;
      continue;
    }
    memcpy(out + used, line, length);
    used += length;
  }
}

void dhcpCompBuildLeaseLists(FILE* file) {
  dhcpCompDeleteLeaseInfoInstances();
  char* record = static_cast<char*>(malloc(DHCP_LEASE_RECORD_SIZE));
  if (record == nullptr) return;
  LeaseListBuilder builder;
  s_leaseInfo lease;
  while (!builder.full() && dhcpReadAndConvertLeaseRecord(file, record) == 1)
    if (parseLeaseRecord(record, &lease)) builder.add(lease);
  if (builder.full())
    syslog(LOG_WARNING, "Server lease file %s: only the first %zu addresses are listed.",
           DHCPD_LEASE_FILE, builder.listed());
  free(record);
}

void dhcpCompGetDhcpdServerLeaseInfo(void) {
  FILE* file = fopen(DHCPD_LEASE_COPY_FILE, "rbe");
  if (file == nullptr) {
    dhcpCompDeleteLeaseInfoInstances();
    return;
  }
  setvbuf(file, nullptr, _IOFBF, kCopyChunk);
  dhcpCompBuildLeaseLists(file);
  fclose(file);
}

void dhcpCompDeleteLeaseInfoInstances(void) { forEachLeaseList(dhcpCompDeallocConfigLeaseInfo); }

void dhcpCompDisownLeaseObject(const void* object) {
  if (object == nullptr) return;
  forEachLeaseList([object](s_dhcpCompConfig* cfg) {
    for (s_leaseInfo* node = cfg->leaseInfoList; node != nullptr; node = node->next) {
      if (static_cast<const TavrelLeaseInfo*>(node->customerLanLease) == object)
        node->customerLanLease = nullptr;
      if (static_cast<const TavrelLeaseInfo*>(node->oamLanLease) == object)
        node->oamLanLease = nullptr;
    }
  });
}

void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl* object) {
  delete object;
}

void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl* object) {
  delete object;
}
