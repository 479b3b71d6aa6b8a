#include <net/if.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_test_support.h"

namespace {

using netkeel_test::Alarm;
using netkeel_test::PlatformRoot;

struct Decoded {
  int result;
  uint16_t type;
  std::string name;
};

Decoded decode(const char* key) {
  char name[NETKEEL_IF_NAME_SIZE];
  memset(name, 'z', sizeof(name));
  uint16_t type = 99;
  const int result = NetkeelGetIfDataFromKey(key, &type, name);
  return {result, type, std::string(name, strnlen(name, sizeof(name)))};
}

std::vector<std::string> listKeys(int (*begin)(VexPdrKeyIterator*)) {
  std::vector<std::string> keys;
  VexPdrKeyIterator iterator = nullptr;
  if (begin(&iterator) == 0) {
    char key[NETKEEL_IF_KEY_SIZE];
    while (NetkeelGetNextKey(iterator, key) == 0) {
      keys.push_back(key);
    }
    NetkeelEndIteration(iterator);
  }
  return keys;
}

std::string registryValue(const char* key, const char* valueName) {
  char buffer[NETKEEL_IF_KEY_SIZE] = {0};
  if (VexGetRegEntryStringEx(5, key, valueName, buffer, sizeof(buffer)) != 0) {
    return "<absent>";
  }
  return buffer;
}

class NetkeelRegistry : public testing::Test {
 protected:
  PlatformRoot root_;
};

TEST(NetkeelKey, DecodesTypeAndInterfaceName) {
  Decoded d = decode("if\\vlan\\eth1.100");
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.type, NETKEEL_IF_TYPE_VLAN);
  EXPECT_EQ(d.name, "eth1.100");

  d = decode("if\\lan\\eth1");
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.type, NETKEEL_IF_TYPE_LAN);
  EXPECT_EQ(d.name, "eth1");

  d = decode("if\\wlan\\wlan0");
  EXPECT_EQ(d.type, NETKEEL_IF_TYPE_UNKNOWN);
  EXPECT_EQ(d.name, "wlan0");
}

TEST(NetkeelKey, MalformedKeysGiveUnknownTypeAndEmptyName) {
  const std::string longType(24, 't');
  const std::string tooLongType(25, 't');
  const std::string tooLongName(25, 'n');
  const std::vector<std::string> keys = {"if\\lan",
                                         "if\\",
                                         "if",
                                         "",
                                         "if\\" + longType + "\\eth1",
                                         "if\\" + tooLongType + "\\eth1",
                                         "if\\lan\\" + tooLongName};
  for (const std::string& key : keys) {
    SCOPED_TRACE(key);
    testing::internal::CaptureStdout();
    const Decoded d = decode(key.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.type, NETKEEL_IF_TYPE_UNKNOWN);
    if (key.find(longType + "\\") == std::string::npos) {
      EXPECT_EQ(d.name, "");
    }
  }

  const Decoded none = decode(nullptr);
  EXPECT_EQ(none.result, NETKEEL_RC_NO_KEY);
  EXPECT_EQ(none.name, "");
}

TEST(NetkeelKey, IfIndexComesFromTheKernel) {
  uint16_t index = 99;
  EXPECT_EQ(NetkeelFindIfIndexForIfKey("if\\lan\\lo", &index), 0);
  EXPECT_EQ(index, if_nametoindex("lo"));
  EXPECT_NE(index, 0);

  index = 99;
  EXPECT_EQ(NetkeelFindIfIndexForIfKey("if\\lan\\nosuchif0", &index), 0);
  EXPECT_EQ(index, 0);

  index = 99;
  EXPECT_EQ(NetkeelFindIfIndexForIfKey(nullptr, &index), NETKEEL_RC_NO_KEY);
  EXPECT_EQ(index, 0);
}

TEST_F(NetkeelRegistry, IteratesAllInterfaceKeysOrOneType) {
  root_.writeRegistry({{"if\\lan\\eth1", "description", "Customer LAN"},
                       {"if\\lan\\eth2", "description", "OAM LAN"},
                       {"if\\vlan\\eth1.100", "vlanid", "100"},
                       {"if\\vlan\\eth1.200", "vlanid", "200"},
                       {"PublishedIP\\default", "interface", "if\\lan\\eth1"}});

  EXPECT_EQ(listKeys(NetkeelBeginIteration),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\lan\\eth2", "if\\vlan\\eth1.100",
                                      "if\\vlan\\eth1.200"}));
  EXPECT_EQ(listKeys([](VexPdrKeyIterator* it) { return NetkeelBeginIterationForMedia(it, 1); }),
            (std::vector<std::string>{"if\\vlan\\eth1.100", "if\\vlan\\eth1.200"}));
  EXPECT_EQ(listKeys([](VexPdrKeyIterator* it) { return NetkeelBeginIterationForMedia(it, 0); }),
            (std::vector<std::string>{"if\\lan\\eth1", "if\\lan\\eth2"}));
  EXPECT_TRUE(listKeys([](VexPdrKeyIterator* it) { return NetkeelBeginIterationForMedia(it, 7); }).empty());
}

TEST_F(NetkeelRegistry, AlarmIsOneLogEntryOfThisModule) {
  EXPECT_EQ(NetkeelGenerateAlarm(60005, 1, "first"), 0);
  EXPECT_EQ(NetkeelGenerateAlarm(60007, 4, "second\tline\n"), 0);
  const std::vector<Alarm> alarms = root_.alarms();
  ASSERT_EQ(alarms.size(), 2u);
  EXPECT_EQ(alarms[0].tag, "NETKEEL");
  EXPECT_EQ(alarms[0].severity, 1);
  EXPECT_EQ(alarms[0].number, 60005u);
  EXPECT_EQ(alarms[0].text, "first");
  EXPECT_EQ(alarms[1].number, 60007u);
  EXPECT_EQ(alarms[1].severity, 4);
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
  EXPECT_EQ(flag[1], 0xAA);
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\eth1", flag), 0);
  EXPECT_EQ(flag[0], 0);
  EXPECT_EQ(flag[1], 0xAA);
}

/* A key whose interface name is unfit for a command line is published
 * without running anything: it has no address, so the placeholder is
 * stored and alarm 60006 names the interface by its description. */
TEST_F(NetkeelRegistry, UnsafeInterfaceNameCountsAsWithoutAddress) {
  const char marker[] = "netkeel-ran";
  const std::string key = std::string("if\\vlan\\x;touch ") + marker;
  root_.writeRegistry({{"PublishedIP\\default", "interface", "if\\lan\\eth1"},
                       {"PublishedIP\\default", "ipaddress", "192.168.1.1"},
                       {key, "description", "Voice VLAN"},
                       {key, "vlanid", "100"}});

  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(key.c_str()), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_NE(access(marker, F_OK), 0);
  EXPECT_EQ(registryValue("PublishedIP\\default", "interface"), key);
  EXPECT_EQ(registryValue("PublishedIP\\default", "ipaddress"), "127.0.0.1");

  const std::vector<Alarm> alarms = root_.alarms();
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].number, 60006u);
  EXPECT_EQ(alarms[0].severity, 1);
  EXPECT_EQ(alarms[0].text,
            "The Published IP address is invalid. The Published IP interface is: [VLAN 100: "
            "Voice VLAN].");

  /* Unchanged interface, still without address: no second alarm. */
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(key.c_str()), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(root_.alarms().size(), 1u);
}

TEST_F(NetkeelRegistry, InvalidAlarmTextIsCutTo99Characters) {
  const std::string description(31, 'd');
  root_.writeRegistry({{"if\\vlan\\a;b", "description", description},
                       {"if\\vlan\\a;b", "vlanid", "65535"},
                       {"if\\lan\\a;c", "vlanid", "7"}});

  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\vlan\\a;b"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\a;c"), NETKEEL_RC_PUBLISHED_IP_INVALID);
  const std::vector<Alarm> alarms = root_.alarms();
  ASSERT_EQ(alarms.size(), 2u);
  const std::string full =
      "The Published IP address is invalid. The Published IP interface is: [VLAN 65535: " + description +
      "].";
  EXPECT_EQ(alarms[0].text, full.substr(0, 99));
  EXPECT_EQ(alarms[1].text, "The Published IP address is invalid. The Published IP interface is: [Unknown].");
}

TEST_F(NetkeelRegistry, NullKeyIsRefused) {
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP(nullptr), NETKEEL_RC_NO_KEY);
  EXPECT_TRUE(root_.alarms().empty());
}

}  // namespace
