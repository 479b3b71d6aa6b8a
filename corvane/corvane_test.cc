// Unit tests of libcorvane's parts that do not touch the appliance's fixed
// paths: text helpers, whole-file reading, the ifconfig and lease readers
// over captured samples, the interface-name check, the command runner and the
// LAN semaphore (with a private appliance root).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "corvane.h"
#include "corvane_internal.h"
#include "test_support.h"

namespace fs = std::filesystem;
using tavrel::test::readFile;
using tavrel::test::writeFile;

namespace {

std::string samplePath(const std::string& name) {
  return std::string(getenv("TAVREL_SOURCE_DIR")) + "/tests/data/corvane/" + name;
}

// An output buffer of exactly the size a caller passes (the sanitizer build
// catches any write past it).
template <size_t N>
struct Out {
  char data[N] = "old";
  std::string text() const { return data; }
};

class CorvaneTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvane_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // The semaphore stand-in keys its semaphores by this root.
    setenv("TAVREL_PLATFORM_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    corvaneDeleteDHCPLANSemaphore();
    unsetenv("TAVREL_PLATFORM_DIR");
    fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(CorvaneTest, Remove0DsAndFileReading) {
  std::string text("a\rb\r\0\r", 6);
  corvaneRemove0Ds(text.data(), 3);
  EXPECT_EQ(text, std::string("a\nb\r\0\r", 6));
  corvaneRemove0Ds(text.data(), 6);
  EXPECT_EQ(text, std::string("a\nb\n\0\n", 6));

  writeFile(path("data"), "A=1\r\nB=2\r");
  FILE* fp = nullptr;
  long size = -1;
  ASSERT_EQ(corvaneFileOpenForRead(path("data").data(), &fp, &size), 1);
  EXPECT_EQ(size, 9);
  EXPECT_EQ(fgetc(fp), 'A');
  fclose(fp);
  FILE* untouched = fp;
  EXPECT_EQ(corvaneFileOpenForRead(path("missing").data(), &fp, &size), 0);
  EXPECT_EQ(fp, untouched);

  char* read = corvaneReadTextFile(path("data").c_str(), &size);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(size, 9);
  EXPECT_STREQ(read, "A=1\n\nB=2\n");
  free(read);
  EXPECT_EQ(corvaneReadTextFile(path("missing").c_str(), &size), nullptr);
}

// A writer keeps cutting the file short and filling it again while it is
// read: every read stays within what was read and is terminated after it.
// The kernel may show a page being cut as zero bytes.
TEST_F(CorvaneTest, ReadTextFileOfFileChangingSizeStaysWithinText) {
  const std::string file = path("changing"), full(8192, 'x');
  writeFile(file, full);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; i++) i % 2 == 0 ? (void)truncate(file.c_str(), 7) : (void)writeFile(file, full);
  });
  for (int i = 0; i < 2000; i++) {
    long length = -1;
    char* text = corvaneReadTextFile(file.c_str(), &length);
    ASSERT_NE(text, nullptr);
    ASSERT_GE(length, 0);
    ASSERT_LE(length, static_cast<long>(full.size()));
    ASSERT_EQ(text[length], '\0');
    ASSERT_EQ(std::string(text, length).find_first_not_of(std::string("x\0", 2)), std::string::npos);
    free(text);
  }
  stop = true;
  writer.join();
}

// Both ifconfig layouts: net-tools 1 as on the appliance, net-tools 2.
TEST_F(CorvaneTest, IfconfigOutputGivesAddressAndMask) {
  const char* const cases[][2] = {{"ifconfig-old-eth1.txt", "192.168.1.1/255.255.255.0"},
                                  {"ifconfig-old-eth2-noaddr.txt", "/"},
                                  {"ifconfig-lo.txt", "127.0.0.1/255.0.0.0"}};
  for (const auto& c : cases) {
    std::string text = readFile(samplePath(c[0]));
    char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old";
    corvaneIfconfigAddress(addr, text.c_str());
    corvaneIfconfigMask(mask, text.c_str());
    EXPECT_EQ(std::string(addr) + "/" + mask, c[1]) << c[0];
  }
  char addr[CORVANE_IP_TEXT_SIZE];
  corvaneIfconfigAddress(addr, "inet addr:1234567890123456789012345 Mask:x");
  EXPECT_STREQ(addr, "123456789012345");
}

// What the reader gives for each sample, outputs joined by "|" in the order
// of the call (the node type as a number). Outputs start as "old" so that
// untouched and cleared outputs can be told apart; values longer than their
// buffers are cut to them.
const struct {
  const char* file;
  const char* ifname;
  int result;
  std::string outputs;
} kLeaseCases[] = {
    {"three-blocks.leases", "eth1", 1,
     "10.20.30.40|255.255.254.0|10.20.30.1|10.20.0.53|10.20.0.54|10.20.0.139|8|office.example|"
     "1 2026/12/07 09:41:27|10.20.30.2||"},
    {"other-interface-last.leases", "eth1", 0, "old|old|old|old|old|old|77|old|old|old||"},
    {"other-interface-last.leases", "eth2", 1,
     "172.31.0.77|255.255.255.0|172.31.0.2||||0||0 2026/12/06 18:24:55|172.31.0.2||"},
    {"three-dns-trailing-point.leases", "eth1", 1,
     "192.168.1.53|255.255.255.0|192.168.1.254|192.168.1.254|8.8.8.8||0|customer.lan|0 2026/12/06 "
     "18:33:40|192.168.1.254||"},
    {"no-routers.leases", "eth1", 1,
     "192.168.1.54|255.255.255.0|||||0||0 2026/12/06 18:43:01|192.168.1.254||"},
    {"truncated-last-block.leases", "eth1", 1,
     "192.168.1.55|255.255.255.0|192.168.1.254|192.168.1.254|||0|customer.lan|0 2026/12/06 "
     "18:53:18|192.168.1.254||"},
    {"vendor-texts.leases", "eth1", 1,
     "192.168.1.50|255.255.255.0|192.168.1.254|192.168.1.254|192.168.1.253||0|customer.lan|0 2026/12/06 "
     "20:27:36|192.168.1.254|192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.VLAN-A:100,200.|2,100-200."},
    {"overlong-values.leases", "eth1", 1,
     "192.168.1.57|255.255.255.0|192.168.1.254|192.168.100.100.100|192.168.200.200.200|192.168.111.111.111|0|"
     "a-very-long-subdomain-name-for-testing.a-|0 2026/12/06 19:03:18 and som|192.168.1.254.254.2|"
     "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:100,101,102,103,104,105,106,107,108,109,110,111,112,113,114,"
     "115,116,117,118,119,120,121,122,123,124,125,126,127,128,129,130,131,132,133,134,135,136,137,138,|2," +
         std::string(197, '1')},
};

TEST_F(CorvaneTest, LeaseSamplesGiveTheCurrentLease) {
  for (const auto& c : kLeaseCases) {
    SCOPED_TRACE(std::string(c.file) + " for " + c.ifname);
    const std::string text = readFile(samplePath(c.file));
    Out<CORVANE_LEASE_ADDR_SIZE> fixed, mask, routers, dns1, dns2, nbs, serverId;
    Out<CORVANE_LEASE_DOMAIN_SIZE> domain;
    Out<CORVANE_LEASE_RENEW_SIZE> renew;
    Out<CORVANE_VENDOR_TEXT_SIZE> ipSet, dhcpText;
    unsigned char nodeType = 77;
    EXPECT_EQ(corvaneParseLeaseText(text.c_str(), c.ifname, fixed.data, mask.data, routers.data, dns1.data,
                                    dns2.data, nbs.data, &nodeType, domain.data, renew.data, serverId.data,
                                    ipSet.data, dhcpText.data),
              c.result);
    EXPECT_EQ(fixed.text() + "|" + mask.text() + "|" + routers.text() + "|" + dns1.text() + "|" +
                  dns2.text() + "|" + nbs.text() + "|" + std::to_string(nodeType) + "|" + domain.text() +
                  "|" + renew.text() + "|" + serverId.text() + "|" + ipSet.text() + "|" + dhcpText.text(),
              c.outputs);
  }
}

TEST_F(CorvaneTest, LeaseOutputsAreFilledOnlyWhenAskedFor) {
  const std::string vendor = readFile(samplePath("vendor-texts.leases"));
  Out<CORVANE_LEASE_ADDR_SIZE> fixed, mask;
  Out<CORVANE_VENDOR_TEXT_SIZE> ipSet;
  EXPECT_EQ(corvaneParseLeaseText(vendor.c_str(), "eth1", fixed.data, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, ipSet.data, nullptr),
            1);
  EXPECT_EQ(fixed.text(), "192.168.1.50");
  EXPECT_EQ(ipSet.text(), "");  // filled only when both vendor texts are given

  // Without the fixed address the lease is not usable.
  EXPECT_EQ(corvaneParseLeaseText("lease {\n  interface \"eth1\";\n  option subnet-mask 255.0.0.0;\n}\n",
                                  "eth1", fixed.data, mask.data, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(fixed.text(), "");
  EXPECT_EQ(mask.text(), "old");
  EXPECT_EQ(corvaneParseLeaseText("", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The lease reader's fuzz target over every sample cut after each byte: a
// block broken off anywhere never makes the reader run past the text or an
// output (checked by the sanitizer build).
TEST_F(CorvaneTest, LeaseReaderTakesEveryCutOfTheSamples) {
  for (const auto& entry : fs::directory_iterator(samplePath(""))) {
    if (entry.path().extension() != ".leases") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = readFile(entry.path());
    for (size_t n = 0; n <= text.size(); n++) {
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
    }
  }
}

TEST_F(CorvaneTest, InterfaceNameCheckAcceptsOnlyRealInterfaceNames) {
  for (const char* name : {"eth1", "eth1.100", "lo", "br-lan_0", "a", "abcdefghijklmno"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(corvaneIsValidInterfaceName(name), 1);
  }
  for (const char* name : {"", "abcdefghijklmnop", "eth1;reboot", "eth1 ", "eth1\n", "$(id)", "eth1`x`",
                           "eth1|cat", "../x", ".", "..", "-a", "eth1/x", "eth1:0", "\xc3\xa9"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(name)));
    EXPECT_EQ(corvaneIsValidInterfaceName(name), 0);
  }
  EXPECT_EQ(corvaneIsValidInterfaceName(nullptr), 0);
}

TEST_F(CorvaneTest, RunCommandRunsNothingThatDoesNotFit) {
  std::string marker = path("ran");
  EXPECT_EQ(corvaneRunCommand("touch %s", marker.c_str()), 0);
  EXPECT_TRUE(fs::exists(marker));
  fs::remove(marker);
  // Cut at its buffer this would still be "touch <marker>".
  EXPECT_EQ(corvaneRunCommand("touch %s #%s", marker.c_str(), std::string(300, 'y').c_str()), -1);
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(CorvaneTest, SemaphoreCallsWithoutSemaphoreReportAndReturn) {
  testing::internal::CaptureStderr();
  corvaneRequestDHCPLANSemaphore();
  corvaneReleaseDHCPLANSemaphore();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "corvaneRequestDHCPLANSemaphore: Error getting Semaphore\n"
            "corvaneReleaseDHCPLANSemaphore: Error getting Semaphore\n");

  ASSERT_EQ(corvaneInitDHCPLANSemaphore(), 0);
  testing::internal::CaptureStderr();
  corvaneReleaseDHCPLANSemaphore();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "corvaneReleaseDHCPLANSemaphore: Error releasing Semaphore\n");
}

// Two processes add to one counter file under the semaphore; an update lost
// between reading and writing the counter would show in the total.
TEST_F(CorvaneTest, SemaphoreExcludesOtherProcesses) {
  ASSERT_EQ(corvaneInitDHCPLANSemaphore(), 0);
  const std::string counter = path("counter");
  writeFile(counter, "0");
  const int rounds = 200;
  auto addRounds = [&] {
    for (int i = 0; i < rounds; i++) {
      corvaneRequestDHCPLANSemaphore();
      const long value = atol(readFile(counter).c_str());
      usleep(50);
      writeFile(counter, std::to_string(value + 1));
      corvaneReleaseDHCPLANSemaphore();
    }
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    addRounds();
    _exit(0);
  }
  addRounds();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readFile(counter), std::to_string(2 * rounds));
}

}  // namespace
