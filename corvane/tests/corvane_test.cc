// libcorvane's parts that do not touch the appliance's fixed paths, the LAN
// semaphore with a private appliance root.
#include <gtest/gtest.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "corvane.h"
#include "corvane_internal.h"
#include "test_support.h"
#include "torvo.h"

using tavrel::test::fileExists;
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
};

// A scratch directory, also the appliance root the semaphores are keyed by.
class CorvaneTest : public testing::Test {
 protected:
  CorvaneTest() { setenv("TAVREL_PLATFORM_DIR", dir_.path().c_str(), 1); }
  ~CorvaneTest() override {
    corvaneDeleteDHCPLANSemaphore();
    unsetenv("TAVREL_PLATFORM_DIR");
  }
  std::string path(const std::string& name) const { return dir_.file(name); }

  tavrel::test::TempDir dir_;
};

// Carriage returns become line feeds within the given length, past a NUL.
TEST_F(CorvaneTest, Remove0DsAndFileReading) {
  std::string text("a\rb\0\r\r", 6);
  corvaneRemove0Ds(text.data(), 5);
  EXPECT_EQ(text, std::string("a\nb\0\n\r", 6));

  writeFile(path("data"), "A=1\r\nB=2\r");
  FILE* fp = nullptr;
  long size = -1;
  ASSERT_EQ(corvaneFileOpenForRead(path("data").data(), &fp, &size), 1);
  EXPECT_EQ(size, 9);
  fclose(fp);
  fp = nullptr;
  EXPECT_EQ(corvaneFileOpenForRead(path("missing").data(), &fp, &size), 0);
  EXPECT_EQ(fp, nullptr);

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
    for (int i = 0; !stop; i++)
      i % 2 == 0 ? (void)(truncate(file.c_str(), 7) == 0) : (void)writeFile(file, full);
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

// The new hosts file keeps the administrator's lines (a Debian host's own,
// IPv6 included) and replaces only the agent's: marked ones and those in the
// layout of earlier versions for this host.
TEST_F(CorvaneTest, HostsMergeKeepsEveryLineNotTheAgents) {
  const std::string entry = "10.0.0.1\tbox.lan\tbox\t" CORVANE_HOSTS_MARK "\n";
  const std::string debian =
      "127.0.0.1\tlocalhost\n127.0.1.1\tbox.example.org\tbox\n::1 localhost ip6-localhost\n"
      "192.168.5.5\tnas.example.org\tnas\n";
  struct {
    std::string old, expected;
  } cases[] = {
      {"",
       "# Do not remove the following line, or various programs\n"
       "# that require network functionality will fail.\n127.0.0.1\tlocalhost\n" +
           entry},
      {debian, debian + entry},
      {debian + "192.168.1.1\tbox.lan\tbox\t" CORVANE_HOSTS_MARK
                "\n192.168.1.254\trouter\t" CORVANE_HOSTS_MARK,
       debian + entry},
      // Unmarked lines of earlier versions for this host, and a last line
      // without its feed.
      {"192.168.1.1\tbox.lan\tbox\n192.168.1.254\trouter\n192.168.1.1\tother.lan\tother",
       "192.168.1.1\tother.lan\tother\n" + entry},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.old);
    size_t length = 0;
    char* text = corvaneHostsMerge(c.old.data(), c.old.size(), "box", entry.c_str(), &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, length), c.expected);
    free(text);
  }
  const std::string huge(CORVANE_HOSTS_MAX_SIZE + 1, '#');
  size_t length = 0;
  EXPECT_EQ(corvaneHostsMerge(huge.data(), huge.size(), "box", entry.c_str(), &length), nullptr);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// What the reader gives for each sample, as lease-readings.txt lists it; its
// fuzz target takes every cut of the sample without running past the text or
// an output (checked by the sanitizer build).
TEST_F(CorvaneTest, LeaseSamplesGiveTheCurrentLease) {
  std::istringstream readings(readFile(samplePath("lease-readings.txt")));
  int rows = 0;
  for (std::string line; std::getline(readings, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    std::istringstream row(line);
    std::string file, ifname, outputs;
    int result = -1;
    row >> file >> ifname >> result;
    std::getline(row >> std::ws, outputs);
    const std::string text = readFile(samplePath(file));
    for (size_t n = 0; n <= text.size(); n++) {
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
    }
    std::vector<std::string> want;
    std::istringstream fields(outputs + "|");
    for (std::string field; std::getline(fields, field, '|');) want.push_back(field);
    ASSERT_EQ(want.size(), 12u);
    Out<CORVANE_LEASE_ADDR_SIZE> fixed, mask, routers, dns1, dns2, nbs, serverId;
    Out<CORVANE_LEASE_DOMAIN_SIZE> domain;
    Out<CORVANE_LEASE_RENEW_SIZE> renew;
    Out<CORVANE_VENDOR_TEXT_SIZE> ipSet, dhcpText;
    unsigned char nodeType = 77;
    char* out[] = {fixed.data, mask.data,   routers.data, dns1.data,     dns2.data,  nbs.data,
                   nullptr,    domain.data, renew.data,   serverId.data, ipSet.data, dhcpText.data};
    for (size_t i = 0; i < want.size(); i++) out[i] = want[i] == "-" ? nullptr : out[i];
    EXPECT_EQ(
        corvaneParseLeaseText(text.c_str(), ifname.c_str(), out[0], out[1], out[2], out[3], out[4], out[5],
                              want[6] == "-" ? nullptr : &nodeType, out[7], out[8], out[9], out[10], out[11]),
        result);
    std::string got;
    for (size_t i = 0; i < want.size(); i++) {
      const std::string value = i == 6 ? std::to_string(nodeType) : out[i] != nullptr ? out[i] : "";
      got += (i > 0 ? "|" : "") + (want[i] == "-" ? "-" : value);
    }
    EXPECT_EQ(got, outputs);
    rows++;
  }
  EXPECT_EQ(rows, 11);
  EXPECT_EQ(corvaneParseLeaseText("", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
}

// Only real interface names go into commands, and only whole commands run.
TEST_F(CorvaneTest, InterfaceNameCheckAndCommandRunnerPassOnlyWhatFits) {
  for (const char* name : {"eth1", "eth1.100", "lo", "br-lan_0", "a", "abcdefghijklmno", "LAN-A"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(corvaneIsValidInterfaceName(name), 1);
  }
  for (const char* name : {"", "abcdefghijklmnop", "eth1;reboot", "eth1 ", "eth1\n", "$(id)", "eth1`x`",
                           "eth1|cat", "../x", ".", "..", "-a", "eth1/x", "eth1:0", "\xc3\xa9"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(name)));
    EXPECT_EQ(corvaneIsValidInterfaceName(name), 0);
  }
  EXPECT_EQ(corvaneIsValidInterfaceName(nullptr), 0);

  std::string marker = path("ran");
  EXPECT_EQ(corvaneRunCommand("touch %s", marker.c_str()), 0);
  EXPECT_TRUE(fileExists(marker));
  unlink(marker.c_str());
  // Cut at its buffer this would still be "touch <marker>".
  EXPECT_EQ(corvaneRunCommand("touch %s #%s", marker.c_str(), std::string(300, 'y').c_str()), -1);
  EXPECT_FALSE(fileExists(marker));
}

// Calls without a semaphore, or without holding it, report and return; a
// second init opens the semaphore there is.
TEST_F(CorvaneTest, SemaphoreReportsMisuseExcludesOtherProcessesAndIsFreedByADeadHolder) {
  testing::internal::CaptureStderr();
  corvaneRequestDHCPLANSemaphore();
  corvaneReleaseDHCPLANSemaphore();
  EXPECT_EQ(corvaneInitDHCPLANSemaphore(), 0);
  EXPECT_EQ(corvaneInitDHCPLANSemaphore(), 0);
  corvaneReleaseDHCPLANSemaphore();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "corvaneRequestDHCPLANSemaphore: Error getting Semaphore\n"
            "corvaneReleaseDHCPLANSemaphore: Error getting Semaphore\n"
            "corvaneReleaseDHCPLANSemaphore: Error releasing Semaphore\n");

  // Two processes add to one counter file under the semaphore; an update
  // lost between reading and writing the counter would show in the total.
  // The child ends holding the semaphore, which the kernel then releases.
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
    corvaneRequestDHCPLANSemaphore();
    _exit(0);
  }
  addRounds();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readFile(counter), std::to_string(2 * rounds));
  uint32_t id = 0;
  ASSERT_EQ(osGetSemaphoreId("DHCPLAN_SEMAPHORE", &id), 0);
  EXPECT_EQ(osRequestSemaphore(id, 5000), 0) << "still held by the child";
  corvaneDeleteDHCPLANSemaphore();
  EXPECT_EQ(osGetSemaphoreId("DHCPLAN_SEMAPHORE", &id), ENOENT);
}

}  // namespace
