/* Interface statistics from /proc/net and tc. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "netkeel.h"
#include "netkeel_internal.h"
#include "torvo.h"

namespace {

/* Command buffers: G2 and G3 commands in 300 bytes, G4 commands in 500
 * bytes of which at most 498 characters are used. */
constexpr size_t kProcCommandSize = 300;
constexpr size_t kTcCommandSize = 499;

const char kG2Command[] =
    "cat /proc/net/dev | grep -w %s | awk -F: '{print $2}'|             \tawk '{print $1; print "
    "$2; print $3; print $4; print $9; print $10; print $11; print $12}'";

/* One G3 command per counter: the interface and the counter's label in
 * /proc/net/vlan/<interface>. */
const char kG3Command[] = "cat /proc/net/vlan/%s | awk -F: '$1 ~ \"%s\" {printf $2}'";

/* The G3 counters' labels, in record order. */
const char* const kG3Labels[] = {
    "total frames received",   "total bytes received", "Multicast Rcvd",      "total frames transmitted",
    "total bytes transmitted", "total headroom inc",   "total encap on xmit",
};

const char kTcModeCommand[] = "/sbin/tc  qdisc show dev %s|grep -e 'qdisc htb'|sed  -e 's/qdisc htb/1 /'";

/* Per HTB class two lines remain: sent bytes, packets, dropped; borrowed. */
const char kTcHtbCommand[] =
    "/sbin/tc -s class show dev %s |                                    grep -e 'Sent' -e "
    "'borrowed' |                                    sed  -e 's/Sent//' -e 's/pkts//' -e "
    "'s/bytes//' -e 's/(dropped//'                                         -e 's/, "
    "overlimits[ 0-9)]*//'                                           -e 's/lended:[ 0-9]*//' -e "
    "'s/borrowed: //' -e 's/giants:[ 0-9]*//'";

/* Per queueing discipline one line remains: sent bytes, packets, dropped,
 * overlimits. */
const char kTcQdiscCommand[] =
    "/sbin/tc -s qdisc show dev %s |                                   grep Sent|              "
    "                     sed -e 's/Sent//' -e 's/pkts//' -e 's/bytes//' -e 's/(dropped//'     "
    "                                  -e 's/, overlimits//' -e 's/)//'";

}  // namespace

int getStatValue(const char* command, uint64_t* counter) {
  if (command == nullptr || counter == nullptr) {
    return 0;
  }
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) {
    return 0;
  }
  unsigned long long value = 0;
  if (fscanf(pipe, "%llu", &value) != 1) {
    value = 0;
  }
  *counter = value;
  return pclose(pipe);
}

int NetkeelGetUpdOperG2Stats(const char* ifName, s_operG2Stats* stats) {
  if (stats == nullptr) {
    return 0;
  }
  memset(stats, 0, sizeof(*stats));
  char command[kProcCommandSize];
  if (!netkeelIsSafeIfName(ifName) || !netkeelFormatCommand(command, sizeof(command), kG2Command, ifName)) {
    return 0;
  }
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) {
    return 0;
  }
  /* Source order: receive bytes, packets, errs, drop; transmit the same. */
  unsigned long long values[8] = {0};
  /* An interface that is not listed prints nothing: its counters stay 0. */
  int matched = fscanf(pipe, "%llu %llu %llu %llu %llu %llu %llu %llu", &values[0], &values[1], &values[2],
                       &values[3], &values[4], &values[5], &values[6], &values[7]);
  (void)matched;
  stats->rxBytes = values[0];
  stats->rxPackets = values[1];
  stats->rxErrors = values[2];
  stats->rxDropped = values[3];
  stats->txBytes = values[4];
  stats->txPackets = values[5];
  stats->txErrors = values[6];
  stats->txDropped = values[7];
  stats->timeStamp = osGetTime(nullptr);
  pclose(pipe);
  return 0;
}

int NetkeelGetUpdOperG3Stats(const char* ifName, s_operG3Stats* stats) {
  if (stats == nullptr) {
    return 0;
  }
  if (!netkeelIsSafeIfName(ifName)) {
    memset(stats, 0, sizeof(*stats));
    return 0;
  }
  uint64_t* const counters[] = {&stats->framesReceived,          &stats->bytesReceived,
                                &stats->multicastReceived,       &stats->framesTransmitted,
                                &stats->bytesTransmitted,        &stats->headroomIncreases,
                                &stats->encapsulationsOnTransmit};
  static_assert(sizeof(counters) / sizeof(counters[0]) == sizeof(kG3Labels) / sizeof(kG3Labels[0]),
                "one command per counter");
  for (size_t index = 0; index < sizeof(kG3Labels) / sizeof(kG3Labels[0]); ++index) {
    char command[kProcCommandSize];
    /* A command that cannot be started gives 0, never an earlier reading. */
    uint64_t value = 0;
    if (netkeelFormatCommand(command, sizeof(command), kG3Command, ifName, kG3Labels[index])) {
      getStatValue(command, &value);
    }
    *counters[index] = value;
  }
  stats->timeStamp = osGetTime(nullptr);
  return 0;
}

int NetkeelGetUpdOperG4Stats(const char* ifName, s_operG4Stats* stats) {
  char command[kTcCommandSize];
  if (stats == nullptr || !netkeelIsSafeIfName(ifName) ||
      !netkeelFormatCommand(command, sizeof(command), kTcModeCommand, ifName)) {
    return NETKEEL_G4_NO_COMMAND;
  }
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) {
    return NETKEEL_G4_NO_COMMAND;
  }
  int mode = 0;
  const bool htbMode = fscanf(pipe, "%d", &mode) == 1 && mode == 1;
  pclose(pipe);

  if (!netkeelFormatCommand(command, sizeof(command), htbMode ? kTcHtbCommand : kTcQdiscCommand, ifName)) {
    return NETKEEL_G4_NO_COMMAND;
  }
  pipe = popen(command, "r");
  if (pipe == nullptr) {
    return NETKEEL_G4_NO_COMMAND;
  }
  const bool complete = netkeelReadG4Blocks(pipe, htbMode, stats);
  pclose(pipe);
  if (!complete) {
    return NETKEEL_G4_SHORT_OUTPUT;
  }
  stats->timeStamp = osGetTime(nullptr);
  return NETKEEL_G4_OK;
}
