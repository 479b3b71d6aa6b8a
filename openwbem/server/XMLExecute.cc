#include "openwbem/XMLExecute.h"

#include "CIMXMLReader.h"
#include "CIMXMLWriter.h"
#include "XMLEscape.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMOMHandleIFC.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <optional>

namespace OpenWBEM {

namespace {

using namespace WBEMFlags;

// A request DSP0200 answers at the HTTP level: status and CIMError header.
struct HTTPLevelError {
  int status;
  const char* cimError;
  std::string detail;
};

[[noreturn]] void httpError(int status, const char* cimError, const std::string& detail = std::string()) {
  throw HTTPLevelError{status, cimError, detail};
}

bool is(const pugi::xml_node& node, const char* name) {
  return std::strcmp(node.name(), name) == 0;
}

// Major version of "2.0"-style text, or -1.
int majorVersion(const char* text) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || (*end != '.' && *end != '\0') || v < 0 || v > INT_MAX) return -1;
  return static_cast<int>(v);
}

const String& hostName() {
  static const String name = [] {
    // HOST_NAME_MAX excludes the terminator.
    char buf[HOST_NAME_MAX + 1] = {};
    if (gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return String("localhost");
    return String(buf);
  }();
  return name;
}

[[noreturn]] void invalidParameter(const std::string& what) {
  OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, what.c_str());
}

// The IPARAMVALUEs of an intrinsic call, checked against the names the
// operation takes.
class IParams {
 public:
  IParams(const pugi::xml_node& call, std::initializer_list<const char*> allowed) {
    for (pugi::xml_node c : call.children()) {
      if (c.type() != pugi::node_element || is(c, "LOCALNAMESPACEPATH")) continue;
      if (!is(c, "IPARAMVALUE")) throw CIMXMLInvalidRequest(std::string("unexpected ") + c.name());
      String name = cimxmlAttr(c, "NAME");
      const char* known = nullptr;
      for (const char* a : allowed)
        if (name.equalsIgnoreCase(a)) known = a;
      if (!known) invalidParameter("unknown parameter " + name.toStdString());
      if (!m_params.emplace(known, c).second)
        invalidParameter("parameter " + name.toStdString() + " given twice");
    }
  }

  pugi::xml_node value(const char* name) const {
    auto it = m_params.find(name);
    return it == m_params.end() ? pugi::xml_node() : cimxmlSingleChild(it->second);
  }

  bool flag(const char* name, bool def) const {
    pugi::xml_node v = value(name);
    if (!v) return def;
    if (!is(v, "VALUE")) invalidParameter(std::string(name) + " must be a boolean VALUE");
    try {
      return CIMValue::fromText(String(v.child_value()), CIMDataType::BOOLEAN).toBool();
    } catch (const CIMException&) {
      invalidParameter(std::string(name) + " must be TRUE or FALSE");
    }
  }

  String className(const char* name, bool required) const {
    pugi::xml_node v = value(name);
    if (!v) {
      if (required) invalidParameter(std::string("parameter ") + name + " missing");
      return String();
    }
    if (!is(v, "CLASSNAME")) invalidParameter(std::string(name) + " must be a CLASSNAME");
    return cimxmlAttr(v, "NAME");
  }

  String string(const char* name) const {
    pugi::xml_node v = value(name);
    if (!v) return String();
    if (!is(v, "VALUE")) invalidParameter(std::string(name) + " must be a VALUE");
    return String(v.child_value());
  }

  CIMObjectPath path(const char* name) const {
    pugi::xml_node v = value(name);
    if (!v) invalidParameter(std::string("parameter ") + name + " missing");
    if (!is(v, "INSTANCENAME") && !is(v, "CLASSNAME"))
      invalidParameter(std::string(name) + " must be an INSTANCENAME");
    return cimxmlReadObjectPath(v);
  }

  std::optional<StringArray> propertyList() const {
    pugi::xml_node v = value("PropertyList");
    if (!v) return std::nullopt;
    if (!is(v, "VALUE.ARRAY")) invalidParameter("PropertyList must be a VALUE.ARRAY");
    return cimxmlReadValue(v, CIMDataType::STRING).toStringArray();
  }

  pugi::xml_node required(const char* name, const char* element) const {
    pugi::xml_node v = value(name);
    if (!v || !is(v, element)) invalidParameter(std::string("parameter ") + name + " must be a " + element);
    return v;
  }

 private:
  std::map<std::string, pugi::xml_node> m_params;
};

const StringArray* ptr(const std::optional<StringArray>& list) {
  return list ? &*list : nullptr;
}

// Class definitions looked up while writing results (for instance paths),
// once per class per request.
class ClassCache {
 public:
  ClassCache(CIMOMHandleIFC& cimom, const String& ns) : m_cimom(cimom), m_ns(ns) {}

  const CIMClass& get(const String& className) {
    // Enumerations ask for the same class again and again.
    if (m_last && m_lastName.equals(className)) return *m_last;
    m_lastName = className;
    auto it = m_classes.find(className.toStdString());
    if (it != m_classes.end()) return *(m_last = &it->second);
    CIMClass cls;
    try {
      cls = m_cimom.getClass(m_ns, className, E_NOT_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, E_EXCLUDE_CLASS_ORIGIN,
                             nullptr);
    } catch (const CIMException&) {
      // Without a definition the instance's Key qualifiers name the keys.
    }
    return *(m_last = &m_classes.emplace(className.toStdString(), cls).first->second);
  }

 private:
  CIMOMHandleIFC& m_cimom;
  String m_ns;
  std::map<std::string, CIMClass> m_classes;
  const CIMClass* m_last = nullptr;
  String m_lastName;
};

class InstanceNameWriter : public CIMObjectPathResultHandlerIFC {
 public:
  explicit InstanceNameWriter(std::string& out) : m_out(out) {}

 protected:
  void doHandle(const CIMObjectPath& path) override { cimxmlWriteInstanceName(m_out, path); }

 private:
  std::string& m_out;
};

class ObjectPathWriter : public CIMObjectPathResultHandlerIFC {
 public:
  ObjectPathWriter(std::string& out, const String& ns) : m_out(out), m_ns(ns) {}

 protected:
  void doHandle(const CIMObjectPath& path) override {
    m_out += "<OBJECTPATH>";
    cimxmlWriteInstancePath(m_out, path, hostName(), m_ns);
    m_out += "</OBJECTPATH>";
  }

 private:
  std::string& m_out;
  String m_ns;
};

// Instances with their paths: VALUE.NAMEDINSTANCE for enumerations,
// VALUE.OBJECTWITHPATH for association results. Properties outside the
// property list and unrequested qualifiers are left out here, whatever the
// provider returned.
class InstanceWriter : public CIMInstanceResultHandlerIFC {
 public:
  InstanceWriter(std::string& out, ClassCache& classes, const String& ns, bool withFullPath,
                 const StringArray* propertyList, bool includeQualifiers)
      : m_out(out),
        m_classes(classes),
        m_ns(ns),
        m_withFullPath(withFullPath),
        m_propertyList(propertyList),
        m_includeQualifiers(includeQualifiers) {}

 protected:
  void doHandle(const CIMInstance& instance) override {
    CIMObjectPath path = instance.createObjectPath(m_ns, m_classes.get(instance.getClassName()));
    if (m_withFullPath) {
      m_out += "<VALUE.OBJECTWITHPATH>";
      cimxmlWriteInstancePath(m_out, path, hostName(), m_ns);
    } else {
      m_out += "<VALUE.NAMEDINSTANCE>";
      cimxmlWriteInstanceName(m_out, path);
    }
    if (m_propertyList)
      cimxmlWriteInstance(m_out, instance.filterProperties(m_propertyList, m_includeQualifiers),
                          m_includeQualifiers);
    else
      cimxmlWriteInstance(m_out, instance, m_includeQualifiers);
    m_out += m_withFullPath ? "</VALUE.OBJECTWITHPATH>" : "</VALUE.NAMEDINSTANCE>";
  }

 private:
  std::string& m_out;
  ClassCache& m_classes;
  String m_ns;
  bool m_withFullPath;
  const StringArray* m_propertyList;
  bool m_includeQualifiers;
};

class ClassNameWriter : public StringResultHandlerIFC {
 public:
  explicit ClassNameWriter(std::string& out) : m_out(out) {}

 protected:
  void doHandle(const String& name) override {
    m_out += "<CLASSNAME NAME=\"";
    xmlAppendEscaped(m_out, name.toStdString(), true);
    m_out += "\"/>";
  }

 private:
  std::string& m_out;
};

class ClassWriter : public CIMClassResultHandlerIFC {
 public:
  explicit ClassWriter(std::string& out) : m_out(out) {}

 protected:
  void doHandle(const CIMClass& cls) override { cimxmlWriteClass(m_out, cls); }

 private:
  std::string& m_out;
};

ELocalOnlyFlag localOnly(bool b) {
  return b ? E_LOCAL_ONLY : E_NOT_LOCAL_ONLY;
}
EDeepFlag deep(bool b) {
  return b ? E_DEEP : E_SHALLOW;
}
EIncludeQualifiersFlag quals(bool b) {
  return b ? E_INCLUDE_QUALIFIERS : E_EXCLUDE_QUALIFIERS;
}
EIncludeClassOriginFlag origin(bool b) {
  return b ? E_INCLUDE_CLASS_ORIGIN : E_EXCLUDE_CLASS_ORIGIN;
}

// What an intrinsic operation's handler works on.
struct IntrinsicCall {
  const pugi::xml_node& call;
  const String& ns;
  CIMOMHandleIFC& cimom;
  ClassCache& classes;
  std::string& out;

  // Appends the IRETURNVALUE that write fills in.
  template <class F>
  void returnValue(F&& write) {
    out += "<IRETURNVALUE>";
    write();
    out += "</IRETURNVALUE>";
  }
};

void getInstance(IntrinsicCall& c) {
  IParams p(c.call, {"InstanceName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  CIMObjectPath path = p.path("InstanceName");
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false);
  CIMInstance inst = c.cimom.getInstance(c.ns, path, localOnly(p.flag("LocalOnly", true)), quals(q),
                                         origin(p.flag("IncludeClassOrigin", false)), ptr(props));
  c.returnValue([&] { cimxmlWriteInstance(c.out, props ? inst.filterProperties(ptr(props), q) : inst, q); });
}

void enumerateInstances(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName", "LocalOnly", "DeepInheritance", "IncludeQualifiers", "IncludeClassOrigin",
                     "PropertyList"});
  String className = p.className("ClassName", true);
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false);
  InstanceWriter writer(c.out, c.classes, c.ns, false, ptr(props), q);
  c.returnValue([&] {
    c.cimom.enumInstances(c.ns, className, writer, deep(p.flag("DeepInheritance", true)),
                          localOnly(p.flag("LocalOnly", true)), quals(q),
                          origin(p.flag("IncludeClassOrigin", false)), ptr(props));
  });
}

void enumerateInstanceNames(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName"});
  InstanceNameWriter writer(c.out);
  c.returnValue([&] { c.cimom.enumInstanceNames(c.ns, p.className("ClassName", true), writer); });
}

void createInstance(IntrinsicCall& c) {
  IParams p(c.call, {"NewInstance"});
  CIMObjectPath path =
      c.cimom.createInstance(c.ns, cimxmlReadInstance(p.required("NewInstance", "INSTANCE")));
  c.returnValue([&] { cimxmlWriteInstanceName(c.out, path); });
}

void modifyInstance(IntrinsicCall& c) {
  IParams p(c.call, {"ModifiedInstance", "IncludeQualifiers", "PropertyList"});
  pugi::xml_node named = p.required("ModifiedInstance", "VALUE.NAMEDINSTANCE");
  CIMObjectPath path = cimxmlReadInstanceName(named.child("INSTANCENAME"));
  CIMInstance inst = cimxmlReadInstance(named.child("INSTANCE"));
  // The instance is named by its path: keys it does not carry come
  // from there.
  for (const CIMProperty& key : path.getKeys())
    if (!inst.getProperty(key.getName())) inst.setProperty(key);
  auto props = p.propertyList();
  c.cimom.modifyInstance(c.ns, inst, quals(p.flag("IncludeQualifiers", true)), ptr(props));
}

void deleteInstance(IntrinsicCall& c) {
  IParams p(c.call, {"InstanceName"});
  c.cimom.deleteInstance(c.ns, p.path("InstanceName"));
}

// The source object of an association query; class paths are refused.
CIMObjectPath associationSource(const IParams& p) {
  CIMObjectPath path = p.path("ObjectName");
  if (path.isClassPath())
    OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "class-level association queries are not supported");
  return path;
}

void associators(IntrinsicCall& c) {
  IParams p(c.call, {"ObjectName", "AssocClass", "ResultClass", "Role", "ResultRole", "IncludeQualifiers",
                     "IncludeClassOrigin", "PropertyList"});
  CIMObjectPath path = associationSource(p);
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false);
  InstanceWriter writer(c.out, c.classes, c.ns, true, ptr(props), q);
  c.returnValue([&] {
    c.cimom.associators(c.ns, path, writer, p.className("AssocClass", false),
                        p.className("ResultClass", false), p.string("Role"), p.string("ResultRole"), quals(q),
                        origin(p.flag("IncludeClassOrigin", false)), ptr(props));
  });
}

void references(IntrinsicCall& c) {
  IParams p(c.call,
            {"ObjectName", "ResultClass", "Role", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  CIMObjectPath path = associationSource(p);
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false);
  InstanceWriter writer(c.out, c.classes, c.ns, true, ptr(props), q);
  c.returnValue([&] {
    c.cimom.references(c.ns, path, writer, p.className("ResultClass", false), p.string("Role"), quals(q),
                       origin(p.flag("IncludeClassOrigin", false)), ptr(props));
  });
}

void associatorNames(IntrinsicCall& c) {
  IParams p(c.call, {"ObjectName", "AssocClass", "ResultClass", "Role", "ResultRole"});
  CIMObjectPath path = associationSource(p);
  ObjectPathWriter writer(c.out, c.ns);
  c.returnValue([&] {
    c.cimom.associatorNames(c.ns, path, writer, p.className("AssocClass", false),
                            p.className("ResultClass", false), p.string("Role"), p.string("ResultRole"));
  });
}

void referenceNames(IntrinsicCall& c) {
  IParams p(c.call, {"ObjectName", "ResultClass", "Role"});
  CIMObjectPath path = associationSource(p);
  ObjectPathWriter writer(c.out, c.ns);
  c.returnValue([&] {
    c.cimom.referenceNames(c.ns, path, writer, p.className("ResultClass", false), p.string("Role"));
  });
}

void getClass(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  auto props = p.propertyList();
  CIMClass cls = c.cimom.getClass(c.ns, p.className("ClassName", true), localOnly(p.flag("LocalOnly", true)),
                                  quals(p.flag("IncludeQualifiers", true)),
                                  origin(p.flag("IncludeClassOrigin", false)), ptr(props));
  c.returnValue([&] { cimxmlWriteClass(c.out, cls); });
}

void enumerateClassNames(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName", "DeepInheritance"});
  ClassNameWriter writer(c.out);
  c.returnValue([&] {
    c.cimom.enumClassNames(c.ns, p.className("ClassName", false), writer,
                           deep(p.flag("DeepInheritance", false)));
  });
}

void enumerateClasses(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName", "DeepInheritance", "LocalOnly", "IncludeQualifiers", "IncludeClassOrigin"});
  ClassWriter writer(c.out);
  c.returnValue([&] {
    c.cimom.enumClasses(c.ns, p.className("ClassName", false), writer, deep(p.flag("DeepInheritance", false)),
                        localOnly(p.flag("LocalOnly", true)), quals(p.flag("IncludeQualifiers", true)),
                        origin(p.flag("IncludeClassOrigin", false)));
  });
}

// The intrinsic operations served, by their exact names.
const std::map<std::string, void (*)(IntrinsicCall&)>& intrinsicHandlers() {
  static const std::map<std::string, void (*)(IntrinsicCall&)> handlers = {
      {"GetInstance", getInstance},
      {"EnumerateInstances", enumerateInstances},
      {"EnumerateInstanceNames", enumerateInstanceNames},
      {"CreateInstance", createInstance},
      {"ModifyInstance", modifyInstance},
      {"DeleteInstance", deleteInstance},
      {"Associators", associators},
      {"References", references},
      {"AssociatorNames", associatorNames},
      {"ReferenceNames", referenceNames},
      {"GetClass", getClass},
      {"EnumerateClassNames", enumerateClassNames},
      {"EnumerateClasses", enumerateClasses},
  };
  return handlers;
}

// Runs one intrinsic operation, appending its IRETURNVALUE (if any) to out.
// Its failures leave as CIMException; process() turns them into the
// response's ERROR.
void runIntrinsic(const String& op, const pugi::xml_node& call, const String& ns, CIMOMHandleIFC& cimom,
                  std::string& out) {
  auto handler = intrinsicHandlers().find(op.toStdString());
  if (handler == intrinsicHandlers().end())
    OW_THROWCIMMSG(CIMException::NOT_SUPPORTED,
                   ("operation " + op.toStdString() + " is not supported").c_str());
  ClassCache classes(cimom, ns);
  IntrinsicCall c{call, ns, cimom, classes, out};
  handler->second(c);
}

void runExtrinsic(const String& method, const pugi::xml_node& call, CIMOMHandleIFC& cimom, std::string& out) {
  CIMObjectPath path;
  CIMParamValueArray in;
  bool havePath = false;
  for (pugi::xml_node c : call.children()) {
    if (c.type() != pugi::node_element) continue;
    if (!havePath) {
      if (!is(c, "LOCALINSTANCEPATH") && !is(c, "LOCALCLASSPATH"))
        throw CIMXMLInvalidRequest("METHODCALL: LOCALINSTANCEPATH or LOCALCLASSPATH expected");
      path = cimxmlReadObjectPath(c);
      havePath = true;
    } else if (is(c, "PARAMVALUE"))
      in.push_back(cimxmlReadParamValue(c));
    else
      throw CIMXMLInvalidRequest(std::string("METHODCALL: unexpected ") + c.name());
  }
  if (!havePath) throw CIMXMLInvalidRequest("METHODCALL: object path missing");
  CIMParamValueArray outParams;
  CIMValue rv = cimom.invokeMethod(path.getNameSpace(), path, method, in, outParams);
  cimxmlWriteReturnValue(out, rv);
  for (const CIMParamValue& p : outParams) cimxmlWriteParamValue(out, p);
}

// True when no text or attribute value of the parsed document holds a
// character XML forbids: character references (&#1;) are decoded by the
// parser, so the check of the raw body does not see them. Iterative, as
// documents may nest deeply.
bool documentTextIsValid(const pugi::xml_document& doc) {
  auto valid = [](const char* text) { return xmlIsValidText(text, std::strlen(text)); };
  pugi::xml_node node = doc.first_child();
  while (node) {
    if (!valid(node.value())) return false;
    for (pugi::xml_attribute a : node.attributes())
      if (!valid(a.value())) return false;
    if (node.first_child())
      node = node.first_child();
    else {
      while (node && !node.next_sibling()) node = node.parent();
      if (node) node = node.next_sibling();
    }
  }
  return true;
}

void answerHTTPError(const HTTPLevelError& e, HTTPResponseData& response) {
  response.status = e.status;
  response.headers.clear();
  response.addHeader("CIMError", e.cimError);
  response.addHeader("Content-Type", "text/plain; charset=\"utf-8\"");
  response.body = std::string(e.cimError) + (e.detail.empty() ? "" : ": " + e.detail) + "\n";
}

// Checks the request line and headers, parses the body and returns the
// SIMPLEREQ's call element; the message ID goes to messageId.
pugi::xml_node checkRequest(const HTTPRequestData& request, pugi::xml_document& doc, String& messageId) {
  if (!request.method.equals("POST")) httpError(405, "unsupported-operation", "only POST is served");
  if (!request.getHeader("CIMOperation").equalsIgnoreCase("MethodCall"))
    httpError(400, "unsupported-operation", "CIMOperation must be MethodCall");
  String version = request.getHeader("CIMProtocolVersion");
  if (!version.empty() && majorVersion(version.c_str()) != 1) httpError(501, "unsupported-protocol-version");
  if (!request.hasHeader("CIMMethod")) httpError(400, "header-mismatch", "CIMMethod header missing");
  // XML 1.0 documents are UTF-8 without forbidden characters; anything
  // else is refused before a provider could see it.
  if (!xmlIsValidText(request.body.data(), request.body.size()))
    httpError(400, "request-not-well-formed", "body is not valid UTF-8 XML text");
  pugi::xml_parse_result parsed =
      doc.load_buffer(request.body.data(), request.body.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed)
    httpError(400, "request-not-well-formed",
              std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  if (!documentTextIsValid(doc) || xmlHasNulReference(request.body.data(), request.body.size()))
    httpError(400, "request-not-well-formed", "character reference to a character XML forbids");
  pugi::xml_node cim = doc.document_element();
  if (!is(cim, "CIM")) httpError(400, "request-not-valid", "root element must be CIM");
  if (majorVersion(cim.attribute("CIMVERSION").value()) != 2) httpError(501, "unsupported-cim-version");
  if (majorVersion(cim.attribute("DTDVERSION").value()) != 2) httpError(501, "unsupported-dtd-version");
  pugi::xml_node message = cim.child("MESSAGE");
  if (!message || !message.attribute("ID")) httpError(400, "request-not-valid", "MESSAGE with ID expected");
  if (majorVersion(message.attribute("PROTOCOLVERSION").value()) != 1)
    httpError(501, "unsupported-protocol-version");
  messageId = String(message.attribute("ID").value());
  if (message.child("MULTIREQ")) httpError(501, "multiple-requests-unsupported");
  pugi::xml_node call = message.child("SIMPLEREQ").first_child();
  while (call && call.type() != pugi::node_element) call = call.next_sibling();
  if (!is(call, "IMETHODCALL") && !is(call, "METHODCALL"))
    httpError(400, "request-not-valid", "SIMPLEREQ with IMETHODCALL or METHODCALL expected");
  if (!call.attribute("NAME"))
    httpError(400, "request-not-valid", std::string(call.name()) + " without NAME");
  if (!request.getHeader("CIMMethod").equalsIgnoreCase(String(call.attribute("NAME").value())))
    httpError(400, "header-mismatch", "CIMMethod header does not name the method called");
  return call;
}

}  // namespace

XMLExecute::~XMLExecute() = default;

StringArray XMLExecute::getSupportedContentTypes() const {
  return StringArray{String("application/xml"), String("text/xml")};
}

void XMLExecute::process(const HTTPRequestData& request, CIMOMHandleIFC& cimom, HTTPResponseData& response) {
  try {
    pugi::xml_document doc;
    String messageId;
    pugi::xml_node call = checkRequest(request, doc, messageId);
    const bool intrinsic = is(call, "IMETHODCALL");
    String name(call.attribute("NAME").value());
    const char* element = intrinsic ? "IMETHODRESPONSE" : "METHODRESPONSE";

    std::string& out = response.body;
    out.clear();
    out +=
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE "
        "ID=\"";
    xmlAppendEscaped(out, messageId.toStdString(), true);
    out += "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><";
    out += element;
    out += " NAME=\"";
    xmlAppendEscaped(out, name.toStdString(), true);
    out += "\">";
    const std::size_t mark = out.size();
    try {
      if (intrinsic) {
        pugi::xml_node nsNode = call.child("LOCALNAMESPACEPATH");
        if (!nsNode) throw CIMXMLInvalidRequest("IMETHODCALL: LOCALNAMESPACEPATH missing");
        runIntrinsic(name, call, cimxmlReadLocalNamespacePath(nsNode), cimom, out);
      } else
        runExtrinsic(name, call, cimom, out);
    } catch (const CIMException& e) {
      // Whatever results were written before the failure are dropped.
      out.resize(mark);
      cimxmlWriteError(out, e.getErrNo(), String(e.getMessage()));
    }
    out += "</";
    out += element;
    out += "></SIMPLERSP></MESSAGE></CIM>\n";
    response.status = 200;
    response.addHeader("Content-Type", "application/xml; charset=\"utf-8\"");
    response.addHeader("CIMOperation", "MethodResponse");
  } catch (const HTTPLevelError& e) {
    answerHTTPError(e, response);
  } catch (const CIMXMLInvalidRequest& e) {
    answerHTTPError(HTTPLevelError{400, "request-not-valid", e.what()}, response);
  } catch (const std::exception& e) {
    response.status = 500;
    response.headers.clear();
    response.body = std::string("internal error: ") + e.what() + "\n";
  }
}

}  // namespace OpenWBEM
