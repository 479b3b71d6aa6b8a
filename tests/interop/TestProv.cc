// Provider used by the interop tests, the request fuzz target and the
// benchmark: in-memory instances of the classes in
// tests/data/openwbem-server/TestProv.mof.
//   Test_Item          keys Name, Id (uint16); "testprov.items" of them
//                      ("item1".."itemN", Id 1..N) at start
//   Test_Service       one instance "svc" (its Motto is not UTF-8); methods
//                      Echo and Fail
//   Test_ItemInService links every item to the service
//   Test_Thrower       fails every request with a non-CIM exception
// Keys must arrive typed as the schema declares them.
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
      item.setProperty("When", CIMValue(CIMDateTime(String("20240102030405.000000+000"))));
      m_items[keyOf(pathOf("", item))] = item;
    }
  }

  void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String& ns, const String& className,
                         CIMObjectPathResultHandlerIFC& result, const CIMClass&) override {
    for (const CIMInstance& i : instances(ns, className)) result.handle(pathOf(ns, i));
  }

  void enumInstances(const ProviderEnvironmentIFCRef&, const String& ns, const String& className,
                     CIMInstanceResultHandlerIFC& result, ELocalOnlyFlag, EDeepFlag, EIncludeQualifiersFlag,
                     EIncludeClassOriginFlag, const StringArray*, const CIMClass&, const CIMClass&) override {
    for (const CIMInstance& i : instances(ns, className)) result.handle(i);
  }

  CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                          ELocalOnlyFlag, EIncludeQualifiersFlag, EIncludeClassOriginFlag, const StringArray*,
                          const CIMClass&) override {
    if (path.getClassName().equalsIgnoreCase(kItem)) return m_items.at(findItem(path));
    if (!path.getClassName().equalsIgnoreCase(kService)) throw 42;
    if (path.getKeyValue("Name").toString() != "svc")
      OW_THROWCIMMSG(CIMException::NOT_FOUND, "no such service");
    return service();
  }

  CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String& ns,
                               const CIMInstance& inst) override {
    if (!inst.getClassName().equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::NOT_SUPPORTED);
    CIMObjectPath path = pathOf(ns, inst);
    std::string key = keyOf(path);
    if (m_items.count(key)) OW_THROWCIM(CIMException::ALREADY_EXISTS);
    m_items[key] = CIMInstance(kItem).setProperties(inst.getProperties());
    return path;
  }

  void modifyInstance(const ProviderEnvironmentIFCRef&, const String& ns, const CIMInstance& modified,
                      const CIMInstance&, EIncludeQualifiersFlag, const StringArray*,
                      const CIMClass&) override {
    CIMInstance& item = m_items.at(findItem(pathOf(ns, modified)));
    for (const CIMProperty& p : modified.getProperties()) item.setProperty(p.getName(), p.getValue());
  }

  void deleteInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path) override {
    m_items.erase(findItem(path));
  }

  CIMValue invokeMethod(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath&,
                        const String& method, const CIMParamValueArray& in,
                        CIMParamValueArray& out) override {
    if (method.equalsIgnoreCase("Fail"))
      OW_THROWCIMMSG(CIMException::INVALID_PARAMETER,
                     "Rejected <value> & \"quoted\"\nsecond line #CFG_000_0001,Code#");
    if (!method.equalsIgnoreCase("Echo")) OW_THROWCIM(CIMException::METHOD_NOT_FOUND);
    CIMValue text = CIMParamValueGet(in, "Text");
    UInt16 times = CIMParamValueGet(in, "Times").isNull() ? 1 : CIMParamValueGet(in, "Times").toUInt16();
    String result;
    for (UInt16 i = 0; i < times; ++i) result += text.isNull() ? String() : text.toStringValue();
    out.push_back(CIMParamValue("Result", CIMValue(result)));
    return CIMValue(UInt32(times));
  }

  void associators(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC& result, const String& ns,
                   const CIMObjectPath& objectName, const String& assocClass, const String&, const String&,
                   const String&, EIncludeQualifiersFlag, EIncludeClassOriginFlag,
                   const StringArray*) override {
    for (const CIMInstance& other : otherEnds(ns, objectName, assocClass)) result.handle(other);
  }

  void associatorNames(const ProviderEnvironmentIFCRef&, CIMObjectPathResultHandlerIFC& result,
                       const String& ns, const CIMObjectPath& objectName, const String& assocClass,
                       const String&, const String&, const String&) override {
    for (const CIMInstance& other : otherEnds(ns, objectName, assocClass)) result.handle(pathOf(ns, other));
  }

  void references(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC& result, const String& ns,
                  const CIMObjectPath& objectName, const String& resultClass, const String&,
                  EIncludeQualifiersFlag, EIncludeClassOriginFlag, const StringArray*) override {
    for (const CIMInstance& l : links(ns, objectName, resultClass)) result.handle(l);
  }

  void referenceNames(const ProviderEnvironmentIFCRef&, CIMObjectPathResultHandlerIFC& result,
                      const String& ns, const CIMObjectPath& objectName, const String& resultClass,
                      const String&) override {
    for (const CIMInstance& l : links(ns, objectName, resultClass)) result.handle(pathOf(ns, l));
  }

 private:
  CIMInstanceArray instances(const String& ns, const String& className) const {
    if (className.equalsIgnoreCase(kService)) return CIMInstanceArray{service()};
    if (className.equalsIgnoreCase("Test_Thrower")) throw std::runtime_error("thrower: enumeration failed");
    const bool links = className.equalsIgnoreCase(kLink);
    if (!links && !className.equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::INVALID_CLASS);
    CIMInstanceArray out;
    for (const auto& item : m_items) out.push_back(links ? link(ns, item.second) : item.second);
    return out;
  }

  static std::string keyOf(const CIMObjectPath& path) {
    return path.getKeyValue("Name").toString().toStdString() + "#" +
           path.getKeyValue("Id").toString().toStdString();
  }

  std::string findItem(const CIMObjectPath& path) const {
    if (!path.getClassName().equalsIgnoreCase(kItem)) OW_THROWCIM(CIMException::NOT_SUPPORTED);
    CIMValue id = path.getKeyValue("Id");
    if (!id.isNull() && id.getType() != CIMDataType::UINT16)
      OW_THROWCIMMSG(CIMException::FAILED, "key Id arrived untyped");
    std::string key = keyOf(path);
    if (!m_items.count(key)) OW_THROWCIMMSG(CIMException::NOT_FOUND, ("no item " + key).c_str());
    return key;
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
    for (const char* key : {"Name", "Id", "Antecedent", "Dependent"})
      if (inst.getProperty(key)) p.setKeyValue(key, inst.getPropertyValue(key));
    return p;
  }

  static CIMInstance link(const String& ns, const CIMInstance& item) {
    CIMInstance l(kLink);
    l.setProperty("Antecedent", CIMValue(pathOf(ns, service())));
    l.setProperty("Dependent", CIMValue(pathOf(ns, item)));
    return l;
  }

  // The links of objectName, all of them for the service; assocClass, when
  // given, must be the link class.
  CIMInstanceArray links(const String& ns, const CIMObjectPath& objectName, const String& assocClass) const {
    if (!assocClass.empty() && !assocClass.equalsIgnoreCase(kLink)) OW_THROWCIM(CIMException::INVALID_CLASS);
    const bool all = objectName.getClassName().equalsIgnoreCase(kService);
    const std::string key = all ? std::string() : findItem(objectName);
    CIMInstanceArray out;
    for (const auto& item : m_items)
      if (all || item.first == key) out.push_back(link(ns, item.second));
    return out;
  }

  // The objects at the other end of those links (the agent filters them by
  // the result class).
  CIMInstanceArray otherEnds(const String& ns, const CIMObjectPath& objectName,
                             const String& assocClass) const {
    CIMInstanceArray out;
    for (const CIMInstance& l : links(ns, objectName, assocClass))
      out.push_back(objectName.getClassName().equalsIgnoreCase(kService)
                        ? m_items.at(keyOf(l.getPropertyValue("Dependent").toCIMObjectPath()))
                        : service());
    return out;
  }

  std::map<std::string, CIMInstance> m_items;
};

}  // namespace

OW_PROVIDERFACTORY(TestProv, TestProv)
