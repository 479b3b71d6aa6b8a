#include "ZPX_DHCPServiceProvider/ZPX_DHCPService.h"

#include "framework/ClassNames.h"

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

ZPX_DHCPServiceInstanceManager ZPX_DHCPService::defaultInstanceManager;
ZPX_DHCPServiceInstanceManager* ZPX_DHCPService::theInstanceManager =
    &ZPX_DHCPService::defaultInstanceManager;

ZPX_DHCPService::ZPX_DHCPService(const std::string& systemCreationClassName, const std::string& systemName,
                                 const std::string& creationClassName, const std::string& name)
    : m_SystemCreationClassName(systemCreationClassName),
      m_SystemName(systemName),
      m_CreationClassName(creationClassName),
      m_Name(name) {
  theInstanceManager->add(this);
}

ZPX_DHCPService::~ZPX_DHCPService() {
  theInstanceManager->remove(this);
}

int ZPX_DHCPService::startChange() {
  return TAVREL_RC_OK;
}
int ZPX_DHCPService::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPService::getSystemCreationClassName(std::string& value, Array<CIMQualifier>&) const {
  value = m_SystemCreationClassName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPService::getSystemName(std::string& value, Array<CIMQualifier>&) const {
  value = m_SystemName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPService::getCreationClassName(std::string& value, Array<CIMQualifier>&) const {
  value = m_CreationClassName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPService::getName(std::string& value, Array<CIMQualifier>&) const {
  value = m_Name;
  return TAVREL_RC_OK;
}
int ZPX_DHCPService::getElementName(std::string&, Array<CIMQualifier>&) const {
  return TAVREL_RC_NOT_READABLE;
}

void ZPX_DHCPService::SetInstanceManager(ZPX_DHCPServiceInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPService::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPServiceInstanceManager* ZPX_DHCPService::getInstanceManager() {
  return theInstanceManager;
}

namespace {

std::string registryKey(const ZPX_DHCPService* object) {
  std::string sccn, sn, ccn, name;
  Array<CIMQualifier> qualifiers;
  object->getSystemCreationClassName(sccn, qualifiers);
  object->getSystemName(sn, qualifiers);
  object->getCreationClassName(ccn, qualifiers);
  object->getName(name, qualifiers);
  return registryKeyOf({sccn, sn, ccn, name});
}

}  // namespace

ZPX_DHCPServiceInstanceManager::~ZPX_DHCPServiceInstanceManager() = default;

void ZPX_DHCPServiceInstanceManager::init() {}

ZPX_DHCPService* ZPX_DHCPServiceInstanceManager::createZPX_DHCPService(const std::string&, const std::string&,
                                                                       const std::string&,
                                                                       const std::string&) {
  throw CFG_InstanceCreationFailed();
}

void ZPX_DHCPServiceInstanceManager::destroyZPX_DHCPService(ZPX_DHCPService*) {
  throw CFG_InstanceDeletionFailed();
}

int ZPX_DHCPServiceInstanceManager::renewDynamicIPAddress() {
  return TAVREL_RC_OK;
}

void ZPX_DHCPServiceInstanceManager::add(ZPX_DHCPService* object) {
  m_registry.put(registryKey(object), object);
}

void ZPX_DHCPServiceInstanceManager::remove(ZPX_DHCPService* object) {
  m_registry.erase(registryKey(object));
}

ZPX_DHCPService* ZPX_DHCPServiceInstanceManager::get(const std::string& systemCreationClassName,
                                                     const std::string& systemName,
                                                     const std::string& creationClassName,
                                                     const std::string& name) {
  return m_registry.find(registryKeyOf({systemCreationClassName, systemName, creationClassName, name}));
}

void ZPX_DHCPServiceInstanceManager::startIteration() {
  m_registry.startIteration();
}
bool ZPX_DHCPServiceInstanceManager::hasNext() {
  return m_registry.hasNext();
}
ZPX_DHCPService* ZPX_DHCPServiceInstanceManager::next() {
  return m_registry.next();
}
void ZPX_DHCPServiceInstanceManager::endIteration() {
  m_registry.endIteration();
}

const ClassBinding<ZPX_DHCPService>& ZPX_DHCPServiceBinding() {
  typedef ZPX_DHCPService C;
  typedef ClassBinding<C> B;
  static const B binding = [] {
    B b(ZPX_DHCPServiceName);
    b.setProperties({
        B::key("SystemCreationClassName", &C::getSystemCreationClassName),
        B::key("SystemName", &C::getSystemName),
        B::key("CreationClassName", &C::getCreationClassName),
        B::key("Name", &C::getName),
        B::readOnly("ElementName", &C::getElementName),
        B::readOnly("agentVersion", &C::getAgentVersion),
        B::readOnly("dhcpdProcessID", &C::getDhcpdProcessID),
        B::dateTime("dhcpdStartTime", &C::getDhcpdStartTime),
        B::readOnly("lanInterfaces", &C::getLanInterfaces),
        B::readOnly("lanAddresses", &C::getLanAddresses),
        B::readOnly("lanAddressing", &C::getLanAddressing),
        B::dateTime("lastCommitTime", &C::getLastCommitTime),
        B::readOnly("lastCommitResult", &C::getLastCommitResult),
    });
    return b;
  }();
  return binding;
}

const ZPX_DHCPServiceOperationsType& ZPX_DHCPServiceOperations() {
  typedef ZPX_DHCPServiceInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPServiceOperationsType operations(
      ZPX_DHCPServiceBinding(), &ZPX_DHCPService::getInstanceManager,
      [](M& manager, const Keys& k) { return manager.get(k[0], k[1], k[2], k[3]); },
      [](M& manager, const Keys& k) { return manager.createZPX_DHCPService(k[0], k[1], k[2], k[3]); },
      [](M& manager, ZPX_DHCPService* object) { manager.destroyZPX_DHCPService(object); });
  return operations;
}
