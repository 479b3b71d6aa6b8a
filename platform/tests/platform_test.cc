// The stand-ins' calls no other test shows: libnetkeel's and libcorvane's
// tests show the rest, the agent's dynamic-LAN system tests the router flag,
// the event service and what the started program does.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VexShared.h"
#include "test_support.h"
#include "torvo.h"

namespace {

using tavrel::test::readFile;
using tavrel::test::writeFile;
typedef std::vector<std::string> Lines;

const int kArea = 5;

class PlatformTest : public testing::Test {
 protected:
  PlatformTest() { setenv("TAVREL_PLATFORM_DIR", root_.path().c_str(), 1); }
  ~PlatformTest() override { unsetenv("TAVREL_PLATFORM_DIR"); }
  std::string path(const std::string& name) const { return root_.file(name); }

  tavrel::test::TempDir root_;
};

// Texts that do not fit the caller's buffer, and the numbers the agent reads
// as VLAN ids: plain decimal 0..65535 only.
TEST_F(PlatformTest, RegistryReadsTextsThatFitAndNumbersAndSetKeepsTheRest) {
  writeFile(path("registry"),
            "PublishedIP\\default\tipaddress\t192.168.100.200\n"
            "if\\vlan\\a\tvlanid\t65535\n"
            "if\\vlan\\b\tvlanid\t65536\n"
            "if\\vlan\\d\tvlanid\t 1\n");
  char buffer[16];
  EXPECT_EQ(VexGetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", buffer, 16), 0);
  EXPECT_STREQ(buffer, "192.168.100.200");
  EXPECT_EQ(VexGetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", buffer, 15), ERANGE);
  EXPECT_STREQ(buffer, "");
  const struct {
    const char* key;
    int rc;
  } numbers[] = {
      {"if\\vlan\\a", 0}, {"if\\vlan\\b", ERANGE}, {"if\\vlan\\d", EINVAL}, {"if\\vlan\\h", ENOENT}};
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.key);
    uint16_t value = 7;
    EXPECT_EQ(VexGetRegEntryUint16Ex(kArea, c.key, "vlanid", &value), c.rc);
    EXPECT_EQ(value, c.rc == 0 ? 65535 : 7);
  }

  // Set replaces the file atomically and keeps the rest.
  const std::string data = tavrel::test::sourceDir() + "/tests/data/platform/";
  writeFile(path("registry"), readFile(data + "registry-before-set.txt"));
  struct stat before, after;
  ASSERT_EQ(stat(path("registry").c_str(), &before), 0);
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", "10.0.0.2"), 0);
  ASSERT_EQ(stat(path("registry").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino) << "rewritten in place instead of renamed over";
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "interface", "if\\lan\\eth1"), 0);
  const std::string expected = readFile(data + "registry-after-set.txt");
  EXPECT_EQ(readFile(path("registry")), expected);
  EXPECT_EQ(root_.entries(), Lines{"registry"}) << "temporary file left";
  // Texts that would break the line format are refused.
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "two\nlines"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k\tx", "n", "v"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n\r", "v"), EINVAL);
  EXPECT_EQ(readFile(path("registry")), expected);
}

// What each published-IP handler saw: "old>new" per change.
std::mutex g_mutex;
Lines g_seen[2];

template <int N>
void handler(unsigned long, unsigned char, unsigned char, unsigned long, void*, unsigned long oldLength,
             void* oldValue, unsigned long newLength, void* newValue) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_seen[N].push_back(std::string(static_cast<char*>(oldValue), oldLength) + ">" +
                      std::string(static_cast<char*>(newValue), newLength));
}

bool waitForChanges(int n, size_t count) {
  return tavrel::test::waitUntil([&] {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_seen[n].size() >= count;
  });
}

TEST_F(PlatformTest, PublishedIPHandlersSeeChangesUntilFreed) {
  char buffer[16];
  uint32_t idA = 77, idB = 0;
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handler<0>, &idA), ENOENT) << "no file";
  EXPECT_EQ(idA, 77u) << "no listener without an address";
  auto publish = [](const char* address) {
    ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", address), 0);
  };
  publish("192.168.100.200");
  // The process exits cleanly with a listener still registered.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) exit(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handler<0>, &idA) == 0 ? 0 : 3);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, 15, nullptr, nullptr), ERANGE);
  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handler<0>, &idA), 0);
  EXPECT_STREQ(buffer, "192.168.100.200");
  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handler<1>, &idB), 0);
  EXPECT_NE(idA, 0u);

  publish("192.168.100.200");  // rewritten unchanged: not a change
  publish("10.0.0.123");
  ASSERT_TRUE(waitForChanges(0, 1));
  ASSERT_TRUE(waitForChanges(1, 1));
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idA), 0);
  EXPECT_EQ(idA, 0u);
  // Both are served in the same pass, so once B has seen the change a
  // still-registered A would have seen it as well.
  publish("10.0.0.2");
  ASSERT_TRUE(waitForChanges(1, 2));
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    EXPECT_EQ(g_seen[0], Lines{"192.168.100.200>10.0.0.123"});
    EXPECT_EQ(g_seen[1], (Lines{"192.168.100.200>10.0.0.123", "10.0.0.123>10.0.0.2"}));
  }
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idB), 0);
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idB), ENOENT);
}

std::atomic<int> g_stopCalls{0};

// Either stop signal calls the callback; a further one ends the process.
TEST_F(PlatformTest, FirstStopSignalCallsTheCallbackSecondEndsTheProcess) {
  void (*countStop)(unsigned long) = [](unsigned long) { ++g_stopCalls; };
  ASSERT_EQ(VexServiceStartService("TavrelAgent", 0, 0, countStop, 3), 0);
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_EQ(g_stopCalls, 1);
  EXPECT_EQ(VexServiceStopService(), 0);
  g_stopCalls = 0;
  EXPECT_EXIT(
      {
        VexServiceStartService("TavrelAgent", 0, 0, countStop, 3);
        raise(SIGINT);
        if (g_stopCalls == 1) raise(SIGTERM);
        _exit(0);
      },
      testing::KilledBySignal(SIGTERM), "");
}

TEST_F(PlatformTest, StartPgmRunsProgramWithoutWaiting) {
  // The program proves it runs by leaving its pid.
  writeFile(path("prog.sh"),
            "#!/bin/sh\n"
            "read line < \"$TAVREL_PLATFORM_DIR/go\"\n"
            "echo $$ > \"$TAVREL_PLATFORM_DIR/pid\"\n");
  ASSERT_EQ(chmod(path("prog.sh").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(path("go").c_str(), 0600), 0);
  uint32_t pid = 0;
  // Returns while the program still blocks on the fifo.
  ASSERT_EQ(osStartPgm(path("prog.sh").c_str(), 0, 1, &pid, 0), 0);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child left for the caller to reap";
  writeFile(path("go"), "go\n");
  EXPECT_TRUE(tavrel::test::waitUntil([&] { return readFile(path("pid")) == std::to_string(pid) + "\n"; }))
      << readFile(path("pid"));
}

}  // namespace
