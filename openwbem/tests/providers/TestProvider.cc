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

  void initialize(const ProviderEnvironmentIFCRef& env) override {
    m_greeting = env->getConfigItem("test.greeting", "none");
  }

  void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String&, const String&,
                         CIMObjectPathResultHandlerIFC&, const CIMClass&) override {}

  void enumInstances(const ProviderEnvironmentIFCRef&, const String&, const String&,
                     CIMInstanceResultHandlerIFC&, WBEMFlags::ELocalOnlyFlag, WBEMFlags::EDeepFlag,
                     WBEMFlags::EIncludeQualifiersFlag, WBEMFlags::EIncludeClassOriginFlag,
                     const StringArray*, const CIMClass&, const CIMClass&) override {}

  CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                          WBEMFlags::ELocalOnlyFlag, WBEMFlags::EIncludeQualifiersFlag,
                          WBEMFlags::EIncludeClassOriginFlag, const StringArray*, const CIMClass&) override {
    CIMInstance inst(path.getClassName());
    inst.setProperty("Greeting", CIMValue(m_greeting));
    return inst;
  }

 private:
  String m_greeting;
};

}  // namespace

// The library's entry points; each variant defines some of them.
OWTEST_EXPORT void owTestSetDestroyHook(void (*hook)());
OWTEST_EXPORT const char* getOWVersion();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestWrongVersion();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestNullFactory();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestThrowingFactory();
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestUnresolved();

OWTEST_EXPORT void owTestSetDestroyHook(void (*hook)()) {
  s_destroyHook = hook;
}

#if defined(OWTEST_GOOD)
OW_PROVIDERFACTORY(TestProvider, OwTestGood)
#elif defined(OWTEST_WRONG_VERSION)
OWTEST_EXPORT const char* getOWVersion() {
  return "3.0.2";
}
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestWrongVersion() {
  return new TestProvider;
}
#elif defined(OWTEST_NO_FACTORY)
OWTEST_EXPORT const char* getOWVersion() {
  return OW_VERSION;
}
#elif defined(OWTEST_NULL_FACTORY)
OWTEST_EXPORT const char* getOWVersion() {
  return OW_VERSION;
}
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestNullFactory() {
  return 0;
}
#elif defined(OWTEST_THROWING_FACTORY)
OWTEST_EXPORT const char* getOWVersion() {
  return OW_VERSION;
}
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestThrowingFactory() {
  throw std::runtime_error("no configuration");
}
#elif defined(OWTEST_UNRESOLVED)
OWTEST_EXPORT int owTestSymbolNobodyDefines();
OWTEST_EXPORT const char* getOWVersion() {
  return owTestSymbolNobodyDefines() ? OW_VERSION : "";
}
OWTEST_EXPORT CppProviderBaseIFC* createProviderOwTestUnresolved() {
  return new TestProvider;
}
#endif
