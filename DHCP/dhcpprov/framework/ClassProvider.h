// The OpenWBEM instance and method provider of one managed-object class,
// over the ProviderOperations of the class. Derived is the class's own
// provider (CRTP): it supplies modifyInstance(C&, const CIMInstance&), the
// change bracket that the provider's modifyInstance runs. Binding is the CIM
// side of the class (ClassBinding<C> unless the class's keys are
// references). A class with extrinsic methods overrides invokeMethod.
#ifndef TAVREL_DHCPPROV_CLASS_PROVIDER_H
#define TAVREL_DHCPPROV_CLASS_PROVIDER_H

#include "framework/ProviderErrors.h"
#include "framework/ProviderOperations.h"
#include "openwbem/CppInstanceProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"

template <class Derived, class C, class Manager, class ImplManager, class Binding = ClassBinding<C>>
class ClassProvider : public OpenWBEM::CppMethodProviderIFC, public virtual OpenWBEM::CppInstanceProviderIFC {
 public:
  typedef ProviderOperations<C, Manager, Binding> Operations;
  typedef const Operations& (*OperationsOf)();

  explicit ClassProvider(OperationsOf operationsOf) : m_operations(operationsOf) {}

  // No methods: CIM_ERR_METHOD_NOT_FOUND without text.
  OpenWBEM::CIMValue invokeMethod(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                                  const OpenWBEM::CIMObjectPath&, const OpenWBEM::String&,
                                  const OpenWBEM::CIMParamValueArray&,
                                  OpenWBEM::CIMParamValueArray&) override {
    throw OpenWBEM::CIMException(__FILE__, __LINE__, OpenWBEM::CIMException::METHOD_NOT_FOUND);
  }

  // Installs a new implementation manager; it is never deleted.
  void initialize(const OpenWBEM::ProviderEnvironmentIFCRef&) override {
    C::SetInstanceManager(new ImplManager);
  }

  void enumInstanceNames(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String& ns,
                         const OpenWBEM::String& className, OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                         const OpenWBEM::CIMClass&) override {
    m_operations().enumInstanceNames(ns, className, result);
  }

  // Flags and property list are not used: every readable property is given.
  void enumInstances(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String& ns,
                     const OpenWBEM::String&, OpenWBEM::CIMInstanceResultHandlerIFC& result,
                     OpenWBEM::WBEMFlags::ELocalOnlyFlag, OpenWBEM::WBEMFlags::EDeepFlag,
                     OpenWBEM::WBEMFlags::EIncludeQualifiersFlag,
                     OpenWBEM::WBEMFlags::EIncludeClassOriginFlag, const OpenWBEM::StringArray*,
                     const OpenWBEM::CIMClass&, const OpenWBEM::CIMClass&) override {
    m_operations().enumInstances(result, ns);
  }

  OpenWBEM::CIMInstance getInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String& ns,
                                    const OpenWBEM::CIMObjectPath& instanceName,
                                    OpenWBEM::WBEMFlags::ELocalOnlyFlag,
                                    OpenWBEM::WBEMFlags::EIncludeQualifiersFlag,
                                    OpenWBEM::WBEMFlags::EIncludeClassOriginFlag,
                                    const OpenWBEM::StringArray*, const OpenWBEM::CIMClass&) override {
    return m_operations().getInstance(instanceName, ns);
  }

  // The new object gets the id the registry gives, whatever the instance
  // names; an object whose values are refused is destroyed again.
  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::ProviderEnvironmentIFCRef&,
                                         const OpenWBEM::String& ns,
                                         const OpenWBEM::CIMInstance& cimInstance) override {
    return m_operations().createInstance(ns, cimInstance);
  }

  void deleteInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMObjectPath& cop) override {
    m_operations().deleteInstance(cop);
  }

  // Applies every writable property the modified instance carries; the
  // previous instance and the property list are not used.
  void modifyInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                      const OpenWBEM::CIMInstance& modifiedInstance, const OpenWBEM::CIMInstance&,
                      OpenWBEM::WBEMFlags::EIncludeQualifiersFlag, const OpenWBEM::StringArray*,
                      const OpenWBEM::CIMClass&) override {
    C* object = m_operations().getWithCIMInstance(modifiedInstance);
    TavrelErrors::withCIMErrors(TavrelErrors::Step::ChangeObject, m_operations().binding().className(), [&] {
      static_cast<Derived*>(this)->modifyInstance(*object, modifiedInstance);
    });
  }

  // Releases nothing.
  void cleanup() {}

 protected:
  const Operations& operations() const { return m_operations(); }

 private:
  OperationsOf m_operations;
};

#endif
