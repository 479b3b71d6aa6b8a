#include "model/text_file.h"

#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

const mode_t kNewFileMode = 0644;

// Unlinks the temporary file unless it has been renamed into place.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void release() { path_.clear(); }

 private:
  std::string path_;
};

int writeAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return 0;
}

// Closes a file descriptor at the end of its scope.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;

 private:
  int fd_;
};

void syncDirectoryOf(const char* path) {
  std::string copy(path);
  int fd = open(dirname(&copy[0]), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

int dhcpUtilReplaceFile(const char* path, const char* data, size_t length) {
  if (path == nullptr || (data == nullptr && length > 0)) return EINVAL;
  std::string temp = std::string(path) + ".XXXXXX";
  int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) return errno;
  TempFileGuard guard(temp);
  struct stat old;
  mode_t mode = stat(path, &old) == 0 ? (old.st_mode & 07777) : kNewFileMode;
  int rc = fchmod(fd, mode) != 0 ? errno : writeAll(fd, data, length);
  if (rc == 0 && fsync(fd) != 0) rc = errno;
  if (close(fd) != 0 && rc == 0) rc = errno;
  if (rc == 0 && rename(temp.c_str(), path) != 0) rc = errno;
  if (rc != 0) return rc;
  guard.release();
  syncDirectoryOf(path);
  return 0;
}

int dhcpUtilCopyFile(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return EINVAL;
  int in = open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  FdGuard inGuard(in);
  int out = open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
  if (out < 0) return errno;
  FdGuard outGuard(out);
  char buffer[8192];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof(buffer));
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    int rc = writeAll(out, buffer, static_cast<size_t>(got));
    if (rc != 0) return rc;
  }
}
