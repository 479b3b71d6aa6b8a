#include <errno.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "VexShared.h"
#include "platform_test_fixture.h"

namespace {

const unsigned long kAddressSize = 16;

struct Change {
  std::string oldText;
  std::string newText;
};

// What the handlers saw, by handler.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<Change> g_seenByA;
std::vector<Change> g_seenByB;

void record(std::vector<Change>* seen, unsigned long oldLength, void* oldValue, unsigned long newLength,
            void* newValue) {
  std::lock_guard<std::mutex> lock(g_mutex);
  seen->push_back({std::string(static_cast<char*>(oldValue), oldLength),
                   std::string(static_cast<char*>(newValue), newLength)});
  g_changed.notify_all();
}

void handlerA(unsigned long, unsigned char, unsigned char, unsigned long, void*, unsigned long oldLength,
              void* oldValue, unsigned long newLength, void* newValue) {
  record(&g_seenByA, oldLength, oldValue, newLength, newValue);
}

void handlerB(unsigned long, unsigned char, unsigned char, unsigned long, void*, unsigned long oldLength,
              void* oldValue, unsigned long newLength, void* newValue) {
  record(&g_seenByB, oldLength, oldValue, newLength, newValue);
}

class VexPublishedIPTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_seenByA.clear();
    g_seenByB.clear();
  }

  void publish(const std::string& address) {
    // Another process edits the file the way a shell script would.
    std::string command = "printf '%s\\t%s\\t%s\\n' 'PublishedIP\\default' ipaddress '" + address + "' > '" +
                          path("registry.new") + "' && mv -f '" + path("registry.new") + "' '" +
                          path("registry") + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  // Waits (bounded) until `seen` holds `count` changes.
  static bool waitForChanges(const std::vector<Change>& seen, size_t count) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(10), [&] { return seen.size() >= count; });
  }
};

TEST_F(VexPublishedIPTest, ReadsAddressAndRegistersOnlyOnSuccess) {
  char buffer[kAddressSize];
  uint32_t id = 77;
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, &id), ENOENT);
  EXPECT_EQ(id, 77u) << "no listener without an address";
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&id), ENOENT);

  writeFile("registry", "PublishedIP\\default\tipaddress\t192.168.100.200\n");
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, nullptr, nullptr), 0);
  EXPECT_STREQ(buffer, "192.168.100.200");
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, 15, nullptr, nullptr), ERANGE);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, nullptr), EINVAL);

  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, &id), 0);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&id), 0);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(nullptr), EINVAL);
}

TEST_F(VexPublishedIPTest, HandlerSeesChangesMadeByOtherProcesses) {
  publish("10.0.0.1");
  char buffer[kAddressSize];
  uint32_t id = 0;
  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, &id), 0);
  EXPECT_STREQ(buffer, "10.0.0.1");

  publish("10.0.0.1");  // rewritten unchanged: not a change
  publish("10.0.0.123");
  ASSERT_TRUE(waitForChanges(g_seenByA, 1));
  publish("10.0.0.9");
  ASSERT_TRUE(waitForChanges(g_seenByA, 2));
  writeFile("registry", "");  // value gone
  ASSERT_TRUE(waitForChanges(g_seenByA, 3));
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&id), 0);

  std::lock_guard<std::mutex> lock(g_mutex);
  ASSERT_EQ(g_seenByA.size(), 3u);
  EXPECT_EQ(g_seenByA[0].oldText, "10.0.0.1");
  EXPECT_EQ(g_seenByA[0].newText, "10.0.0.123");
  EXPECT_EQ(g_seenByA[1].oldText, "10.0.0.123");
  EXPECT_EQ(g_seenByA[1].newText, "10.0.0.9");
  EXPECT_EQ(g_seenByA[2].oldText, "10.0.0.9");
  EXPECT_EQ(g_seenByA[2].newText, "");
}

TEST_F(VexPublishedIPTest, FreedHandlerIsNotCalledAgain) {
  publish("10.0.0.1");
  char buffer[kAddressSize];
  uint32_t idA = 0;
  uint32_t idB = 0;
  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, &idA), 0);
  ASSERT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerB, &idB), 0);
  EXPECT_NE(idA, idB);
  ASSERT_EQ(VexFreePublishedIPNotifyHandle(&idA), 0);

  // Both are served in the same pass, so once B has seen the change a
  // still-registered A would have seen it as well.
  ASSERT_EQ(VexSetRegEntryStringEx(5, "PublishedIP\\default", "ipaddress", "10.0.0.2"), 0);
  ASSERT_TRUE(waitForChanges(g_seenByB, 1));
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idB), 0);
  std::lock_guard<std::mutex> lock(g_mutex);
  EXPECT_TRUE(g_seenByA.empty());
  EXPECT_EQ(g_seenByB[0].newText, "10.0.0.2");
}

TEST_F(VexPublishedIPTest, ProcessExitsCleanlyWithListenerRegistered) {
  publish("10.0.0.1");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char buffer[kAddressSize];
    uint32_t id = 0;
    int rc = VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handlerA, &id);
    exit(rc == 0 ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
