// Lock shared by a provider agent and its host: every provider call of the
// agent runs between lock() and unlock(), and the host takes the same lock
// around its own work on the data the providers serve.
#ifndef OPENWBEM_PROVIDERAGENTLOCKERIFC_H
#define OPENWBEM_PROVIDERAGENTLOCKERIFC_H

#include "openwbem/IntrusiveReference.h"

#include <mutex>

namespace OpenWBEM {

class ProviderAgentLockerIFC : public virtual IntrusiveCountableBase {
 public:
  ~ProviderAgentLockerIFC() override;
  void lock() { doLock(); }
  void unlock() { doUnlock(); }

 protected:
  virtual void doLock() = 0;
  virtual void doUnlock() = 0;
};

typedef IntrusiveReference<ProviderAgentLockerIFC> ProviderAgentLockerIFCRef;

// A locker over one process-local mutex (not recursive).
class ProviderAgentMutexLocker : public ProviderAgentLockerIFC {
 protected:
  void doLock() override { m_mutex.lock(); }
  void doUnlock() override { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

}  // namespace OpenWBEM

#endif
