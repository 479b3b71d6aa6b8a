#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"

namespace {

/* Names that must never reach a command line, with a marker command that
 * would show that they did. */
const char kMarker[] = "netkeel-stats-ran";
const char* const kUnsafeNames[] = {
    "eth1;touch netkeel-stats-ran",
    "eth1 $(touch netkeel-stats-ran)",
    "`touch netkeel-stats-ran`",
    "eth1|touch netkeel-stats-ran",
    "abcdefghijklmnop",  // 16 characters: longer than any interface name
    "",
    "-eth1",
    "..",
    nullptr,
};

/* A record with every byte set, so that untouched fields stand out. */
template <typename Record>
Record filled() {
  Record record;
  memset(&record, 0x5A, sizeof(record));
  return record;
}

template <typename Record>
bool allZero(const Record& record) {
  Record zero;
  memset(&zero, 0, sizeof(zero));
  return memcmp(&record, &zero, sizeof(record)) == 0;
}

std::string describe(const char* name) {
  return name != nullptr ? std::string("'") + name + "'" : "null";
}

class NetkeelStats : public testing::Test {
 protected:
  void SetUp() override { unlink(kMarker); }
  void TearDown() override {
    EXPECT_NE(access(kMarker, F_OK), 0) << "a refused name reached a shell";
    unlink(kMarker);
  }
};

TEST_F(NetkeelStats, StatValueReadsOneNumberOrZero) {
  uint64_t counter = 77;
  EXPECT_EQ(getStatValue("echo 18446744073709551615 3", &counter), 0);
  EXPECT_EQ(counter, UINT64_MAX);

  counter = 77;
  EXPECT_EQ(getStatValue("printf ''", &counter), 0);
  EXPECT_EQ(counter, 0u);

  counter = 77;
  EXPECT_EQ(getStatValue("echo words 12", &counter), 0);
  EXPECT_EQ(counter, 0u);

  counter = 77;
  const int status = getStatValue("echo 5; exit 3", &counter);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(counter, 5u);

  counter = 77;
  EXPECT_EQ(getStatValue(nullptr, &counter), 0);
  EXPECT_EQ(counter, 77u);
}

TEST_F(NetkeelStats, RefusedNamesRunNothing) {
  for (const char* name : kUnsafeNames) {
    SCOPED_TRACE(describe(name));

    s_operG2Stats g2 = filled<s_operG2Stats>();
    EXPECT_EQ(NetkeelGetUpdOperG2Stats(name, &g2), 0);
    EXPECT_TRUE(allZero(g2));

    s_operG3Stats g3 = filled<s_operG3Stats>();
    EXPECT_EQ(NetkeelGetUpdOperG3Stats(name, &g3), 0);
    EXPECT_TRUE(allZero(g3));

    s_operG4Stats g4 = filled<s_operG4Stats>();
    s_operG4Stats before;
    memcpy(&before, &g4, sizeof(before));
    EXPECT_EQ(NetkeelGetUpdOperG4Stats(name, &g4), NETKEEL_G4_NO_COMMAND);
    EXPECT_EQ(memcmp(&g4, &before, sizeof(g4)), 0);

    EXPECT_EQ(NetkeelExecuteIfUp(name), NETKEEL_IFUP_FAILED);
  }
}

}  // namespace
