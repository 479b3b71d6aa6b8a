// A dlopen()ed shared library, closed when the last SharedLibraryRef to it
// goes away.
#ifndef OPENWBEM_SHAREDLIBRARY_H
#define OPENWBEM_SHAREDLIBRARY_H

#include "openwbem/IntrusiveReference.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class SharedLibrary;
typedef IntrusiveReference<SharedLibrary> SharedLibraryRef;

class SharedLibrary : public IntrusiveCountableBase {
 public:
  // Opens path with RTLD_NOW|RTLD_GLOBAL. Returns a null reference and fills
  // error with the loader's reason when the library cannot be loaded.
  static SharedLibraryRef open(const String& path, String& error);

  ~SharedLibrary() override;

  const String& getPath() const { return m_path; }

  // Looks up an exported symbol. Returns false (and leaves fp alone) when
  // the library does not export it.
  template <class FuncPtr>
  bool getFunctionPointer(const String& name, FuncPtr& fp) const {
    void* sym = getSymbol(name);
    if (!sym) return false;
    fp = reinterpret_cast<FuncPtr>(sym);
    return true;
  }

  // Address of an exported symbol, or 0.
  void* getSymbol(const String& name) const;

 private:
  SharedLibrary(void* handle, const String& path);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  void* m_handle;
  String m_path;
};

}  // namespace OpenWBEM

#endif
