#include "ClassRepository.h"

#include "openwbem/CIMException.h"

#include <algorithm>
#include <cctype>

namespace OpenWBEM {

namespace {

// Deepest superclass chain followed before a cycle is assumed.
constexpr int kMaxDepth = 64;

bool listed(const StringArray* list, const String& name) {
  if (!list) return true;
  return std::any_of(list->begin(), list->end(), [&](const String& s) { return s.equalsIgnoreCase(name); });
}

CIMProperty stripped(CIMProperty prop) {
  prop.setQualifiers(CIMQualifierArray());
  return prop;
}

}  // namespace

std::string ClassRepository::key(const String& name) {
  std::string k = name.toStdString();
  for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

void ClassRepository::add(const CIMClassArray& classes) {
  // Work on a copy so that a refused set leaves the repository as it was.
  ClassRepository next(*this);
  for (const CIMClass& cls : classes) {
    std::string k = key(cls.getName());
    if (next.m_classes.find(k) == next.m_classes.end()) next.m_order.push_back(k);
    next.m_classes[k].declared = cls;
  }
  next.resolveAll();
  *this = std::move(next);
}

void ClassRepository::resolveAll() {
  for (auto& item : m_classes) item.second.resolved = CIMClass();
  for (auto& item : m_classes) resolve(item.second, 0);
}

const CIMClass& ClassRepository::resolve(Entry& entry, int depth) {
  if (!entry.resolved.isNull()) return entry.resolved;
  if (depth > kMaxDepth)
    OW_THROWCIMMSG(
        CIMException::INVALID_SUPERCLASS,
        ("superclass chain of " + entry.declared.getName().toStdString() + " is circular").c_str());
  const CIMClass& own = entry.declared;
  CIMClass cls(own.getName());
  cls.setSuperClass(own.getSuperClass());
  auto super = m_classes.find(key(own.getSuperClass()));
  if (!own.getSuperClass().empty() && super != m_classes.end()) {
    const CIMClass& base = resolve(super->second, depth + 1);
    for (const CIMQualifier& q : base.getQualifiers())
      if (!q.getName().equalsIgnoreCase("Abstract")) cls.setQualifier(q);
    for (CIMProperty p : base.getProperties()) cls.addProperty(p.setPropagated(true));
    for (CIMMethod m : base.getMethods()) cls.addMethod(m.setPropagated(true));
  }
  for (const CIMQualifier& q : own.getQualifiers()) cls.setQualifier(q);
  for (const CIMProperty& p : own.getProperties()) {
    // An override keeps the inherited qualifiers (Key among them) unless
    // it restates them.
    CIMProperty merged = p;
    merged.setOriginClass(own.getName()).setPropagated(false);
    CIMProperty inherited = cls.getProperty(p.getName());
    if (inherited) {
      CIMQualifierArray quals = inherited.getQualifiers();
      for (const CIMQualifier& q : p.getQualifiers()) CIMQualifierSet(quals, q);
      merged.setQualifiers(quals);
    }
    cls.addProperty(merged);
  }
  for (CIMMethod m : own.getMethods()) cls.addMethod(m.setOriginClass(own.getName()).setPropagated(false));
  entry.resolved = cls;
  return entry.resolved;
}

const CIMClass* ClassRepository::find(const String& className) const {
  auto it = m_classes.find(key(className));
  return it == m_classes.end() ? nullptr : &it->second.resolved;
}

CIMClass ClassRepository::getClass(const String& className, WBEMFlags::ELocalOnlyFlag localOnly,
                                   WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                   const StringArray* propertyList,
                                   WBEMFlags::EIncludeClassOriginFlag includeClassOrigin) const {
  auto it = m_classes.find(key(className));
  if (it == m_classes.end())
    OW_THROWCIMMSG(CIMException::NOT_FOUND, ("class " + className.toStdString() + " not found").c_str());
  const bool local = localOnly == WBEMFlags::E_LOCAL_ONLY;
  const CIMClass& source = local ? it->second.declared : it->second.resolved;
  const bool quals = includeQualifiers == WBEMFlags::E_INCLUDE_QUALIFIERS;
  // What the class declares itself originates in it.
  const String origin = includeClassOrigin == WBEMFlags::E_INCLUDE_CLASS_ORIGIN ? source.getName() : String();
  const bool withOrigin = !origin.empty();
  CIMClass out(source.getName());
  out.setSuperClass(source.getSuperClass());
  if (quals) out.setQualifiers(source.getQualifiers());
  for (CIMProperty p : source.getProperties()) {
    if (!listed(propertyList, p.getName())) continue;
    if (local || !withOrigin) p.setOriginClass(local && withOrigin ? origin : String());
    out.addProperty(quals ? p : stripped(p));
  }
  for (CIMMethod m : source.getMethods()) {
    if (local || !withOrigin) m.setOriginClass(local && withOrigin ? origin : String());
    if (!quals) {
      m.setQualifiers(CIMQualifierArray());
      CIMParameterArray params = m.getParameters();
      for (CIMParameter& param : params) param.setQualifiers(CIMQualifierArray());
      m.setParameters(params);
    }
    out.addMethod(m);
  }
  return out;
}

StringArray ClassRepository::subclassNames(const String& className, WBEMFlags::EDeepFlag deep) const {
  if (!className.empty() && !find(className))
    OW_THROWCIMMSG(CIMException::INVALID_CLASS, ("class " + className.toStdString() + " not found").c_str());
  StringArray out;
  std::vector<std::string> parents{key(className)};
  while (!parents.empty()) {
    std::vector<std::string> next;
    for (const std::string& k : m_order) {
      const CIMClass& cls = m_classes.at(k).declared;
      std::string superKey = key(cls.getSuperClass());
      // Classes whose superclass is unknown count as top-level.
      if (!superKey.empty() && m_classes.find(superKey) == m_classes.end()) superKey.clear();
      if (std::find(parents.begin(), parents.end(), superKey) != parents.end()) {
        out.push_back(cls.getName());
        next.push_back(k);
      }
    }
    if (deep != WBEMFlags::E_DEEP) break;
    parents.swap(next);
  }
  return out;
}

bool ClassRepository::isA(const String& className, const String& ancestor) const {
  String name = className;
  for (int depth = 0; !name.empty() && depth <= kMaxDepth; ++depth) {
    if (name.equalsIgnoreCase(ancestor)) return true;
    auto it = m_classes.find(key(name));
    if (it == m_classes.end()) return false;
    name = it->second.declared.getSuperClass();
  }
  return false;
}

StringArray ClassRepository::associationsOf(const String& className, const String& role,
                                            const String& resultClass, const String& resultRole) const {
  StringArray out;
  for (const std::string& k : m_order) {
    const CIMClass& cls = m_classes.at(k).resolved;
    if (!cls.isAssociation()) continue;
    auto refClass = [](const CIMProperty& p) { return p.getDataType().getRefClassName(); };
    bool matches = false;
    for (const CIMProperty& source : cls.getProperties()) {
      if (!source.isReference() || !isA(className, refClass(source)) ||
          (!role.empty() && !source.getName().equalsIgnoreCase(role)))
        continue;
      if (resultClass.empty() && resultRole.empty()) matches = true;
      for (const CIMProperty& other : cls.getProperties())
        if (other.isReference() && !other.getName().equalsIgnoreCase(source.getName()) &&
            (resultRole.empty() || other.getName().equalsIgnoreCase(resultRole)) &&
            (resultClass.empty() || isA(refClass(other), resultClass) || isA(resultClass, refClass(other))))
          matches = true;
    }
    if (matches) out.push_back(cls.getName());
  }
  return out;
}

String ClassRepository::providerOf(const String& className) const {
  const CIMClass* cls = find(className);
  if (!cls) return String();
  CIMQualifier q = cls->getQualifier("Provider");
  if (!q || q.getValue().getType() != CIMDataType::STRING || q.getValue().isArray()) return String();
  return q.getValue().toStringValue();
}

void ClassRepository::typeReferences(CIMPropertyArray& props, int depth) const {
  for (CIMProperty& p : props) {
    const CIMValue& v = p.getValue();
    if (v.getType() != CIMDataType::REFERENCE || v.isArray()) continue;
    CIMObjectPath ref = v.toCIMObjectPath();
    typePath(ref, depth + 1);
    p.setValue(CIMValue(ref));
  }
}

void ClassRepository::typePath(CIMObjectPath& path, int depth) const {
  if (depth > kMaxReferenceNesting)
    OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "references nested too deeply");
  CIMPropertyArray keys = path.getKeys();
  if (keys.empty()) return;
  if (const CIMClass* cls = find(path.getClassName())) cls->typeProperties(keys);
  typeReferences(keys, depth);
  path.setKeys(keys);
}

void ClassRepository::typeObjectPath(CIMObjectPath& path) const {
  typePath(path, 0);
}

void ClassRepository::typeInstance(CIMInstance& instance) const {
  CIMPropertyArray props = instance.getProperties();
  if (const CIMClass* cls = find(instance.getClassName())) cls->typeProperties(props);
  typeReferences(props, 0);
  instance.setProperties(props);
}

void ClassRepository::typeMethodParams(const String& className, const String& methodName,
                                       CIMParamValueArray& params) const {
  const CIMClass* cls = find(className);
  if (!cls) return;
  CIMMethod method = cls->getMethod(methodName);
  if (method) method.typeParamValues(params);
}

}  // namespace OpenWBEM
