#include "openwbem/CppProviderIFC.h"

#include "openwbem/OWVersion.h"
#include "openwbem/SharedLibrary.h"

#include <cstring>
#include <exception>

namespace OpenWBEM {

namespace {

typedef const char* (*VersionFunc)();
typedef CppProviderBaseIFC* (*FactoryFunc)();

void logFailure(const LoggerRef& logger, const String& libPath, const String& why) {
  if (logger) logger->logError("CppProviderIFC: cannot load provider library " + libPath + ": " + why);
}

// Provider id: the file name without its first three characters ("lib")
// and without ".so": "/dir/libTavrel.so" -> "Tavrel". Empty when nothing is
// left.
String providerId(const String& libPath) {
  std::size_t slash = libPath.lastIndexOf('/');
  String base = slash == String::npos ? libPath : libPath.substring(slash + 1);
  if (base.endsWith(".so")) base = base.substring(0, base.length() - 3);
  return base.substring(3);
}

}  // namespace

CppProviderBaseIFCRef CppProviderIFC::loadProvider(const String& libPath, const LoggerRef& logger) {
  String id = providerId(libPath);
  if (id.empty()) {
    logFailure(logger, libPath, "its file name holds no provider id (lib<id>.so)");
    return CppProviderBaseIFCRef();
  }

  String error;
  SharedLibraryRef lib = SharedLibrary::open(libPath, error);
  if (!lib) {
    logFailure(logger, libPath, error);
    return CppProviderBaseIFCRef();
  }

  VersionFunc versionFunc = 0;
  if (!lib->getFunctionPointer("getOWVersion", versionFunc)) {
    logFailure(logger, libPath, "it does not export getOWVersion()");
    return CppProviderBaseIFCRef();
  }
  const char* version = versionFunc();
  if (!version || std::strcmp(version, OW_VERSION) != 0) {
    logFailure(logger, libPath,
               String("it was built for provider interface version \"") + (version ? version : "(none)") +
                   "\", this host implements \"" OW_VERSION "\"");
    return CppProviderBaseIFCRef();
  }

  String factoryName = "createProvider" + id;
  FactoryFunc factory = 0;
  if (!lib->getFunctionPointer(factoryName, factory)) {
    logFailure(logger, libPath, "it does not export " + factoryName + "()");
    return CppProviderBaseIFCRef();
  }

  CppProviderBaseIFC* provider = 0;
  try {
    provider = factory();
  } catch (const std::exception& e) {
    logFailure(logger, libPath, factoryName + "() threw: " + e.what());
    return CppProviderBaseIFCRef();
  } catch (...) {
    logFailure(logger, libPath, factoryName + "() threw an unknown exception");
    return CppProviderBaseIFCRef();
  }
  if (!provider) {
    logFailure(logger, libPath, factoryName + "() returned no provider");
    return CppProviderBaseIFCRef();
  }
  if (logger) logger->logDebug("CppProviderIFC: loaded provider " + id + " from " + libPath);
  return CppProviderBaseIFCRef(lib, IntrusiveReference<CppProviderBaseIFC>(provider));
}

}  // namespace OpenWBEM
