/* libnetkeel's text helpers, address validation, interface keys, registry,
 * published IP and alarms (private appliance root), statistics readers. */
#include <net/if.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_internal.h"
#include "netkeel_test_support.h"

namespace {

typedef std::vector<std::string> Lines;
using netkeel_test::published;

/* Each case {in, rc, out}: call(in, &output) gives rc and leaves out. */
template <typename Output, typename Case, size_t N, typename Call>
void checkCalls(const Case (&cases)[N], Output preset, Call call) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in != nullptr ? c.in : "null");
    Output output = preset;
    EXPECT_EQ(call(c.in, &output), c.rc);
    EXPECT_EQ(output, c.out);
  }
}

TEST(NetkeelText, TrimSplitAndTypeTable) {
  const char* const trims[][2] = {
      {"  eth1 ", "eth1"}, {"    ", ""}, {"a b ", "a b"}, {"\teth1\t", "\teth1\t"}};
  for (const auto& c : trims) {
    /* A buffer of exactly the text's size: the address sanitizer catches any access outside it. */
    std::vector<char> buffer(c[0], c[0] + strlen(c[0]) + 1);
    trim(buffer.data());
    EXPECT_STREQ(buffer.data(), c[1]) << "'" << c[0] << "'";
  }
  trim(nullptr);

  /* A part of 25 characters or more leaves both outputs alone. */
  char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  testing::internal::CaptureStdout();
  split(("a=" + std::string(25, 'x')).c_str(), left, right, "=");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unexpected long field in rule file!, reformat it pls!\n");
  split("  a = b=c", left, right, "");
  split(nullptr, left, right, "=");
  split("a=b", nullptr, right, "=");
  split("a=b", left, nullptr, "=");
  split("a=b", left, right, nullptr);
  EXPECT_STREQ(left, "");
  EXPECT_STREQ(right, "");
  split("  a = b=c", left, right, "=");
  EXPECT_STREQ(left, "a");
  EXPECT_STREQ(right, "b=c");

  EXPECT_EQ(mapIfTypeNameToNum(nullptr), NETKEEL_IF_TYPE_UNKNOWN);
  for (const char* name : {"LAN", "lans", "vla"})
    EXPECT_EQ(mapIfTypeNameToNum(name), NETKEEL_IF_TYPE_UNKNOWN);
}

TEST(NetkeelAddress, ValidAddressesAreUnicastOutsideLoopback) {
  const std::pair<const char*, int> cases[] = {
      {"1.0.0.0", 1},   {"223.255.255.255", 1}, {"126.1.1.1", 1},       {"128.0.0.1", 1}, {"10.1", 1},
      {"127.0.0.1", 0}, {"127.255.255.254", 0}, {"0.1.2.3", 0},         {"224.0.0.1", 0}, {"", 0},
      {"eth1", 0},      {"1.2.3.4.5", 0},       {"255.255.255.255", 0}, {"256.1.1.1", 0}, {nullptr, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first != nullptr ? c.first : "null");
    EXPECT_EQ(NetkeelIsValidIpAddress(c.first), c.second);
  }
}

/* A netmask's set bits are contiguous from the top; its prefix, the subnet
 * and the host part. */
TEST(NetkeelAddress, NetmaskPrefixSubnetAndHostPart) {
  const struct {
    const char* in;
    int rc;
    uint32_t out;  // 99: not written
  } cases[] = {
      {"255.255.255.0", 1, 24}, {"0.0.0.0", 1, 0},      {"255.255.255.255", 1, 32},
      {"128.0.0.0", 1, 1},      {"255.0.255.0", 0, 8},  {"0.255.255.255", 0, 0},
      {"255.255.255.1", 0, 24}, {"255.255.x.0", 0, 99}, {nullptr, 0, 99},
  };
  checkCalls(cases, uint32_t{99}, NetkeelIsValidIpNetmask);

  const struct {
    const char* address;
    const char* mask;
    int subnetResult;
    const char* subnet;
    int hostValid;
  } subnets[] = {
      {"10.20.30.40", "255.0.255.0", 1, "10.0.30.0", 1},
      {"10.0.1.0", "255.255.0.0", 1, "10.0.0.0", 1},
      {"255.255.255.255", "255.255.255.255", 1, "255.255.255.255", 0},
      {"192.168.1.0", "255.255.255.0", 1, "192.168.1.0", 0},
      {"192.168.1.1", "255.255.255.254", 1, "192.168.1.0", 0},
      {"192.168.1.x", "255.255.255.0", 0, "unchanged", 0},
      {"192.168.1.1", "mask", 0, "unchanged", 0},
  };
  for (const auto& c : subnets) {
    SCOPED_TRACE(std::string(c.address) + "/" + c.mask);
    char subnet[NETKEEL_IP_TEXT_SIZE] = "unchanged";
    EXPECT_EQ(NetkeelGetSubnetAddress(c.address, c.mask, subnet), c.subnetResult);
    EXPECT_STREQ(subnet, c.subnet);
    EXPECT_EQ(NetkeelIsHostAddressValid(c.address, c.mask), c.hostValid);
  }
}

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
  netkeel_test::PlatformRoot root_;
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

/* A key whose interface name is unfit for a command line is published
 * without running anything: without an address, the placeholder is stored
 * and alarm 60006 names its description; lo's address then resolves it
 * (60007). The alarms, and a last one without a text: unsafe-name-alarms.log. */
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
  /* An interface with an address replaces the placeholder: resolved. It is
   * the published one, told in exactly one byte. */
  EXPECT_EQ(NetkeelSetIfKeyOfPublishedIP("if\\lan\\lo"), 0);
  char publishedKey[NETKEEL_IF_KEY_SIZE] = {0};
  EXPECT_EQ(NetkeelGetIfKeyOfPublishedIP(publishedKey), 0);
  EXPECT_STREQ(publishedKey, "if\\lan\\lo");
  uint8_t flag[2] = {0x55, 0xAA};
  EXPECT_EQ(NetkeelIsPublishedIPInterface("if\\lan\\lo", flag), 0);
  EXPECT_EQ(flag[0], 1);
  EXPECT_EQ(NetkeelIsPublishedIPInterface(key.c_str(), flag), 0);
  EXPECT_EQ(flag[0], 0);
  EXPECT_EQ(flag[1], 0xAA);

  EXPECT_EQ(NetkeelGenerateAlarm(60007, 4, nullptr), 0);
  EXPECT_EQ(root_.alarms(),
            tavrel::test::readFile(tavrel::test::sourceDir() + "/tests/data/netkeel/unsafe-name-alarms.log"));
}

/* One record of each kind with every byte set, so that untouched fields
 * stand out. */
struct Records {
  Records() { memset(this, 0x5A, sizeof(*this)); }
  s_operG2Stats g2;
  s_operG3Stats g3;
  s_operG4Stats g4;
};

TEST(NetkeelStats, StatValueReadsOneNumberOrZero) {
  const struct {
    const char* in;
    int rc;
    uint64_t out;
  } cases[] = {
      {"echo 18446744073709551615 3", 0, UINT64_MAX},
      {"printf ''", 0, 0},
      {"echo words 12", 0, 0},
      {"echo 5; exit 3", 3 << 8, 5},
      {nullptr, 0, 77},
  };
  checkCalls(cases, uint64_t{77}, getStatValue);
}

TEST(NetkeelStats, RefusedNamesRunNothing) {
  const char marker[] = "netkeel-stats-ran";
  unlink(marker);
  const Records filled;
  const s_operG2Stats zeroG2 = {};
  const s_operG3Stats zeroG3 = {};
  /* The rule itself is libcorvane's (its tests hold the table). */
  for (const char* name :
       {"eth1;touch netkeel-stats-ran", "abcdefghijklmnop", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(name != nullptr ? name : "null");
    Records r;
    EXPECT_EQ(NetkeelGetUpdOperG2Stats(name, &r.g2), 0);
    EXPECT_EQ(memcmp(&r.g2, &zeroG2, sizeof(r.g2)), 0);
    EXPECT_EQ(NetkeelGetUpdOperG3Stats(name, &r.g3), 0);
    EXPECT_EQ(memcmp(&r.g3, &zeroG3, sizeof(r.g3)), 0);
    EXPECT_EQ(NetkeelGetUpdOperG4Stats(name, &r.g4), NETKEEL_G4_NO_COMMAND);
    EXPECT_EQ(memcmp(&r.g4, &filled.g4, sizeof(r.g4)), 0);
    EXPECT_EQ(NetkeelExecuteIfUp(name), NETKEEL_IFUP_FAILED);
  }
  EXPECT_NE(access(marker, F_OK), 0) << "a refused name reached a shell";

  /* An interface without counters reads 0, time-stamped. */
  Records r;
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("nosuch0", &r.g2), 0);
  EXPECT_EQ(r.g2.rxBytes + r.g2.txDropped, 0u);
  EXPECT_EQ(NetkeelGetUpdOperG3Stats("nosuch0", &r.g3), 0);
  EXPECT_EQ(r.g3.framesReceived + r.g3.encapsulationsOnTransmit, 0u);
  EXPECT_TRUE(netkeel_test::recent(r.g2.timeStamp));
  EXPECT_TRUE(netkeel_test::recent(r.g3.timeStamp));
}

/* tc's output after the commands' sed: an HTB class gives bytes, packets and
 * dropped (amid words sed leaves) then borrowed; a discipline four counters. */
bool readBlocks(const std::string& output, bool htb, s_operG4Stats* stats) {
  FILE* pipe = fmemopen(const_cast<char*>(output.data()), output.size(), "r");
  const bool complete = netkeelReadG4Blocks(pipe, htb, stats);
  fclose(pipe);
  return complete;
}

TEST(NetkeelStats, G4BlocksFollowTcOrderAndKeepWhatALineLacks) {
  std::string htb;
  for (int i = 0; i < NETKEEL_G4_BLOCKS; ++i) {
    htb += " " + std::to_string(1000 + i) + "  " + std::to_string(10 + i) + " pkt  0requeues 0)\n\n " +
           std::to_string(i) + " \n";
  }
  Records r;
  EXPECT_TRUE(readBlocks(htb, true, &r.g4));
  for (uint64_t i = 0; i < NETKEEL_G4_BLOCKS; ++i) {
    const s_operG4Block block = {1000 + i, 10 + i, 0, i};
    EXPECT_EQ(memcmp(&r.g4.blocks[i], &block, sizeof(block)), 0) << "block " << i;
  }

  /* Disciplines fill the blocks from 8 down; the output ends after two, the
   * second line lacks its last counter. */
  const Records filled;
  Records q;
  EXPECT_FALSE(readBlocks(" 500  5 pkt  1  2 requeues 0\n 600 6 3\n", false, &q.g4));
  const s_operG4Block blocks[] = {{600, 6, 3, filled.g4.blocks[7].borrowedOrOverlimits}, {500, 5, 1, 2}};
  EXPECT_EQ(memcmp(&q.g4.blocks[7], blocks, sizeof(blocks)), 0);
  EXPECT_EQ(memcmp(&q.g4.blocks[0], &filled.g4.blocks[0], 7 * sizeof(s_operG4Block)), 0);
  EXPECT_EQ(q.g4.timeStamp, filled.g4.timeStamp);
}

}  // namespace
