/* Helpers shared by the modules of libnetkeel; hidden from its users. */
#ifndef NETKEEL_INTERNAL_H
#define NETKEEL_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* Formats a shell command of at most size - 1 characters into buffer.
 * Returns false when it would not fit: a cut command is never run. */
bool netkeelFormatCommand(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

/* True when name may be formatted into a shell command: a real interface
 * name, checked by libcorvane's shared rule. */
bool netkeelIsSafeIfName(const char* name);

/* Formats an alarm text, cut to NETKEEL_ALARM_TEXT_SIZE - 1 characters, and
 * raises the alarm through NetkeelGenerateAlarm. */
void netkeelRaiseAlarm(uint32_t alarm, uint16_t severity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

struct s_operG4Stats;

/* Reads the next non-blank line of pipe and stores its first `wanted`
 * numeric words into counters; counters the line lacks keep their values.
 * False at the end of the output. */
bool netkeelReadCounterLine(FILE* pipe, uint64_t* const* counters, int wanted);

/* Fills the blocks from tc's output: HTB classes in listed order, queueing
 * disciplines in reverse order. False when the output ended first. */
bool netkeelReadG4Blocks(FILE* pipe, bool htbMode, s_operG4Stats* stats);

#endif
