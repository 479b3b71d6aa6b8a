#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInService.h"

#include "ZPX_DHCPServiceProvider/ZPX_DHCPService.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingData.h"
#include "framework/ProviderErrors.h"

ZPX_DHCPSettingDataInServiceInstanceManager ZPX_DHCPSettingDataInService::defaultInstanceManager;
ZPX_DHCPSettingDataInServiceInstanceManager* ZPX_DHCPSettingDataInService::theInstanceManager =
    &ZPX_DHCPSettingDataInService::defaultInstanceManager;

ZPX_DHCPSettingDataInService::ZPX_DHCPSettingDataInService(
    const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
    const std::string& antecedentCreationClassName, const std::string& antecedentName,
    const std::string& dependentInstanceID)
    : m_AntecedentSystemCreationClassName(antecedentSystemCreationClassName),
      m_AntecedentSystemName(antecedentSystemName),
      m_AntecedentCreationClassName(antecedentCreationClassName),
      m_AntecedentName(antecedentName),
      m_DependentInstanceID(dependentInstanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPSettingDataInService::~ZPX_DHCPSettingDataInService() {
  theInstanceManager->remove(this);
}

int ZPX_DHCPSettingDataInService::startChange() {
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataInService::endChange() {
  return TAVREL_RC_OK;
}

int ZPX_DHCPSettingDataInService::getAntecedentSystemCreationClassName(std::string& value) const {
  value = m_AntecedentSystemCreationClassName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataInService::getAntecedentSystemName(std::string& value) const {
  value = m_AntecedentSystemName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataInService::getAntecedentCreationClassName(std::string& value) const {
  value = m_AntecedentCreationClassName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataInService::getAntecedentName(std::string& value) const {
  value = m_AntecedentName;
  return TAVREL_RC_OK;
}
int ZPX_DHCPSettingDataInService::getDependentInstanceID(std::string& value) const {
  value = m_DependentInstanceID;
  return TAVREL_RC_OK;
}

void ZPX_DHCPSettingDataInService::SetInstanceManager(ZPX_DHCPSettingDataInServiceInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPSettingDataInService::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPSettingDataInServiceInstanceManager* ZPX_DHCPSettingDataInService::getInstanceManager() {
  return theInstanceManager;
}

namespace {

struct LinkKeys {
  std::string sccn, sn, ccn, name, instanceID;
};

LinkKeys keysOf(const ZPX_DHCPSettingDataInService& link) {
  LinkKeys k;
  link.getAntecedentSystemCreationClassName(k.sccn);
  link.getAntecedentSystemName(k.sn);
  link.getAntecedentCreationClassName(k.ccn);
  link.getAntecedentName(k.name);
  link.getDependentInstanceID(k.instanceID);
  return k;
}

std::string registryKey(const ZPX_DHCPSettingDataInService* link) {
  LinkKeys k = keysOf(*link);
  return registryKeyOf({k.sccn, k.sn, k.ccn, k.name, k.instanceID});
}

}  // namespace

ZPX_DHCPSettingDataInServiceInstanceManager::~ZPX_DHCPSettingDataInServiceInstanceManager() = default;

void ZPX_DHCPSettingDataInServiceInstanceManager::init() {}

ZPX_DHCPSettingDataInService* ZPX_DHCPSettingDataInServiceInstanceManager::createZPX_DHCPSettingDataInService(
    const std::string&, const std::string&, const std::string&, const std::string&, const std::string&) {
  throw CFG_InstanceCreationFailed();
}

void ZPX_DHCPSettingDataInServiceInstanceManager::destroyZPX_DHCPSettingDataInService(
    ZPX_DHCPSettingDataInService*) {
  throw CFG_InstanceDeletionFailed();
}

void ZPX_DHCPSettingDataInServiceInstanceManager::add(ZPX_DHCPSettingDataInService* object) {
  m_registry.put(registryKey(object), object);
}

void ZPX_DHCPSettingDataInServiceInstanceManager::remove(ZPX_DHCPSettingDataInService* object) {
  if (m_found == object) m_found = nullptr;
  m_registry.erase(registryKey(object));
}

ZPX_DHCPSettingDataInService* ZPX_DHCPSettingDataInServiceInstanceManager::get(
    const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
    const std::string& antecedentCreationClassName, const std::string& antecedentName,
    const std::string& dependentInstanceID) {
  return m_registry.find(registryKeyOf({antecedentSystemCreationClassName, antecedentSystemName,
                                        antecedentCreationClassName, antecedentName, dependentInstanceID}));
}

void ZPX_DHCPSettingDataInServiceInstanceManager::startIteration() {
  m_registry.startIteration();
  m_found = nullptr;
  m_mode = kAll;
}

bool ZPX_DHCPSettingDataInServiceInstanceManager::matches(const ZPX_DHCPSettingDataInService& link) const {
  LinkKeys k = keysOf(link);
  if (m_mode == kOfAntecedent)
    return k.sccn == m_antecedentSystemCreationClassName && k.sn == m_antecedentSystemName &&
           k.ccn == m_antecedentCreationClassName && k.name == m_antecedentName;
  if (m_mode == kOfDependent) return k.instanceID == m_dependentInstanceID;
  return true;
}

bool ZPX_DHCPSettingDataInServiceInstanceManager::hasNext() {
  if (m_mode == kAll) return m_registry.hasNext();
  while (m_found == nullptr && m_registry.hasNext()) {
    ZPX_DHCPSettingDataInService* link = m_registry.next();
    if (matches(*link)) m_found = link;
  }
  return m_found != nullptr;
}

ZPX_DHCPSettingDataInService* ZPX_DHCPSettingDataInServiceInstanceManager::next() {
  if (m_found == nullptr) return m_registry.next();
  ZPX_DHCPSettingDataInService* link = m_found;
  m_found = nullptr;
  return link;
}

void ZPX_DHCPSettingDataInServiceInstanceManager::endIteration() {
  m_registry.endIteration();
  m_found = nullptr;
}

void ZPX_DHCPSettingDataInServiceInstanceManager::startIterationForAntecedent(
    const std::string& systemCreationClassName, const std::string& systemName,
    const std::string& creationClassName, const std::string& name) {
  startIteration();
  m_antecedentSystemCreationClassName = systemCreationClassName;
  m_antecedentSystemName = systemName;
  m_antecedentCreationClassName = creationClassName;
  m_antecedentName = name;
  m_mode = kOfAntecedent;
}

void ZPX_DHCPSettingDataInServiceInstanceManager::startIterationForDependent(const std::string& instanceID) {
  startIteration();
  m_dependentInstanceID = instanceID;
  m_mode = kOfDependent;
}

ZPX_DHCPService* ZPX_DHCPSettingDataInServiceInstanceManager::nextAntecedent() {
  LinkKeys k = keysOf(*next());
  return ZPX_DHCPService::getInstanceManager()->get(k.sccn, k.sn, k.ccn, k.name);
}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataInServiceInstanceManager::nextDependent() {
  LinkKeys k = keysOf(*next());
  return ZPX_DHCPSettingData::getInstanceManager()->get(k.instanceID);
}
