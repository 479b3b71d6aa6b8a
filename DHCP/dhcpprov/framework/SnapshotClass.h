// The read-only classes whose objects the agent computes at each request
// (pool occupancy, foreign DHCP servers): a registry refilled from the
// agent's records whenever an enumeration starts or one object is asked for,
// and a provider that refuses every change.
#ifndef TAVREL_DHCPPROV_SNAPSHOT_CLASS_H
#define TAVREL_DHCPPROV_SNAPSHOT_CLASS_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/CFG_Exception.h"
#include "framework/ClassBinding.h"
#include "framework/ClassProvider.h"
#include "framework/ProviderErrors.h"
#include "framework/ProviderOperations.h"

// Objects of class C made from records that carry their instanceID. The
// built-in registry has none; the implementation registry's refresh()
// replaces them by the agent's current records.
template <class C, class Record>
class SnapshotInstanceManager {
 public:
  SnapshotInstanceManager() = default;
  SnapshotInstanceManager(const SnapshotInstanceManager&) = delete;
  SnapshotInstanceManager& operator=(const SnapshotInstanceManager&) = delete;
  virtual ~SnapshotInstanceManager() = default;

  virtual void init() {}
  // The object of that InstanceID; CFG_NoInstance when there is none.
  C* get(const std::string& instanceID) {
    refresh();
    typename Objects::iterator found = m_objects.find(instanceID);
    if (found == m_objects.end()) throw CFG_NoInstance();
    return found->second.get();
  }
  void startIteration() {
    refresh();
    m_cursor = m_objects.begin();
  }
  bool hasNext() const { return m_cursor != m_objects.end(); }
  // CFG_NoInstance at the end.
  C* next() {
    if (m_cursor == m_objects.end()) throw CFG_NoInstance();
    return (m_cursor++)->second.get();
  }
  void endIteration() { m_cursor = m_objects.end(); }

 protected:
  virtual void refresh() {}
  void replace(const Record* records, int count) {
    m_objects.clear();
    for (int i = 0; i < count; ++i) m_objects[records[i].instanceID] = std::make_unique<C>(records[i]);
    m_cursor = m_objects.end();
  }

 private:
  typedef std::map<std::string, std::unique_ptr<C>> Objects;
  Objects m_objects;
  typename Objects::iterator m_cursor = m_objects.end();
};

// Lookup by the single key InstanceID; creation and deletion refused.
template <class C>
ProviderOperations<C, typename C::InstanceManager> SnapshotOperations(const ClassBinding<C>& binding) {
  typedef typename C::InstanceManager M;
  typedef std::vector<std::string> Keys;
  return ProviderOperations<C, M>(
      binding, &C::getInstanceManager, [](M& manager, const Keys& keys) { return manager.get(keys[0]); },
      [](M&, const Keys&) -> C* { throw CFG_InstanceCreationFailed(); },
      [](M&, C*) { throw CFG_InstanceDeletionFailed(); });
}

// CIM_ERR_NOT_SUPPORTED for a change of a computed class.
[[noreturn]] inline void TavrelRefuseChange(const char* className) {
  TavrelErrors::throwNotSupported(std::string(className) +
                                  " is computed by the agent and cannot be changed.\n");
}

// Lists and reads; every change is CIM_ERR_NOT_SUPPORTED with a text.
template <class Derived, class C, class ImplManager>
class SnapshotProvider : public ClassProvider<Derived, C, typename C::InstanceManager, ImplManager> {
  typedef ClassProvider<Derived, C, typename C::InstanceManager, ImplManager> Base;

 public:
  using Base::Base;

  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                                         const OpenWBEM::CIMInstance&) override {
    TavrelRefuseChange(this->operations().binding().className());
  }
  void deleteInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMObjectPath&) override {
    TavrelRefuseChange(this->operations().binding().className());
  }
  void modifyInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMInstance&, const OpenWBEM::CIMInstance&,
                      OpenWBEM::WBEMFlags::EIncludeQualifiersFlag, const OpenWBEM::StringArray*,
                      const OpenWBEM::CIMClass&) override {
    TavrelRefuseChange(this->operations().binding().className());
  }
  void modifyInstance(C&, const OpenWBEM::CIMInstance&) {
    TavrelRefuseChange(this->operations().binding().className());
  }
};

#endif
