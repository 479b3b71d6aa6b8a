// Process, time and text calls of libtorvo.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "torvo.h"

namespace platform {

namespace {

// What the intermediate child reports: the program's pid, or why the
// program could not be started.
struct StartReport {
  pid_t pid;
  int error;
};

bool readFull(int fd, void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, static_cast<char*>(data) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Runs in the intermediate child (async-signal-safe calls only): starts the
// program in a grandchild, which init adopts, so nobody has to reap it.
[[noreturn]] void startGrandchild(const char* path, int reportFd) {
  int execFds[2];
  StartReport report = {-1, 0};
  if (pipe2(execFds, O_CLOEXEC) != 0) {
    report.error = EAGAIN;
  } else {
    pid_t pid = fork();
    if (pid == 0) {
      close(execFds[0]);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      char* const argv[] = {const_cast<char*>(path), nullptr};
      execv(path, argv);
      int error = errno;
      ssize_t ignored = write(execFds[1], &error, sizeof error);
      (void)ignored;
      _exit(127);
    }
    close(execFds[1]);
    if (pid < 0) {
      report.error = EAGAIN;
    } else {
      // The pipe closes without data once execv succeeded.
      int error = 0;
      report.pid = pid;
      if (readFull(execFds[0], &error, sizeof error)) report.error = error;
    }
    close(execFds[0]);
  }
  ssize_t ignored = write(reportFd, &report, sizeof report);
  (void)ignored;
  _exit(0);
}

}  // namespace

}  // namespace platform

int osGetProcessId(uint32_t* processId) {
  if (processId == nullptr) return EINVAL;
  *processId = static_cast<uint32_t>(getpid());
  return 0;
}

int osStartPgm(const char* path, int /*reserved1*/, int /*reserved2*/, uint32_t* processId,
               int /*reserved3*/) {
  if (path == nullptr || *path == '\0') return EINVAL;
  int reportFds[2];
  if (pipe2(reportFds, O_CLOEXEC) != 0) return EAGAIN;
  pid_t child = fork();
  if (child == 0) {
    close(reportFds[0]);
    platform::startGrandchild(path, reportFds[1]);
  }
  close(reportFds[1]);
  if (child < 0) {
    close(reportFds[0]);
    return EAGAIN;
  }
  platform::StartReport report = {-1, EAGAIN};
  bool reported = platform::readFull(reportFds[0], &report, sizeof report);
  close(reportFds[0]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
  if (!reported) return EAGAIN;
  if (report.error != 0) return report.error;
  if (processId != nullptr) *processId = static_cast<uint32_t>(report.pid);
  return 0;
}

uint32_t osGetTime(uint32_t* now) {
  uint32_t seconds = static_cast<uint32_t>(time(nullptr));
  if (now != nullptr) *now = seconds;
  return seconds;
}

char* osLStrCpyn(char* destination, const char* source, unsigned long size) {
  if (destination == nullptr || size == 0) return destination;
  size_t length = source == nullptr ? 0 : strnlen(source, size - 1);
  if (length > 0) memmove(destination, source, length);
  destination[length] = '\0';
  return destination;
}
