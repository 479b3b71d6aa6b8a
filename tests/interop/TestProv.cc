// Provider used by the interop tests and the benchmark: in-memory instances
// of the classes in tests/data/openwbem-server/TestProv.mof.
//   Test_Item          keys Name, Id (uint16); "testprov.items" of them
//                      ("item1".."itemN", Id 1..N) at start
//   Test_Service       one instance "svc" (its Motto is not UTF-8); methods
//                      Echo and Fail
//   Test_ItemInService links every item to the service
//   Test_Thrower       fails every request with a non-CIM exception
// It checks that typed values arrive with the types the schema declares.
#include "openwbem/CIMException.h"
#include "openwbem/CppAssociatorProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"

#include <cstdlib>
#include <map>
#include <stdexcept>

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

namespace {

const char* const kItem = "Test_Item";
const char* const kService = "Test_Service";
const char* const kLink = "Test_ItemInService";
const char* const kThrower = "Test_Thrower";

void requireType(const CIMValue& v, CIMDataType::Type type, const char* what) {
  if (!v.isNull() && v.getType() != type)
    OW_THROWCIMMSG(CIMException::FAILED,
                   (std::string(what) + " arrived as " + CIMDataType::typeName(v.getType()) + ", not " +
                    CIMDataType::typeName(type))
                       .c_str());
}

class TestProv : public CppMethodProviderIFC, public CppAssociatorProviderIFC {
 public:
  void initialize(const ProviderEnvironmentIFCRef& env) override {
    long count = std::strtol(env->getConfigItem("testprov.items", "3").c_str(), nullptr, 10);
    for (long i = 1; i <= count; ++i) {
      CIMInstance item(kItem);
      item.setProperty("Name", CIMValue(String("item" + std::to_string(i))));
      item.setProperty("Id", CIMValue(UInt16(i)));
      item.setProperty("Text", CIMValue(String("text of item " + std::to_string(i))));
      item.setProperty("Small", CIMValue(UInt8(i % 256)));
      item.setProperty("Count", CIMValue(UInt32(i * 1000)));
      item.setProperty("Delta", CIMValue(Int32(-i)));
      item.setProperty("Flag", CIMValue(i % 2 == 0));
      item.setProperty("When", CIMValue(CIMDateTime(String("20240102030405.000000+000"))));
      m_items[keyOf(item.getPropertyValue("Name").toStringValue(), UInt16(i))] = item;
    }
  }

  void enumInstanceNames(const ProviderEnvironmentIFCRef& env, const String& ns, const String& className,
                         CIMObjectPathResultHandlerIFC& result, const CIMClass& cls) override {
    InstanceToPath toPath(result, ns, cls);
    enumInstances(env, ns, className, toPath, E_NOT_LOCAL_ONLY, E_DEEP, E_EXCLUDE_QUALIFIERS,
                  E_EXCLUDE_CLASS_ORIGIN, nullptr, cls, cls);
  }

  void enumInstances(const ProviderEnvironmentIFCRef&, const String& ns, const String& className,
                     CIMInstanceResultHandlerIFC& result, ELocalOnlyFlag, EDeepFlag, EIncludeQualifiersFlag,
                     EIncludeClassOriginFlag, const StringArray*, const CIMClass&, const CIMClass&) override {
    if (className.equalsIgnoreCase(kItem))
      for (const auto& item : m_items) result.handle(item.second);
    else if (className.equalsIgnoreCase(kService))
      result.handle(service());
    else if (className.equalsIgnoreCase(kLink))
      for (const auto& item : m_items) result.handle(link(ns, item.second));
    else if (className.equalsIgnoreCase(kThrower))
      throw std::runtime_error("thrower: enumeration failed");
    else
      OW_THROWCIM(CIMException::INVALID_CLASS);
  }

  CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                          ELocalOnlyFlag, EIncludeQualifiersFlag, EIncludeClassOriginFlag, const StringArray*,
                          const CIMClass&) override {
    const String& cls = path.getClassName();
    if (cls.equalsIgnoreCase(kItem)) return m_items.at(findItem(path));
    if (cls.equalsIgnoreCase(kService)) {
      if (path.getKeyValue("Name").toString() != "svc")
        OW_THROWCIMMSG(CIMException::NOT_FOUND, "no such service");
      return service();
    }
    if (cls.equalsIgnoreCase(kThrower)) throw 42;
    OW_THROWCIM(CIMException::INVALID_CLASS);
  }

  CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String& ns,
                               const CIMInstance& inst) override {
    if (!inst.getClassName().equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::NOT_SUPPORTED);
    checkTypes(inst);
    CIMValue name = inst.getPropertyValue("Name");
    CIMValue id = inst.getPropertyValue("Id");
    if (name.isNull() || id.isNull())
      OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "Name and Id are required");
    std::string key = keyOf(name.toStringValue(), id.toUInt16());
    if (m_items.count(key)) OW_THROWCIM(CIMException::ALREADY_EXISTS);
    CIMInstance stored(kItem);
    stored.setProperties(inst.getProperties());
    m_items[key] = stored;
    CIMObjectPath path(kItem, ns);
    path.setKeyValue("Name", name);
    path.setKeyValue("Id", id);
    return path;
  }

  void modifyInstance(const ProviderEnvironmentIFCRef&, const String& ns, const CIMInstance& modified,
                      const CIMInstance&, EIncludeQualifiersFlag, const StringArray*,
                      const CIMClass&) override {
    if (!modified.getClassName().equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::NOT_SUPPORTED);
    checkTypes(modified);
    CIMObjectPath path(kItem, ns);
    path.setKeyValue("Name", modified.getPropertyValue("Name"));
    path.setKeyValue("Id", modified.getPropertyValue("Id"));
    CIMInstance& item = m_items.at(findItem(path));
    for (const CIMProperty& p : modified.getProperties()) item.setProperty(p.getName(), p.getValue());
  }

  void deleteInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path) override {
    if (!path.getClassName().equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::NOT_SUPPORTED);
    m_items.erase(findItem(path));
  }

  CIMValue invokeMethod(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                        const String& method, const CIMParamValueArray& in,
                        CIMParamValueArray& out) override {
    if (!path.getClassName().equalsIgnoreCase(kService)) OW_THROWCIM(CIMException::METHOD_NOT_FOUND);
    if (method.equalsIgnoreCase("Echo")) {
      CIMValue text = CIMParamValueGet(in, "Text");
      CIMValue times = CIMParamValueGet(in, "Times");
      requireType(times, CIMDataType::UINT16, "Times");
      String result;
      for (UInt16 i = 0; i < (times.isNull() ? 1 : times.toUInt16()); ++i)
        result += text.isNull() ? String() : text.toStringValue();
      out.push_back(CIMParamValue("Result", CIMValue(result)));
      return CIMValue(UInt32(times.isNull() ? 1 : times.toUInt16()));
    }
    if (method.equalsIgnoreCase("Fail")) {
      CIMValue code = CIMParamValueGet(in, "Code");
      requireType(code, CIMDataType::UINT32, "Code");
      switch (code.isNull() ? 0 : code.toUInt32()) {
        case 0:
          OW_THROWCIMMSG(CIMException::INVALID_PARAMETER,
                         "Rejected <value> & \"quoted\"\nsecond line #CFG_000_0001,Code#");
        case 1:
          throw std::runtime_error("standard failure");
        case 2:
          throw 42;
        default:
          return CIMValue(code.toUInt32());
      }
    }
    OW_THROWCIM(CIMException::METHOD_NOT_FOUND);
  }

  void associators(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC& result, const String&,
                   const CIMObjectPath& objectName, const String& assocClass, const String& resultClass,
                   const String&, const String&, EIncludeQualifiersFlag, EIncludeClassOriginFlag,
                   const StringArray*) override {
    checkAssoc(assocClass);
    for (const CIMInstance& other : otherEnds(objectName))
      if (resultClass.empty() || resultClass.equalsIgnoreCase(other.getClassName())) result.handle(other);
  }

  void associatorNames(const ProviderEnvironmentIFCRef&, CIMObjectPathResultHandlerIFC& result,
                       const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                       const String& resultClass, const String&, const String&) override {
    checkAssoc(assocClass);
    for (const CIMInstance& other : otherEnds(objectName))
      if (resultClass.empty() || resultClass.equalsIgnoreCase(other.getClassName()))
        result.handle(pathOf(ns, other));
  }

  void references(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC& result, const String& ns,
                  const CIMObjectPath& objectName, const String& resultClass, const String&,
                  EIncludeQualifiersFlag, EIncludeClassOriginFlag, const StringArray*) override {
    checkAssoc(resultClass);
    for (const CIMInstance& l : links(ns, objectName)) result.handle(l);
  }

  void referenceNames(const ProviderEnvironmentIFCRef&, CIMObjectPathResultHandlerIFC& result,
                      const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                      const String&) override {
    checkAssoc(resultClass);
    for (const CIMInstance& l : links(ns, objectName)) {
      CIMObjectPath p(kLink, ns);
      p.setKeyValue("Antecedent", l.getPropertyValue("Antecedent"));
      p.setKeyValue("Dependent", l.getPropertyValue("Dependent"));
      result.handle(p);
    }
  }

 private:
  class InstanceToPath : public CIMInstanceResultHandlerIFC {
   public:
    InstanceToPath(CIMObjectPathResultHandlerIFC& out, const String& ns, const CIMClass& cls)
        : m_out(out), m_ns(ns), m_cls(cls) {}

   protected:
    void doHandle(const CIMInstance& inst) override { m_out.handle(inst.createObjectPath(m_ns, m_cls)); }

   private:
    CIMObjectPathResultHandlerIFC& m_out;
    String m_ns;
    const CIMClass& m_cls;
  };

  static std::string keyOf(const String& name, UInt16 id) {
    return name.toStdString() + "#" + std::to_string(id);
  }

  std::string findItem(const CIMObjectPath& path) const {
    CIMValue name = path.getKeyValue("Name");
    CIMValue id = path.getKeyValue("Id");
    requireType(id, CIMDataType::UINT16, "key Id");
    if (name.isNull() || id.isNull())
      OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "keys Name and Id are required");
    std::string key = keyOf(name.toString(), id.toUInt16());
    if (!m_items.count(key)) OW_THROWCIMMSG(CIMException::NOT_FOUND, ("no item " + key).c_str());
    return key;
  }

  static void checkTypes(const CIMInstance& inst) {
    requireType(inst.getPropertyValue("Id"), CIMDataType::UINT16, "Id");
    requireType(inst.getPropertyValue("Small"), CIMDataType::UINT8, "Small");
    requireType(inst.getPropertyValue("Count"), CIMDataType::UINT32, "Count");
    requireType(inst.getPropertyValue("Delta"), CIMDataType::SINT32, "Delta");
    requireType(inst.getPropertyValue("Flag"), CIMDataType::BOOLEAN, "Flag");
    requireType(inst.getPropertyValue("When"), CIMDataType::DATETIME, "When");
  }

  static void checkAssoc(const String& assocClass) {
    if (!assocClass.empty() && !assocClass.equalsIgnoreCase(kLink)) OW_THROWCIM(CIMException::INVALID_CLASS);
  }

  static CIMInstance service() {
    CIMInstance svc(kService);
    CIMProperty name("Name", CIMValue("svc"));
    name.setQualifier(CIMQualifier::createKey());
    svc.setProperty(name);
    // Bytes XML cannot carry: not UTF-8, and a control character.
    svc.setProperty("Motto", CIMValue("bad \xFF byte \x01 end"));
    return svc;
  }

  static CIMObjectPath pathOf(const String& ns, const CIMInstance& inst) {
    CIMObjectPath p(inst.getClassName(), ns);
    p.setKeyValue("Name", inst.getPropertyValue("Name"));
    if (inst.getClassName().equalsIgnoreCase(kItem)) p.setKeyValue("Id", inst.getPropertyValue("Id"));
    return p;
  }

  static CIMInstance link(const String& ns, const CIMInstance& item) {
    CIMInstance l(kLink);
    l.setProperty("Antecedent", CIMValue(pathOf(ns, service())));
    l.setProperty("Dependent", CIMValue(pathOf(ns, item)));
    return l;
  }

  CIMInstanceArray links(const String& ns, const CIMObjectPath& objectName) const {
    CIMInstanceArray out;
    for (const auto& item : m_items) {
      CIMInstance l = link(ns, item.second);
      if (objectName.getClassName().equalsIgnoreCase(kService) ||
          pathOf(ns, item.second).equals(CIMObjectPath(objectName).setNameSpace(ns)))
        out.push_back(l);
    }
    return out;
  }

  CIMInstanceArray otherEnds(const CIMObjectPath& objectName) const {
    CIMInstanceArray out;
    if (objectName.getClassName().equalsIgnoreCase(kService)) {
      for (const auto& item : m_items) out.push_back(item.second);
    } else if (objectName.getClassName().equalsIgnoreCase(kItem)) {
      findItem(objectName);
      out.push_back(service());
    }
    return out;
  }

  std::map<std::string, CIMInstance> m_items;
};

}  // namespace

OW_PROVIDERFACTORY(TestProv, TestProv)
