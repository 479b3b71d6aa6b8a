#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_internal.h"
#include "netkeel_test_support.h"

namespace {

using netkeel_test::recent;

/* One record of each kind with every byte set, so that untouched fields
 * stand out. */
struct Records {
  Records() {
    memset(&g2, 0x5A, sizeof(g2));
    memset(&g3, 0x5A, sizeof(g3));
    memset(&g4, 0x5A, sizeof(g4));
  }
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
  netkeel_test::checkCalls(cases, uint64_t{77}, getStatValue);
}

TEST(NetkeelStats, RefusedNamesRunNothing) {
  const char marker[] = "netkeel-stats-ran";
  unlink(marker);
  const Records filled;
  const s_operG2Stats zeroG2 = {};
  const s_operG3Stats zeroG3 = {};
  /* The rule itself is libcorvane's (its tests hold the table). */
  for (const char* name : {"eth1;touch netkeel-stats-ran", "$(touch netkeel-stats-ran)", "abcdefghijklmnop",
                           "", static_cast<const char*>(nullptr)}) {
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
  EXPECT_TRUE(recent(r.g2.timeStamp));
  EXPECT_TRUE(recent(r.g3.timeStamp));
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
  Records r;
  EXPECT_TRUE(readBlocks(htb, true, &r.g4));
  for (int i = 0; i < NETKEEL_G4_BLOCKS; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.g4.blocks[i].sentBytes, 1000u + i);
    EXPECT_EQ(r.g4.blocks[i].sentPackets, 10u + i);
    EXPECT_EQ(r.g4.blocks[i].dropped, 0u);
    EXPECT_EQ(r.g4.blocks[i].borrowedOrOverlimits, static_cast<uint64_t>(i));
  }

  /* Disciplines fill the blocks from 8 down; the output ends after two, the
   * second line lacks its last counter. */
  const Records filled;
  Records q;
  EXPECT_FALSE(readBlocks(" 500  5 pkt  1  2 requeues 0\n 600 6 3\n", false, &q.g4));
  EXPECT_EQ(q.g4.blocks[8].sentBytes, 500u);
  EXPECT_EQ(q.g4.blocks[8].sentPackets, 5u);
  EXPECT_EQ(q.g4.blocks[8].dropped, 1u);
  EXPECT_EQ(q.g4.blocks[8].borrowedOrOverlimits, 2u);
  EXPECT_EQ(q.g4.blocks[7].dropped, 3u);
  EXPECT_EQ(q.g4.blocks[7].borrowedOrOverlimits, filled.g4.blocks[7].borrowedOrOverlimits);
  EXPECT_EQ(memcmp(&q.g4.blocks[0], &filled.g4.blocks[0], 7 * sizeof(s_operG4Block)), 0);
  EXPECT_EQ(q.g4.timeStamp, filled.g4.timeStamp);
}

}  // namespace
