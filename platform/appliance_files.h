// Files of the stand-ins inside the appliance root (layout in README.md).
// Internal to the platform libraries; results are 0 or an errno value.
#ifndef TAVREL_PLATFORM_APPLIANCE_FILES_H
#define TAVREL_PLATFORM_APPLIANCE_FILES_H

#include <string>

namespace platform {

// $TAVREL_PLATFORM_DIR, or "/pq/platform" when unset or empty.
std::string applianceRoot();

// <appliance root>/<name>.
std::string appliancePath(const std::string& name);

// Reads a whole file: 0, ENOENT when it does not exist, EIO otherwise.
int readWholeFile(const std::string& path, std::string* text);

// Replaces a file so that readers see either the old or the new content:
// temporary file in the same directory, fsync, rename, fsync of the
// directory. Keeps the mode of the file it replaces (new files: 0644).
int replaceFileAtomically(const std::string& path, const std::string& text);

// Appends text with a single write(2), so that lines of concurrent writers
// never interleave. Creates the file (0644).
int appendToFile(const std::string& path, const std::string& text);

// Holds an exclusive flock(2) on the appliance root directory, serialising
// read-modify-write cycles of processes and threads.
class RootLock {
 public:
  RootLock();
  ~RootLock();
  RootLock(const RootLock&) = delete;
  RootLock& operator=(const RootLock&) = delete;
  // 0 when the lock is held, else EIO.
  int status() const { return status_; }

 private:
  int fd_ = -1;
  int status_ = 0;
};

}  // namespace platform

#endif
