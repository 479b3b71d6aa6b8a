// Provider loading: name and version rules, every failure giving a null
// reference, and the provider released before its library.
#include "openwbem/CppProviderIFC.h"
#include "openwbem/CIMException.h"
#include "openwbem/CppInstanceProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>
#include <fstream>
#include <mutex>
#include <vector>

using namespace OpenWBEM;

namespace {

String providerPath(const char* id) {
  return String(OWTEST_PROVIDER_DIR "/lib") + id + ".so";
}

// Keeps every message, whatever its level.
class RecordingLogger : public Logger {
 public:
  RecordingLogger() : Logger(E_ALL_LEVEL) {}
  std::vector<std::string> errors() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
  }

 protected:
  void doLogMessage(ELogLevel level, const String& msg) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (level <= E_ERROR_LEVEL) m_errors.push_back(msg.toStdString());
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_errors;
};

class TestEnvironment : public ProviderEnvironmentIFC {
 public:
  using ProviderEnvironmentIFC::getLogger;
  explicit TestEnvironment(const LoggerRef& logger) : m_logger(logger) {}
  LoggerRef getLogger() const override { return m_logger; }
  String getConfigItem(const String& name, const String& defRetVal) const override {
    return name.equals("test.greeting") ? String("hello") : defRetVal;
  }

 private:
  LoggerRef m_logger;
};

class PathCollector : public CIMObjectPathResultHandlerIFC {
 public:
  std::vector<CIMObjectPath> paths;

 protected:
  void doHandle(const CIMObjectPath& p) override { paths.push_back(p); }
};

bool libraryLoaded(const String& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) return false;
  dlclose(h);
  return true;
}

String s_watchedPath;
int s_destroyed = 0;
bool s_loadedAtDestroy = false;

void onProviderDestroyed() {
  ++s_destroyed;
  s_loadedAtDestroy = libraryLoaded(s_watchedPath);
}

class CppProviderIFCTest : public ::testing::Test {
 protected:
  IntrusiveReference<RecordingLogger> m_logger{new RecordingLogger};

  // Loads path, expects failure, and returns the one error line logged.
  std::string expectFailure(const String& path) {
    CppProviderBaseIFCRef ref = CppProviderIFC::loadProvider(path, LoggerRef(m_logger));
    EXPECT_TRUE(ref.isNull());
    EXPECT_TRUE(ref.getLibRef().isNull());
    std::vector<std::string> errors = m_logger->errors();
    EXPECT_EQ(1u, errors.size());
    return errors.empty() ? std::string() : errors.back();
  }
};

}  // namespace

TEST_F(CppProviderIFCTest, LoadsAndServesGoodProvider) {
  CppProviderBaseIFCRef ref = CppProviderIFC::loadProvider(providerPath("OwTestGood"), LoggerRef(m_logger));
  ASSERT_FALSE(ref.isNull());
  EXPECT_TRUE(m_logger->errors().empty());
  EXPECT_EQ(providerPath("OwTestGood"), ref.getLibRef()->getPath());

  ProviderEnvironmentIFCRef env(new TestEnvironment(LoggerRef(m_logger)));
  ref->initialize(env);
  CppInstanceProviderIFC* inst = ref->getInstanceProvider();
  CppMethodProviderIFC* meth = ref->getMethodProvider();
  ASSERT_NE(nullptr, inst);
  ASSERT_NE(nullptr, meth);
  EXPECT_EQ(nullptr, ref->getAssociatorProvider());

  PathCollector names;
  inst->enumInstanceNames(env, "root/cimv2", "ZPX_Test", names, CIMClass());
  ASSERT_EQ(2u, names.paths.size());
  EXPECT_EQ(CIMValue("2"), names.paths[1].getKeyValue("InstanceID"));
  CIMInstance got =
      inst->getInstance(env, "root/cimv2", names.paths[0], WBEMFlags::E_NOT_LOCAL_ONLY,
                        WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass());
  EXPECT_EQ(CIMValue("hello"), got.getPropertyValue("Greeting"));
  // Write operations the provider does not override are refused cleanly.
  try {
    inst->deleteInstance(env, "root/cimv2", names.paths[0]);
    FAIL() << "no exception";
  } catch (const CIMException& e) {
    EXPECT_EQ(CIMException::NOT_SUPPORTED, e.getErrNo());
  }

  CIMParamValueArray in, out;
  EXPECT_EQ(CIMValue(UInt16(0)),
            meth->invokeMethod(env, "root/cimv2", names.paths[0], "renewDynamicIPAddress", in, out));
}

TEST_F(CppProviderIFCTest, ReleasesProviderBeforeLibrary) {
  s_watchedPath = providerPath("OwTestGood");
  s_destroyed = 0;
  s_loadedAtDestroy = false;
  ASSERT_FALSE(libraryLoaded(s_watchedPath));
  {
    CppProviderBaseIFCRef ref = CppProviderIFC::loadProvider(s_watchedPath, LoggerRef(m_logger));
    ASSERT_FALSE(ref.isNull());
    void (*setHook)(void (*)()) = 0;
    ASSERT_TRUE(ref.getLibRef()->getFunctionPointer("owTestSetDestroyHook", setHook));
    setHook(&onProviderDestroyed);
    CppProviderBaseIFCRef copy = ref;
    CppProviderBaseIFCRef assigned;
    assigned = copy;
    ref.setNull();
    copy.setNull();
    EXPECT_EQ(0, s_destroyed);
    EXPECT_TRUE(libraryLoaded(s_watchedPath));
  }
  EXPECT_EQ(1, s_destroyed);
  EXPECT_TRUE(s_loadedAtDestroy);
  EXPECT_FALSE(libraryLoaded(s_watchedPath));
}

TEST_F(CppProviderIFCTest, VersionMustMatchExactly) {
  std::string err = expectFailure(providerPath("OwTestWrongVersion"));
  EXPECT_NE(std::string::npos, err.find("\"3.0.2\""));
  EXPECT_NE(std::string::npos, err.find("\"3.0.3\""));
}

TEST_F(CppProviderIFCTest, FactoryNamedAfterFile) {
  EXPECT_NE(std::string::npos,
            expectFailure(providerPath("OwTestNoFactory")).find("createProviderOwTestNoFactory"));

  // The same good library under another name looks for another factory.
  m_logger = new RecordingLogger;
  char dir[] = "/tmp/owloader_test.XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  std::string renamed = std::string(dir) + "/libRenamed.so";
  {
    std::ifstream src(providerPath("OwTestGood").c_str(), std::ios::binary);
    std::ofstream dst(renamed, std::ios::binary);
    dst << src.rdbuf();
  }
  std::string err = expectFailure(renamed.c_str());
  unlink(renamed.c_str());
  rmdir(dir);
  EXPECT_NE(std::string::npos, err.find("createProviderRenamed"));
}

TEST_F(CppProviderIFCTest, BrokenLibrariesGiveNullReference) {
  EXPECT_NE(std::string::npos, expectFailure(providerPath("OwTestNullFactory")).find("returned no provider"));
  m_logger = new RecordingLogger;
  EXPECT_NE(std::string::npos, expectFailure(providerPath("OwTestThrowingFactory")).find("no configuration"));
  m_logger = new RecordingLogger;
  EXPECT_NE(std::string::npos,
            expectFailure(providerPath("OwTestUnresolved")).find("owTestSymbolNobodyDefines"));
  m_logger = new RecordingLogger;
  EXPECT_NE(std::string::npos, expectFailure("/pq/lib/remoteprovider/libMissing.so").find("libMissing.so"));
  m_logger = new RecordingLogger;
  expectFailure("/tmp/lib.so");
}

TEST_F(CppProviderIFCTest, NullLoggerIsAllowed) {
  EXPECT_TRUE(CppProviderIFC::loadProvider("/nonexistent/libX.so", LoggerRef()).isNull());
  EXPECT_TRUE(CppProviderIFC::loadProvider(providerPath("OwTestWrongVersion"), LoggerRef()).isNull());
}
