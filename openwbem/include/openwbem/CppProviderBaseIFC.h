// Base of every C++ provider, and the reference type through which the host
// holds a provider together with the library it came from.
#ifndef OPENWBEM_CPPPROVIDERBASEIFC_H
#define OPENWBEM_CPPPROVIDERBASEIFC_H

#include "openwbem/IntrusiveReference.h"
#include "openwbem/OWVersion.h"
#include "openwbem/ProviderEnvironmentIFC.h"
#include "openwbem/SharedLibraryReference.h"

namespace OpenWBEM {

class CppInstanceProviderIFC;
class CppMethodProviderIFC;
class CppAssociatorProviderIFC;

class CppProviderBaseIFC : public virtual IntrusiveCountableBase {
 public:
  ~CppProviderBaseIFC() override;
  // Called once by the host before the first request; does nothing by default.
  virtual void initialize(const ProviderEnvironmentIFCRef& env);
  // The provider's instance, method and associator interfaces, or 0 when it
  // does not offer one. The interface classes override these to return
  // themselves.
  virtual CppInstanceProviderIFC* getInstanceProvider();
  virtual CppMethodProviderIFC* getMethodProvider();
  virtual CppAssociatorProviderIFC* getAssociatorProvider();
};

typedef IntrusiveReference<CppProviderBaseIFC> CppProviderBaseIFCIntrusiveRef;
// Releases the provider before the library that holds its code.
typedef SharedLibraryReference<IntrusiveReference<CppProviderBaseIFC>> CppProviderBaseIFCRef;

}  // namespace OpenWBEM

// Defines the two entry points a provider library exports: getOWVersion()
// and createProvider<name>(), which returns a new prov.
#define OW_PROVIDERFACTORY(prov, name)                                                                       \
  extern "C" __attribute__((visibility("default"))) const char* getOWVersion();                              \
  extern "C" __attribute__((visibility("default"))) ::OpenWBEM::CppProviderBaseIFC* createProvider##name();  \
  extern "C" __attribute__((visibility("default"))) const char* getOWVersion() {                             \
    return OW_VERSION;                                                                                       \
  }                                                                                                          \
  extern "C" __attribute__((visibility("default"))) ::OpenWBEM::CppProviderBaseIFC* createProvider##name() { \
    return new prov;                                                                                         \
  }

#endif
