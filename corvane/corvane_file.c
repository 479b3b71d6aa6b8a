/* Whole-file reading, the bounded copy and the command runner used by every
 * reader of the library. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "corvane.h"
#include "corvane_internal.h"

/* Longest command formatted here: a fixed template plus one interface name. */
#define CORVANE_COMMAND_SIZE 200

void corvaneRemove0Ds(char* buf, long len) {
  if (buf == NULL) {
    return;
  }
  for (long i = 0; i < len; i++) {
    if (buf[i] == '\r') {
      buf[i] = '\n';
    }
  }
}

/* corvaneFileOpenForRead for callers that hold a const path. */
static int openForRead(const char* path, FILE** fp, long* size) {
  if (path == NULL || fp == NULL || size == NULL) {
    return 0;
  }
  FILE* f = fopen(path, "rb");
  if (f == NULL) {
    return 0;
  }
  long length = -1;
  if (fseek(f, 0, SEEK_END) == 0) {
    length = ftell(f);
  }
  if (length < 0 || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return 0;
  }
  *fp = f;
  *size = length;
  return 1;
}

int corvaneFileOpenForRead(char* path, FILE** fp, long* size) {
  return openForRead(path, fp, size);
}

char* corvaneReadTextFile(const char* path, long* length) {
  FILE* f = NULL;
  long size = 0;
  if (!openForRead(path, &f, &size)) {
    return NULL;
  }
  char* text = malloc((size_t)size + 1);
  if (text == NULL) {
    fclose(f);
    return NULL;
  }
  /* Only what was read counts: the file may have shrunk since it was
     * measured, and anything it grew by is left for the next reader. */
  size_t got = fread(text, 1, (size_t)size, f);
  fclose(f);
  corvaneRemove0Ds(text, (long)got);
  text[got] = '\0';
  if (length != NULL) {
    *length = (long)got;
  }
  return text;
}

int corvaneRunCommand(const char* format, ...) {
  char command[CORVANE_COMMAND_SIZE];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(command, sizeof command, format, args);
  va_end(args);
  if (n < 0 || (size_t)n >= sizeof command) {
    return -1;
  }
  return system(command);
}

void corvaneCopySpan(char* out, size_t outSize, const char* src, size_t len) {
  size_t n = len < outSize - 1 ? len : outSize - 1;
  memcpy(out, src, n);
  out[n] = '\0';
}

const char* corvaneCopyUntil(char* out, size_t outSize, const char* src, const char* stops) {
  size_t span = strcspn(src, stops);
  corvaneCopySpan(out, outSize, src, span);
  return src + span;
}
