// The torvo, torvoplatform and vornapi calls the agent and its libraries
// make: the DHCP-LAN semaphore, starting a program, time, bounded copies,
// the router flag and the event-service announcement.
#include <errno.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform_test_fixture.h"
#include "torvo.h"
#include "vornapi.h"

namespace {

const char kSemaphore[] = "DHCPLAN_SEMAPHORE";

class TorvoTest : public PlatformTest {
 protected:
  // SysV semaphores outlive the process: always remove them.
  void TearDown() override {
    uint32_t id;
    if (osGetSemaphoreId(kSemaphore, &id) == 0) osDeleteSemaphore(id);
    EmsConnectionClose();
    PlatformTest::TearDown();
  }
};

TEST_F(TorvoTest, SemaphoreExcludesThreadsAndIsReleasedByADeadHolder) {
  uint32_t id = 0, found = 0;
  EXPECT_EQ(osGetSemaphoreId(kSemaphore, &found), ENOENT);
  ASSERT_EQ(osCreateSemaphore(kSemaphore, 0, &id), 0);
  EXPECT_EQ(osCreateSemaphore(kSemaphore, 0, &found), 0) << "creating an existing one opens it";
  EXPECT_EQ(found, id);

  EXPECT_EQ(osReleaseSemaphore(id), EPERM) << "released without being held";
  ASSERT_EQ(osRequestSemaphore(id, 0), 0);
  EXPECT_EQ(osRequestSemaphore(id, 100), EAGAIN);
  EXPECT_EQ(osReleaseSemaphore(id), 0);

  std::atomic<int> inside{0}, overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(osRequestSemaphore(id, -1), 0);
        if (++inside != 1) ++overlaps;
        std::this_thread::yield();
        --inside;
        ASSERT_EQ(osReleaseSemaphore(id), 0);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(overlaps, 0);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(osRequestSemaphore(id, -1) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(osRequestSemaphore(id, 5000), 0);
  EXPECT_EQ(osReleaseSemaphore(id), 0);

  EXPECT_EQ(osDeleteSemaphore(id), 0);
  EXPECT_EQ(osGetSemaphoreId(kSemaphore, &found), ENOENT);
}

TEST_F(TorvoTest, StartPgmRunsProgramWithoutWaiting) {
  // The program proves it runs by leaving its pid, written atomically.
  writeFile("prog.sh",
            "#!/bin/sh\n"
            "read line < \"$TAVREL_PLATFORM_DIR/go\"\n"
            "echo $$ > \"$TAVREL_PLATFORM_DIR/pid.tmp\"\n"
            "mv \"$TAVREL_PLATFORM_DIR/pid.tmp\" \"$TAVREL_PLATFORM_DIR/pid\"\n");
  ASSERT_EQ(chmod(path("prog.sh").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(path("go").c_str(), 0600), 0);
  uint32_t pid = 0;
  // Returns while the program still blocks on the fifo.
  ASSERT_EQ(osStartPgm(path("prog.sh").c_str(), 0, 1, &pid, 0), 0);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child left for the caller to reap";
  writeFile("go", "go\n");
  for (int i = 0; i < 1000 && readFile("pid").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(readFile("pid"), std::to_string(pid) + "\n");
}

TEST_F(TorvoTest, TimeCopiesAndRouterFlag) {
  uint32_t pid = 0;
  EXPECT_EQ(osGetProcessId(&pid), 0);
  EXPECT_EQ(pid, static_cast<uint32_t>(getpid()));
  EXPECT_LE(static_cast<uint32_t>(time(nullptr)) - osGetTime(nullptr), 2u);

  struct {
    const char* source;
    unsigned long size;
    const char* expected;
  } copies[] = {{"192.168.100.200", 16, "192.168.100.200"},
                {"192.168.100.2000", 16, "192.168.100.200"},
                {"eth1", 1, ""}};
  for (const auto& c : copies) {
    SCOPED_TRACE(c.source);
    char buffer[20];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(osLStrCpyn(buffer, c.source, c.size), buffer);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(buffer[c.size], 'x') << "wrote past the given size";
  }

  uint8_t present = 7;
  EXPECT_EQ(osIsCNICOnePresent(&present), 0);
  EXPECT_EQ(present, 0);
  writeFile("router-present", "");
  EXPECT_EQ(osIsCNICOnePresent(&present), 0);
  EXPECT_EQ(present, 1);
}

std::vector<std::pair<unsigned, unsigned long>> g_packets;

// Records packet type (bytes 0-1) and request code (bytes 6-9), big-endian.
int recordPacket(sEmsPacket* packet) {
  const unsigned char* b = packet->bytes;
  g_packets.emplace_back((b[0] << 8) | b[1],
                         (static_cast<unsigned long>(b[6]) << 24) | (b[7] << 16) | (b[8] << 8) | b[9]);
  return 0;
}

TEST_F(TorvoTest, EventServiceRecordsTheAnnouncementAndAnswersIt) {
  EXPECT_EQ(EmsIpAddressChange(1, 1, 2), ENOTCONN);
  ASSERT_EQ(EmsConnectionOpen(0, recordPacket), 0);
  EXPECT_EQ(EmsIpAddressChange(1, 1, 2), 0);
  EXPECT_EQ(EmsConnectionClose(), 0);
  EXPECT_EQ(readFile("ems.events"),
            "EmsConnectionOpen\t0\nEmsIpAddressChange\t1\t1\t2\nEmsConnectionClose\n");
  ASSERT_EQ(g_packets.size(), 1u);
  EXPECT_EQ(g_packets[0].first, 1u) << "response";
  EXPECT_EQ(g_packets[0].second, 1ul) << "IP-change request";
}

}  // namespace
