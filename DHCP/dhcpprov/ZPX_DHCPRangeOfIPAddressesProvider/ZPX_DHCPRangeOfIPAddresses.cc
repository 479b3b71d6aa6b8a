#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddresses.h"

#include "framework/ClassNames.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

ZPX_DHCPRangeOfIPAddressesInstanceManager ZPX_DHCPRangeOfIPAddresses::defaultInstanceManager;
ZPX_DHCPRangeOfIPAddressesInstanceManager* ZPX_DHCPRangeOfIPAddresses::theInstanceManager =
    &ZPX_DHCPRangeOfIPAddresses::defaultInstanceManager;

ZPX_DHCPRangeOfIPAddresses::ZPX_DHCPRangeOfIPAddresses(const std::string& instanceID)
    : m_InstanceID(instanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPRangeOfIPAddresses::~ZPX_DHCPRangeOfIPAddresses() {
  theInstanceManager->remove(this);
}

int ZPX_DHCPRangeOfIPAddresses::startChange() {
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddresses::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPRangeOfIPAddresses::getStartAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPRangeOfIPAddresses::setStartAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPRangeOfIPAddresses::getEndAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPRangeOfIPAddresses::setEndAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPRangeOfIPAddresses::getDefaultGatewayIPAddress(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPRangeOfIPAddresses::setDefaultGatewayIPAddress(std::string) {
  return TAVREL_RC_NOT_WRITABLE;
}
int ZPX_DHCPRangeOfIPAddresses::getInstanceID(std::string& value, Array<CIMQualifier>&) const {
  value = m_InstanceID;
  return TAVREL_RC_OK;
}
int ZPX_DHCPRangeOfIPAddresses::getCaption(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPRangeOfIPAddresses::getDescription(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}
int ZPX_DHCPRangeOfIPAddresses::getAddressType(unsigned short&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}

void ZPX_DHCPRangeOfIPAddresses::SetInstanceManager(ZPX_DHCPRangeOfIPAddressesInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPRangeOfIPAddressesInstanceManager* ZPX_DHCPRangeOfIPAddresses::getInstanceManager() {
  return theInstanceManager;
}

namespace {

std::string registryKey(const ZPX_DHCPRangeOfIPAddresses* object) {
  std::string id;
  Array<CIMQualifier> qualifiers;
  object->getInstanceID(id, qualifiers);
  return id;
}

}  // namespace

ZPX_DHCPRangeOfIPAddressesInstanceManager::~ZPX_DHCPRangeOfIPAddressesInstanceManager() = default;

void ZPX_DHCPRangeOfIPAddressesInstanceManager::init() {}

ZPX_DHCPRangeOfIPAddresses* ZPX_DHCPRangeOfIPAddressesInstanceManager::createZPX_DHCPRangeOfIPAddresses(
    const std::string&) {
  throw CFG_InstanceCreationFailed();
}

void ZPX_DHCPRangeOfIPAddressesInstanceManager::destroyZPX_DHCPRangeOfIPAddresses(
    ZPX_DHCPRangeOfIPAddresses*) {
  throw CFG_InstanceDeletionFailed();
}

void ZPX_DHCPRangeOfIPAddressesInstanceManager::add(ZPX_DHCPRangeOfIPAddresses* object) {
  m_registry.put(registryKey(object), object);
}

void ZPX_DHCPRangeOfIPAddressesInstanceManager::remove(ZPX_DHCPRangeOfIPAddresses* object) {
  m_registry.erase(registryKey(object));
}

ZPX_DHCPRangeOfIPAddresses* ZPX_DHCPRangeOfIPAddressesInstanceManager::get(const std::string& instanceID) {
  return m_registry.find(instanceID);
}

void ZPX_DHCPRangeOfIPAddressesInstanceManager::startIteration() {
  m_registry.startIteration();
}
bool ZPX_DHCPRangeOfIPAddressesInstanceManager::hasNext() {
  return m_registry.hasNext();
}
ZPX_DHCPRangeOfIPAddresses* ZPX_DHCPRangeOfIPAddressesInstanceManager::next() {
  return m_registry.next();
}
void ZPX_DHCPRangeOfIPAddressesInstanceManager::endIteration() {
  m_registry.endIteration();
}

const ClassBinding<ZPX_DHCPRangeOfIPAddresses>& ZPX_DHCPRangeOfIPAddressesBinding() {
  typedef ZPX_DHCPRangeOfIPAddresses C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPRangeOfIPAddressesName);
    b.setProperties({
        B::writable("StartAddress", &C::getStartAddress, &C::setStartAddress),
        B::writable("EndAddress", &C::getEndAddress, &C::setEndAddress),
        B::writable("DefaultGatewayIPAddress", &C::getDefaultGatewayIPAddress,
                    &C::setDefaultGatewayIPAddress),
        B::key("InstanceID", &C::getInstanceID),
        B::readOnly("Caption", &C::getCaption),
        B::readOnly("Description", &C::getDescription),
        B::readOnly("AddressType", &C::getAddressType),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPRangeOfIPAddressesOperationsType& ZPX_DHCPRangeOfIPAddressesOperations() {
  typedef ZPX_DHCPRangeOfIPAddressesInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPRangeOfIPAddressesOperationsType operations(
      ZPX_DHCPRangeOfIPAddressesBinding(), &ZPX_DHCPRangeOfIPAddresses::getInstanceManager,
      [](M& manager, const Keys& keys) { return manager.get(keys[0]); },
      [](M& manager, const Keys& keys) { return manager.createZPX_DHCPRangeOfIPAddresses(keys[0]); },
      [](M& manager, ZPX_DHCPRangeOfIPAddresses* object) {
        manager.destroyZPX_DHCPRangeOfIPAddresses(object);
      });
  return operations;
}
