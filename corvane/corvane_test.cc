// Unit tests of libcorvane's parts that do not touch the appliance's fixed
// paths: text helpers, whole-file reading, the interface-name check, the
// command runner and the LAN semaphore (with a private appliance root).
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
#include "corvane_test_support.h"

namespace fs = std::filesystem;
using corvane_test::sample;

namespace {

class CorvaneTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvane_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // The semaphore stand-in keys its semaphores by this root, so each test
    // has semaphores of its own.
    setenv("TAVREL_PLATFORM_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    corvaneDeleteDHCPLANSemaphore();
    unsetenv("TAVREL_PLATFORM_DIR");
    fs::remove_all(dir_);
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void writeFile(const std::string& name, const std::string& text) const {
    corvane_test::writeFile(path(name), text);
  }
  std::string readFile(const std::string& name) const { return corvane_test::readFile(path(name)); }

  std::string dir_;
};

TEST_F(CorvaneTest, Remove0DsTurnsCarriageReturnsIntoLineFeedsInPlace) {
  struct Case {
    std::string in;
    long len;
    std::string out;
  } cases[] = {
      {"a\r\nb\r", 5, "a\n\nb\n"},
      {"\r\r", 2, "\n\n"},
      {"no returns\n", 11, "no returns\n"},
      {"a\rb", 0, "a\rb"},
      {"a\rb\r", 2, "a\nb\r"},
      {std::string("x\0\ry", 4), 4, std::string("x\0\ny", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    std::string buf = c.in;
    corvaneRemove0Ds(buf.data(), c.len);
    EXPECT_EQ(buf, c.out);
  }
}

TEST_F(CorvaneTest, FileOpenForReadGivesStreamAtStartAndSize) {
  writeFile("data", "line 1\r\nline 2\n");
  FILE* fp = nullptr;
  long size = -1;
  ASSERT_EQ(corvaneFileOpenForRead(path("data").data(), &fp, &size), 1);
  ASSERT_NE(fp, nullptr);
  EXPECT_EQ(size, 15);
  char buf[32] = {};
  EXPECT_EQ(fread(buf, 1, sizeof buf, fp), 15u);
  EXPECT_STREQ(buf, "line 1\r\nline 2\n");
  fclose(fp);

  writeFile("empty", "");
  fp = nullptr;
  ASSERT_EQ(corvaneFileOpenForRead(path("empty").data(), &fp, &size), 1);
  EXPECT_EQ(size, 0);
  fclose(fp);

  FILE* untouched = reinterpret_cast<FILE*>(&size);
  fp = untouched;
  EXPECT_EQ(corvaneFileOpenForRead(path("missing").data(), &fp, &size), 0);
  EXPECT_EQ(fp, untouched);
}

TEST_F(CorvaneTest, ReadTextFileRemovesCarriageReturnsAndTerminates) {
  writeFile("data", "A=1\r\nB=2\r");
  long length = 0;
  char* text = corvaneReadTextFile(path("data").c_str(), &length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(length, 9);
  EXPECT_STREQ(text, "A=1\n\nB=2\n");
  free(text);
  EXPECT_EQ(corvaneReadTextFile(path("missing").c_str(), &length), nullptr);
}

// A writer keeps cutting the file short and filling it again while it is
// read: every read stays within what was read and is terminated after it
// (the sanitizer build checks the buffer bounds). The kernel may show a page
// being cut as zero bytes, so those are allowed in the text.
TEST_F(CorvaneTest, ReadTextFileOfFileChangingSizeStaysWithinText) {
  const std::string full(4096, 'x');
  writeFile("changing", full);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; i++) {
      FILE* f = fopen(path("changing").c_str(), "r+b");
      if (f == nullptr) continue;
      if (i % 2 == 0) {
        if (ftruncate(fileno(f), 7) != 0) ADD_FAILURE() << "ftruncate";
      } else {
        fwrite(full.data(), 1, full.size(), f);
        fwrite(full.data(), 1, full.size(), f);
      }
      fclose(f);
    }
  });
  for (int i = 0; i < 2000; i++) {
    long length = -1;
    char* text = corvaneReadTextFile(path("changing").c_str(), &length);
    ASSERT_NE(text, nullptr);
    ASSERT_GE(length, 0);
    ASSERT_LE(length, 2 * static_cast<long>(full.size()));
    ASSERT_EQ(text[length], '\0');
    ASSERT_EQ(std::string(text, length).find_first_not_of(std::string("x\0", 2)), std::string::npos);
    free(text);
  }
  stop = true;
  writer.join();
}

// Both ifconfig layouts, from captured output: net-tools 1 as on the
// appliance, and net-tools 2 as on current distributions.
TEST_F(CorvaneTest, IfconfigOutputGivesAddressAndMask) {
  struct Case {
    const char* file;
    const char* addr;
    const char* mask;
  } cases[] = {
      {"ifconfig-old-eth1.txt", "192.168.1.1", "255.255.255.0"},
      {"ifconfig-old-eth2-noaddr.txt", "", ""},
      {"ifconfig-lo.txt", "127.0.0.1", "255.0.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string text = sample(c.file);
    char addr[CORVANE_IP_TEXT_SIZE] = "old";
    char mask[CORVANE_IP_TEXT_SIZE] = "old";
    corvaneIfconfigAddress(addr, text.c_str());
    corvaneIfconfigMask(mask, text.c_str());
    EXPECT_STREQ(addr, c.addr);
    EXPECT_STREQ(mask, c.mask);
  }
  char addr[CORVANE_IP_TEXT_SIZE];
  corvaneIfconfigAddress(addr, "inet addr:1234567890123456789012345 Mask:x");
  EXPECT_STREQ(addr, "123456789012345");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The lease reader's fuzz target over every sample cut after each byte: a
// block broken off anywhere never makes the reader run past the text or an
// output (checked by the sanitizer build).
TEST_F(CorvaneTest, LeaseReaderTakesEveryCutOfTheSamples) {
  for (const auto& entry : fs::directory_iterator(corvane_test::samplePath(""))) {
    if (entry.path().extension() != ".leases") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = sample(entry.path().filename().string());
    for (size_t n = 0; n <= text.size(); n++) {
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
    }
  }
}

TEST_F(CorvaneTest, InterfaceNameCheckAcceptsOnlyRealInterfaceNames) {
  const char* good[] = {"eth1", "eth2", "eth1.100", "lo", "br-lan_0", "a", "abcdefghijklmno"};
  for (const char* name : good) {
    SCOPED_TRACE(name);
    EXPECT_EQ(corvaneIsValidInterfaceName(name), 1);
  }
  const char* bad[] = {"",        "abcdefghijklmnop", "eth1;reboot", "eth1 ",   "eth1\n", "$(id)",
                       "eth1`x`", "eth1|cat",         "../x",        ".",       "..",     "-a",
                       "eth1/x",  "eth1:0",           "eth\t1",      "\xc3\xa9"};
  for (const char* name : bad) {
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
  std::string tail(300, 'y');
  EXPECT_EQ(corvaneRunCommand("touch %s #%s", marker.c_str(), tail.c_str()), -1);
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(CorvaneTest, SemaphoreCallsWithoutSemaphoreReportAndReturn) {
  testing::internal::CaptureStderr();
  corvaneRequestDHCPLANSemaphore();
  corvaneReleaseDHCPLANSemaphore();
  corvaneDeleteDHCPLANSemaphore();
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
  writeFile("counter", "0");
  const int rounds = 200;
  auto addRounds = [&] {
    for (int i = 0; i < rounds; i++) {
      corvaneRequestDHCPLANSemaphore();
      long value = 0;
      if (FILE* f = fopen(counter.c_str(), "r")) {
        if (fscanf(f, "%ld", &value) != 1) value = -1000000;
        fclose(f);
      }
      usleep(50);
      if (FILE* f = fopen(counter.c_str(), "w")) {
        fprintf(f, "%ld", value + 1);
        fclose(f);
      }
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
  EXPECT_EQ(readFile("counter"), std::to_string(2 * rounds));
}

}  // namespace
