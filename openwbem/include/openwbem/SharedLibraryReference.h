// Pairs an object reference (T is a reference type such as
// IntrusiveReference<X>) with the shared library its code lives in. The
// object is released before the library, so the library is never unloaded
// under a live object. A null library reference is allowed for objects whose
// code is linked in.
#ifndef OPENWBEM_SHAREDLIBRARYREFERENCE_H
#define OPENWBEM_SHAREDLIBRARYREFERENCE_H

#include "openwbem/SharedLibrary.h"

namespace OpenWBEM {

template <class T>
class SharedLibraryReference {
 public:
  typedef T ref_type;
  typedef typename T::element_type element_type;

  SharedLibraryReference() = default;
  SharedLibraryReference(const SharedLibraryRef& lib, const T& obj) : m_lib(lib), m_obj(obj) {}
  SharedLibraryReference(const SharedLibraryRef& lib, element_type* obj) : m_lib(lib), m_obj(obj) {}
  SharedLibraryReference(const SharedLibraryReference& r) = default;
  // Upcast from a reference to a derived class.
  template <class U>
  SharedLibraryReference(const SharedLibraryReference<U>& r) : m_lib(r.getLibRef()), m_obj(r.get()) {}

  ~SharedLibraryReference() { setNull(); }

  SharedLibraryReference& operator=(const SharedLibraryReference& r) {
    if (this != &r) {
      // Take the new pair before dropping the old one, object first.
      SharedLibraryRef lib(r.m_lib);
      T obj(r.m_obj);
      setNull();
      m_lib = lib;
      m_obj = obj;
    }
    return *this;
  }

  const SharedLibraryRef& getLibRef() const { return m_lib; }
  const T& getReference() const { return m_obj; }
  element_type* get() const { return m_obj.get(); }
  element_type* operator->() const { return m_obj.get(); }
  element_type& operator*() const { return *m_obj; }
  explicit operator bool() const { return static_cast<bool>(m_obj); }
  bool operator!() const { return !m_obj; }
  bool isNull() const { return !m_obj; }

  // Releases the object, then the library.
  void setNull() {
    m_obj = T();
    m_lib = SharedLibraryRef();
  }

 private:
  SharedLibraryRef m_lib;
  T m_obj;
};

}  // namespace OpenWBEM

#endif
