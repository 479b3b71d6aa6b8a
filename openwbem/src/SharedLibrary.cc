#include "openwbem/SharedLibrary.h"

#include <dlfcn.h>
#include <mutex>

namespace OpenWBEM {

namespace {

// dlerror() keeps one message per thread, but loading and lookup must read
// the message that belongs to their own call; one lock keeps them paired.
std::mutex s_dlMutex;

}  // namespace

SharedLibraryRef SharedLibrary::open(const String& path, String& error) {
  std::lock_guard<std::mutex> lock(s_dlMutex);
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : "dlopen failed";
    return SharedLibraryRef();
  }
  return SharedLibraryRef(new SharedLibrary(handle, path));
}

SharedLibrary::SharedLibrary(void* handle, const String& path) : m_handle(handle), m_path(path) {}

SharedLibrary::~SharedLibrary() {
  std::lock_guard<std::mutex> lock(s_dlMutex);
  dlclose(m_handle);
}

void* SharedLibrary::getSymbol(const String& name) const {
  std::lock_guard<std::mutex> lock(s_dlMutex);
  return dlsym(m_handle, name.c_str());
}

}  // namespace OpenWBEM
