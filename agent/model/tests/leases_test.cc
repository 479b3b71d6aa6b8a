// The server lease file on hand-made files at the appliance's fixed paths:
// change detection, the record reader, the lease lists of the customer LAN
// 192.168.1.1/24, VLAN 100 172.16.1.1/24 and the OAM LAN 172.31.0.1/24, and
// the lease objects of libTavrel behind them. Runs in the appliance sandbox.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"
#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"
#include "dhcpd_test_support.h"
#include "lease_watch.h"
#include "model/leases.h"
#include "model/pools.h"
#include "model/records.h"
#include "model/util.h"
#include "model_test_support.h"
#include "tavrel_agent_api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using dhcpd_test::addRange;
using dhcpd_test::addReservation;
using model_test::readFile;
using model_test::writeFile;

// A hand-made lease file of tests/data/dhcpdleases.
std::string leases(const std::string& name) {
  return readFile(model_test::dataFile("../dhcpdleases/" + name + ".leases"));
}

// "id address mac name/description start end" of every lease object.
template <class C>
std::vector<std::string> listed() {
  std::vector<std::string> out;
  typename C::InstanceManager* manager = C::getInstanceManager();
  manager->startIteration();
  while (manager->hasNext()) {
    const C* o = manager->next();
    std::string id, mac, ip, start, end, name, description;
    OpenWBEM::Array<OpenWBEM::CIMQualifier> q;
    o->getInstanceID(id, q);
    o->getleaseMACAddr(mac, q);
    o->getIPv4Address(ip, q);
    o->getstartLeaseDateTime(start, q);
    o->getexpirationLeaseDateTime(end, q);
    o->getleaseClientName(name, q);
    o->getleaseClientDescription(description, q);
    out.push_back(id + " " + ip + " " + mac + " " + name + "/" + description +
                  (start == "20100616080509.000000+000" ? "" : " start=" + start) +
                  (end == "20100617080509.000000+000" ? "" : " end=" + end));
  }
  manager->endIteration();
  return out;
}

// 2010/06/16 12:00:00 UTC.
const time_t kNow = 1276689600;

class LeasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/pq/etc", W_OK) != 0) GTEST_SKIP() << "needs the appliance sandbox";
    ZPX_DHCPClientLeaseInfoCustomerLAN::SetInstanceManager(&m_customer);
    ZPX_DHCPClientLeaseInfoOAMLAN::SetInstanceManager(&m_oam);
    // The hand-made files' leases run from 2010/06/16 08:05:09 to the next day.
    dhcpCompSetLeaseClock(kNow);
    model_test::resetModel({100});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
    model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
    unlink(DHCPD_LEASE_FILE);
    unlink(DHCPD_LEASE_COPY_FILE);
  }

  void TearDown() override {
    dhcpCompDeleteLeaseInfoInstances();
    dhcpCompSetLeaseClock(0);
    ZPX_DHCPClientLeaseInfoCustomerLAN::ClearInstanceManager();
    ZPX_DHCPClientLeaseInfoOAMLAN::ClearInstanceManager();
  }

  // Writes the server lease file (as a new file, as dhcpd does when it
  // rewrites it) and lets the agent rebuild as an enumeration would.
  void serve(const std::string& leases) {
    writeFile(DHCPD_LEASE_FILE ".tmp", leases);
    rename(DHCPD_LEASE_FILE ".tmp", DHCPD_LEASE_FILE);
    ASSERT_EQ(1, dhcpCompLeaseFileChanged());
    dhcpCompGetDhcpdServerLeaseInfo();
  }

  // Appends to the server lease file, as dhcpd does between rewrites.
  static void append(const std::string& text) {
    FILE* f = fopen(DHCPD_LEASE_FILE, "a");
    ASSERT_NE(nullptr, f);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }

  ZPX_DHCPClientLeaseInfoCustomerLANImplInstanceManager m_customer;
  ZPX_DHCPClientLeaseInfoOAMLANImplInstanceManager m_oam;
};

TEST_F(LeasesTest, ListsBuiltFromLeaseFiles) {
  std::string longName;  // 200 characters
  while (longName.size() < 200) longName += "node-5f0c3a9e-7d41-4b2a-9c3e-8a1f6d2b4e70.";
  longName.resize(200);
  struct Case {
    const char* file;
    std::vector<std::string> customer, oam;
    time_t now = 0;  // 0: 2010/06/16 12:00:00
  } cases[] = {
      // Active, then free: no lease.
      {"active-then-free", {}, {}},
      // Two active records: the later one's values.
      {"two-active", {"0 192.168.1.105 00:0A:0B:0C:0D:0F desk/desk end=20100618080509.000000+000"}, {}},
      // Free, then active again: a new object with the next id.
      {"active-again",
       {"1 192.168.1.105 00:0A:0B:0C:0D:0E lobby/lobby", "2 192.168.1.7 00:0A:0B:0C:0D:0E lobby/lobby"},
       {}},
      // Ids: customer LAN and VLAN count from 0, the OAM LAN from 1.
      {"three-lans",
       {"0 192.168.1.10 00:0A:0B:0C:0D:0E lobby/lobby", "1 172.16.1.10 00:0A:0B:0C:0D:0E lobby/lobby"},
       {"1 172.31.0.10 00:0A:0B:0C:0D:0E lobby/lobby"}},
      // No client-hostname: empty name and description.
      {"no-hostname", {"0 192.168.1.10 00:0A:0B:0C:0D:0E /"}, {}},
      // A record needs only its address and binding state: no MAC, a bad or
      // an over-long one lists none; abandoned, outside every LAN or a bad
      // end (30 February, a 13th month): no lease. A year's first second is an end.
      {"dropped",
       {"0 192.168.1.10 00:0A:0B:0C:0D:0E x/x end=99991231235959.000000+000", "1 192.168.1.12  lobby/lobby",
        "2 192.168.1.14  lobby/lobby", "3 192.168.1.16  lobby/lobby",
        "4 192.168.1.17 00:0A:0B:0C:0D:0E lobby/lobby end=20110101000000.000000+000"},
       {}},
      // A decline (abandoned, then free, neither with a MAC) ends the lease.
      {"declined", {"1 192.168.1.61 00:0A:0B:0C:0D:0F desk/desk"}, {}},
      // An active record whose end has passed, or is now, is no lease and
      // takes no id.
      {"expired", {"0 192.168.1.63 00:0A:0B:0C:0D:0F desk/desk"}, {}},
      {"ends-never", {"0 192.168.1.64 00:0A:0B:0C:0D:0E lobby/lobby end=99991231235959.000000+000"}, {}},
      // Free, then abandoned: the freed lease does not come back.
      {"free-then-abandoned", {}, {}},
      // Without a binding state a record is active until its end; the old
      // servers' "abandoned;" is no lease.
      {"no-binding-state", {"0 192.168.1.66 00:0A:0B:0C:0D:0E lobby/lobby"}, {}},
      {"long-hostname", {"0 192.168.1.69 00:0A:0B:0C:0D:0E " + longName + "/" + longName}, {}},
      // Captured from the sandbox's dhcpd (a 200-character name, a release),
      // read at 2026/12/07 23:35:00.
      {"captured-release",
       {"0 192.168.1.50 00:1A:E8:00:00:01 " + longName + "/" + longName +
        " start=20261207233322.000000+000 end=20261207234322.000000+000"},
       {},
       1796686500},
      // An over-long line is consumed whole: its tail starts no record.
      {"overlong-line", {"0 192.168.1.20 00:0A:0B:0C:0D:0E desk/desk"}, {}},
      // A record cut off by the end of the file is dropped.
      {"cut-off", {"0 192.168.1.30 00:0A:0B:0C:0D:0E lobby/lobby"}, {}},
      // A record without its end is dropped, not merged with the next.
      {"no-end", {"0 192.168.1.41  lobby/lobby"}, {}},
      // A record longer than the record buffer is skipped whole.
      {"overlong-record", {"0 192.168.1.51 00:0A:0B:0C:0D:0E lobby/lobby"}, {}},
  };
  for (const Case& c : cases) {
    // Read whole, and as a file that grew: its first part (cut inside a
    // record), then the rest appended, as dhcpd appends.
    for (bool grown : {false, true}) {
      SCOPED_TRACE(std::string(c.file) + (grown ? ", grown" : ""));
      dhcpCompSetLeaseClock(c.now != 0 ? c.now : kNow);
      std::string text = leases(c.file);
      serve(grown ? text.substr(0, text.size() / 2 + 7) : text);
      if (grown) append(text.substr(text.size() / 2 + 7));
      EXPECT_EQ(c.customer, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>());
      EXPECT_EQ(c.oam, listed<ZPX_DHCPClientLeaseInfoOAMLAN>());
    }
  }
  dhcpCompSetLeaseClock(kNow);
  SCOPED_TRACE("a listed lease ends at its end, without a change of the file");
  serve(leases("one"));
  dhcpCompSetLeaseClock(kNow + 20 * 3600 + 5 * 60 + 9);
  EXPECT_TRUE(listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().empty());
  dhcpCompSetLeaseClock(kNow);
  SCOPED_TRACE("a free record keeps its address's node, without object");
  serve(leases("active-then-free"));
  ASSERT_NE(nullptr, CustomerLANDhcpCompConfig.leaseInfoList);
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList->next);
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList->customerLanLease);
}

TEST_F(LeasesTest, ChangesOfTheLeaseFileAreSeen) {
  EXPECT_EQ(0, dhcpCompLeaseFileChanged()) << "no file, no copy";
  struct Change {
    const char* what;
    std::string content;
    bool replace;  // a new file, as dhcpd's rewrite
    long touchNanoseconds;
  } changes[] = {
      {"first file", leases("one"), false, -1},
      {"appended", leases("two"), false, -1},
      {"same size, new file", leases("two-other"), true, -1},
      {"same size, same file, written within the same second", "", false, 1},
      {"same size, same file, another nanosecond", "", false, 2},
      {"one byte appended", leases("two-other") + "\n", false, -1},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    std::string content = c.content.empty() ? readFile(DHCPD_LEASE_FILE) : c.content;
    if (c.replace) {
      writeFile(DHCPD_LEASE_FILE ".tmp", content);
      rename(DHCPD_LEASE_FILE ".tmp", DHCPD_LEASE_FILE);
    } else if (!c.content.empty()) {
      writeFile(DHCPD_LEASE_FILE, content);
    }
    if (c.touchNanoseconds >= 0) {
      struct timespec times[2] = {{1700000000, c.touchNanoseconds}, {1700000000, c.touchNanoseconds}};
      ASSERT_EQ(0, utimensat(AT_FDCWD, DHCPD_LEASE_FILE, times, 0));
    }
    EXPECT_EQ(1, dhcpCompLeaseFileChanged());
    EXPECT_EQ(content, readFile(DHCPD_LEASE_COPY_FILE));
    EXPECT_EQ(0, dhcpCompLeaseFileChanged());
  }

  SCOPED_TRACE("a vanished lease file leaves no copy and empty lists");
  dhcpCompGetDhcpdServerLeaseInfo();
  EXPECT_EQ(2u, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().size());
  unlink(DHCPD_LEASE_FILE);
  EXPECT_TRUE(listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().empty());
  EXPECT_NE(0, access(DHCPD_LEASE_COPY_FILE, F_OK));
  EXPECT_EQ(0, dhcpCompLeaseFileChanged());

  SCOPED_TRACE("above the size limit what is appended waits; a rewrite is read at once");
  dhcpCompSetLeaseFileLimit(100);
  serve(leases("one"));
  append(leases("two").substr(leases("one").size()));
  EXPECT_EQ(0, dhcpCompLeaseFileChanged());
  EXPECT_EQ(1u, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().size());
  serve(leases("two"));
  EXPECT_EQ(2u, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().size());
  dhcpCompSetLeaseFileLimit(64ul << 20);
}

TEST_F(LeasesTest, EnumerationRebuildsBothClassesAndDeletionLeavesNoDanglingNode) {
  writeFile(DHCPD_LEASE_FILE, leases("lan-and-oam"));
  // Enumerating the OAM LAN class rebuilds the customer LAN's objects too.
  EXPECT_EQ(1u, listed<ZPX_DHCPClientLeaseInfoOAMLAN>().size());
  ZPX_DHCPClientLeaseInfoCustomerLAN* object = m_customer.get("0");
  EXPECT_EQ(static_cast<void*>(object),
            static_cast<void*>(CustomerLANDhcpCompConfig.leaseInfoList->customerLanLease));

  // A management station deletes the lease; the node no longer points at it.
  m_customer.destroy(object);
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList->customerLanLease);
  EXPECT_TRUE(listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().empty());

  // The next change of the file brings the lease back; the old object is
  // not deleted a second time.
  writeFile(DHCPD_LEASE_FILE, leases("lan-and-oam-plus-one"));
  EXPECT_EQ(2u, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().size());
}

// A file read in several chunks, whole and then by an appended tail, lists
// what its text read in one piece lists: no record across a chunk's end is
// lost.
TEST_F(LeasesTest, FileLargerThanAReadChunkListsEveryRecord) {
  std::string text;
  for (int n = 0; n < 600; ++n) {
    std::string ip = (n % 2 ? "192.168.1." : "172.16.1.") + std::to_string(1 + n / 2 % 254);
    text += "lease " + ip +
            " {\n  starts 3 2010/06/16 08:05:09;\n  ends 4 2010/06/17 08:05:09;\n  binding state " +
            (n % 7 == 3 ? "free" : "active") + ";\n  hardware ethernet 00:0a:0b:0c:0d:0e;\n  uid \"" +
            std::string(1000 + n % 61, 'x') + "\";\n  client-hostname \"h" + std::to_string(n) + "\";\n}\n";
  }
  size_t half = text.find("lease ", text.size() / 2);
  serve(text.substr(0, half));
  append(text.substr(half));
  dhcpCompRefreshLeaseInfo();
  std::vector<std::string> read = listed<ZPX_DHCPClientLeaseInfoCustomerLAN>();
  EXPECT_EQ(text, readFile(DHCPD_LEASE_COPY_FILE));
  dhcpCompDeleteLeaseInfoInstances();
  dhcpCompBuildLeaseLists(text.data(), text.size());
  EXPECT_EQ(listed<ZPX_DHCPClientLeaseInfoCustomerLAN>(), read);
  EXPECT_GT(read.size(), 400u);
}

// The record reader and list builder's fuzz target over every cut of a
// lease file the real dhcpd wrote.
TEST_F(LeasesTest, ReaderTakesEveryCutOfARealLeaseFile) {
  std::string text = readFile(model_test::dataFile("../dhcpd/dhcpd.leases"));
  ASSERT_FALSE(text.empty());
  for (size_t n = 0; n <= text.size(); ++n)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
}

std::string figures(const s_poolStatistics& p) {
  return std::string(p.instanceID) + " " + p.startAddr.ipString + "-" + p.endAddr.ipString +
         " total=" + std::to_string(p.totalAddresses) + " active=" + std::to_string(p.activeLeases) +
         " reserved=" + std::to_string(p.reservations) + " free=" + std::to_string(p.freeAddresses) +
         " used=" + std::to_string(p.percentUsed);
}

TEST_F(LeasesTest, PoolsCountTheLeasesAndReservationsOfEachRange) {
  addRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.10", "192.168.1.19");
  addRange(&CustomerLANDhcpCompConfig, 3, "192.168.1.30", "192.168.1.33");
  addReservation(&CustomerLANDhcpCompConfig, 5, "192.168.1.12", "", "");
  addReservation(&CustomerLANDhcpCompConfig, 6, "192.168.1.50", "", "");
  serve(leases("pools"));
  s_poolStatistics pools[DHCP_MAX_POOLS];
  std::vector<std::string> shown;
  for (int i = 0; i < dhcpCompCollectPoolStatistics(pools, DHCP_MAX_POOLS); ++i)
    shown.push_back(figures(pools[i]));
  // A lease outside the ranges is listed for the LAN but takes no pool address.
  EXPECT_EQ(
      (std::vector<std::string>{"eth1 192.168.1.1-192.168.1.254 total=14 active=4 reserved=1 free=10 used=28",
                                "eth1:192.168.1.10-192.168.1.19 192.168.1.10-192.168.1.19 total=10 active=2 "
                                "reserved=1 free=7 used=30",
                                "eth1:192.168.1.30-192.168.1.33 192.168.1.30-192.168.1.33 total=4 active=1 "
                                "reserved=0 free=3 used=25",
                                "eth1.100 172.16.1.1-172.16.1.254 total=0 active=0 reserved=0 free=0 used=0",
                                "eth2 172.31.0.1-172.31.0.254 total=0 active=1 reserved=0 free=0 used=0"}),
      shown);
}

TEST_F(LeasesTest, ExhaustionAlarmRaisedOnceAndClearedBelowItsThreshold) {
  const char kAlarms[] = "/pq/platform/LAN.log";
  unlink(kAlarms);
  addRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.30", "192.168.1.33");
  struct Step {
    const char* file;
    const char* alarms;  // alarm numbers logged so far
  } steps[] = {
      {"range-three-of-four", ""},  // 75 %: below the raise threshold
      {"range-four-of-four", "60010"},
      {"range-four-of-four-rewritten", "60010"},  // still 100 %: not raised again
      {"range-three-of-four", "60010 60011"},     // 75 %: cleared
      {"range-four-of-four", "60010 60011 60010"},
      // A decline (no hardware address) frees the address: 75 %, cleared.
      {"range-four-of-four-one-declined", "60010 60011 60010 60011"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.file);
    serve(leases(step.file));
    dhcpCompCheckPoolAlarms();
    std::string numbers;
    std::string log = readFile(kAlarms);
    for (size_t at = log.find("\t600"); at != std::string::npos; at = log.find("\t600", at + 1))
      numbers += (numbers.empty() ? "" : " ") + log.substr(at + 1, 5);
    EXPECT_EQ(step.alarms, numbers) << log;
  }
  SCOPED_TRACE("a range removed while its alarm stands clears it");
  serve(leases("range-four-of-four"));
  dhcpCompCheckPoolAlarms();
  CustomerLANDhcpCompConfig.addrRanges[0].isFree = 1;
  dhcpCompCheckPoolAlarms();
  EXPECT_NE(std::string::npos, readFile(kAlarms).find("DHCP pool removed, eth1 192.168.1.30"));
}

}  // namespace
