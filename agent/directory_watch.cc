#include "directory_watch.h"

#include <errno.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace {

const size_t kEventBufferSize = 4096;
// Appended to (the lease file), written anew or touched into being (the flag
// file), or replaced by a rename (both).
const uint32_t kEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO;

}  // namespace

DirectoryWatch::DirectoryWatch(std::string directory, std::vector<std::string> names)
    : m_directory(std::move(directory)), m_names(std::move(names)) {}

int DirectoryWatch::open() {
  if (m_fd >= 0) return EBUSY;
  m_fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (m_fd < 0) return errno;
  if (inotify_add_watch(m_fd, m_directory.c_str(), kEvents) < 0) {
    int rc = errno;
    close();
    return rc;
  }
  return 0;
}

void DirectoryWatch::close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool DirectoryWatch::changed() {
  if (m_fd < 0) return false;
  bool named = false;
  alignas(struct inotify_event) char events[kEventBufferSize];
  for (;;) {
    ssize_t length = read(m_fd, events, sizeof(events));
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const struct inotify_event* event = reinterpret_cast<const struct inotify_event*>(events + offset);
      if (event->len > 0 && std::find(m_names.begin(), m_names.end(), event->name) != m_names.end())
        named = true;
      offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
    }
  }
  return named;
}
