// Named system-wide semaphores of libtorvo: one SysV semaphore per name,
// taken with SEM_UNDO so that the kernel releases it for a process that
// dies holding it.
#include <errno.h>
#include <limits.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "appliance_files.h"
#include "torvo.h"

namespace platform {

namespace {

const int kPermissions = 0600;
// How long an opener waits for the creator to set the initial count.
const int kInitWaitSteps = 100;
const useconds_t kInitWaitStepUs = 10000;

// The caller defines semctl's argument (semctl(2)).
union semun {
  int val;
  struct semid_ds* buf;
  unsigned short* array;
};

// The key depends on the appliance root as well, so that tests with their
// own root never share a semaphore with the appliance or with each other.
key_t semaphoreKey(const char* name) {
  std::string text = applianceRoot();
  text += '\0';
  text += name;
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  key_t key = static_cast<key_t>(hash & 0x7fffffff);
  return key == IPC_PRIVATE ? 1 : key;
}

// A set is initialised once semop has run on it (sem_otime set).
bool isInitialised(int semId) {
  struct semid_ds info;
  union semun arg;
  arg.buf = &info;
  return semctl(semId, 0, IPC_STAT, arg) == 0 && info.sem_otime != 0;
}

int semaphoreId(uint32_t id, int* semId) {
  if (id > static_cast<uint32_t>(INT_MAX)) return EINVAL;
  *semId = static_cast<int>(id);
  return 0;
}

long remainingMs(const struct timespec& deadline) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (deadline.tv_sec - now.tv_sec) * 1000 + (deadline.tv_nsec - now.tv_nsec) / 1000000;
}

}  // namespace

}  // namespace platform

int osCreateSemaphore(const char* name, int /*flags*/, uint32_t* id) {
  using namespace platform;
  if (name == nullptr || *name == '\0' || id == nullptr) return EINVAL;
  key_t key = semaphoreKey(name);
  int semId = semget(key, 1, IPC_CREAT | IPC_EXCL | kPermissions);
  if (semId >= 0) {
    // Initial count 1 through semop (not SETVAL), which marks the set as
    // initialised for concurrent openers.
    struct sembuf post = {0, 1, 0};
    if (semop(semId, &post, 1) != 0) {
      int error = errno;
      semctl(semId, 0, IPC_RMID);
      return error;
    }
  } else {
    if (errno != EEXIST) return errno;
    semId = semget(key, 1, 0);
    if (semId < 0) return errno;
    int step = 0;
    while (!isInitialised(semId) && step++ < kInitWaitSteps) usleep(kInitWaitStepUs);
    if (!isInitialised(semId)) {
      // Its creator died before initialising it.
      struct sembuf post = {0, 1, 0};
      if (semop(semId, &post, 1) != 0) return errno;
    }
  }
  *id = static_cast<uint32_t>(semId);
  return 0;
}

int osGetSemaphoreId(const char* name, uint32_t* id) {
  using namespace platform;
  if (name == nullptr || *name == '\0' || id == nullptr) return EINVAL;
  int semId = semget(semaphoreKey(name), 1, 0);
  if (semId < 0) return errno;
  *id = static_cast<uint32_t>(semId);
  return 0;
}

int osRequestSemaphore(uint32_t id, int timeoutMs) {
  using namespace platform;
  int semId;
  int rc = semaphoreId(id, &semId);
  if (rc != 0) return rc;
  struct sembuf take = {0, -1, SEM_UNDO};
  if (timeoutMs < 0) {
    while (semop(semId, &take, 1) != 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }
  struct timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += (timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  for (;;) {
    long left = remainingMs(deadline);
    if (left < 0) left = 0;
    struct timespec wait = {left / 1000, (left % 1000) * 1000000L};
    if (semtimedop(semId, &take, 1, &wait) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

int osReleaseSemaphore(uint32_t id) {
  using namespace platform;
  int semId;
  int rc = semaphoreId(id, &semId);
  if (rc != 0) return rc;
  // Both operations apply atomically: the count is raised only while it is
  // 0, so releasing a semaphore that is not held cannot let two holders in.
  struct sembuf release[2] = {{0, 0, IPC_NOWAIT}, {0, 1, SEM_UNDO}};
  if (semop(semId, release, 2) == 0) return 0;
  return errno == EAGAIN ? EPERM : errno;
}

int osDeleteSemaphore(uint32_t id) {
  using namespace platform;
  int semId;
  int rc = semaphoreId(id, &semId);
  if (rc != 0) return rc;
  return semctl(semId, 0, IPC_RMID) == 0 ? 0 : errno;
}
