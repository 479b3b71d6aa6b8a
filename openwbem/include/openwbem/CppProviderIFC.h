// Loader of C++ provider libraries.
#ifndef OPENWBEM_CPPPROVIDERIFC_H
#define OPENWBEM_CPPPROVIDERIFC_H

#include "openwbem/CppProviderBaseIFC.h"
#include "openwbem/Logger.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class CppProviderIFC {
 public:
  // Loads the provider library libPath (dlopen RTLD_NOW|RTLD_GLOBAL). The
  // provider id is the file name without its first three characters
  // ("lib") and without ".so": "/x/libTavrel.so" gives "Tavrel". The
  // library must export getOWVersion() returning exactly OW_VERSION and
  // createProvider<id>(), which is called once. Any failure (no such file,
  // unresolved symbols, a missing entry point, another version, a factory
  // that returns 0 or throws) is logged at error level through logger (when
  // not null) and gives a null reference.
  static CppProviderBaseIFCRef loadProvider(const String& libPath, const LoggerRef& logger);
};

}  // namespace OpenWBEM

#endif
