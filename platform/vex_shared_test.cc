// The VexShared calls the agent and libnetkeel make: registry reads, writes
// and key iterators, the published-IP watcher and the service framework (the
// diagnostics log is checked through libnetkeel's alarm tests).
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "VexShared.h"
#include "platform_test_fixture.h"

namespace {

const int kArea = 5;
const int kKeySize = 52;

class VexSharedTest : public PlatformTest {
 protected:
  std::vector<std::string> listKeys(int level, const char* key, int keySize = kKeySize, int maxSubKeys = 60,
                                    int maxKeys = 128) {
    VexPdrKeyIterator it;
    EXPECT_EQ(0, level == 1 ? VexLevel1PdrKeyIteratorBegin(&it, key, keySize, maxKeys)
                            : VexLevel2PdrKeyIteratorBegin(&it, key, keySize, maxSubKeys, maxKeys));
    std::vector<std::string> keys;
    char buffer[128];
    while (VexPdrKeyIteratorGetNextKey(it, buffer) == 0) keys.push_back(buffer);
    EXPECT_EQ(VexPdrKeyIteratorEnd(it), 0);
    return keys;
  }
};

TEST_F(VexSharedTest, ReadsValuesAsWrittenByHand) {
  char buffer[64];
  EXPECT_EQ(VexGetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", buffer, 64), ENOENT)
      << "no file";
  writeFile("registry",
            "# interfaces\n\n"
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "if\\lan\\eth2\tdescription\tOAM LAN\r\n"
            "a line without separators\n"
            "if\\vlan\\eth1.100\tempty\t\n"
            "if\\lan\\eth1\tdescription\tCustomer\tLAN (later wins)\n"
            "PublishedIP\\default\tipaddress\t192.168.100.200\n"
            "if\\vlan\\a\tvlanid\t65535\n"
            "if\\vlan\\b\tvlanid\t65536\n"
            "if\\vlan\\d\tvlanid\t 1\n"
            "if\\vlan\\f\tvlanid\t-1\n");
  struct {
    const char* key;
    const char* name;
    unsigned long size;
    int rc;
    const char* value;
  } strings[] = {
      {"if\\lan\\eth1", "description", 64, 0, "Customer\tLAN (later wins)"},
      {"if\\lan\\eth2", "description", 64, 0, "OAM LAN"},
      {"if\\vlan\\eth1.100", "empty", 64, 0, ""},
      {"PublishedIP\\default", "ipaddress", 16, 0, "192.168.100.200"},
      {"PublishedIP\\default", "ipaddress", 15, ERANGE, ""},
      {"if\\lan\\eth3", "description", 64, ENOENT, ""},
      {"IF\\LAN\\ETH1", "description", 64, ENOENT, ""},
  };
  for (const auto& c : strings) {
    SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.size));
    EXPECT_EQ(VexGetRegEntryStringEx(kArea, c.key, c.name, buffer, c.size), c.rc);
    EXPECT_STREQ(buffer, c.value);
  }
  struct {
    const char* key;
    int rc;
  } numbers[] = {{"if\\vlan\\a", 0},
                 {"if\\vlan\\b", ERANGE},
                 {"if\\vlan\\d", EINVAL},
                 {"if\\vlan\\f", EINVAL},
                 {"if\\vlan\\h", ENOENT}};
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.key);
    uint16_t value = 7;
    EXPECT_EQ(VexGetRegEntryUint16Ex(kArea, c.key, "vlanid", &value), c.rc);
    EXPECT_EQ(value, c.rc == 0 ? 65535 : 7);
  }
}

TEST_F(VexSharedTest, SetReplacesTheFileAtomicallyAndKeepsTheRest) {
  setenv("TAVREL_PLATFORM_DIR", path("missing").c_str(), 1);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "v"), EIO);
  setenv("TAVREL_PLATFORM_DIR", root_.c_str(), 1);
  writeFile("registry",
            "# kept comment\n"
            "PublishedIP\\default\tipaddress\t10.0.0.1\n"
            "if\\lan\\eth2\tdescription\tOAM LAN");
  chmod(path("registry").c_str(), 0640);
  struct stat before, after;
  ASSERT_EQ(stat(path("registry").c_str(), &before), 0);
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", "10.0.0.2"), 0);
  ASSERT_EQ(stat(path("registry").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino) << "rewritten in place instead of renamed over";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "interface", "if\\lan\\eth1"), 0);
  const std::string expected =
      "# kept comment\n"
      "PublishedIP\\default\tipaddress\t10.0.0.2\n"
      "if\\lan\\eth2\tdescription\tOAM LAN\n"
      "PublishedIP\\default\tinterface\tif\\lan\\eth1\n";
  EXPECT_EQ(readFile("registry"), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_), std::filesystem::directory_iterator()),
            1)
      << "temporary file left";
  // Texts that would break the line format are refused.
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "two\nlines"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k\tx", "n", "v"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n\r", "v"), EINVAL);
  EXPECT_EQ(readFile("registry"), expected);
}

// Each key once, in file order, within the caller's limits: key size with
// its terminator, keys in all, keys below each type.
TEST_F(VexSharedTest, IteratorsListKeysWithinTheirLimits) {
  EXPECT_TRUE(listKeys(2, "if").empty()) << "no file";
  writeFile("registry",
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "if\\vlan\\eth1.100\tvlanid\t100\n"
            "if\\vlan\\eth1.100\tdescription\tVoice\n"
            "if\\vlan\\eth1.200\\detail\tx\t1\n"
            "if\\vlanx\\eth9\tvlanid\t9\n"
            "if\\lan\tnote\ttype key itself\n"
            "if\\\\eth7\tx\tempty component\n");
  const std::vector<std::string> vlans{"if\\vlan\\eth1.100", "if\\vlan\\eth1.200"};
  EXPECT_EQ(listKeys(1, "if\\vlan", 17), vlans);
  EXPECT_TRUE(listKeys(1, "if\\vlan", 16).empty());
  EXPECT_EQ(listKeys(2, "if", kKeySize, 60, 2),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\vlan\\eth1.100"}));
  EXPECT_EQ(listKeys(2, "if", kKeySize, 1, 128),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\vlan\\eth1.100", "if\\vlanx\\eth9"}));
}

// What each published-IP handler saw: "old>new" per change.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::string> g_seen[2];

template <int N>
void handler(unsigned long, unsigned char, unsigned char, unsigned long, void*, unsigned long oldLength,
             void* oldValue, unsigned long newLength, void* newValue) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_seen[N].push_back(std::string(static_cast<char*>(oldValue), oldLength) + ">" +
                      std::string(static_cast<char*>(newValue), newLength));
  g_changed.notify_all();
}

bool waitForChanges(int n, size_t count) {
  std::unique_lock<std::mutex> lock(g_mutex);
  return g_changed.wait_for(lock, std::chrono::seconds(10), [&] { return g_seen[n].size() >= count; });
}

TEST_F(VexSharedTest, PublishedIPHandlersSeeChangesUntilFreed) {
  char buffer[16];
  uint32_t idA = 77, idB = 0;
  EXPECT_EQ(VexGetDefaultPublishedIPStr(buffer, sizeof buffer, handler<0>, &idA), ENOENT);
  EXPECT_EQ(idA, 77u) << "no listener without an address";
  // Another process replaces the file the way a script would.
  auto publish = [this](const std::string& address) {
    writeFile("registry.new", "PublishedIP\\default\tipaddress\t" + address + "\n");
    std::filesystem::rename(path("registry.new"), path("registry"));
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
  EXPECT_NE(idA, idB);

  publish("192.168.100.200");  // rewritten unchanged: not a change
  publish("10.0.0.123");
  ASSERT_TRUE(waitForChanges(0, 1));
  writeFile("registry", "");  // value gone
  ASSERT_TRUE(waitForChanges(0, 2));
  ASSERT_TRUE(waitForChanges(1, 2));
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idA), 0);
  EXPECT_EQ(idA, 0u);
  // Both are served in the same pass, so once B has seen the change a
  // still-registered A would have seen it as well.
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", "10.0.0.2"), 0);
  ASSERT_TRUE(waitForChanges(1, 3));
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    EXPECT_EQ(g_seen[0], (std::vector<std::string>{"192.168.100.200>10.0.0.123", "10.0.0.123>"}));
    EXPECT_EQ(g_seen[1].back(), ">10.0.0.2");
  }
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idB), 0);
  EXPECT_EQ(VexFreePublishedIPNotifyHandle(&idB), ENOENT);
}

std::atomic<int> g_stopCalls{0};

void countStop(unsigned long) {
  ++g_stopCalls;
}

TEST_F(VexSharedTest, FirstStopSignalCallsTheCallbackSecondEndsTheProcess) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    g_stopCalls = 0;
    ASSERT_EQ(VexServiceStartService("TavrelAgent", 0, 0, countStop, 3), 0);
    ASSERT_EQ(raise(sig), 0);
    EXPECT_EQ(g_stopCalls, 1);
    EXPECT_EQ(VexServiceStopService(), 0);
  }
  g_stopCalls = 0;
  EXPECT_EXIT(
      {
        VexServiceStartService("TavrelAgent", 0, 0, countStop, 3);
        raise(SIGTERM);
        if (g_stopCalls == 1) raise(SIGINT);
        _exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

}  // namespace
