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
#include "dhcpcomp.h"
#include "model_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using model_test::readFile;
using model_test::writeFile;

typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

// One lease record as dhcpd writes it; an empty field leaves its line out.
std::string record(const std::string& address, const std::string& state,
                   const std::string& mac = "00:0a:0b:0c:0d:0e", const std::string& hostname = "lobby",
                   const std::string& ends = "4 2010/06/17 08:05:09") {
  std::string text = "lease " + address + " {\n  starts 3 2010/06/16 08:05:09;\n";
  if (!ends.empty()) text += "  ends " + ends + ";\n";
  text += "  cltt 3 2010/06/16 08:05:09;\n  binding state " + state + ";\n  next binding state free;\n";
  if (!mac.empty()) text += "  hardware ethernet " + mac + ";\n";
  if (!hostname.empty()) text += "  client-hostname \"" + hostname + "\";\n";
  return text + "}\n";
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
    Qualifiers q;
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

size_t nodes(const s_dhcpCompConfig& cfg) {
  size_t n = 0;
  for (const s_leaseInfo* node = cfg.leaseInfoList; node != nullptr; node = node->next) ++n;
  return n;
}

class LeasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/pq/etc", W_OK) != 0) GTEST_SKIP() << "needs the appliance sandbox";
    ZPX_DHCPClientLeaseInfoCustomerLAN::SetInstanceManager(&m_customer);
    ZPX_DHCPClientLeaseInfoOAMLAN::SetInstanceManager(&m_oam);
    model_test::resetModel({100});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
    model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
    unlink(DHCPD_LEASE_FILE);
    unlink(DHCPD_LEASE_COPY_FILE);
  }

  void TearDown() override {
    dhcpCompDeleteLeaseInfoInstances();
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

  ZPX_DHCPClientLeaseInfoCustomerLANImplInstanceManager m_customer;
  ZPX_DHCPClientLeaseInfoOAMLANImplInstanceManager m_oam;
};

TEST_F(LeasesTest, ListsBuiltFromLeaseFiles) {
  const std::string kLong(120, 'x');
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> customer;
    std::vector<std::string> oam;
  } cases[] = {
      {"active, then free: no lease",
       record("192.168.1.105", "active") + record("192.168.1.105", "free"),
       {},
       {}},
      {"two active records: the later one's values",
       record("192.168.1.105", "active") +
           record("192.168.1.105", "active", "00:0a:0b:0c:0d:0f", "desk", "5 2010/06/18 08:05:09"),
       {"0 192.168.1.105 00:0A:0B:0C:0D:0F desk/desk end=20100618080509.000000+000"},
       {}},
      {"free, then active again: a new object with the next id",
       record("192.168.1.7", "active") + record("192.168.1.105", "active") + record("192.168.1.7", "free") +
           record("192.168.1.7", "active"),
       {"1 192.168.1.105 00:0A:0B:0C:0D:0E lobby/lobby", "2 192.168.1.7 00:0A:0B:0C:0D:0E lobby/lobby"},
       {}},
      {"ids: customer LAN and VLAN count from 0, the OAM LAN from 1",
       record("192.168.1.10", "active") + record("172.16.1.10", "active") + record("172.31.0.10", "active"),
       {"0 192.168.1.10 00:0A:0B:0C:0D:0E lobby/lobby", "1 172.16.1.10 00:0A:0B:0C:0D:0E lobby/lobby"},
       {"1 172.31.0.10 00:0A:0B:0C:0D:0E lobby/lobby"}},
      {"no client-hostname: empty name and description",
       record("192.168.1.10", "active", "00:0a:0b:0c:0d:0e", ""),
       {"0 192.168.1.10 00:0A:0B:0C:0D:0E /"},
       {}},
      {"dropped: ends never, abandoned, outside every LAN, no MAC, a bad date",
       record("192.168.1.10", "active", "00:0a:0b:0c:0d:0e", "x", "never") +
           record("192.168.1.11", "abandoned") + record("10.9.9.9", "active") +
           record("192.168.1.12", "active", "") +
           record("192.168.1.13", "active", "00:0a:0b:0c:0d:0e", "x", "4 2010/02/30 08:05:09") +
           record("192.168.1.14", "active", "00:0a:0b:0c:0d:0g"),
       {},
       {}},
      {"an over-long line is consumed whole: its tail starts no record",
       "lease 192.168.1.20 {\n  uid \"" + kLong.substr(0, 92) + "lease 192.168.1.77 {\n" +
           "  starts 3 2010/06/16 08:05:09;\n  ends 4 2010/06/17 08:05:09;\n"
           "  binding state active;\n  set v = \"" +
           kLong + "\";\n  hardware ethernet 00:0a:0b:0c:0d:0e;\n  client-hostname \"desk\";\n}\n",
       {"0 192.168.1.20 00:0A:0B:0C:0D:0E desk/desk"},
       {}},
      {"a record cut off by the end of the file is dropped",
       record("192.168.1.30", "active") + "lease 192.168.1.31 {\n  starts 3 2010/06/16 08:05:09;\n",
       {"0 192.168.1.30 00:0A:0B:0C:0D:0E lobby/lobby"},
       {}},
      {"a record without its end is dropped, not merged with the next",
       "lease 192.168.1.40 {\n  hardware ethernet 00:0a:0b:0c:0d:0e;\n" +
           record("192.168.1.41", "active", ""),
       {},
       {}},
      {"a record longer than the record buffer is skipped whole",
       "lease 192.168.1.50 {\n" + std::string(30, ' ') + "\n" +
           [] {
             std::string lines;
             for (int i = 0; i < 40; ++i)
               lines += "  set a" + std::to_string(i) + " = \"" + std::string(60, 'v') + "\";\n";
             return lines;
           }() +
           "  binding state active;\n}\n" + record("192.168.1.51", "active"),
       {"0 192.168.1.51 00:0A:0B:0C:0D:0E lobby/lobby"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    serve(c.file);
    EXPECT_EQ(c.customer, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>());
    EXPECT_EQ(c.oam, listed<ZPX_DHCPClientLeaseInfoOAMLAN>());
  }
  SCOPED_TRACE("a free record keeps its address's node, without object");
  serve(record("192.168.1.105", "active") + record("192.168.1.105", "free"));
  EXPECT_EQ(1u, nodes(CustomerLANDhcpCompConfig));
  EXPECT_EQ(nullptr, CustomerLANDhcpCompConfig.leaseInfoList->customerLanLease);
}

TEST_F(LeasesTest, ChangesOfTheLeaseFileAreSeen) {
  EXPECT_EQ(0, dhcpCompLeaseFileChanged()) << "no file, no copy";

  std::string first = record("192.168.1.10", "active");
  writeFile(DHCPD_LEASE_FILE, first);
  EXPECT_EQ(1, dhcpCompLeaseFileChanged());
  EXPECT_EQ(first, readFile(DHCPD_LEASE_COPY_FILE));
  EXPECT_EQ(0, dhcpCompLeaseFileChanged());

  struct Change {
    const char* what;
    std::string content;
    bool replace;  // a new file, as dhcpd's rewrite
    long touchNanoseconds;
  } changes[] = {
      {"appended", first + record("192.168.1.11", "active"), false, -1},
      {"same size, new file", first + record("192.168.1.12", "active"), true, -1},
      {"same size, same file, written within the same second", "", false, 1},
      {"same size, same file, another nanosecond", "", false, 2},
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
}

TEST_F(LeasesTest, EnumerationRebuildsBothClassesAndDeletionLeavesNoDanglingNode) {
  writeFile(DHCPD_LEASE_FILE, record("192.168.1.10", "active") + record("172.31.0.10", "active"));
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
  writeFile(DHCPD_LEASE_FILE, record("192.168.1.10", "active") + record("172.31.0.10", "active") +
                                  record("192.168.1.11", "active"));
  EXPECT_EQ(2u, listed<ZPX_DHCPClientLeaseInfoCustomerLAN>().size());
}

// The record reader and list builder's fuzz target over every cut of a
// lease file the real dhcpd wrote.
TEST_F(LeasesTest, ReaderTakesEveryCutOfARealLeaseFile) {
  std::string text = readFile(model_test::dataFile("../dhcpd/dhcpd.leases"));
  ASSERT_FALSE(text.empty());
  for (size_t n = 0; n <= text.size(); ++n)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
}

}  // namespace

namespace {

void setRange(s_dhcpCompConfig* cfg, int slot, const char* start, const char* end) {
  cfg->addrRanges[slot].isFree = 0;
  cfg->addrRanges[slot].startAddr = model_test::address(start);
  cfg->addrRanges[slot].endAddr = model_test::address(end);
}

std::string figures(const s_poolStatistics& p) {
  return std::string(p.instanceID) + " " + p.startAddr.ipString + "-" + p.endAddr.ipString +
         " total=" + std::to_string(p.totalAddresses) + " active=" + std::to_string(p.activeLeases) +
         " reserved=" + std::to_string(p.reservations) + " free=" + std::to_string(p.freeAddresses) +
         " used=" + std::to_string(p.percentUsed);
}

TEST_F(LeasesTest, PoolsCountTheLeasesAndReservationsOfEachRange) {
  setRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.10", "192.168.1.19");
  setRange(&CustomerLANDhcpCompConfig, 3, "192.168.1.30", "192.168.1.33");
  CustomerLANDhcpCompConfig.reservedAddrs[5].isFree = 0;
  CustomerLANDhcpCompConfig.reservedAddrs[5].ipAddr = model_test::address("192.168.1.12");
  CustomerLANDhcpCompConfig.reservedAddrs[6].isFree = 0;
  CustomerLANDhcpCompConfig.reservedAddrs[6].ipAddr = model_test::address("192.168.1.50");
  serve(record("192.168.1.10", "active") + record("192.168.1.11", "active") +
        record("192.168.1.31", "active") + record("192.168.1.40", "active") + record("192.168.1.13", "free") +
        record("172.31.0.2", "active"));
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
  setRange(&CustomerLANDhcpCompConfig, 0, "192.168.1.30", "192.168.1.33");
  std::string three =
      record("192.168.1.30", "active") + record("192.168.1.31", "active") + record("192.168.1.32", "active");
  struct Step {
    const char* what;
    std::string leases;
    const char* alarms;  // alarm numbers logged so far
  } steps[] = {
      {"75 %: below the raise threshold", three, ""},
      {"100 %: raised", three + record("192.168.1.33", "active"), "60010"},
      {"still 100 %: not raised again", three + record("192.168.1.33", "active") + "\n", "60010"},
      {"75 %: cleared", three, "60010 60011"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    serve(step.leases);
    dhcpCompCheckPoolAlarms();
    std::string numbers;
    std::string log = readFile(kAlarms);
    for (size_t at = log.find("\t600"); at != std::string::npos; at = log.find("\t600", at + 1))
      numbers += (numbers.empty() ? "" : " ") + log.substr(at + 1, 5);
    EXPECT_EQ(step.alarms, numbers) << log;
  }
  SCOPED_TRACE("a range removed while its alarm stands clears it");
  serve(three + record("192.168.1.33", "active"));
  dhcpCompCheckPoolAlarms();
  CustomerLANDhcpCompConfig.addrRanges[0].isFree = 1;
  dhcpCompCheckPoolAlarms();
  EXPECT_NE(std::string::npos, readFile(kAlarms).find("DHCP pool removed, eth1 192.168.1.30"));
}

}  // namespace
