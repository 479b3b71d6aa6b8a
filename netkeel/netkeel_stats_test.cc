#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_internal.h"

namespace {

const char kMarker[] = "netkeel-stats-ran";

/* A record with every byte set, so that untouched fields stand out. */
template <typename Record>
Record filled() {
  Record record;
  memset(&record, 0x5A, sizeof(record));
  return record;
}

TEST(NetkeelStats, StatValueReadsOneNumberOrZero) {
  const struct {
    const char* command;
    int status;
    uint64_t counter;
  } cases[] = {
      {"echo 18446744073709551615 3", 0, UINT64_MAX},
      {"printf ''", 0, 0},
      {"echo words 12", 0, 0},
      {"echo 5; exit 3", 3 << 8, 5},
      {nullptr, 0, 77},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command != nullptr ? c.command : "null");
    uint64_t counter = 77;
    EXPECT_EQ(getStatValue(c.command, &counter), c.status);
    EXPECT_EQ(counter, c.counter);
  }
}

TEST(NetkeelStats, RefusedNamesRunNothing) {
  unlink(kMarker);
  /* The rule itself is libcorvane's (its tests hold the table). */
  for (const char* name : {"eth1;touch netkeel-stats-ran", "$(touch netkeel-stats-ran)", "abcdefghijklmnop",
                           "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(name != nullptr ? name : "null");
    const s_operG2Stats zeroG2 = {};
    const s_operG3Stats zeroG3 = {};
    s_operG2Stats g2 = filled<s_operG2Stats>();
    EXPECT_EQ(NetkeelGetUpdOperG2Stats(name, &g2), 0);
    EXPECT_EQ(memcmp(&g2, &zeroG2, sizeof(g2)), 0);
    s_operG3Stats g3 = filled<s_operG3Stats>();
    EXPECT_EQ(NetkeelGetUpdOperG3Stats(name, &g3), 0);
    EXPECT_EQ(memcmp(&g3, &zeroG3, sizeof(g3)), 0);
    s_operG4Stats g4 = filled<s_operG4Stats>();
    const s_operG4Stats before = g4;
    EXPECT_EQ(NetkeelGetUpdOperG4Stats(name, &g4), NETKEEL_G4_NO_COMMAND);
    EXPECT_EQ(memcmp(&g4, &before, sizeof(g4)), 0);
    EXPECT_EQ(NetkeelExecuteIfUp(name), NETKEEL_IFUP_FAILED);
  }
  EXPECT_NE(access(kMarker, F_OK), 0) << "a refused name reached a shell";

  /* An interface without counters reads 0, time-stamped. */
  s_operG2Stats g2 = filled<s_operG2Stats>();
  EXPECT_EQ(NetkeelGetUpdOperG2Stats("nosuch0", &g2), 0);
  EXPECT_EQ(g2.rxBytes + g2.txDropped, 0u);
  s_operG3Stats g3 = filled<s_operG3Stats>();
  EXPECT_EQ(NetkeelGetUpdOperG3Stats("nosuch0", &g3), 0);
  EXPECT_EQ(g3.framesReceived + g3.encapsulationsOnTransmit, 0u);
  EXPECT_GE(g2.timeStamp + 5, static_cast<uint32_t>(time(nullptr)));
  EXPECT_GE(g3.timeStamp + 5, static_cast<uint32_t>(time(nullptr)));
}

/* tc's output after the commands' sed expressions: an HTB class gives a line
 * of bytes, packets, dropped (with words sed leaves behind) and a line with
 * the borrowed count; a queueing discipline one line of four counters. */
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
  s_operG4Stats stats = filled<s_operG4Stats>();
  EXPECT_TRUE(readBlocks(htb, true, &stats));
  for (int i = 0; i < NETKEEL_G4_BLOCKS; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(stats.blocks[i].sentBytes, 1000u + i);
    EXPECT_EQ(stats.blocks[i].sentPackets, 10u + i);
    EXPECT_EQ(stats.blocks[i].dropped, 0u);
    EXPECT_EQ(stats.blocks[i].borrowedOrOverlimits, static_cast<uint64_t>(i));
  }

  /* Disciplines fill the blocks from 8 down; the output ends after two, the
   * second line lacks its last counter. */
  stats = filled<s_operG4Stats>();
  const s_operG4Stats before = stats;
  EXPECT_FALSE(readBlocks(" 500  5 pkt  1  2 requeues 0\n 600 6 3\n", false, &stats));
  EXPECT_EQ(stats.blocks[8].sentBytes, 500u);
  EXPECT_EQ(stats.blocks[8].sentPackets, 5u);
  EXPECT_EQ(stats.blocks[8].dropped, 1u);
  EXPECT_EQ(stats.blocks[8].borrowedOrOverlimits, 2u);
  EXPECT_EQ(stats.blocks[7].dropped, 3u);
  EXPECT_EQ(stats.blocks[7].borrowedOrOverlimits, before.blocks[7].borrowedOrOverlimits);
  EXPECT_EQ(memcmp(&stats.blocks[0], &before.blocks[0], 7 * sizeof(s_operG4Block)), 0);
  EXPECT_EQ(stats.timeStamp, before.timeStamp);
}

}  // namespace
