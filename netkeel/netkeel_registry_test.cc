#include <net/if.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_test_support.h"

namespace {

typedef std::vector<std::string> Lines;
using netkeel_test::PlatformRoot;
using netkeel_test::published;

/* The keys of one type, or of all with a negative type. */
Lines listKeys(int type) {
  VexPdrKeyIterator it = nullptr;
  EXPECT_EQ(type < 0 ? NetkeelBeginIteration(&it) : NetkeelBeginIterationForMedia(&it, type), 0);
  Lines keys;
  char key[NETKEEL_IF_KEY_SIZE];
  while (NetkeelGetNextKey(it, key) == 0) keys.push_back(key);
  EXPECT_EQ(NetkeelEndIteration(it), 0);
  return keys;
}

TEST(NetkeelKey, DecodesTypeAndInterfaceName) {
  const std::string longType(24, 't');
  const struct {
    std::string key;
    uint16_t type;
    std::string name;
  } cases[] = {
      {"if\\vlan\\eth1.100", NETKEEL_IF_TYPE_VLAN, "eth1.100"},
      {"if\\lan\\eth1", NETKEEL_IF_TYPE_LAN, "eth1"},
      {"if\\wlan\\wlan0", NETKEEL_IF_TYPE_UNKNOWN, "wlan0"},
      {"if\\" + longType + "\\eth1", NETKEEL_IF_TYPE_UNKNOWN, "eth1"},
      {"if\\lan", NETKEEL_IF_TYPE_UNKNOWN, ""},
      {"if\\", NETKEEL_IF_TYPE_UNKNOWN, ""},
      {"if\\" + longType + "t\\eth1", NETKEEL_IF_TYPE_UNKNOWN, ""},
      {"if\\lan\\" + std::string(25, 'n'), NETKEEL_IF_TYPE_UNKNOWN, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    char name[NETKEEL_IF_NAME_SIZE];
    memset(name, 'z', sizeof(name));
    uint16_t type = 99;
    EXPECT_EQ(NetkeelGetIfDataFromKey(c.key.c_str(), &type, name), 0);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::string(name, strnlen(name, sizeof(name))), c.name);
  }
  char name[NETKEEL_IF_NAME_SIZE] = "zz";
  EXPECT_EQ(NetkeelGetIfDataFromKey(nullptr, nullptr, name), NETKEEL_RC_NO_KEY);
  EXPECT_STREQ(name, "");

  /* The interface index comes from the kernel: 0 for no interface. */
  uint16_t index = 99;
  EXPECT_EQ(NetkeelFindIfIndexForIfKey("if\\lan\\lo", &index), 0);
  EXPECT_EQ(index, if_nametoindex("lo"));
  EXPECT_EQ(NetkeelFindIfIndexForIfKey("if\\lan\\nosuchif0", &index), 0);
  EXPECT_EQ(index, 0);
  index = 99;
  EXPECT_EQ(NetkeelFindIfIndexForIfKey(nullptr, &index), NETKEEL_RC_NO_KEY);
  EXPECT_EQ(index, 0);
}

class NetkeelRegistry : public testing::Test {
 protected:
  PlatformRoot root_;
};

/* Each key once, in registry order; a key that would not fit a key buffer
 * with its terminator is left out. */
TEST_F(NetkeelRegistry, IteratesAllInterfaceKeysOrOneType) {
  const std::string fits = "if\\vlan\\" + std::string(NETKEEL_IF_KEY_SIZE - 9, 'v');
  root_.writeRegistry({{"if\\lan\\eth1", "description", "Customer LAN"},
                       {"if\\vlan\\eth1.100", "vlanid", "100"},
                       {"if\\lan\\eth2", "description", "OAM LAN"},
                       {"if\\vlan\\eth1.100", "description", "Voice"},
                       {fits, "vlanid", "7"},
                       {fits + "w", "vlanid", "8"},
                       {"PublishedIP\\default", "interface", "if\\lan\\eth1"}});
  EXPECT_EQ(listKeys(-1), (Lines{"if\\lan\\eth1", "if\\vlan\\eth1.100", "if\\lan\\eth2", fits}));
  EXPECT_EQ(listKeys(NETKEEL_IF_TYPE_VLAN), (Lines{"if\\vlan\\eth1.100", fits}));
  EXPECT_EQ(listKeys(NETKEEL_IF_TYPE_LAN), (Lines{"if\\lan\\eth1", "if\\lan\\eth2"}));
  EXPECT_TRUE(listKeys(7).empty());
}

TEST_F(NetkeelRegistry, AlarmIsOneLogEntryOfThisModule) {
  EXPECT_EQ(NetkeelGenerateAlarm(60005, 1, "first"), 0);
  EXPECT_EQ(NetkeelGenerateAlarm(60007, 4, nullptr), 0);
  EXPECT_EQ(root_.alarms(), (Lines{"NETKEEL\t1\t60005\tfirst", "NETKEEL\t4\t60007\t"}));
}

TEST_F(NetkeelRegistry, PublishedInterfaceFlagIsOneByte) {
  root_.writeRegistry({{"PublishedIP\\default", "interface", "if\\lan\\eth2"},
                       {"PublishedIP\\default", "ipaddress", "172.31.0.1"}});
  char key[NETKEEL_IF_KEY_SIZE] = {0};
  EXPECT_EQ(NetkeelGetIfKeyOfPublishedIP(key), 0);
  EXPECT_STREQ(key, "if\\lan\\eth2");
  uint8_t flag[2] = {0x55, 0xAA};
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\eth2", flag), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\eth1", flag), 0);
  EXPECT_EQ(flag[0], 0);
  EXPECT_EQ(flag[1], 0xAA);
}

/* A key whose interface name is unfit for a command line is published
 * without running anything: it has no address, so the placeholder is stored
 * and alarm 60006 names the interface by its description, cut to 99
 * characters; lo's address then resolves it (60007). */
TEST_F(NetkeelRegistry, UnsafeInterfaceNameCountsAsWithoutAddress) {
  const char marker[] = "netkeel-ran";
  const std::string key = std::string("if\\vlan\\x;touch ") + marker;
  const std::string description(31, 'd');
  root_.writeRegistry({{"PublishedIP\\default", "interface", "if\\lan\\eth1"},
                       {"PublishedIP\\default", "ipaddress", "192.168.1.1"},
                       {key, "description", "Voice VLAN"},
                       {key, "vlanid", "100"},
                       {"if\\vlan\\a;b", "description", description},
                       {"if\\vlan\\a;b", "vlanid", "65535"},
                       {"if\\lan\\a;c", "vlanid", "7"}});

  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(key.c_str()), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_NE(access(marker, F_OK), 0);
  EXPECT_EQ(published("interface"), key);
  EXPECT_EQ(published("ipaddress"), "127.0.0.1");
  /* Unchanged interface, still without address: no second alarm. */
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(key.c_str()), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\vlan\\a;b"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\a;c"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(nullptr), NETKEEL_RC_NO_KEY);
  /* An interface with an address replaces the placeholder: resolved. */
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\lo"), 0);
  EXPECT_EQ(published("interface"), "if\\lan\\lo");

  const std::string tag = "NETKEEL\t1\t60006\t";
  const std::string invalid = "The Published IP address is invalid. The Published IP interface is: [";
  EXPECT_EQ(
      root_.alarms(),
      (Lines{tag + invalid + "VLAN 100: Voice VLAN].",
             tag + (invalid + "VLAN 65535: " + description + "].").substr(0, 99), tag + invalid + "Unknown].",
             "NETKEEL\t4\t60007\tThe invalid Published IP address issue has now been resolved."}));
}

}  // namespace
