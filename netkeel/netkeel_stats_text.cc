/* Readers of the statistics commands' output (/proc/net/dev through awk, tc
 * through sed): outside text, read line by line. */
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include "netkeel.h"
#include "netkeel_internal.h"

/* Reads the next non-blank line of pipe and stores its first `wanted`
 * numeric words into counters; counters the line lacks keep their values.
 * A numeric word is one that starts with a digit; its leading digits count.
 * tc of this system writes "pkt" for "pkts" and appends "requeues N", words
 * the sed expressions of the commands leave behind, so a line is read as a unit
 * rather than as one stream of numbers. False at the end of the output. */
bool netkeelReadCounterLine(FILE* pipe, uint64_t* const* counters, int wanted) {
  char* line = nullptr;
  size_t capacity = 0;
  const char* cursor = nullptr;
  for (;;) {
    if (getline(&line, &capacity, pipe) < 0) {
      free(line);
      return false;
    }
    cursor = line;
    while (isspace(static_cast<unsigned char>(*cursor))) {
      ++cursor;
    }
    if (*cursor != '\0') {
      break;
    }
  }
  int found = 0;
  while (*cursor != '\0' && found < wanted) {
    const char* wordEnd = cursor;
    while (*wordEnd != '\0' && !isspace(static_cast<unsigned char>(*wordEnd))) {
      ++wordEnd;
    }
    if (isdigit(static_cast<unsigned char>(*cursor))) {
      *counters[found++] = strtoull(cursor, nullptr, 10);
    }
    cursor = wordEnd;
    while (isspace(static_cast<unsigned char>(*cursor))) {
      ++cursor;
    }
  }
  free(line);
  return true;
}

/* Fills the blocks from tc's output: HTB classes in listed order, queueing
 * disciplines in reverse order. False when the output ended first. */
bool netkeelReadG4Blocks(FILE* pipe, bool htbMode, s_operG4Stats* stats) {
  for (int index = 0; index < NETKEEL_G4_BLOCKS; ++index) {
    s_operG4Block& block = stats->blocks[htbMode ? index : NETKEEL_G4_BLOCKS - 1 - index];
    uint64_t* const counters[] = {&block.sentBytes, &block.sentPackets, &block.dropped,
                                  &block.borrowedOrOverlimits};
    if (htbMode) {
      if (!netkeelReadCounterLine(pipe, counters, 3) || !netkeelReadCounterLine(pipe, counters + 3, 1)) {
        return false;
      }
    } else if (!netkeelReadCounterLine(pipe, counters, 4)) {
      return false;
    }
  }
  return true;
}
