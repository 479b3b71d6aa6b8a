// The shared body of the two lease classes (customer LAN with its VLANs, and
// OAM LAN): read-only views of the leases the DHCP server granted. The agent
// creates and fills the objects from the server's lease file and owns them;
// the classes differ only in their names, so everything but the names and
// the per-class instance managers lives here.
#ifndef TAVREL_DHCPPROV_LEASE_INFO_H
#define TAVREL_DHCPPROV_LEASE_INFO_H

#include <string.h>

#include <memory>
#include <string>

#include "framework/ClassBinding.h"
#include "framework/ClassProvider.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderErrors.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
#include "tavrel_agent_api.h"
#include "tavrel_export.h"

// The data class body: the InstanceID; no property readable, none writable.
class TAVREL_EXPORT TavrelLeaseInfo {
 public:
  explicit TavrelLeaseInfo(const std::string& instanceID) : m_InstanceID(instanceID) {}
  TavrelLeaseInfo(const TavrelLeaseInfo&) = delete;
  TavrelLeaseInfo& operator=(const TavrelLeaseInfo&) = delete;

  virtual ~TavrelLeaseInfo();
  virtual int startChange();
  virtual int endChange();
  virtual int getInstanceID(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getleaseMACAddr(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getIPv4Address(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getstartLeaseDateTime(std::string& value,
                                    OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getexpirationLeaseDateTime(std::string& value,
                                         OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getleaseClientName(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;
  virtual int getleaseClientDescription(std::string& value,
                                        OpenWBEM::Array<OpenWBEM::CIMQualifier>& qualifiers) const;

 protected:
  std::string m_InstanceID;
};

// Registry of the objects of lease class C, keyed by InstanceID. Creation and
// destruction are refused here (CFG_InstanceCreationFailed,
// CFG_InstanceDeletionFailed).
template <class C>
class TavrelLeaseInstanceManager {
 public:
  TavrelLeaseInstanceManager() = default;
  TavrelLeaseInstanceManager(const TavrelLeaseInstanceManager&) = delete;
  TavrelLeaseInstanceManager& operator=(const TavrelLeaseInstanceManager&) = delete;
  virtual ~TavrelLeaseInstanceManager() = default;

  virtual void init() {}
  virtual C* create(const std::string&) { throw CFG_InstanceCreationFailed(); }
  virtual void destroy(C*) { throw CFG_InstanceDeletionFailed(); }
  virtual void add(C* object) { m_registry.put(keyOf(object), object); }
  virtual void remove(C* object) { m_registry.erase(keyOf(object)); }
  // The object of that InstanceID; CFG_NoInstance when there is none.
  virtual C* get(const std::string& instanceID) { return m_registry.find(instanceID); }
  virtual void startIteration() { m_registry.startIteration(); }
  virtual bool hasNext() { return m_registry.hasNext(); }
  // CFG_NoInstance at the end.
  virtual C* next() { return m_registry.next(); }
  virtual void endIteration() { m_registry.endIteration(); }

 private:
  static std::string keyOf(const C* object) {
    std::string id;
    OpenWBEM::Array<OpenWBEM::CIMQualifier> qualifiers;
    object->getInstanceID(id, qualifiers);
    return id;
  }

  InstanceRegistry<C> m_registry;
};

// The implementation class: the six lease values the agent gives, read from
// the agent's lease node, which owns the object and deletes it before the
// node goes. Name and description are the client's host name; a name longer
// than the node holds is kept here whole.
template <class C>
class TavrelLeaseInfoImpl : public C {
 public:
  explicit TavrelLeaseInfoImpl(const std::string& instanceID) : C(instanceID) {}

  // Shows the lease of node (hardware address, address, start and end texts)
  // with the host name host, replacing what was shown so far.
  void initContents(const s_leaseInfo* node, const std::string& host) {
    m_lease = node;
    m_longHost.reset();
    if (host != node->clientHostname) {
      m_longHost.reset(new char[host.size() + 1]);
      memcpy(m_longHost.get(), host.c_str(), host.size() + 1);
    }
  }

  int getleaseMACAddr(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_lease != nullptr ? m_lease->hardwareAddr : "");
  }
  int getIPv4Address(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_lease != nullptr ? m_lease->ipAddr.ipString : "");
  }
  int getstartLeaseDateTime(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_lease != nullptr ? m_lease->starts : "");
  }
  int getexpirationLeaseDateTime(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_lease != nullptr ? m_lease->ends : "");
  }
  int getleaseClientName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, host());
  }
  int getleaseClientDescription(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, host());
  }

 private:
  static int copied(std::string& value, const char* field) {
    value = field;
    return TAVREL_RC_OK;
  }
  const char* host() const {
    if (m_longHost != nullptr) return m_longHost.get();
    return m_lease != nullptr ? m_lease->clientHostname : "";
  }

  const s_leaseInfo* m_lease = nullptr;
  std::unique_ptr<char[]> m_longHost;  // null when the node's name is whole
};

// The implementation manager: an iteration first lets the agent re-read the
// server's lease file when it changed (which rebuilds the objects of both
// lease classes); destroying an object takes it from the agent's lease list
// first, so the list never points at a deleted object.
template <class C, class Impl>
class TavrelLeaseImplInstanceManager : public C::InstanceManager {
 public:
  void destroy(C* object) override {
    if (object == nullptr) return;
    dhcpCompDisownLeaseObject(static_cast<TavrelLeaseInfo*>(object));
    delete object;
  }
  void startIteration() override {
    dhcpCompRefreshLeaseInfo();
    C::InstanceManager::startIteration();
  }
};

// The CIM properties of lease class C in class order.
template <class C>
ClassBinding<C> TavrelLeaseBinding(const char* className) {
  typedef ClassBinding<C> B;
  // The getters are the data class body's; the binding takes them as C's.
  typedef int (C::*Get)(std::string&, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const;
  B b(className);
  b.setProperties({
      B::key("InstanceID", static_cast<Get>(&C::getInstanceID)),
      B::readOnly("leaseMACAddr", static_cast<Get>(&C::getleaseMACAddr)),
      B::readOnly("IPv4Address", static_cast<Get>(&C::getIPv4Address)),
      B::dateTime("startLeaseDateTime", static_cast<Get>(&C::getstartLeaseDateTime)),
      B::dateTime("expirationLeaseDateTime", static_cast<Get>(&C::getexpirationLeaseDateTime)),
      B::readOnly("leaseClientName", static_cast<Get>(&C::getleaseClientName)),
      B::readOnly("leaseClientDescription", static_cast<Get>(&C::getleaseClientDescription)),
  });
  return b;
}

// The provider operations of lease class C over its current instance manager.
template <class C>
ProviderOperations<C, typename C::InstanceManager> TavrelLeaseOperations(const ClassBinding<C>& binding) {
  typedef typename C::InstanceManager M;
  typedef std::vector<std::string> Keys;
  return ProviderOperations<C, M>(
      binding, &C::getInstanceManager, [](M& manager, const Keys& keys) { return manager.get(keys[0]); },
      [](M& manager, const Keys& keys) { return manager.create(keys[0]); },
      [](M& manager, C* object) { manager.destroy(object); });
}

// The provider of a lease class. Leases come from the DHCP server alone:
// creation is refused; a modification is accepted and changes nothing.
template <class Derived, class C, class ImplManager>
class TavrelLeaseProvider : public ClassProvider<Derived, C, typename C::InstanceManager, ImplManager> {
  typedef ClassProvider<Derived, C, typename C::InstanceManager, ImplManager> Base;

 public:
  using Base::Base;
  using Base::modifyInstance;

  OpenWBEM::CIMObjectPath createInstance(const OpenWBEM::ProviderEnvironmentIFCRef&, const OpenWBEM::String&,
                                         const OpenWBEM::CIMInstance&) override {
    TavrelErrors::throwNotSupported(std::string("Instances of ") + this->operations().binding().className() +
                                    " are the DHCP server's leases and cannot be created.\n");
  }

  // No property is writable: the bracket runs and stores nothing.
  void modifyInstance(C& object, const OpenWBEM::CIMInstance& instance) {
    this->operations().binding().apply(object, instance);
  }
};

#endif
