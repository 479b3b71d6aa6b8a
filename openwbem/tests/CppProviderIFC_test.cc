// Provider loading: name and version rules, every failure giving a null
// reference and one error line, and the provider released before its library.
#include "openwbem/CppProviderIFC.h"
#include "openwbem/CIMException.h"
#include "openwbem/CppInstanceProviderIFC.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <vector>

using namespace OpenWBEM;

namespace {

std::string providerPath(const char* id) {
  return std::string(OWTEST_PROVIDER_DIR "/lib") + id + ".so";
}

class RecordingLogger : public Logger {
 public:
  RecordingLogger() : Logger(E_ALL_LEVEL) {}
  std::vector<std::string> errors;

 protected:
  void doLogMessage(ELogLevel level, const String& msg) override {
    if (level <= E_ERROR_LEVEL) errors.push_back(msg.toStdString());
  }
};

bool libraryLoaded(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

int s_destroyed = 0;
bool s_loadedAtDestroy = false;

}  // namespace

TEST(CppProviderIFCTest, LoadsServesAndReleasesProviderBeforeLibrary) {
  IntrusiveReference<RecordingLogger> logger(new RecordingLogger);
  ASSERT_FALSE(libraryLoaded(providerPath("OwTestGood")));
  {
    CppProviderBaseIFCRef ref =
        CppProviderIFC::loadProvider(String(providerPath("OwTestGood")), LoggerRef(logger));
    ASSERT_FALSE(ref.isNull());
    EXPECT_TRUE(logger->errors.empty());
    void (*setHook)(void (*)()) = 0;
    ASSERT_TRUE(ref.getLibRef()->getFunctionPointer("owTestSetDestroyHook", setHook));
    setHook([] {
      ++s_destroyed;
      s_loadedAtDestroy = libraryLoaded(providerPath("OwTestGood"));
    });
    CppInstanceProviderIFC* inst = ref->getInstanceProvider();
    ASSERT_NE(nullptr, inst);
    EXPECT_EQ(nullptr, ref->getMethodProvider());
    // Write operations the provider does not override are refused cleanly.
    try {
      inst->deleteInstance(ProviderEnvironmentIFCRef(), "root/cimv2",
                           CIMObjectPath("ZPX_Test", "root/cimv2"));
      ADD_FAILURE() << "no exception";
    } catch (const CIMException& e) {
      EXPECT_EQ(CIMException::NOT_SUPPORTED, e.getErrNo());
    }
    CppProviderBaseIFCRef copy = ref;
    ref.setNull();
    EXPECT_EQ(0, s_destroyed);
  }
  EXPECT_EQ(1, s_destroyed);
  EXPECT_TRUE(s_loadedAtDestroy);
  EXPECT_FALSE(libraryLoaded(providerPath("OwTestGood")));
}

TEST(CppProviderIFCTest, EveryFailureGivesNullAndOneErrorLine) {
  struct {
    std::string path;
    std::vector<const char*> inError;
  } cases[] = {
      {providerPath("OwTestWrongVersion"), {"\"3.0.2\"", "\"3.0.3\""}},
      // The factory's name follows the file's name.
      {providerPath("OwTestNoFactory"), {"createProviderOwTestNoFactory"}},
      {providerPath("OwTestNullFactory"), {"returned no provider"}},
      {providerPath("OwTestThrowingFactory"), {"no configuration"}},
      {providerPath("OwTestUnresolved"), {"owTestSymbolNobodyDefines"}},
      {"/pq/lib/remoteprovider/libMissing.so", {"libMissing.so"}},
      {"/tmp/lib.so", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    IntrusiveReference<RecordingLogger> logger(new RecordingLogger);
    CppProviderBaseIFCRef ref = CppProviderIFC::loadProvider(String(c.path), LoggerRef(logger));
    EXPECT_TRUE(ref.isNull());
    EXPECT_TRUE(ref.getLibRef().isNull());
    ASSERT_EQ(1u, logger->errors.size());
    for (const char* part : c.inError) EXPECT_NE(std::string::npos, logger->errors[0].find(part)) << part;
    // Without a logger too.
    EXPECT_TRUE(CppProviderIFC::loadProvider(String(c.path), LoggerRef()).isNull());
  }
}
