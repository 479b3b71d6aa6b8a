// Tiny provider libraries for the loader tests. One source, built once per
// variant: OWTEST_GOOD (a working provider), OWTEST_WRONG_VERSION,
// OWTEST_NO_FACTORY, OWTEST_NULL_FACTORY, OWTEST_THROWING_FACTORY and
// OWTEST_UNRESOLVED (needs a symbol nobody defines).
#include "openwbem/CIMException.h"
#include "openwbem/CppInstanceProviderIFC.h"

#include <stdexcept>

#define OWTEST_EXPORT extern "C" __attribute__((visibility("default")))

using namespace OpenWBEM;

namespace {

void (*s_destroyHook)() = 0;

class TestProvider : public CppInstanceProviderIFC {
 public:
  ~TestProvider() override {
    if (s_destroyHook) s_destroyHook();
  }

  void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String&, const String&,
                         CIMObjectPathResultHandlerIFC&, const CIMClass&) override {}

  void enumInstances(const ProviderEnvironmentIFCRef&, const String&, const String&,
                     CIMInstanceResultHandlerIFC&, WBEMFlags::ELocalOnlyFlag, WBEMFlags::EDeepFlag,
                     WBEMFlags::EIncludeQualifiersFlag, WBEMFlags::EIncludeClassOriginFlag,
                     const StringArray*, const CIMClass&, const CIMClass&) override {}

  CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath&,
                          WBEMFlags::ELocalOnlyFlag, WBEMFlags::EIncludeQualifiersFlag,
                          WBEMFlags::EIncludeClassOriginFlag, const StringArray*, const CIMClass&) override {
    return CIMInstance();
  }
};

}  // namespace

// The library's entry points; each variant defines some of them.
OWTEST_EXPORT void owTestSetDestroyHook(void (*hook)());
OWTEST_EXPORT const char* getOWVersion();
OWTEST_EXPORT int owTestSymbolNobodyDefines();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestNullFactory();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestThrowingFactory();

OWTEST_EXPORT void owTestSetDestroyHook(void (*hook)()) {
  s_destroyHook = hook;
}

#if defined(OWTEST_GOOD)
OW_PROVIDERFACTORY(TestProvider, OwTestGood)
#else
// Every other variant fails one check of the loader.
OWTEST_EXPORT const char* getOWVersion() {
#if defined(OWTEST_WRONG_VERSION)
  return "3.0.2";
#elif defined(OWTEST_UNRESOLVED)
  return owTestSymbolNobodyDefines() ? OW_VERSION : "";
#else
  return OW_VERSION;
#endif
}
#endif

#if defined(OWTEST_NULL_FACTORY)
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestNullFactory() {
  return 0;
}
#elif defined(OWTEST_THROWING_FACTORY)
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestThrowingFactory() {
  throw std::runtime_error("no configuration");
}
#endif
