// The shared body of the two lease classes (customer LAN with its VLANs, and
// OAM LAN): read-only views of the leases the DHCP server granted. The agent
// creates and fills the objects from the server's lease file and owns them;
// the classes differ only in their names, so everything but the names and
// the per-class instance managers lives here.
#ifndef TAVREL_DHCPPROV_LEASE_INFO_H
#define TAVREL_DHCPPROV_LEASE_INFO_H

#include <string>

#include "dhcpcomp.h"
#include "framework/ClassBinding.h"
#include "framework/ClassProvider.h"
#include "framework/InstanceRegistry.h"
#include "framework/ProviderErrors.h"
#include "framework/ProviderOperations.h"
#include "openwbem/Array.h"
#include "openwbem/CIMQualifier.h"
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

// The implementation class: the six lease values the agent gives.
template <class C>
class TavrelLeaseInfoImpl : public C {
 public:
  explicit TavrelLeaseInfoImpl(const std::string& instanceID) : C(instanceID) {}

  // Stores the client's hardware address, the leased address, the lease's
  // start and end (CIM date-time texts), the client's name and description,
  // replacing the values held so far.
  void initContents(const char* mac, const char* address, const char* start, const char* end,
                    const char* name, const char* description) {
    m_leaseMACAddr = mac;
    m_IPv4Address = address;
    m_startLeaseDateTime = start;
    m_expirationLeaseDateTime = end;
    m_leaseClientName = name;
    m_leaseClientDescription = description;
  }

  int getleaseMACAddr(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_leaseMACAddr);
  }
  int getIPv4Address(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_IPv4Address);
  }
  int getstartLeaseDateTime(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_startLeaseDateTime);
  }
  int getexpirationLeaseDateTime(std::string& value,
                                 OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_expirationLeaseDateTime);
  }
  int getleaseClientName(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_leaseClientName);
  }
  int getleaseClientDescription(std::string& value, OpenWBEM::Array<OpenWBEM::CIMQualifier>&) const override {
    return copied(value, m_leaseClientDescription);
  }

 private:
  static int copied(std::string& value, const std::string& field) {
    value = field;
    return TAVREL_RC_OK;
  }

  std::string m_leaseMACAddr;
  std::string m_IPv4Address;
  std::string m_startLeaseDateTime;
  std::string m_expirationLeaseDateTime;
  std::string m_leaseClientName;
  std::string m_leaseClientDescription;
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
