#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceProvider.h"

#include <string>

#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"
#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceImpl.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"
#include "framework/CFG_Exception.h"
#include "framework/ClassNames.h"
#include "framework/ProviderErrors.h"

using namespace OpenWBEM;

ZPX_DHCPSettingDataInServiceProvider ZPX_DHCPSettingDataInServiceProv;

namespace {

const char kAntecedent[] = "Antecedent";
const char kDependent[] = "Dependent";
const char kInstanceID[] = "InstanceID";
// Keys of a service, in key order.
const char* const kServiceKeys[] = {"SystemCreationClassName", "SystemName", "CreationClassName", "Name"};

const char kInvalidReferenceText[] = "Invalid reference objectPath";
const char kNoSuchRoleText[] = "No Reference of class specified in objectPath exists in this association";

[[noreturn]] void raise(CIMException::ErrNoType status, const std::string& text = std::string()) {
  throw CIMException(__FILE__, __LINE__, status, text.empty() ? nullptr : text.c_str());
}

// The five key texts of a link, in key order.
struct LinkKeys {
  std::string value[5];
};

// An object path carried by a property or key value: a reference, or its
// text form. False when the value is null or names no path.
bool referenceOf(const CIMValue& value, CIMObjectPath& path) {
  if (value.isNull() || value.isArray()) return false;
  try {
    path = value.getType() == CIMDataType::REFERENCE ? value.toCIMObjectPath()
                                                     : CIMObjectPath::parse(value.toString());
  } catch (const CIMException&) {
    return false;
  }
  return true;
}

// Reads the link's keys from the references "Antecedent" and "Dependent"
// that lookup yields. False when a reference or a key inside it is missing.
template <class Lookup>
bool readLinkKeys(const Lookup& lookup, LinkKeys& keys) {
  CIMObjectPath antecedent;
  CIMObjectPath dependent;
  if (!referenceOf(lookup(kAntecedent), antecedent)) return false;
  for (int i = 0; i < 4; ++i) {
    CIMValue v = antecedent.getKeyValue(kServiceKeys[i]);
    if (v.isNull()) return false;
    keys.value[i] = v.toString().toStdString();
  }
  if (!referenceOf(lookup(kDependent), dependent)) return false;
  CIMValue v = dependent.getKeyValue(kInstanceID);
  if (v.isNull()) return false;
  keys.value[4] = v.toString().toStdString();
  return true;
}

LinkKeys keysOfPath(const CIMObjectPath& path) {
  LinkKeys keys;
  if (!readLinkKeys([&path](const char* name) { return path.getKeyValue(name); }, keys))
    TavrelErrors::throwNotFound();
  return keys;
}

LinkKeys keysOfInstance(const CIMInstance& instance) {
  LinkKeys keys;
  if (!readLinkKeys([&instance](const char* name) { return instance.getPropertyValue(name); }, keys))
    TavrelErrors::throwNotFound();
  return keys;
}

ZPX_DHCPSettingDataInService* getLink(const LinkKeys& k) {
  try {
    return ZPX_DHCPSettingDataInService::getInstanceManager()->get(k.value[0], k.value[1], k.value[2],
                                                                   k.value[3], k.value[4]);
  } catch (const CFG_NoInstance&) {
    TavrelErrors::throwNotFound();
  }
}

CIMObjectPath antecedentPath(const ZPX_DHCPSettingDataInService& link, const String& ns) {
  std::string value[4];
  link.getAntecedentSystemCreationClassName(value[0]);
  link.getAntecedentSystemName(value[1]);
  link.getAntecedentCreationClassName(value[2]);
  link.getAntecedentName(value[3]);
  CIMObjectPath path(ZPX_DHCPServiceName, ns);
  for (int i = 0; i < 4; ++i) path.setKeyValue(kServiceKeys[i], CIMValue(value[i]));
  return path;
}

CIMObjectPath dependentPath(const ZPX_DHCPSettingDataInService& link, const String& ns) {
  std::string instanceID;
  link.getDependentInstanceID(instanceID);
  CIMObjectPath path(ZPX_DHCPSettingDataName, ns);
  path.setKeyValue(kInstanceID, CIMValue(instanceID));
  return path;
}

void fillLinkPath(const ZPX_DHCPSettingDataInService& link, const String& ns, CIMObjectPath& path) {
  CIMPropertyArray keys;
  keys.push_back(CIMProperty(kAntecedent, CIMValue(antecedentPath(link, ns))));
  keys.push_back(CIMProperty(kDependent, CIMValue(dependentPath(link, ns))));
  path.setKeys(keys);
}

void fillLinkInstance(const ZPX_DHCPSettingDataInService& link, const String& ns, CIMInstance& instance) {
  instance.setProperty(kAntecedent, CIMValue(antecedentPath(link, ns)));
  instance.setProperty(kDependent, CIMValue(dependentPath(link, ns)));
}

// A key of the source object of an associator request, as text.
std::string sourceKey(const CIMObjectPath& objectName, const char* name) {
  CIMProperty key = objectName.getKey(name);
  if (!key) raise(CIMException::FAILED, std::string("Property ") + name + " is not sent");
  if (key.getValue().isNull())
    raise(CIMException::FAILED, std::string("Property ") + name + " has null value");
  return key.getValue().toString().toStdString();
}

}  // namespace

// ---- ZPX_DHCPSettingDataInServiceInstProvider ----

ZPX_DHCPSettingDataInServiceInstProvider::~ZPX_DHCPSettingDataInServiceInstProvider() = default;

CIMValue ZPX_DHCPSettingDataInServiceInstProvider::invokeMethod(const ProviderEnvironmentIFCRef&,
                                                                const String&, const CIMObjectPath&,
                                                                const String&, const CIMParamValueArray&,
                                                                CIMParamValueArray&) {
  raise(CIMException::METHOD_NOT_FOUND);
}

void ZPX_DHCPSettingDataInServiceInstProvider::initialize(const ProviderEnvironmentIFCRef&) {
  ZPX_DHCPSettingDataInService::SetInstanceManager(new ZPX_DHCPSettingDataInServiceImplInstanceManager);
}

void ZPX_DHCPSettingDataInServiceInstProvider::enumInstanceNames(const ProviderEnvironmentIFCRef&,
                                                                 const String& ns, const String& className,
                                                                 CIMObjectPathResultHandlerIFC& result,
                                                                 const CIMClass&) {
  CIMObjectPath path(className, ns);
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  manager.startIteration();
  while (manager.hasNext()) {
    fillLinkPath(*manager.next(), ns, path);
    result.handle(path);
  }
  manager.endIteration();
}

void ZPX_DHCPSettingDataInServiceInstProvider::enumInstances(
    const ProviderEnvironmentIFCRef&, const String& ns, const String&, CIMInstanceResultHandlerIFC& result,
    WBEMFlags::ELocalOnlyFlag, WBEMFlags::EDeepFlag, WBEMFlags::EIncludeQualifiersFlag,
    WBEMFlags::EIncludeClassOriginFlag, const StringArray*, const CIMClass&, const CIMClass&) {
  CIMInstance instance(ZPX_DHCPSettingDataInServiceName);
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  manager.startIteration();
  while (manager.hasNext()) {
    fillLinkInstance(*manager.next(), ns, instance);
    result.handle(instance);
  }
  manager.endIteration();
}

CIMInstance ZPX_DHCPSettingDataInServiceInstProvider::getInstance(
    const ProviderEnvironmentIFCRef&, const String& ns, const CIMObjectPath& instanceName,
    WBEMFlags::ELocalOnlyFlag, WBEMFlags::EIncludeQualifiersFlag, WBEMFlags::EIncludeClassOriginFlag,
    const StringArray*, const CIMClass&) {
  CIMInstance instance(ZPX_DHCPSettingDataInServiceName);
  ZPX_DHCPSettingDataInServiceToCIMInstance(
      ns, *getZPX_DHCPSettingDataInServiceWithCIMObjectPath(instanceName), instance);
  return instance;
}

CIMObjectPath ZPX_DHCPSettingDataInServiceInstProvider::createInstance(const ProviderEnvironmentIFCRef&,
                                                                       const String& ns,
                                                                       const CIMInstance& cimInstance) {
  LinkKeys k;
  if (!readLinkKeys([&cimInstance](const char* name) { return cimInstance.getPropertyValue(name); }, k))
    raise(CIMException::INVALID_PARAMETER, kInvalidReferenceText);
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  ZPX_DHCPSettingDataInService* link = nullptr;
  try {
    link = manager.createZPX_DHCPSettingDataInService(k.value[0], k.value[1], k.value[2], k.value[3],
                                                      k.value[4]);
  } catch (const CFG_InstanceCreationFailed&) {
    TavrelErrors::throwCreationFailed(CIMException::NOT_SUPPORTED);
  } catch (const CFG_RegistryRefusal& refusal) {
    TavrelErrors::throwRegistryRefusal(refusal, ZPX_DHCPSettingDataInServiceName);
  }
  try {
    modifyInstance(*link, cimInstance);
  } catch (const CFG_Exception&) {
    try {
      manager.destroyZPX_DHCPSettingDataInService(link);
    } catch (const CFG_Exception&) {}
    TavrelErrors::throwCreationFailed(CIMException::FAILED);
  } catch (const CIMException& e) {
    try {
      manager.destroyZPX_DHCPSettingDataInService(link);
    } catch (const CFG_Exception&) {}
    throw CIMException(e);
  }
  CIMObjectPath path(ZPX_DHCPSettingDataInServiceName, ns);
  fillLinkPath(*link, ns, path);
  return path;
}

void ZPX_DHCPSettingDataInServiceInstProvider::deleteInstance(const ProviderEnvironmentIFCRef&, const String&,
                                                              const CIMObjectPath& cop) {
  ZPX_DHCPSettingDataInService* link = getZPX_DHCPSettingDataInServiceWithCIMObjectPath(cop);
  try {
    ZPX_DHCPSettingDataInService::getInstanceManager()->destroyZPX_DHCPSettingDataInService(link);
  } catch (const CFG_Exception&) {
    TavrelErrors::throwDeletionFailed();
  }
}

void ZPX_DHCPSettingDataInServiceInstProvider::modifyInstance(const ProviderEnvironmentIFCRef&, const String&,
                                                              const CIMInstance& modifiedInstance,
                                                              const CIMInstance&,
                                                              WBEMFlags::EIncludeQualifiersFlag,
                                                              const StringArray*, const CIMClass&) {
  ZPX_DHCPSettingDataInService* link = getZPX_DHCPSettingDataInServiceWithCIMInstance(modifiedInstance);
  try {
    modifyInstance(*link, modifiedInstance);
  } catch (const CFG_Exception&) {
    TavrelErrors::throwModifyFailed();
  }
}

void ZPX_DHCPSettingDataInServiceInstProvider::cleanup() {}

void ZPX_DHCPSettingDataInServiceInstProvider::modifyInstance(ZPX_DHCPSettingDataInService& object,
                                                              const CIMInstance&) {
  int rc = object.startChange();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwStartChangeFailed(rc);
  rc = object.endChange();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwEndChangeFailed(rc, ZPX_DHCPSettingDataInServiceName);
}

ZPX_DHCPSettingDataInService*
ZPX_DHCPSettingDataInServiceInstProvider::getZPX_DHCPSettingDataInServiceWithCIMObjectPath(
    const CIMObjectPath& path) {
  return getLink(keysOfPath(path));
}

ZPX_DHCPSettingDataInService*
ZPX_DHCPSettingDataInServiceInstProvider::getZPX_DHCPSettingDataInServiceWithCIMInstance(
    const CIMInstance& instance) {
  return getLink(keysOfInstance(instance));
}

void ZPX_DHCPSettingDataInServiceInstProvider::ZPX_DHCPSettingDataInServiceToCIMInstance(
    const String& ns, const ZPX_DHCPSettingDataInService& object, CIMInstance& instance) {
  fillLinkInstance(object, ns, instance);
}

void ZPX_DHCPSettingDataInServiceInstProvider::ZPX_DHCPSettingDataInServiceToCIMObjectPath(
    const ZPX_DHCPSettingDataInService& object, CIMObjectPath& path) {
  fillLinkPath(object, path.getNameSpace(), path);
}

// ---- ZPX_DHCPSettingDataInServiceProvider ----

ZPX_DHCPSettingDataInServiceProvider::~ZPX_DHCPSettingDataInServiceProvider() = default;

void ZPX_DHCPSettingDataInServiceProvider::initialize(const ProviderEnvironmentIFCRef& env) {
  ZPX_DHCPSettingDataInServiceInstProvider::initialize(env);
}

String ZPX_DHCPSettingDataInServiceProvider::ObjectNameToRole(const CIMObjectPath& path) {
  if (path.getClassName().equals(ZPX_DHCPServiceName)) return kAntecedent;
  if (path.getClassName().equals(ZPX_DHCPSettingDataName)) return kDependent;
  raise(CIMException::TYPE_MISMATCH);
}

String ZPX_DHCPSettingDataInServiceProvider::RoleToOtherRole(const String& role) {
  return role.equals(kAntecedent) ? kDependent : kAntecedent;
}

void ZPX_DHCPSettingDataInServiceProvider::CheckRolesAndResults(const CIMObjectPath& objectName, String& role,
                                                                String& resultRole, String& resultClass) {
  if (role.empty()) role = ObjectNameToRole(objectName);
  if (resultRole.empty()) {
    if (resultClass.equals(ZPX_DHCPServiceName))
      resultRole = kAntecedent;
    else if (resultClass.equals(ZPX_DHCPSettingDataName))
      resultRole = kDependent;
    else
      resultRole = RoleToOtherRole(role);
  }
  if (resultClass.empty()) {
    if (resultRole.equals(kAntecedent))
      resultClass = ZPX_DHCPServiceName;
    else if (resultRole.equals(kDependent))
      resultClass = ZPX_DHCPSettingDataName;
    else
      raise(CIMException::INVALID_PARAMETER);
  }
}

void ZPX_DHCPSettingDataInServiceProvider::startIterationFrom(const CIMObjectPath& objectName,
                                                              const String& role) {
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  if (role.equals(kAntecedent)) {
    std::string value[4];
    for (int i = 0; i < 4; ++i) value[i] = sourceKey(objectName, kServiceKeys[i]);
    manager.startIterationForAntecedent(value[0], value[1], value[2], value[3]);
  } else if (role.equals(kDependent)) {
    manager.startIterationForDependent(sourceKey(objectName, kInstanceID));
  } else {
    raise(CIMException::NOT_SUPPORTED, kNoSuchRoleText);
  }
}

void ZPX_DHCPSettingDataInServiceProvider::walkAssociated(
    const CIMObjectPath& objectName, String role, String resultRole, String resultClass,
    const std::function<void(const ZPX_DHCPService&)>& onService,
    const std::function<void(const ZPX_DHCPSettingData&)>& onSettingData) {
  CheckRolesAndResults(objectName, role, resultRole, resultClass);
  startIterationFrom(objectName, role);
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  if (resultRole.equals(kAntecedent)) {
    while (manager.hasNext()) onService(*manager.nextAntecedent());
  } else if (resultRole.equals(kDependent)) {
    while (manager.hasNext()) onSettingData(*manager.nextDependent());
  } else {
    raise(CIMException::NOT_SUPPORTED);
  }
  manager.endIteration();
}

void ZPX_DHCPSettingDataInServiceProvider::walkReferences(
    const CIMObjectPath& objectName, String role,
    const std::function<void(const ZPX_DHCPSettingDataInService&)>& onLink) {
  if (role.empty()) role = ObjectNameToRole(objectName);
  startIterationFrom(objectName, role);
  ZPX_DHCPSettingDataInServiceInstanceManager& manager = *ZPX_DHCPSettingDataInService::getInstanceManager();
  while (manager.hasNext()) onLink(*manager.next());
  manager.endIteration();
}

void ZPX_DHCPSettingDataInServiceProvider::associators(
    const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC& result, const String& ns,
    const CIMObjectPath& objectName, const String&, const String& resultClass, const String& role,
    const String& resultRole, WBEMFlags::EIncludeQualifiersFlag, WBEMFlags::EIncludeClassOriginFlag,
    const StringArray*) {
  walkAssociated(
      objectName, role, resultRole, resultClass,
      [&](const ZPX_DHCPService& service) {
        CIMInstance instance(ZPX_DHCPServiceName);
        ZPX_DHCPServiceProvider::ZPX_DHCPServiceToCIMInstance(ns, service, instance);
        result.handle(instance);
      },
      [&](const ZPX_DHCPSettingData& settingData) {
        CIMInstance instance(ZPX_DHCPSettingDataName);
        ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataToCIMInstance(ns, settingData, instance);
        result.handle(instance);
      });
}

void ZPX_DHCPSettingDataInServiceProvider::associatorNames(const ProviderEnvironmentIFCRef&,
                                                           CIMObjectPathResultHandlerIFC& result,
                                                           const String& ns, const CIMObjectPath& objectName,
                                                           const String&, const String& resultClass,
                                                           const String& role, const String& resultRole) {
  walkAssociated(
      objectName, role, resultRole, resultClass,
      [&](const ZPX_DHCPService& service) {
        CIMObjectPath path(ZPX_DHCPServiceName, ns);
        ZPX_DHCPServiceProvider::ZPX_DHCPServiceToCIMObjectPath(service, path);
        result.handle(path);
      },
      [&](const ZPX_DHCPSettingData& settingData) {
        CIMObjectPath path(ZPX_DHCPSettingDataName, ns);
        ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataToCIMObjectPath(settingData, path);
        result.handle(path);
      });
}

void ZPX_DHCPSettingDataInServiceProvider::references(const ProviderEnvironmentIFCRef&,
                                                      CIMInstanceResultHandlerIFC& result, const String& ns,
                                                      const CIMObjectPath& objectName, const String&,
                                                      const String& role, WBEMFlags::EIncludeQualifiersFlag,
                                                      WBEMFlags::EIncludeClassOriginFlag,
                                                      const StringArray*) {
  walkReferences(objectName, role, [&](const ZPX_DHCPSettingDataInService& link) {
    CIMInstance instance(ZPX_DHCPSettingDataInServiceName);
    fillLinkInstance(link, ns, instance);
    result.handle(instance);
  });
}

void ZPX_DHCPSettingDataInServiceProvider::referenceNames(const ProviderEnvironmentIFCRef&,
                                                          CIMObjectPathResultHandlerIFC& result,
                                                          const String& ns, const CIMObjectPath& objectName,
                                                          const String&, const String& role) {
  walkReferences(objectName, role, [&](const ZPX_DHCPSettingDataInService& link) {
    CIMObjectPath path(ZPX_DHCPSettingDataInServiceName, ns);
    fillLinkPath(link, ns, path);
    result.handle(path);
  });
}
