// Smart pointer to an IntrusiveCountableBase-derived object. Copies share the
// object; the last reference deletes it. A default reference is null.
#ifndef OPENWBEM_INTRUSIVEREFERENCE_H
#define OPENWBEM_INTRUSIVEREFERENCE_H

#include "openwbem/IntrusiveCountableBase.h"

#include <cstddef>
#include <utility>

namespace OpenWBEM {

template <class T>
class IntrusiveReference {
 public:
  typedef T element_type;

  IntrusiveReference() : m_p(0) {}
  // Takes a reference to p (which may be 0 or nullptr).
  IntrusiveReference(T* p) : m_p(p) {
    if (m_p) IntrusiveReferenceAddRef(m_p);
  }
  IntrusiveReference(const IntrusiveReference& r) : m_p(r.m_p) {
    if (m_p) IntrusiveReferenceAddRef(m_p);
  }
  IntrusiveReference(IntrusiveReference&& r) noexcept : m_p(r.m_p) { r.m_p = 0; }
  // Implicit upcast from a reference to a derived class.
  template <class U>
  IntrusiveReference(const IntrusiveReference<U>& r) : m_p(r.get()) {
    if (m_p) IntrusiveReferenceAddRef(m_p);
  }
  ~IntrusiveReference() {
    if (m_p) IntrusiveReferenceRelease(m_p);
  }

  IntrusiveReference& operator=(const IntrusiveReference& r) {
    IntrusiveReference(r).swap(*this);
    return *this;
  }
  IntrusiveReference& operator=(IntrusiveReference&& r) noexcept {
    IntrusiveReference(std::move(r)).swap(*this);
    return *this;
  }
  IntrusiveReference& operator=(T* p) {
    IntrusiveReference(p).swap(*this);
    return *this;
  }

  T* get() const { return m_p; }
  T& operator*() const { return *m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != 0; }
  bool operator!() const { return m_p == 0; }
  bool isNull() const { return m_p == 0; }
  void setNull() { IntrusiveReference().swap(*this); }
  void swap(IntrusiveReference& r) noexcept { std::swap(m_p, r.m_p); }

  // dynamic_cast to another class of the same object; null when it is not one.
  template <class U>
  IntrusiveReference<U> cast_to() const {
    return IntrusiveReference<U>(dynamic_cast<U*>(m_p));
  }

 private:
  T* m_p;
};

template <class T, class U>
inline bool operator==(const IntrusiveReference<T>& a, const IntrusiveReference<U>& b) {
  return a.get() == b.get();
}
template <class T, class U>
inline bool operator!=(const IntrusiveReference<T>& a, const IntrusiveReference<U>& b) {
  return a.get() != b.get();
}

}  // namespace OpenWBEM

#endif
