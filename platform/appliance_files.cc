#include "appliance_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {

const char kDefaultRoot[] = "/pq/platform";
const mode_t kNewFileMode = 0644;
// Read granularity only; files of any size are read whole.
const size_t kReadChunkSize = 4096;

int writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return EIO;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Removes the temporary file unless the rename succeeded.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::vector<char>* name) : name_(name) {}
  ~TempFileGuard() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(name_->data());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void setFd(int fd) { fd_ = fd; }
  int closeFd() {
    int rc = close(fd_);
    fd_ = -1;
    return rc;
  }
  void commit() { committed_ = true; }

 private:
  std::vector<char>* name_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace

std::string applianceRoot() {
  const char* dir = getenv("TAVREL_PLATFORM_DIR");
  if (dir == nullptr || *dir == '\0') return kDefaultRoot;
  // One spelling per directory: the semaphore keys are derived from it.
  std::string root = dir;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string appliancePath(const std::string& name) {
  std::string root = applianceRoot();
  if (root != "/") root += '/';
  return root + name;
}

int readWholeFile(const std::string& path, std::string* text) {
  text->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ENOENT : EIO;
  char chunk[kReadChunkSize];
  int rc = 0;
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      rc = EIO;
      break;
    }
    if (n == 0) break;
    text->append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return rc;
}

int replaceFileAtomically(const std::string& path, const std::string& text) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');
  int fd = mkostemp(tempName.data(), O_CLOEXEC);
  if (fd < 0) return EIO;
  TempFileGuard guard(&tempName);
  guard.setFd(fd);

  struct stat old;
  mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : kNewFileMode;
  if (fchmod(fd, mode) != 0) return EIO;
  if (writeAll(fd, text) != 0) return EIO;
  if (fsync(fd) != 0) return EIO;
  if (guard.closeFd() != 0) return EIO;
  if (rename(tempName.data(), path.c_str()) != 0) return EIO;
  guard.commit();

  int dirFd = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return 0;
}

int appendToFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return EIO;
  int rc = writeAll(fd, text);
  if (close(fd) != 0) rc = EIO;
  return rc;
}

RootLock::RootLock() {
  fd_ = open(applianceRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    status_ = EIO;
    return;
  }
  int rc;
  do {
    rc = flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) status_ = EIO;
}

RootLock::~RootLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace platform
