#include <errno.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform_test_fixture.h"
#include "torvo.h"

namespace {

const char kSemaphore[] = "DHCPLAN_SEMAPHORE";

class TorvoSemaphoreTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    ASSERT_EQ(osCreateSemaphore(kSemaphore, 0, &id_), 0);
  }
  // SysV semaphores outlive the process: always remove them.
  void TearDown() override {
    uint32_t id;
    if (osGetSemaphoreId(kSemaphore, &id) == 0) osDeleteSemaphore(id);
    PlatformTest::TearDown();
  }

  uint32_t id_ = 0;
};

TEST_F(TorvoSemaphoreTest, NamedSemaphoreLifecycle) {
  uint32_t found = 0;
  ASSERT_EQ(osGetSemaphoreId(kSemaphore, &found), 0);
  EXPECT_EQ(found, id_);
  uint32_t again = 0;
  EXPECT_EQ(osCreateSemaphore(kSemaphore, 0, &again), 0) << "creating an existing one opens it";
  EXPECT_EQ(again, id_);
  EXPECT_EQ(osGetSemaphoreId("OTHER_SEMAPHORE", &found), ENOENT);

  setenv("TAVREL_PLATFORM_DIR", (root_ + "//").c_str(), 1);
  EXPECT_EQ(osGetSemaphoreId(kSemaphore, &found), 0) << "same root, other spelling";
  EXPECT_EQ(found, id_);

  SCOPED_TRACE("another appliance root has its own semaphores");
  setenv("TAVREL_PLATFORM_DIR", path("elsewhere").c_str(), 1);
  EXPECT_EQ(osGetSemaphoreId(kSemaphore, &found), ENOENT);
  setenv("TAVREL_PLATFORM_DIR", root_.c_str(), 1);

  EXPECT_EQ(osDeleteSemaphore(id_), 0);
  EXPECT_EQ(osGetSemaphoreId(kSemaphore, &found), ENOENT);
  EXPECT_NE(osRequestSemaphore(id_, 0), 0);
  EXPECT_NE(osDeleteSemaphore(id_), 0);
  EXPECT_EQ(osCreateSemaphore(nullptr, 0, &found), EINVAL);
  EXPECT_EQ(osCreateSemaphore("", 0, &found), EINVAL);
}

TEST_F(TorvoSemaphoreTest, ReleaseWithoutHoldingIsRefused) {
  EXPECT_EQ(osReleaseSemaphore(id_), EPERM);
  ASSERT_EQ(osRequestSemaphore(id_, 0), 0);
  EXPECT_EQ(osRequestSemaphore(id_, 0), EAGAIN) << "a refused release must not add a holder";
  EXPECT_EQ(osReleaseSemaphore(id_), 0);
  EXPECT_EQ(osReleaseSemaphore(id_), EPERM);
}

TEST_F(TorvoSemaphoreTest, ExcludesOtherProcessUntilReleased) {
  int toParent[2];
  int toChild[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(toChild), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    uint32_t id;
    char c = 'h';
    if (osGetSemaphoreId(kSemaphore, &id) != 0 || osRequestSemaphore(id, -1) != 0) _exit(2);
    if (write(toParent[1], &c, 1) != 1 || read(toChild[0], &c, 1) != 1) _exit(3);
    // Marks the release, so the parent can tell it waited for it.
    c = 'r';
    if (write(toParent[1], &c, 1) != 1) _exit(4);
    _exit(osReleaseSemaphore(id) == 0 ? 0 : 5);
  }
  char c;
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  EXPECT_EQ(osRequestSemaphore(id_, 0), EAGAIN);
  EXPECT_EQ(osRequestSemaphore(id_, 100), EAGAIN);
  ASSERT_EQ(write(toChild[1], "g", 1), 1);
  EXPECT_EQ(osRequestSemaphore(id_, -1), 0);
  ASSERT_EQ(read(toParent[0], &c, 1), 1);
  EXPECT_EQ(c, 'r');
  EXPECT_EQ(osReleaseSemaphore(id_), 0);

  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(TorvoSemaphoreTest, HolderThatDiesReleasesIt) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(osRequestSemaphore(id_, -1) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(osRequestSemaphore(id_, 5000), 0);
  EXPECT_EQ(osReleaseSemaphore(id_), 0);
}

TEST_F(TorvoSemaphoreTest, ExcludesOtherThreads) {
  const int kThreads = 4;
  const int kRounds = 200;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(osRequestSemaphore(id_, -1), 0);
        if (++inside != 1) ++overlaps;
        long seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
        --inside;
        ASSERT_EQ(osReleaseSemaphore(id_), 0);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(counter, kThreads * kRounds);
}

class TorvoTest : public PlatformTest {};

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
  EXPECT_NE(pid, 0u);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child left for the caller to reap";
  writeFile("go", "go\n");
  ASSERT_TRUE(waitFor([&] { return !readFile("pid").empty(); }));
  EXPECT_EQ(std::stoul(readFile("pid")), pid);

  SCOPED_TRACE("programs that cannot start");
  EXPECT_EQ(osStartPgm(path("none").c_str(), 0, 1, &pid, 0), ENOENT);
  writeFile("plain", "not a program");
  EXPECT_EQ(osStartPgm(path("plain").c_str(), 0, 1, &pid, 0), EACCES);
  EXPECT_EQ(osStartPgm(nullptr, 0, 1, &pid, 0), EINVAL);
}

TEST_F(TorvoTest, ProcessIdAndTime) {
  uint32_t pid = 0;
  EXPECT_EQ(osGetProcessId(&pid), 0);
  EXPECT_EQ(pid, static_cast<uint32_t>(getpid()));
  EXPECT_EQ(osGetProcessId(nullptr), EINVAL);

  uint32_t stored = 0;
  uint32_t now = osGetTime(&stored);
  EXPECT_EQ(now, stored);
  EXPECT_LE(static_cast<uint32_t>(time(nullptr)) - now, 2u);
  EXPECT_LE(osGetTime(nullptr) - now, 2u);
}

TEST_F(TorvoTest, StrCpynAlwaysTerminates) {
  struct Case {
    const char* source;
    unsigned long size;
    const char* expected;
  } cases[] = {{"192.168.100.200", 16, "192.168.100.200"},
               {"192.168.100.2000", 16, "192.168.100.200"},
               {"eth1", 16, "eth1"},
               {"eth1", 1, ""},
               {"", 16, ""},
               {nullptr, 16, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source == nullptr ? "null" : c.source);
    char buffer[20];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(osLStrCpyn(buffer, c.source, c.size), buffer);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(buffer[c.size], 'x') << "wrote past the given size";
  }
  char untouched[2] = {'a', 'b'};
  osLStrCpyn(untouched, "zz", 0);
  EXPECT_EQ(untouched[0], 'a');
  EXPECT_EQ(osLStrCpyn(nullptr, "zz", 4), nullptr);
}

TEST_F(TorvoTest, RouterPresenceFollowsFlagFile) {
  uint8_t present = 7;
  EXPECT_EQ(osIsCNICOnePresent(&present), 0);
  EXPECT_EQ(present, 0);
  writeFile("router-present", "");
  EXPECT_EQ(osIsCNICOnePresent(&present), 0);
  EXPECT_EQ(present, 1);
  EXPECT_EQ(osIsCNICOnePresent(nullptr), EINVAL);
}

}  // namespace
