#include "ProviderDispatcher.h"

#include "openwbem/CIMException.h"
#include "openwbem/CppAssociatorProviderIFC.h"
#include "openwbem/CppInstanceProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"
#include "openwbem/SharedLibrary.h"

#include <syslog.h>

#include <cstdio>
#include <stdexcept>

namespace OpenWBEM {

namespace {

// Holds the host's locker, or the internal mutex, for one provider call.
class CallLock {
 public:
  CallLock(const ProviderAgentLockerIFCRef& locker, std::mutex& mutex) : m_locker(locker), m_mutex(mutex) {
    if (m_locker)
      m_locker->lock();
    else
      m_mutex.lock();
  }
  ~CallLock() {
    if (m_locker)
      m_locker->unlock();
    else
      m_mutex.unlock();
  }
  CallLock(const CallLock&) = delete;
  CallLock& operator=(const CallLock&) = delete;

 private:
  const ProviderAgentLockerIFCRef& m_locker;
  std::mutex& m_mutex;
};

// Does the provider library at libPath serve the "Provider" qualifier
// value q ("c++::<id>" or "<id>", the library being lib<id>.so)?
bool libraryMatches(const String& libPath, String q) {
  if (q.startsWith("c++::")) q = q.substring(5);
  if (q.empty()) return false;
  String file = "lib" + q + ".so";
  return libPath.equals(file) || libPath.endsWith("/" + file);
}

const CIMClass s_noClass;

// Passes on the objects of resultClass or its subclasses, and those of
// classes the repository does not know; everything when resultClass is "".
template <class T>
class OfClass : public ResultHandlerIFC<T> {
 public:
  OfClass(ResultHandlerIFC<T>& next, const ClassRepository& classes, const String& resultClass)
      : m_next(next), m_classes(classes), m_class(resultClass) {}

 protected:
  void doHandle(const T& object) override {
    const String& name = object.getClassName();
    if (m_class.empty() || !m_classes.find(name) || m_classes.isA(name, m_class)) m_next.handle(object);
  }

 private:
  ResultHandlerIFC<T>& m_next;
  const ClassRepository& m_classes;
  String m_class;
};

// Longest value text an audit line carries; longer values are cut.
constexpr std::size_t kAuditValueChars = 200;

// A value as the audit trail shows it: quoted, control characters escaped,
// cut at kAuditValueChars.
std::string auditText(const CIMValue& v) {
  if (v.isNull()) return "NULL";
  std::string text = v.toString().toStdString();
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kAuditValueChars; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", c);
      out += esc;
    } else
      out += static_cast<char>(c);
  }
  if (text.size() > kAuditValueChars) out += "...";
  return out + "\"";
}

std::string auditKey(const CIMObjectPath& path) {
  std::string out;
  for (const CIMProperty& k : path.getKeys())
    out += (out.empty() ? "" : ",") + k.getName().toStdString() + "=" + auditText(k.getValue());
  return out;
}

// "Name: old -> new" for each property of the new instance whose value
// differs from the old one (every property when old is null).
std::string auditChanges(const CIMInstance& old, const CIMInstance& changed, const CIMClass& cls) {
  std::string out;
  for (const CIMProperty& p : changed.getProperties()) {
    if (p.isKey() || (cls && cls.getProperty(p.getName()).isKey())) continue;
    CIMValue before = old ? old.getPropertyValue(p.getName()) : CIMValue();
    if (old && before == p.getValue()) continue;
    out += "; " + p.getName().toStdString() + ": " + auditText(before) + " -> " + auditText(p.getValue());
  }
  return out;
}

}  // namespace

ProviderDispatcher::ProviderDispatcher(const Array<CppProviderBaseIFCRef>& providers,
                                       const ClassRepository& classes, const ProviderEnvironmentIFCRef& env,
                                       const LoggerRef& logger, const ProviderAgentLockerIFCRef& locker)
    : m_classes(classes), m_env(env), m_logger(logger), m_locker(locker) {
  std::string list = env ? env->getConfigItem(kNamespacesConfigItem, "").toStdString() : std::string();
  for (std::size_t begin = 0; begin < list.size();) {
    std::size_t end = list.find_first_of(", \t", begin);
    if (end == std::string::npos) end = list.size();
    if (end > begin) m_namespaces.push_back(String(list.substr(begin, end - begin)));
    begin = end + 1;
  }
  if (m_namespaces.empty()) m_namespaces.push_back(String("root/cimv2"));
  for (const CppProviderBaseIFCRef& p : providers) {
    if (!p) {
      m_logger->logError("ProviderAgent: a provider that failed to load is left out");
      continue;
    }
    m_providers.push_back(Provider{p, p.getLibRef() ? p.getLibRef()->getPath() : String()});
  }
}

void ProviderDispatcher::initializeProviders() {
  for (Provider& p : m_providers) {
    try {
      CallLock lock(m_locker, m_mutex);
      p.ref->initialize(m_env);
    } catch (const std::exception& e) {
      throw std::runtime_error("provider " + p.id.toStdString() + " failed to initialize: " + e.what());
    } catch (...) {
      throw std::runtime_error("provider " + p.id.toStdString() + " failed to initialize");
    }
  }
}

void ProviderDispatcher::checkNamespace(const String& ns) const {
  for (const String& served : m_namespaces)
    if (served.equalsIgnoreCase(ns)) return;
  OW_THROWCIMMSG(CIMException::INVALID_NAMESPACE,
                 ("namespace " + ns.toStdString() + " is not served").c_str());
}

CppProviderBaseIFC& ProviderDispatcher::route(const String& className) const {
  if (m_providers.size() == 1) return *m_providers.front().ref;
  String q = m_classes.providerOf(className);
  for (const Provider& p : m_providers)
    if (libraryMatches(p.id, q)) return *p.ref;
  OW_THROWCIMMSG(CIMException::INVALID_CLASS,
                 ("no provider serves class " + className.toStdString()).c_str());
}

CppInstanceProviderIFC& ProviderDispatcher::instanceProvider(const String& className) const {
  CppInstanceProviderIFC* p = route(className).getInstanceProvider();
  if (!p)
    OW_THROWCIMMSG(CIMException::NOT_SUPPORTED,
                   ("no instance provider for " + className.toStdString()).c_str());
  return *p;
}

CppAssociatorProviderIFC& ProviderDispatcher::associatorProvider(const String& className) const {
  CppAssociatorProviderIFC* p = route(className).getAssociatorProvider();
  if (!p)
    OW_THROWCIMMSG(CIMException::NOT_SUPPORTED,
                   ("no associator provider for " + className.toStdString()).c_str());
  return *p;
}

const CIMClass& ProviderDispatcher::classOf(const String& className) const {
  const CIMClass* cls = m_classes.find(className);
  return cls ? *cls : s_noClass;
}

// Runs one provider call under the lock. CIM errors pass unchanged; any
// other exception is logged and becomes CIM_ERR_FAILED, so a faulty
// provider never takes the agent down.
template <class F>
auto ProviderDispatcher::guarded(const char* operation, const String& className, F&& call)
    -> decltype(call()) {
  std::string failure;
  try {
    CallLock lock(m_locker, m_mutex);
    return call();
  } catch (const CIMException&) {
    throw;
  } catch (const std::exception& e) {
    failure = std::string("provider failed during ") + operation + " on " + className.toStdString() + ": " +
              e.what();
  } catch (...) {
    failure = std::string("provider failed during ") + operation + " on " + className.toStdString() +
              ": unknown exception";
  }
  m_logger->logError(failure);
  OW_THROWCIMMSG(CIMException::FAILED, failure.c_str());
}

template <class F>
void ProviderDispatcher::audited(const char* operation, const String& className, const std::string& key,
                                 F&& change) {
  std::string changes;
  try {
    CIMObjectPath done = change(changes);
    std::string doneKey = done.getKeys().empty() ? key : auditKey(done);
    syslog(LOG_NOTICE, "audit: %s by %s: class %s key {%s}%s", operation, m_caller.c_str(), className.c_str(),
           doneKey.c_str(), changes.c_str());
  } catch (const CIMException& e) {
    syslog(LOG_NOTICE, "audit: %s by %s refused with CIM status %d: class %s key {%s}: %s", operation,
           m_caller.c_str(), e.getErrNo(), className.c_str(), key.c_str(), e.getMessage());
    throw;
  }
}

// The instance as it is before a change, or null when the provider cannot
// give it (called under the lock).
CIMInstance ProviderDispatcher::currentInstance(const String& ns, const CIMObjectPath& path) {
  const String& className = path.getClassName();
  try {
    return instanceProvider(className).getInstance(
        m_env, ns, path, WBEMFlags::E_NOT_LOCAL_ONLY, WBEMFlags::E_EXCLUDE_QUALIFIERS,
        WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr, classOf(className));
  } catch (...) {
    return CIMInstance();
  }
}

CIMClass ProviderDispatcher::getClass(const String& ns, const String& className,
                                      WBEMFlags::ELocalOnlyFlag localOnly,
                                      WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                      WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                      const StringArray* propertyList) {
  checkNamespace(ns);
  return m_classes.getClass(className, localOnly, includeQualifiers, propertyList, includeClassOrigin);
}

void ProviderDispatcher::enumClassNames(const String& ns, const String& className,
                                        StringResultHandlerIFC& result, WBEMFlags::EDeepFlag deep) {
  checkNamespace(ns);
  for (const String& name : m_classes.subclassNames(className, deep)) result.handle(name);
}

void ProviderDispatcher::enumClasses(const String& ns, const String& className,
                                     CIMClassResultHandlerIFC& result, WBEMFlags::EDeepFlag deep,
                                     WBEMFlags::ELocalOnlyFlag localOnly,
                                     WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                     WBEMFlags::EIncludeClassOriginFlag includeClassOrigin) {
  checkNamespace(ns);
  for (const String& name : m_classes.subclassNames(className, deep))
    result.handle(m_classes.getClass(name, localOnly, includeQualifiers, nullptr, includeClassOrigin));
}

void ProviderDispatcher::enumInstanceNames(const String& ns, const String& className,
                                           CIMObjectPathResultHandlerIFC& result) {
  checkNamespace(ns);
  guarded("enumInstanceNames", className, [&] {
    instanceProvider(className).enumInstanceNames(m_env, ns, className, result, classOf(className));
  });
}

void ProviderDispatcher::enumInstances(const String& ns, const String& className,
                                       CIMInstanceResultHandlerIFC& result, WBEMFlags::EDeepFlag deep,
                                       WBEMFlags::ELocalOnlyFlag localOnly,
                                       WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                       WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                       const StringArray* propertyList) {
  checkNamespace(ns);
  guarded("enumInstances", className, [&] {
    const CIMClass& cls = classOf(className);
    instanceProvider(className).enumInstances(m_env, ns, className, result, localOnly, deep,
                                              includeQualifiers, includeClassOrigin, propertyList, cls, cls);
  });
}

CIMInstance ProviderDispatcher::getInstance(const String& ns, const CIMObjectPath& instanceName,
                                            WBEMFlags::ELocalOnlyFlag localOnly,
                                            WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                            WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                            const StringArray* propertyList) {
  checkNamespace(ns);
  CIMObjectPath path(instanceName);
  m_classes.typeObjectPath(path);
  const String& className = path.getClassName();
  return guarded("getInstance", className, [&] {
    return instanceProvider(className).getInstance(m_env, ns, path, localOnly, includeQualifiers,
                                                   includeClassOrigin, propertyList, classOf(className));
  });
}

CIMObjectPath ProviderDispatcher::createInstance(const String& ns, const CIMInstance& instance) {
  checkNamespace(ns);
  CIMInstance typed(instance);
  const String& className = typed.getClassName();
  CIMObjectPath made;
  audited("CreateInstance", className, std::string(), [&](std::string& changes) {
    m_classes.typeInstance(typed);
    made = guarded("createInstance", className,
                   [&] { return instanceProvider(className).createInstance(m_env, ns, typed); });
    changes = auditChanges(CIMInstance(), typed, classOf(className));
    return made;
  });
  return made;
}

void ProviderDispatcher::modifyInstance(const String& ns, const CIMInstance& modifiedInstance,
                                        WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                        const StringArray* propertyList) {
  checkNamespace(ns);
  CIMInstance typed(modifiedInstance);
  const String& className = typed.getClassName();
  const CIMClass& cls = classOf(className);
  CIMObjectPath path(className, ns);
  for (const CIMProperty& p : typed.getProperties())
    if (p.isKey() || (cls && cls.getProperty(p.getName()).isKey()))
      path.setKeyValue(p.getName(), p.getValue());
  audited("ModifyInstance", className, auditKey(path), [&](std::string& changes) {
    m_classes.typeInstance(typed);
    if (propertyList) {
      // Only the listed properties are to change; the keys still name
      // the instance.
      CIMPropertyArray kept;
      for (const CIMProperty& p : typed.getProperties()) {
        bool isKey = p.isKey() || (cls && cls.getProperty(p.getName()).isKey());
        bool listedProp = false;
        for (const String& name : *propertyList)
          listedProp = listedProp || name.equalsIgnoreCase(p.getName());
        if (isKey || listedProp) kept.push_back(p);
      }
      typed.setProperties(kept);
    }
    m_classes.typeObjectPath(path);
    guarded("modifyInstance", className, [&] {
      CIMInstance before = currentInstance(ns, path);
      instanceProvider(className).modifyInstance(m_env, ns, typed, CIMInstance(), includeQualifiers,
                                                 propertyList, cls);
      CIMInstance after = currentInstance(ns, path);
      // What the provider stored, where it can tell; else what was sent.
      changes = auditChanges(before, after ? after : typed, cls);
    });
    return path;
  });
}

void ProviderDispatcher::deleteInstance(const String& ns, const CIMObjectPath& instanceName) {
  checkNamespace(ns);
  CIMObjectPath path(instanceName);
  const String& className = path.getClassName();
  audited("DeleteInstance", className, auditKey(path), [&](std::string& changes) {
    m_classes.typeObjectPath(path);
    guarded("deleteInstance", className, [&] {
      CIMInstance before = currentInstance(ns, path);
      instanceProvider(className).deleteInstance(m_env, ns, path);
      if (before)
        for (const CIMProperty& p : before.getProperties())
          changes += "; " + p.getName().toStdString() + ": " + auditText(p.getValue()) + " -> deleted";
    });
    return path;
  });
}

void ProviderDispatcher::associators(const String& ns, const CIMObjectPath& objectName,
                                     CIMInstanceResultHandlerIFC& result, const String& assocClass,
                                     const String& resultClass, const String& role, const String& resultRole,
                                     WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                     WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                     const StringArray* propertyList) {
  OfClass<CIMInstance> filtered(result, m_classes, resultClass);
  forAssociations("associators", ns, objectName, assocClass, role, resultClass, resultRole,
                  [&](CppAssociatorProviderIFC& p, const CIMObjectPath& path, const String& assoc) {
                    p.associators(m_env, filtered, ns, path, assoc, resultClass, role, resultRole,
                                  includeQualifiers, includeClassOrigin, propertyList);
                  });
}

void ProviderDispatcher::associatorNames(const String& ns, const CIMObjectPath& objectName,
                                         CIMObjectPathResultHandlerIFC& result, const String& assocClass,
                                         const String& resultClass, const String& role,
                                         const String& resultRole) {
  OfClass<CIMObjectPath> filtered(result, m_classes, resultClass);
  forAssociations("associatorNames", ns, objectName, assocClass, role, resultClass, resultRole,
                  [&](CppAssociatorProviderIFC& p, const CIMObjectPath& path, const String& assoc) {
                    p.associatorNames(m_env, filtered, ns, path, assoc, resultClass, role, resultRole);
                  });
}

void ProviderDispatcher::references(const String& ns, const CIMObjectPath& objectName,
                                    CIMInstanceResultHandlerIFC& result, const String& resultClass,
                                    const String& role, WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                    WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                    const StringArray* propertyList) {
  forAssociations("references", ns, objectName, resultClass, role, String(), String(),
                  [&](CppAssociatorProviderIFC& p, const CIMObjectPath& path, const String& assoc) {
                    p.references(m_env, result, ns, path, assoc, role, includeQualifiers, includeClassOrigin,
                                 propertyList);
                  });
}

void ProviderDispatcher::referenceNames(const String& ns, const CIMObjectPath& objectName,
                                        CIMObjectPathResultHandlerIFC& result, const String& resultClass,
                                        const String& role) {
  forAssociations("referenceNames", ns, objectName, resultClass, role, String(), String(),
                  [&](CppAssociatorProviderIFC& p, const CIMObjectPath& path, const String& assoc) {
                    p.referenceNames(m_env, result, ns, path, assoc, role);
                  });
}

// With an association class, one call to its provider. Without one, a call
// for each association class that can link the object, whose provider
// answers association calls; their answers follow each other.
template <class F>
void ProviderDispatcher::forAssociations(const char* operation, const String& ns,
                                         const CIMObjectPath& objectName, const String& assocClass,
                                         const String& role, const String& resultClass,
                                         const String& resultRole, F&& call) {
  checkNamespace(ns);
  CIMObjectPath path(objectName);
  m_classes.typeObjectPath(path);
  if (!assocClass.empty()) {
    guarded(operation, assocClass, [&] { call(associatorProvider(assocClass), path, assocClass); });
    return;
  }
  for (const String& assoc : m_classes.associationsOf(path.getClassName(), role, resultClass, resultRole)) {
    CppAssociatorProviderIFC* provider = nullptr;
    try {
      provider = &associatorProvider(assoc);
    } catch (const CIMException&) {
      continue;  // no provider answers for it: it links nothing
    }
    guarded(operation, assoc, [&] { call(*provider, path, assoc); });
  }
}

CIMValue ProviderDispatcher::invokeMethod(const String& ns, const CIMObjectPath& path,
                                          const String& methodName, const CIMParamValueArray& in,
                                          CIMParamValueArray& out) {
  checkNamespace(ns);
  CIMObjectPath typedPath(path);
  const String& className = typedPath.getClassName();
  CIMValue rv;
  std::string operation = "InvokeMethod " + methodName.toStdString();
  audited(operation.c_str(), className, auditKey(typedPath), [&](std::string& changes) {
    m_classes.typeObjectPath(typedPath);
    CIMParamValueArray typedIn(in);
    m_classes.typeMethodParams(className, methodName, typedIn);
    rv = guarded("invokeMethod", className, [&] {
      CppMethodProviderIFC* p = route(className).getMethodProvider();
      if (!p)
        OW_THROWCIMMSG(CIMException::NOT_SUPPORTED,
                       ("no method provider for " + className.toStdString()).c_str());
      return p->invokeMethod(m_env, ns, typedPath, methodName, typedIn, out);
    });
    for (const CIMParamValue& p : typedIn)
      changes += "; in " + p.getName().toStdString() + ": " + auditText(p.getValue());
    changes += "; returned " + auditText(rv);
    return typedPath;
  });
  return rv;
}

}  // namespace OpenWBEM
