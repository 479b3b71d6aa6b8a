#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceProvider.h"

#include <string>
#include <vector>

#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"
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

// Reads the link's keys, in key order, from the references "Antecedent"
// and "Dependent" that lookup yields. False when a reference or a key inside
// it is missing.
template <class Lookup>
bool readLinkKeys(const Lookup& lookup, std::vector<std::string>& keys) {
  CIMObjectPath antecedent;
  CIMObjectPath dependent;
  keys.clear();
  if (!referenceOf(lookup(kAntecedent), antecedent)) return false;
  for (const char* name : kServiceKeys) {
    CIMValue v = antecedent.getKeyValue(name);
    if (v.isNull()) return false;
    keys.push_back(v.toString().toStdString());
  }
  if (!referenceOf(lookup(kDependent), dependent)) return false;
  CIMValue v = dependent.getKeyValue(kInstanceID);
  if (v.isNull()) return false;
  keys.push_back(v.toString().toStdString());
  return true;
}

std::vector<std::string> propertyKeys(const CIMInstance& instance) {
  std::vector<std::string> keys;
  if (!readLinkKeys([&instance](const char* name) { return instance.getPropertyValue(name); }, keys))
    keys.clear();
  return keys;
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

// ---- ZPX_DHCPSettingDataInServiceLinkBinding ----

const char* ZPX_DHCPSettingDataInServiceLinkBinding::className() const {
  return ZPX_DHCPSettingDataInServiceName;
}

void ZPX_DHCPSettingDataInServiceLinkBinding::toCIMInstance(const ZPX_DHCPSettingDataInService& object,
                                                            CIMInstance& instance, const String& ns) const {
  fillLinkInstance(object, ns, instance);
}

void ZPX_DHCPSettingDataInServiceLinkBinding::toCIMObjectPath(const ZPX_DHCPSettingDataInService& object,
                                                              CIMObjectPath& path) const {
  fillLinkPath(object, path.getNameSpace(), path);
}

std::vector<std::string> ZPX_DHCPSettingDataInServiceLinkBinding::keysOf(const CIMObjectPath& path) const {
  std::vector<std::string> keys;
  if (!readLinkKeys([&path](const char* name) { return path.getKeyValue(name); }, keys))
    TavrelErrors::throwNotFound();
  return keys;
}

std::vector<std::string> ZPX_DHCPSettingDataInServiceLinkBinding::keysOf(const CIMInstance& instance) const {
  std::vector<std::string> keys = propertyKeys(instance);
  if (keys.empty()) TavrelErrors::throwNotFound();
  return keys;
}

std::vector<std::string> ZPX_DHCPSettingDataInServiceLinkBinding::keysForCreate(
    const CIMInstance& instance) const {
  std::vector<std::string> keys = propertyKeys(instance);
  if (keys.empty()) raise(CIMException::INVALID_PARAMETER, kInvalidReferenceText);
  return keys;
}

void ZPX_DHCPSettingDataInServiceLinkBinding::apply(ZPX_DHCPSettingDataInService& object,
                                                    const CIMInstance&) const {
  int rc = object.startChange();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwStartChangeFailed(rc);
  rc = object.endChange();
  if (rc != TAVREL_RC_OK) TavrelErrors::throwEndChangeFailed(rc, ZPX_DHCPSettingDataInServiceName);
}

const ZPX_DHCPSettingDataInServiceLinkBinding& ZPX_DHCPSettingDataInServiceBinding() {
  static const ZPX_DHCPSettingDataInServiceLinkBinding binding;
  return binding;
}

const ZPX_DHCPSettingDataInServiceOperationsType& ZPX_DHCPSettingDataInServiceOperations() {
  typedef ZPX_DHCPSettingDataInServiceInstanceManager M;
  typedef std::vector<std::string> Keys;
  static const ZPX_DHCPSettingDataInServiceOperationsType operations(
      ZPX_DHCPSettingDataInServiceBinding(), &ZPX_DHCPSettingDataInService::getInstanceManager,
      [](M& manager, const Keys& k) { return manager.get(k[0], k[1], k[2], k[3], k[4]); },
      [](M& manager, const Keys& k) {
        return manager.createZPX_DHCPSettingDataInService(k[0], k[1], k[2], k[3], k[4]);
      },
      [](M& manager, ZPX_DHCPSettingDataInService* object) {
        manager.destroyZPX_DHCPSettingDataInService(object);
      });
  return operations;
}

// ---- ZPX_DHCPSettingDataInServiceInstProvider ----

ZPX_DHCPSettingDataInServiceInstProvider::ZPX_DHCPSettingDataInServiceInstProvider()
    : ClassProvider(&ZPX_DHCPSettingDataInServiceOperations) {}

ZPX_DHCPSettingDataInServiceInstProvider::~ZPX_DHCPSettingDataInServiceInstProvider() = default;

void ZPX_DHCPSettingDataInServiceInstProvider::modifyInstance(ZPX_DHCPSettingDataInService& object,
                                                              const CIMInstance& instance) {
  operations().binding().apply(object, instance);
}

ZPX_DHCPSettingDataInService*
ZPX_DHCPSettingDataInServiceInstProvider::getZPX_DHCPSettingDataInServiceWithCIMObjectPath(
    const CIMObjectPath& path) {
  return operations().getWithCIMObjectPath(path);
}

ZPX_DHCPSettingDataInService*
ZPX_DHCPSettingDataInServiceInstProvider::getZPX_DHCPSettingDataInServiceWithCIMInstance(
    const CIMInstance& instance) {
  return operations().getWithCIMInstance(instance);
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
