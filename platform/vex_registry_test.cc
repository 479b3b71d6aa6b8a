#include <errno.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "VexShared.h"
#include "platform_test_fixture.h"

namespace {

const int kArea = 5;
const int kKeySize = 52;

class VexRegistryTest : public PlatformTest {
 protected:
  std::string getString(const char* key, const char* name, int* rc, unsigned long size = 64) {
    std::vector<char> buffer(size, 'x');
    *rc = VexGetRegEntryStringEx(kArea, key, name, buffer.data(), size);
    return std::string(buffer.data());
  }

  std::vector<std::string> listKeys(int level, const char* key, int keySize = kKeySize, int maxSubKeys = 60,
                                    int maxKeys = 128) {
    VexPdrKeyIterator it = reinterpret_cast<VexPdrKeyIterator>(1);
    int rc = level == 1 ? VexLevel1PdrKeyIteratorBegin(&it, key, keySize, maxKeys)
                        : VexLevel2PdrKeyIteratorBegin(&it, key, keySize, maxSubKeys, maxKeys);
    EXPECT_EQ(rc, 0);
    std::vector<std::string> keys;
    char buffer[128];
    while (VexPdrKeyIteratorGetNextKey(it, buffer) == 0) keys.push_back(buffer);
    EXPECT_EQ(VexPdrKeyIteratorEnd(it), 0);
    return keys;
  }
};

TEST_F(VexRegistryTest, ReadsValuesAsWrittenByHand) {
  writeFile("registry",
            "# interfaces\n"
            "\n"
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "if\\lan\\eth2\tdescription\tOAM LAN\r\n"
            "a line without separators\n"
            "if\\vlan\\eth1.100\tvlanid\t100\n"
            "if\\vlan\\eth1.100\tempty\t\n"
            "if\\lan\\eth1\tdescription\tCustomer\tLAN (later wins)\n"
            "PublishedIP\\default\tipaddress\t192.168.1.10");
  int rc;
  EXPECT_EQ(getString("if\\lan\\eth1", "description", &rc), "Customer\tLAN (later wins)");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(getString("if\\lan\\eth2", "description", &rc), "OAM LAN");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(getString("if\\vlan\\eth1.100", "empty", &rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(getString("PublishedIP\\default", "ipaddress", &rc), "192.168.1.10");
  EXPECT_EQ(rc, 0);

  SCOPED_TRACE("absent values and wrong case");
  EXPECT_EQ(getString("if\\lan\\eth3", "description", &rc), "");
  EXPECT_EQ(rc, ENOENT);
  EXPECT_EQ(getString("IF\\LAN\\ETH1", "description", &rc), "");
  EXPECT_EQ(rc, ENOENT);
  EXPECT_EQ(getString("# interfaces", "description", &rc), "");
  EXPECT_EQ(rc, ENOENT);
}

TEST_F(VexRegistryTest, RefusesValueLongerThanBuffer) {
  writeFile("registry", "PublishedIP\\default\tipaddress\t192.168.100.200\n");
  int rc;
  EXPECT_EQ(getString("PublishedIP\\default", "ipaddress", &rc, 16), "192.168.100.200");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(getString("PublishedIP\\default", "ipaddress", &rc, 15), "");
  EXPECT_EQ(rc, ERANGE);
  char buffer[4];
  EXPECT_EQ(VexGetRegEntryStringEx(kArea, "k", "n", buffer, 0), EINVAL);
  EXPECT_EQ(VexGetRegEntryStringEx(kArea, nullptr, "n", buffer, sizeof buffer), EINVAL);
}

TEST_F(VexRegistryTest, Uint16AcceptsOnlyPlainDecimalNumbers) {
  struct Case {
    const char* text;
    int rc;
    uint16_t value;
  } cases[] = {{"100", 0, 100},
               {"0", 0, 0},
               {"65535", 0, 65535},
               {"65536", ERANGE, 0},
               {"99999999999999999999", ERANGE, 0},
               {"-1", EINVAL, 0},
               {" 1", EINVAL, 0},
               {"1 ", EINVAL, 0},
               {"+1", EINVAL, 0},
               {"0x10", EINVAL, 0},
               {"", EINVAL, 0},
               {"abc", EINVAL, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    writeFile("registry", std::string("if\\vlan\\eth1.5\tvlanid\t") + c.text + "\n");
    uint16_t value = 7;
    EXPECT_EQ(VexGetRegEntryUint16Ex(kArea, "if\\vlan\\eth1.5", "vlanid", &value), c.rc);
    EXPECT_EQ(value, c.rc == 0 ? c.value : 7);
  }
  uint16_t value;
  EXPECT_EQ(VexGetRegEntryUint16Ex(kArea, "if\\vlan\\eth1.6", "vlanid", &value), ENOENT);
}

TEST_F(VexRegistryTest, MissingFileIsEmptyRegistry) {
  int rc;
  getString("PublishedIP\\default", "ipaddress", &rc);
  EXPECT_EQ(rc, ENOENT);
  EXPECT_TRUE(listKeys(2, "if").empty());
  EXPECT_TRUE(listKeys(1, "if\\vlan").empty());
}

TEST_F(VexRegistryTest, SetUpdatesInPlaceAndKeepsTheRest) {
  writeFile("registry",
            "# kept comment\n"
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "PublishedIP\\default\tipaddress\t10.0.0.1\n"
            "if\\lan\\eth2\tdescription\tOAM LAN");
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "ipaddress", "10.0.0.2"), 0);
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "PublishedIP\\default", "interface", "if\\lan\\eth1"), 0);
  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "if\\lan\\eth2", "description", ""), 0);
  EXPECT_EQ(readFile("registry"),
            "# kept comment\n"
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "PublishedIP\\default\tipaddress\t10.0.0.2\n"
            "if\\lan\\eth2\tdescription\t\n"
            "PublishedIP\\default\tinterface\tif\\lan\\eth1\n");
  int rc;
  EXPECT_EQ(getString("PublishedIP\\default", "interface", &rc), "if\\lan\\eth1");
  EXPECT_EQ(rc, 0);

  SCOPED_TRACE("texts that would break the line format are refused");
  std::string before = readFile("registry");
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "two\nlines"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "cr\r"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k\tx", "n", "v"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n\n", "v"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "", "n", "v"), EINVAL);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", nullptr), EINVAL);
  EXPECT_EQ(readFile("registry"), before);
}

TEST_F(VexRegistryTest, SetReplacesFileAtomically) {
  writeFile("registry", "if\\lan\\eth1\tdescription\tCustomer LAN\n");
  chmod(path("registry").c_str(), 0640);
  struct stat before;
  ASSERT_EQ(stat(path("registry").c_str(), &before), 0);

  ASSERT_EQ(VexSetRegEntryStringEx(kArea, "if\\lan\\eth1", "description", "Renamed"), 0);
  struct stat after;
  ASSERT_EQ(stat(path("registry").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino) << "rewritten in place instead of renamed over";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(root_)) {
    files.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(files, std::vector<std::string>{"registry"});
}

TEST_F(VexRegistryTest, ConcurrentWritersLoseNothingAndReadersSeeWholeFiles) {
  writeFile("registry", "sentinel\tvalue\tpresent\n");
  const int kWriters = 4;
  const int kValuesEach = 20;
  std::atomic<bool> writing{true};
  std::atomic<int> readerFailures{0};
  std::thread reader([&] {
    while (writing) {
      char buffer[16];
      if (VexGetRegEntryStringEx(kArea, "sentinel", "value", buffer, sizeof buffer) != 0) {
        ++readerFailures;
      }
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([w] {
      for (int i = 0; i < kValuesEach; ++i) {
        std::string key = "w" + std::to_string(w);
        std::string name = "v" + std::to_string(i);
        EXPECT_EQ(VexSetRegEntryStringEx(kArea, key.c_str(), name.c_str(), name.c_str()), 0);
      }
    });
  }
  for (auto& t : writers) t.join();
  writing = false;
  reader.join();
  EXPECT_EQ(readerFailures, 0);
  EXPECT_EQ(readLines("registry").size(), 1u + kWriters * kValuesEach);
}

TEST_F(VexRegistryTest, SetFailsWithoutApplianceRoot) {
  setenv("TAVREL_PLATFORM_DIR", path("missing").c_str(), 1);
  EXPECT_EQ(VexSetRegEntryStringEx(kArea, "k", "n", "v"), EIO);
  EXPECT_FALSE(std::filesystem::exists(path("missing")));
}

TEST_F(VexRegistryTest, IteratorsListKeysOneAndTwoLevelsDown) {
  writeFile("registry",
            "if\\lan\\eth1\tdescription\tCustomer LAN\n"
            "if\\vlan\\eth1.100\tvlanid\t100\n"
            "if\\lan\\eth2\tdescription\tOAM LAN\n"
            "if\\vlan\\eth1.100\tdescription\tVoice\n"
            "if\\vlan\\eth1.200\\detail\tx\t1\n"
            "if\\vlanx\\eth9\tvlanid\t9\n"
            "if\\lan\tnote\ttype key itself\n"
            "if\\\\eth7\tx\tempty component\n"
            "PublishedIP\\default\tipaddress\t10.0.0.1\n");
  EXPECT_EQ(listKeys(1, "if\\vlan"), (std::vector<std::string>{"if\\vlan\\eth1.100", "if\\vlan\\eth1.200"}));
  EXPECT_EQ(listKeys(1, "if\\vlan\\"), listKeys(1, "if\\vlan"));
  EXPECT_EQ(listKeys(2, "if"),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\vlan\\eth1.100", "if\\lan\\eth2",
                                      "if\\vlan\\eth1.200", "if\\vlanx\\eth9"}));
  EXPECT_EQ(listKeys(1, "if"), (std::vector<std::string>{"if\\lan", "if\\vlan", "if\\vlanx"}));
  EXPECT_TRUE(listKeys(1, "if\\unknown").empty());

  SCOPED_TRACE("limits");
  EXPECT_EQ(listKeys(1, "if\\vlan", 17), listKeys(1, "if\\vlan"));
  EXPECT_TRUE(listKeys(1, "if\\vlan", 16).empty()) << "16-character keys need 17 bytes";
  EXPECT_EQ(listKeys(2, "if", kKeySize, 60, 2),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\vlan\\eth1.100"}));
  EXPECT_EQ(listKeys(2, "if", kKeySize, 1, 128),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\vlan\\eth1.100", "if\\vlanx\\eth9"}));
}

TEST_F(VexRegistryTest, IteratorTakesSnapshotAndRejectsBadArguments) {
  writeFile("registry", "if\\vlan\\eth1.1\tvlanid\t1\n");
  VexPdrKeyIterator it;
  ASSERT_EQ(VexLevel1PdrKeyIteratorBegin(&it, "if\\vlan", kKeySize, 128), 0);
  writeFile("registry", "if\\vlan\\eth1.2\tvlanid\t2\n");
  char key[kKeySize];
  ASSERT_EQ(VexPdrKeyIteratorGetNextKey(it, key), 0);
  EXPECT_STREQ(key, "if\\vlan\\eth1.1");
  EXPECT_NE(VexPdrKeyIteratorGetNextKey(it, key), 0);
  EXPECT_NE(VexPdrKeyIteratorGetNextKey(it, key), 0);
  EXPECT_EQ(VexPdrKeyIteratorEnd(it), 0);

  it = reinterpret_cast<VexPdrKeyIterator>(1);
  EXPECT_EQ(VexLevel1PdrKeyIteratorBegin(&it, nullptr, kKeySize, 128), EINVAL);
  EXPECT_EQ(it, nullptr) << "a failed begin leaves a handle that End accepts";
  EXPECT_EQ(VexPdrKeyIteratorEnd(it), 0);
  EXPECT_EQ(VexLevel2PdrKeyIteratorBegin(&it, "if", 0, 60, 128), EINVAL);
  EXPECT_EQ(VexLevel2PdrKeyIteratorBegin(&it, "if", kKeySize, 60, 0), EINVAL);
  EXPECT_EQ(VexLevel1PdrKeyIteratorBegin(nullptr, "if", kKeySize, 128), EINVAL);
  EXPECT_EQ(VexPdrKeyIteratorGetNextKey(nullptr, key), EINVAL);
}

}  // namespace
