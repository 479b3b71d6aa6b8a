// The instance operations every provider offers, over the current instance
// manager of its class: enumeration in registry order, lookup by the keys of
// a path or instance, creation and deletion, with registry errors turned
// into the CIM errors of their kind (TavrelErrors::translateCurrentException).
// Binding is the CIM side of the class: ClassBinding<C>, or a class with the
// same members for a class whose keys are not plain properties.
#ifndef TAVREL_DHCPPROV_PROVIDER_OPERATIONS_H
#define TAVREL_DHCPPROV_PROVIDER_OPERATIONS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/ClassBinding.h"
#include "framework/ProviderErrors.h"
#include "openwbem/ResultHandlerIFC.h"

template <class C, class Manager, class Binding = ClassBinding<C>>
class ProviderOperations {
 public:
  // The current manager of the class (C::getInstanceManager).
  typedef Manager* (*CurrentManager)();
  // Calls the manager's get or create<C> with the key values in key order.
  typedef std::function<C*(Manager&, const std::vector<std::string>&)> ByKeys;
  typedef std::function<void(Manager&, C*)> Destroy;

  ProviderOperations(const Binding& binding, CurrentManager current, ByKeys get, ByKeys create,
                     Destroy destroy)
      : m_binding(binding),
        m_current(current),
        m_get(std::move(get)),
        m_create(std::move(create)),
        m_destroy(std::move(destroy)) {}

  const Binding& binding() const { return m_binding; }

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
  // ns is the namespace of the request, for classes whose properties are
  // references.
  void enumInstances(OpenWBEM::CIMInstanceResultHandlerIFC& result,
                     const OpenWBEM::String& ns = OpenWBEM::String()) const {
    Manager& manager = *m_current();
    manager.startIteration();
    while (manager.hasNext()) {
      OpenWBEM::CIMInstance instance(m_binding.className());
      m_binding.toCIMInstance(*manager.next(), instance, ns);
      result.handle(instance);
    }
    manager.endIteration();
  }

  OpenWBEM::CIMInstance getInstance(const OpenWBEM::CIMObjectPath& path,
                                    const OpenWBEM::String& ns = OpenWBEM::String()) const {
    OpenWBEM::CIMInstance instance(m_binding.className());
    m_binding.toCIMInstance(*getWithCIMObjectPath(path), instance, ns);
    return instance;
  }

  // Creates the object with the instance's keys ("" for missing ones) and
  // applies the instance to it; an object that cannot be applied is
  // destroyed again.
  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::String& ns,
                                         const OpenWBEM::CIMInstance& instance) const {
    Manager& manager = *m_current();
    C* object = TavrelErrors::withCIMErrors(TavrelErrors::Step::CreateObject, m_binding.className(), [&] {
      return m_create(manager, m_binding.keysForCreate(instance));
    });
    DestroyUnlessKept made(*this, manager, object);
    TavrelErrors::withCIMErrors(TavrelErrors::Step::ApplyToNewObject, m_binding.className(),
                                [&] { m_binding.apply(*object, instance); });
    made.keep();
    OpenWBEM::CIMObjectPath path(m_binding.className(), ns);
    m_binding.toCIMObjectPath(*object, path);
    return path;
  }

  void deleteInstance(const OpenWBEM::CIMObjectPath& path) const {
    C* object = getWithCIMObjectPath(path);
    TavrelErrors::withCIMErrors(TavrelErrors::Step::DestroyObject, m_binding.className(),
                                [&] { m_destroy(*m_current(), object); });
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
    return TavrelErrors::withCIMErrors(TavrelErrors::Step::FindObject, m_binding.className(),
                                       [&] { return m_get(*m_current(), keys); });
  }

  // Destroys a new object on the way out unless keep() was called; whether
  // that destruction succeeds does not change the error being reported.
  class DestroyUnlessKept {
   public:
    DestroyUnlessKept(const ProviderOperations& operations, Manager& manager, C* object)
        : m_operations(operations), m_manager(manager), m_object(object) {}
    DestroyUnlessKept(const DestroyUnlessKept&) = delete;
    DestroyUnlessKept& operator=(const DestroyUnlessKept&) = delete;
    ~DestroyUnlessKept() {
      if (m_object == nullptr) return;
      try {
        m_operations.m_destroy(m_manager, m_object);
      } catch (...) {}
    }
    void keep() { m_object = nullptr; }

   private:
    const ProviderOperations& m_operations;
    Manager& m_manager;
    C* m_object;
  };

  const Binding& m_binding;
  CurrentManager m_current;
  ByKeys m_get;
  ByKeys m_create;
  Destroy m_destroy;
};

#endif
