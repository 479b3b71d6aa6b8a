#include "worker.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

void closePipe(int (&fds)[2]) {
  for (int& fd : fds) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void drain(int fd) {
  char bytes[64];
  while (read(fd, bytes, sizeof(bytes)) > 0) {}
}

}  // namespace

int DhcpCompWorker::start(std::function<void(DhcpCompWorker&)> body) {
  if (m_thread.joinable()) return EBUSY;
  if (pipe2(m_stop, O_CLOEXEC | O_NONBLOCK) != 0) return errno;
  if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    int rc = errno;
    closePipe(m_stop);
    return rc;
  }
  m_thread = std::thread([this, body] { body(*this); });
  return 0;
}

void DhcpCompWorker::stop() {
  if (!m_thread.joinable()) return;
  ssize_t written = write(m_stop[1], "", 1);
  (void)written;  // a full pipe already holds the stop
  m_thread.join();
  closePipe(m_stop);
  closePipe(m_wake);
}

void DhcpCompWorker::wake() {
  if (m_wake[1] < 0) return;
  ssize_t written = write(m_wake[1], "", 1);
  (void)written;  // a full pipe already holds a wake-up
}

DhcpCompWorker::Event DhcpCompWorker::wait(int fd, int timeoutMs) {
  struct pollfd fds[3] = {{m_stop[0], POLLIN, 0}, {m_wake[0], POLLIN, 0}, {fd, POLLIN, 0}};
  int ready = poll(fds, fd >= 0 ? 3 : 2, timeoutMs);
  if (ready < 0 && errno != EINTR) return kStopped;
  if (fds[0].revents != 0) return kStopped;
  if (fds[1].revents != 0) {
    drain(m_wake[0]);
    return kWoken;
  }
  if (fd >= 0 && fds[2].revents != 0) return kReadable;
  return kTimedOut;
}
