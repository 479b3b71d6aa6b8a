#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddress.h"

#include "framework/ClassNames.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

ZPX_DHCPReservedAddressInstanceManager ZPX_DHCPReservedAddress::defaultInstanceManager;
ZPX_DHCPReservedAddressInstanceManager* ZPX_DHCPReservedAddress::theInstanceManager =
    &ZPX_DHCPReservedAddress::defaultInstanceManager;

ZPX_DHCPReservedAddress::ZPX_DHCPReservedAddress(const std::string& instanceID) : m_InstanceID(instanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPReservedAddress::~ZPX_DHCPReservedAddress() {
  theInstanceManager->remove(this);
}

int ZPX_DHCPReservedAddress::startChange() {
  return TAVREL_RC_OK;
}
int ZPX_DHCPReservedAddress::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPReservedAddress::getIPv4Address(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPReservedAddress::setIPv4Address(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPReservedAddress::getreservedMACAddr(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPReservedAddress::setreservedMACAddr(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPReservedAddress::getreservedClientName(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPReservedAddress::setreservedClientName(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPReservedAddress::getreservedClientDescription(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPReservedAddress::setreservedClientDescription(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPReservedAddress::getInstanceID(std::string& value, Array<CIMQualifier>&) const {
  value = m_InstanceID;
  return TAVREL_RC_OK;
}

void ZPX_DHCPReservedAddress::SetInstanceManager(ZPX_DHCPReservedAddressInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPReservedAddress::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPReservedAddressInstanceManager* ZPX_DHCPReservedAddress::getInstanceManager() {
  return theInstanceManager;
}

namespace {

std::string registryKey(const ZPX_DHCPReservedAddress* object) {
  std::string id;
  Array<CIMQualifier> qualifiers;
  object->getInstanceID(id, qualifiers);
  return id;
}

}  // namespace

ZPX_DHCPReservedAddressInstanceManager::~ZPX_DHCPReservedAddressInstanceManager() = default;

void ZPX_DHCPReservedAddressInstanceManager::init() {}

ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressInstanceManager::createZPX_DHCPReservedAddress(
    const std::string&) {
  throw CFG_InstanceCreationFailed();
}

void ZPX_DHCPReservedAddressInstanceManager::destroyZPX_DHCPReservedAddress(ZPX_DHCPReservedAddress*) {
  throw CFG_InstanceDeletionFailed();
}

void ZPX_DHCPReservedAddressInstanceManager::add(ZPX_DHCPReservedAddress* object) {
  m_registry.put(registryKey(object), object);
}

void ZPX_DHCPReservedAddressInstanceManager::remove(ZPX_DHCPReservedAddress* object) {
  m_registry.erase(registryKey(object));
}

ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressInstanceManager::get(const std::string& instanceID) {
  return m_registry.find(instanceID);
}

void ZPX_DHCPReservedAddressInstanceManager::startIteration() {
  m_registry.startIteration();
}
bool ZPX_DHCPReservedAddressInstanceManager::hasNext() {
  return m_registry.hasNext();
}
ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressInstanceManager::next() {
  return m_registry.next();
}
void ZPX_DHCPReservedAddressInstanceManager::endIteration() {
  m_registry.endIteration();
}

const ClassBinding<ZPX_DHCPReservedAddress>& ZPX_DHCPReservedAddressBinding() {
  typedef ZPX_DHCPReservedAddress C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPReservedAddressName);
    b.setProperties({
        B::writable("IPv4Address", &C::getIPv4Address, &C::setIPv4Address, b.maxLength("IPv4Address", 16)),
        B::writable("reservedMACAddr", &C::getreservedMACAddr, &C::setreservedMACAddr,
                    b.maxLength("reservedMACAddr", 18)),
        B::writable("reservedClientName", &C::getreservedClientName, &C::setreservedClientName,
                    b.maxLength("reservedClientName", 20)),
        B::writable("reservedClientDescription", &C::getreservedClientDescription,
                    &C::setreservedClientDescription, b.maxLength("reservedClientDescription", 40)),
        B::key("InstanceID", &C::getInstanceID),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPReservedAddressOperationsType& ZPX_DHCPReservedAddressOperations() {
  typedef ZPX_DHCPReservedAddressInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPReservedAddressOperationsType operations(
      ZPX_DHCPReservedAddressBinding(), &ZPX_DHCPReservedAddress::getInstanceManager,
      [](M& manager, const Keys& keys) { return manager.get(keys[0]); },
      [](M& manager, const Keys& keys) { return manager.createZPX_DHCPReservedAddress(keys[0]); },
      [](M& manager, ZPX_DHCPReservedAddress* object) { manager.destroyZPX_DHCPReservedAddress(object); });
  return operations;
}
