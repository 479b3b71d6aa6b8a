// Power-cut safe replacement of a whole file, shared by the writers of the
// component configuration file and of dhcpd.conf.
#ifndef TAVREL_AGENT_MODEL_TEXT_FILE_H
#define TAVREL_AGENT_MODEL_TEXT_FILE_H

#include <stddef.h>

// Replaces path by the length bytes of data so that a crash leaves either the
// old or the new file: a temporary file in the same directory, fsync, rename,
// fsync of the directory. Keeps the mode of the file it replaces (0644 for a
// new file). On failure the temporary file is removed and path is untouched.
// 0, or an errno value.
int dhcpUtilReplaceFile(const char* path, const char* data, size_t length);

// Copies the file from to the file to (created or truncated), as "cp" does,
// without a shell; for the trace copies of the configuration. 0, or an errno
// value (to may then be incomplete).
int dhcpUtilCopyFile(const char* from, const char* to);

#endif
