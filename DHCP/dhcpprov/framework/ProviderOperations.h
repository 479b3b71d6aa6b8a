// The instance operations every provider offers, over the current instance
// manager of its class: enumeration in registry order, lookup by the keys of
// a path or instance, creation, deletion and modification, with registry
// errors turned into the CIM errors of their kind.
#ifndef TAVREL_DHCPPROV_PROVIDER_OPERATIONS_H
#define TAVREL_DHCPPROV_PROVIDER_OPERATIONS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/CFG_Exception.h"
#include "framework/ClassBinding.h"
#include "framework/ProviderErrors.h"
#include "openwbem/ResultHandlerIFC.h"

template <class C, class Manager>
class ProviderOperations {
 public:
  // The current manager of the class (C::getInstanceManager).
  typedef Manager* (*CurrentManager)();
  // Calls the manager's get or create<C> with the key values in key order.
  typedef std::function<C*(Manager&, const std::vector<std::string>&)> ByKeys;
  typedef std::function<void(Manager&, C*)> Destroy;

  ProviderOperations(const ClassBinding<C>& binding, CurrentManager current, ByKeys get, ByKeys create,
                     Destroy destroy)
      : m_binding(binding),
        m_current(current),
        m_get(std::move(get)),
        m_create(std::move(create)),
        m_destroy(std::move(destroy)) {}

  const ClassBinding<C>& binding() const { return m_binding; }

  void enumInstanceNames(const OpenWBEM::String& ns, const OpenWBEM::String& className,
                         OpenWBEM::CIMObjectPathResultHandlerIFC& result) const {
    OpenWBEM::CIMObjectPath path(className, ns);
    Manager& manager = *m_current();
    manager.startIteration();
    while (manager.hasNext()) {
      m_binding.toCIMObjectPath(*manager.next(), path);
      result.handle(path);
    }
    manager.endIteration();
  }

  // Each object is filled into an instance of its own, so a property that
  // one object cannot give never shows another object's value.
  void enumInstances(OpenWBEM::CIMInstanceResultHandlerIFC& result) const {
    Manager& manager = *m_current();
    manager.startIteration();
    while (manager.hasNext()) {
      OpenWBEM::CIMInstance instance(m_binding.className());
      m_binding.toCIMInstance(*manager.next(), instance);
      result.handle(instance);
    }
    manager.endIteration();
  }

  OpenWBEM::CIMInstance getInstance(const OpenWBEM::CIMObjectPath& path) const {
    OpenWBEM::CIMInstance instance(m_binding.className());
    m_binding.toCIMInstance(*getWithCIMObjectPath(path), instance);
    return instance;
  }

  // Creates the object with the instance's keys ("" for missing ones) and
  // applies the instance to it; an object that cannot be applied is
  // destroyed again.
  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::String& ns,
                                         const OpenWBEM::CIMInstance& instance) const {
    Manager& manager = *m_current();
    C* object = nullptr;
    try {
      object = m_create(manager, m_binding.keysForCreate(instance));
    } catch (const CFG_InstanceCreationFailed&) {
      TavrelErrors::throwCreationFailed(OpenWBEM::CIMException::NOT_SUPPORTED);
    } catch (const CFG_RegistryRefusal& refusal) {
      TavrelErrors::throwRegistryRefusal(refusal, m_binding.className());
    }
    try {
      m_binding.apply(*object, instance);
    } catch (const CFG_Exception&) {
      destroyQuietly(manager, object);
      TavrelErrors::throwCreationFailed(OpenWBEM::CIMException::FAILED);
    } catch (const OpenWBEM::CIMException& e) {
      destroyQuietly(manager, object);
      throw OpenWBEM::CIMException(e);
    }
    OpenWBEM::CIMObjectPath path(m_binding.className(), ns);
    m_binding.toCIMObjectPath(*object, path);
    return path;
  }

  void deleteInstance(const OpenWBEM::CIMObjectPath& path) const {
    C* object = getWithCIMObjectPath(path);
    try {
      m_destroy(*m_current(), object);
    } catch (const CFG_Exception&) {
      TavrelErrors::throwDeletionFailed();
    }
  }

  void modifyInstance(const OpenWBEM::CIMInstance& instance) const {
    C* object = getWithCIMInstance(instance);
    try {
      m_binding.apply(*object, instance);
    } catch (const CFG_Exception&) {
      TavrelErrors::throwModifyFailed();
    }
  }

  // The object named by the keys; CIM_ERR_NOT_FOUND when a key is missing
  // or null or no object has them.
  C* getWithCIMObjectPath(const OpenWBEM::CIMObjectPath& path) const {
    return getByKeys(m_binding.keysOf(path));
  }
  C* getWithCIMInstance(const OpenWBEM::CIMInstance& instance) const {
    return getByKeys(m_binding.keysOf(instance));
  }

 private:
  C* getByKeys(const std::vector<std::string>& keys) const {
    try {
      return m_get(*m_current(), keys);
    } catch (const CFG_NoInstance&) {
      TavrelErrors::throwNotFound();
    }
  }

  void destroyQuietly(Manager& manager, C* object) const {
    try {
      m_destroy(manager, object);
    } catch (const CFG_Exception&) {
    } catch (const OpenWBEM::CIMException&) {}
  }

  const ClassBinding<C>& m_binding;
  CurrentManager m_current;
  ByKeys m_get;
  ByKeys m_create;
  Destroy m_destroy;
};

#endif
