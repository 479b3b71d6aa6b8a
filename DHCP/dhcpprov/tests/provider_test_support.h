// Helpers of libTavrel's unit tests: CIM errors as values, result handlers
// that keep what they are given, and a fixture over one class provider.
#ifndef TAVREL_DHCPPROV_TESTS_PROVIDER_TEST_SUPPORT_H
#define TAVREL_DHCPPROV_TESTS_PROVIDER_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent_stand_ins.h"
#include "model/records.h"
#include "model_test_support.h"
#include "openwbem/CIMException.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/ProviderEnvironmentIFC.h"
#include "openwbem/ResultHandlerIFC.h"

namespace provider_test {

using OpenWBEM::CIMException;
using OpenWBEM::CIMInstance;
using OpenWBEM::CIMValue;
typedef std::vector<std::string> Ids;

const char kNs[] = "root/cimv2";

// The CIM error f raised, or status SUCCESS with "no error".
template <typename F>
OpenWBEM::CIMException cimErrorOf(F f) {
  try {
    f();
  } catch (const OpenWBEM::CIMException& e) {
    return e;
  }
  return OpenWBEM::CIMException(__FILE__, __LINE__, OpenWBEM::CIMException::SUCCESS, "no error");
}

// Whether e carries that status and message; both are shown when not.
inline ::testing::AssertionResult isCimError(const CIMException& e, CIMException::ErrNoType status,
                                             const std::string& message) {
  if (e.getErrNo() == status && message == e.getMessage()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "status " << e.getErrNo() << ", message \"" << e.getMessage() << "\"";
}

inline std::string text(const OpenWBEM::CIMInstance& instance, const char* property) {
  return instance.getPropertyValue(property).toString().toStdString();
}

// Keeps what a result handler is given, in order.
template <class T>
class Collect : public OpenWBEM::ResultHandlerIFC<T> {
 public:
  std::vector<T> items;

 protected:
  void doHandle(const T& item) override { items.push_back(item); }
};

// The path of the object with that InstanceID.
inline OpenWBEM::CIMObjectPath pathOf(const char* className, const std::string& id) {
  OpenWBEM::CIMObjectPath path(className, kNs);
  path.setKeyValue("InstanceID", OpenWBEM::CIMValue(id.c_str()));
  return path;
}

// The provider P of class C (keyed by InstanceID) over fresh records with
// the customer LAN at 192.168.1.1/24 and VLAN 5 at 10.5.0.1/16, its instance
// operations called as the umbrella provider calls them. The objects a test
// made are deleted after it, and the manager the provider installed.
template <class P, class C>
class ProviderTest : public ::testing::Test {
 protected:
  ProviderTest(P& provider, const char* className) : m_provider(provider), m_className(className) {}

  void SetUp() override {
    model_test::resetModel({5});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    model_test::setInterface(&VLANIpConfig[0], "10.5.0.1", "255.255.0.0");
    m_provider.initialize(m_env);
  }
  void TearDown() override {
    g_commitResult = 0;
    model_test::deleteObjects();
    delete C::getInstanceManager();
    C::ClearInstanceManager();
  }

  OpenWBEM::CIMInstance get(const std::string& id) {
    return m_provider.getInstance(m_env, kNs, pathOf(m_className, id), OpenWBEM::WBEMFlags::E_NOT_LOCAL_ONLY,
                                  OpenWBEM::WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                  OpenWBEM::WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr, OpenWBEM::CIMClass());
  }
  OpenWBEM::CIMObjectPath create(const OpenWBEM::CIMInstance& instance) {
    return m_provider.createInstance(m_env, kNs, instance);
  }
  // Applies instance to the object of that id.
  void modify(const std::string& id, OpenWBEM::CIMInstance instance) {
    instance.setProperty("InstanceID", OpenWBEM::CIMValue(id.c_str()));
    m_provider.modifyInstance(m_env, kNs, instance, OpenWBEM::CIMInstance(),
                              OpenWBEM::WBEMFlags::E_EXCLUDE_QUALIFIERS, nullptr, OpenWBEM::CIMClass());
  }
  void remove(const std::string& id) { m_provider.deleteInstance(m_env, kNs, pathOf(m_className, id)); }
  std::vector<std::string> names() {
    Collect<OpenWBEM::CIMObjectPath> paths;
    m_provider.enumInstanceNames(m_env, kNs, m_className, paths, OpenWBEM::CIMClass());
    std::vector<std::string> ids;
    for (const auto& path : paths.items)
      ids.push_back(path.getKeyValue("InstanceID").toString().toStdString());
    return ids;
  }

 private:
  P& m_provider;
  const char* m_className;
  OpenWBEM::ProviderEnvironmentIFCRef m_env;
};

}  // namespace provider_test

#endif
