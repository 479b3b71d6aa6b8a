// Service framework of libVexShared: a stop request arrives as SIGTERM or
// SIGINT and is passed to the service's stop callback.
#include <errno.h>
#include <signal.h>

#include <atomic>
#include <mutex>

#include "VexShared.h"

namespace platform {

namespace {

std::mutex g_serviceMutex;
bool g_started = false;
struct sigaction g_previousTerm;
struct sigaction g_previousInt;
// Read in the signal handler: lock-free atomics are async-signal-safe.
std::atomic<VexServiceStopCallback> g_stopCallback{nullptr};
std::atomic<bool> g_stopDelivered{false};

void onStopSignal(int sig) {
  if (!g_stopDelivered.exchange(true)) {
    VexServiceStopCallback callback = g_stopCallback.load();
    if (callback != nullptr) callback(0);
    return;
  }
  // A second request while the service is still stopping: end the process
  // the ordinary way (the signal is blocked until this handler returns).
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

}  // namespace platform

int VexServiceStartService(const char* serviceName, int /*reserved1*/, int /*reserved2*/,
                           VexServiceStopCallback stopCallback, int /*flags*/) {
  using namespace platform;
  if (serviceName == nullptr || *serviceName == '\0' || stopCallback == nullptr) return EINVAL;
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  if (g_started) return EBUSY;
  static_assert(std::atomic<VexServiceStopCallback>::is_always_lock_free,
                "the signal handler needs a lock-free callback pointer");
  g_stopCallback = stopCallback;
  g_stopDelivered = false;

  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGINT);
  if (sigaction(SIGTERM, &action, &g_previousTerm) != 0) return EIO;
  if (sigaction(SIGINT, &action, &g_previousInt) != 0) {
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    return EIO;
  }
  g_started = true;
  return 0;
}

int VexServiceStopService(void) {
  using namespace platform;
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  if (!g_started) return 0;
  sigaction(SIGTERM, &g_previousTerm, nullptr);
  sigaction(SIGINT, &g_previousInt, nullptr);
  g_stopCallback = nullptr;
  g_started = false;
  return 0;
}
