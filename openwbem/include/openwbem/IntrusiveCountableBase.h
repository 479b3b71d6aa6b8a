// Base class for objects owned through IntrusiveReference: the reference
// count lives in the object itself and is updated atomically.
#ifndef OPENWBEM_INTRUSIVECOUNTABLEBASE_H
#define OPENWBEM_INTRUSIVECOUNTABLEBASE_H

#include <atomic>

namespace OpenWBEM {

class IntrusiveCountableBase;
void IntrusiveReferenceAddRef(IntrusiveCountableBase* p);
void IntrusiveReferenceRelease(IntrusiveCountableBase* p);

class IntrusiveCountableBase {
 public:
  // A copy is a new object: it starts with no references.
  IntrusiveCountableBase(const IntrusiveCountableBase&) : m_count(0) {}
  IntrusiveCountableBase& operator=(const IntrusiveCountableBase&) { return *this; }

  // Number of IntrusiveReferences currently holding the object.
  int getRefCount() const { return m_count.load(std::memory_order_acquire); }

 protected:
  IntrusiveCountableBase() : m_count(0) {}
  virtual ~IntrusiveCountableBase();

 private:
  std::atomic<int> m_count;

  friend void IntrusiveReferenceAddRef(IntrusiveCountableBase* p);
  friend void IntrusiveReferenceRelease(IntrusiveCountableBase* p);
};

inline void IntrusiveReferenceAddRef(IntrusiveCountableBase* p) {
  p->m_count.fetch_add(1, std::memory_order_relaxed);
}

// Deletes the object when the last reference goes.
inline void IntrusiveReferenceRelease(IntrusiveCountableBase* p) {
  if (p->m_count.fetch_sub(1, std::memory_order_acq_rel) == 1) delete p;
}

}  // namespace OpenWBEM

#endif
