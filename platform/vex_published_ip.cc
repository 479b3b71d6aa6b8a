// Published IP of libVexShared: reads "PublishedIP\default"/"ipaddress" and
// reports later changes of it, made by any process, to registered handlers.
#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "VexShared.h"
#include "appliance_files.h"
#include "vex_registry.h"

namespace platform {

namespace {

const char kPublishedIPKey[] = "PublishedIP\\default";
const char kPublishedIPValue[] = "ipaddress";
const char kRegistryFileName[] = "registry";
// With inotify the re-read only covers missed events (e.g. the appliance
// root created after the watch began); without it, it is the only signal.
const int kFallbackRereadMs = 1000;
const int kPollOnlyRereadMs = 200;
// Room for a burst of directory events; each carries a file name.
const size_t kEventBufferSize = 16 * (sizeof(struct inotify_event) + NAME_MAX + 1);

struct Listener {
  uint32_t id;
  VexPublishedIPNotifyHandler handler;
  std::string lastValue;
};

// One run of the watcher thread; `wakeFd` tells it to look at `stop`.
struct WatchRun {
  pthread_t thread;
  int wakeFd;
  std::atomic<bool> stop{false};
};

class Watcher {
 public:
  int add(VexPublishedIPNotifyHandler handler, const std::string& value, uint32_t* id);
  int remove(uint32_t id);
  void shutdown();

 private:
  static void* threadMain(void* arg);
  static void shutdownAtExit();
  void watch(WatchRun* run);
  void notifyChanges();
  void forgetInheritedState();
  WatchRun* detachRunLocked();
  static void finishRun(WatchRun* run);

  // Recursive: a handler runs with the lock held and may itself register
  // or free a listener.
  std::recursive_mutex mutex_;
  std::vector<Listener> listeners_;
  uint32_t nextId_ = 1;
  WatchRun* run_ = nullptr;
  pid_t ownerPid_ = 0;
};

// Never destroyed; the thread is stopped from an atexit handler instead,
// which is registered after the program's static objects were made and so
// runs before they are destroyed: no handler meets a destroyed object.
Watcher& watcher() {
  static Watcher* instance = new Watcher;
  return *instance;
}

void Watcher::shutdownAtExit() {
  watcher().shutdown();
}

void Watcher::shutdown() {
  WatchRun* stopping;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    forgetInheritedState();
    listeners_.clear();
    // exit() called from a handler runs here on the watcher thread itself,
    // which cannot be joined; the process is ending anyway.
    if (run_ != nullptr && pthread_equal(run_->thread, pthread_self())) return;
    stopping = detachRunLocked();
  }
  finishRun(stopping);
}

// A child made by fork() has the parent's memory but not its thread.
void Watcher::forgetInheritedState() {
  if (run_ == nullptr || ownerPid_ == getpid()) return;
  close(run_->wakeFd);
  delete run_;
  run_ = nullptr;
  listeners_.clear();
}

WatchRun* Watcher::detachRunLocked() {
  WatchRun* run = run_;
  run_ = nullptr;
  if (run != nullptr) {
    run->stop = true;
    eventfd_write(run->wakeFd, 1);
  }
  return run;
}

void Watcher::finishRun(WatchRun* run) {
  if (run == nullptr) return;
  pthread_join(run->thread, nullptr);
  close(run->wakeFd);
  delete run;
}

int Watcher::add(VexPublishedIPNotifyHandler handler, const std::string& value, uint32_t* id) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  forgetInheritedState();
  if (run_ == nullptr) {
    auto* run = new WatchRun;
    run->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (run->wakeFd < 0) {
      delete run;
      return EAGAIN;
    }
    // Signals stay unblocked: a mask here would be inherited by any program
    // a handler starts.
    if (pthread_create(&run->thread, nullptr, &Watcher::threadMain, run) != 0) {
      close(run->wakeFd);
      delete run;
      return EAGAIN;
    }
    run_ = run;
    ownerPid_ = getpid();
    static bool atExitRegistered = false;
    if (!atExitRegistered) atExitRegistered = atexit(&Watcher::shutdownAtExit) == 0;
  }
  if (nextId_ == 0) nextId_ = 1;
  *id = nextId_++;
  listeners_.push_back({*id, handler, value});
  return 0;
}

int Watcher::remove(uint32_t id) {
  WatchRun* stopping = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    forgetInheritedState();
    auto it =
        std::find_if(listeners_.begin(), listeners_.end(), [id](const Listener& l) { return l.id == id; });
    if (it == listeners_.end()) return ENOENT;
    listeners_.erase(it);
    // From inside a handler the thread cannot join itself; it idles until
    // the next registration or process exit.
    if (listeners_.empty() && run_ != nullptr && !pthread_equal(run_->thread, pthread_self())) {
      stopping = detachRunLocked();
    }
  }
  finishRun(stopping);
  return 0;
}

void* Watcher::threadMain(void* arg) {
  watcher().watch(static_cast<WatchRun*>(arg));
  return nullptr;
}

void Watcher::watch(WatchRun* run) {
  int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  bool watching = inotifyFd >= 0 && inotify_add_watch(inotifyFd, applianceRoot().c_str(),
                                                      IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                                          IN_CREATE | IN_DELETE) >= 0;
  alignas(struct inotify_event) char events[kEventBufferSize];
  while (!run->stop) {
    struct pollfd fds[2] = {{run->wakeFd, POLLIN, 0}, {inotifyFd, POLLIN, 0}};
    int ready = poll(fds, watching ? 2 : 1, watching ? kFallbackRereadMs : kPollOnlyRereadMs);
    if (run->stop) break;
    bool registryTouched = ready == 0;
    if (ready > 0 && watching && (fds[1].revents & POLLIN) != 0) {
      ssize_t n;
      while ((n = read(inotifyFd, events, sizeof events)) > 0) {
        for (char* p = events; p < events + n;) {
          auto* event = reinterpret_cast<struct inotify_event*>(p);
          if (event->len > 0 && strcmp(event->name, kRegistryFileName) == 0) {
            registryTouched = true;
          }
          p += sizeof(struct inotify_event) + event->len;
        }
      }
    }
    if (registryTouched) notifyChanges();
  }
  if (inotifyFd >= 0) close(inotifyFd);
}

void Watcher::notifyChanges() {
  std::string value;
  int rc = registryReadValue(kPublishedIPKey, kPublishedIPValue, &value);
  if (rc == ENOENT)
    value.clear();
  else if (rc != 0)
    return;  // unreadable for now: keep the last value

  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<uint32_t> ids;
  for (const Listener& l : listeners_) ids.push_back(l.id);
  for (uint32_t id : ids) {
    // A handler may have freed other listeners meanwhile.
    auto it =
        std::find_if(listeners_.begin(), listeners_.end(), [id](const Listener& l) { return l.id == id; });
    if (it == listeners_.end() || it->lastValue == value) continue;
    std::string oldValue = it->lastValue;
    std::string newValue = value;
    it->lastValue = value;
    it->handler(0, 0, 0, 0, nullptr, oldValue.size(), &oldValue[0], newValue.size(), &newValue[0]);
  }
}

}  // namespace

}  // namespace platform

int VexGetDefaultPublishedIPStr(char* buffer, unsigned long bufferSize, VexPublishedIPNotifyHandler handler,
                                uint32_t* listenerId) {
  if (buffer == nullptr || bufferSize == 0 || (handler != nullptr && listenerId == nullptr)) {
    return EINVAL;
  }
  buffer[0] = '\0';
  std::string value;
  int rc = platform::registryReadValue(platform::kPublishedIPKey, platform::kPublishedIPValue, &value);
  if (rc != 0) return rc;
  if (value.size() >= bufferSize) return ERANGE;
  memcpy(buffer, value.c_str(), value.size() + 1);
  if (handler == nullptr) return 0;
  return platform::watcher().add(handler, value, listenerId);
}

int VexFreePublishedIPNotifyHandle(uint32_t* listenerId) {
  if (listenerId == nullptr) return EINVAL;
  int rc = platform::watcher().remove(*listenerId);
  if (rc == 0) *listenerId = 0;
  return rc;
}
