#include "openwbem/XMLExecute.h"

#include "CIMXMLReader.h"
#include "CIMXMLWriter.h"
#include "XMLEscape.h"

#include "openwbem/CIMException.h"
#include "openwbem/CIMOMHandleIFC.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <vector>

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
  IParams(const pugi::xml_node& call, const std::vector<const char*>& allowed) {
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

  // An unsigned 32-bit VALUE; nothing when absent or VALUE.NULL.
  std::optional<UInt32> count(const char* name) const {
    pugi::xml_node v = value(name);
    if (!v || is(v, "VALUE.NULL")) return std::nullopt;
    if (!is(v, "VALUE")) invalidParameter(std::string(name) + " must be a VALUE");
    try {
      return CIMValue::fromText(String(v.child_value()), CIMDataType::UINT32).toUInt32();
    } catch (const CIMException&) {
      invalidParameter(std::string(name) + " must be an unsigned 32-bit number");
    }
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
      cls = m_cimom.getClass(m_ns, className, E_NOT_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN,
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

// How instances are written: the properties of propertyList (all when it
// is null), whatever the provider returned; qualifiers and class origins
// only when asked for.
struct InstanceOptions {
  const StringArray* propertyList = nullptr;
  bool includeQualifiers = false;
  bool includeClassOrigin = false;
};

// Instances with their paths: VALUE.NAMEDINSTANCE for enumerations,
// VALUE.OBJECTWITHPATH for association results, VALUE.INSTANCEWITHPATH for
// pull operations.
enum class InstanceShape { Named, ObjectWithPath, WithPath };

// INSTANCE as the options show it; class origins come from cls.
void writeInstance(std::string& out, const CIMInstance& instance, const CIMClass& cls,
                   const InstanceOptions& o) {
  if (!o.propertyList && !o.includeClassOrigin)
    return cimxmlWriteInstance(out, instance, o.includeQualifiers);
  CIMInstance shown =
      o.propertyList ? instance.filterProperties(o.propertyList, o.includeQualifiers) : instance;
  if (o.includeClassOrigin) {
    CIMPropertyArray props = shown.getProperties();
    for (CIMProperty& p : props) p.setOriginClass(cls.getProperty(p.getName()).getOriginClass());
    shown.setProperties(props);
  }
  cimxmlWriteInstance(out, shown, o.includeQualifiers, o.includeClassOrigin);
}

void writeInstanceWithPath(std::string& out, InstanceShape shape, const CIMObjectPath& path,
                           const CIMInstance& instance, const String& ns, const CIMClass& cls,
                           const InstanceOptions& o) {
  const char* element = shape == InstanceShape::Named            ? "VALUE.NAMEDINSTANCE"
                        : shape == InstanceShape::ObjectWithPath ? "VALUE.OBJECTWITHPATH"
                                                                 : "VALUE.INSTANCEWITHPATH";
  out += '<';
  out += element;
  out += '>';
  if (shape == InstanceShape::Named)
    cimxmlWriteInstanceName(out, path);
  else
    cimxmlWriteInstancePath(out, path, hostName(), ns);
  writeInstance(out, instance, cls, o);
  out += "</";
  out += element;
  out += '>';
}

class InstanceWriter : public CIMInstanceResultHandlerIFC {
 public:
  InstanceWriter(std::string& out, ClassCache& classes, const String& ns, InstanceShape shape,
                 const InstanceOptions& options)
      : m_out(out), m_classes(classes), m_ns(ns), m_shape(shape), m_options(options) {}

 protected:
  void doHandle(const CIMInstance& instance) override {
    const CIMClass& cls = m_classes.get(instance.getClassName());
    writeInstanceWithPath(m_out, m_shape, instance.createObjectPath(m_ns, cls), instance, m_ns, cls,
                          m_options);
  }

 private:
  std::string& m_out;
  ClassCache& m_classes;
  String m_ns;
  InstanceShape m_shape;
  InstanceOptions m_options;
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
  XMLExecute::Contexts& contexts;
  std::size_t requestBytes;  // of the request's body

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
  bool q = p.flag("IncludeQualifiers", false), o = p.flag("IncludeClassOrigin", false);
  CIMInstance inst =
      c.cimom.getInstance(c.ns, path, localOnly(p.flag("LocalOnly", true)), quals(q), origin(o), ptr(props));
  c.returnValue([&] { writeInstance(c.out, inst, c.classes.get(inst.getClassName()), {ptr(props), q, o}); });
}

void enumerateInstances(IntrinsicCall& c) {
  IParams p(c.call, {"ClassName", "LocalOnly", "DeepInheritance", "IncludeQualifiers", "IncludeClassOrigin",
                     "PropertyList"});
  String className = p.className("ClassName", true);
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false), o = p.flag("IncludeClassOrigin", false);
  InstanceWriter writer(c.out, c.classes, c.ns, InstanceShape::Named, {ptr(props), q, o});
  c.returnValue([&] {
    c.cimom.enumInstances(c.ns, className, writer, deep(p.flag("DeepInheritance", true)),
                          localOnly(p.flag("LocalOnly", true)), quals(q), origin(o), ptr(props));
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
  bool q = p.flag("IncludeQualifiers", false), o = p.flag("IncludeClassOrigin", false);
  InstanceWriter writer(c.out, c.classes, c.ns, InstanceShape::ObjectWithPath, {ptr(props), q, o});
  c.returnValue([&] {
    c.cimom.associators(c.ns, path, writer, p.className("AssocClass", false),
                        p.className("ResultClass", false), p.string("Role"), p.string("ResultRole"), quals(q),
                        origin(o), ptr(props));
  });
}

void references(IntrinsicCall& c) {
  IParams p(c.call,
            {"ObjectName", "ResultClass", "Role", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  CIMObjectPath path = associationSource(p);
  auto props = p.propertyList();
  bool q = p.flag("IncludeQualifiers", false), o = p.flag("IncludeClassOrigin", false);
  InstanceWriter writer(c.out, c.classes, c.ns, InstanceShape::ObjectWithPath, {ptr(props), q, o});
  c.returnValue([&] {
    c.cimom.references(c.ns, path, writer, p.className("ResultClass", false), p.string("Role"), quals(q),
                       origin(o), ptr(props));
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

// Pull operations (DSP0200 1.3). An open enumeration keeps its request and
// how far it got, never its results: each page runs the request again and
// writes only the objects after the last one delivered, so memory follows
// the page. The provider contract stays one call per request.

// Limits of the open enumerations, and their timeouts in seconds.
constexpr std::size_t kMaxContextsPerClient = 16;
constexpr std::size_t kMaxContexts = 64;
constexpr UInt32 kDefaultTimeoutSeconds = 60;
constexpr UInt32 kMaxTimeoutSeconds = 600;
// Largest request whose enumeration is kept open (property lists and
// source paths stay with the context).
constexpr std::size_t kMaxContextRequestBytes = 16 * 1024;

using Clock = std::chrono::steady_clock;

// The request an enumeration runs for each page.
struct PullQuery {
  enum Kind { Instances, InstancePaths, Associators, AssociatorPaths, References, ReferencePaths };
  Kind kind = Instances;
  String ns;
  String className;      // the enumeration's class
  CIMObjectPath object;  // the source object of associators and references
  String assocClass, resultClass, role, resultRole;
  bool deepInheritance = true;
  bool includeClassOrigin = false;
  std::optional<StringArray> propertyList;

  bool withInstances() const { return kind == Instances || kind == Associators || kind == References; }

  void run(CIMOMHandleIFC& cimom, CIMInstanceResultHandlerIFC& instances,
           CIMObjectPathResultHandlerIFC& paths) const {
    const EIncludeClassOriginFlag o = origin(includeClassOrigin);
    switch (kind) {
      case Instances:
        return cimom.enumInstances(ns, className, instances, deep(deepInheritance), E_NOT_LOCAL_ONLY,
                                   E_EXCLUDE_QUALIFIERS, o, ptr(propertyList));
      case InstancePaths:
        return cimom.enumInstanceNames(ns, className, paths);
      case Associators:
        return cimom.associators(ns, object, instances, assocClass, resultClass, role, resultRole,
                                 E_EXCLUDE_QUALIFIERS, o, ptr(propertyList));
      case AssociatorPaths:
        return cimom.associatorNames(ns, object, paths, assocClass, resultClass, role, resultRole);
      case References:
        return cimom.references(ns, object, instances, resultClass, role, E_EXCLUDE_QUALIFIERS, o,
                                ptr(propertyList));
      case ReferencePaths:
        return cimom.referenceNames(ns, object, paths, resultClass, role);
    }
  }
};

struct EnumerationContext {
  PullQuery query;
  std::string client;
  // Objects of the request's answer up to and including the last one
  // delivered, and that one's INSTANCENAME.
  std::size_t delivered = 0;
  std::string anchor;
  std::chrono::seconds timeout{kDefaultTimeoutSeconds};
  Clock::time_point expires;
};

// Thrown through the provider to end its answer once the page is full; a
// CIMException, so that providers pass it on as they pass on CIM errors.
class PageEnd : public CIMException {
 public:
  PageEnd() : CIMException(__FILE__, __LINE__, SUCCESS, "page complete") {}
};

// Receives the request's answer for one page and writes the objects that
// belong to it (or, without out, counts them). Finding where the last page
// ended: Fast trusts the position and checks the anchor there, Find looks
// for the anchor anywhere (objects came or went before it), Count trusts
// the position alone (the anchor itself went).
class PageCollector : public CIMInstanceResultHandlerIFC, public CIMObjectPathResultHandlerIFC {
 public:
  enum Mode { Fast, Find, Count };

  PageCollector(std::string* out, ClassCache& classes, const EnumerationContext& ctx, std::size_t max,
                Mode mode)
      : m_out(out), m_classes(classes), m_ctx(ctx), m_max(max), m_mode(mode), m_position(ctx.delivered) {
    m_taking = ctx.delivered == 0 || mode == Count;
  }

  // Runs the request; false when the page could not be placed in this mode.
  bool run(CIMOMHandleIFC& cimom) {
    try {
      m_ctx.query.run(cimom, *this, *this);
    } catch (const CIMException&) {
      if (!m_stopped) throw;
    }
    return m_taking;
  }

  std::size_t taken() const { return m_taken; }
  bool more() const { return m_more; }
  std::size_t position() const { return m_position; }
  const std::string& last() const { return m_last; }

 protected:
  void doHandle(const CIMInstance& instance) override { item(&instance, nullptr); }
  void doHandle(const CIMObjectPath& path) override { item(nullptr, &path); }

 private:
  [[noreturn]] void stop() {
    m_stopped = true;
    throw PageEnd();
  }

  static std::string nameOf(const CIMObjectPath& path) {
    std::string name;
    cimxmlWriteInstanceName(name, path);
    return name;
  }

  // The path of an instance (or the path handled) is made only for the
  // objects looked at: skipping costs no more than the provider's work.
  void item(const CIMInstance* instance, const CIMObjectPath* handled) {
    const std::size_t index = m_seen++;
    if (m_mode == Count && index < m_ctx.delivered) return;
    if (m_taking && m_taken == m_max) {
      m_more = true;
      stop();
    }
    if (m_taking && !m_out) {
      ++m_taken;  // counted only
      return;
    }
    if (!m_taking && m_mode == Fast && index + 1 < m_ctx.delivered) return;
    const String& ns = m_ctx.query.ns;
    static const CIMClass noClass;
    const CIMClass& cls = instance ? m_classes.get(instance->getClassName()) : noClass;
    const CIMObjectPath path = instance ? instance->createObjectPath(ns, cls) : *handled;
    if (!m_taking) {
      const bool found = nameOf(path) == m_ctx.anchor;
      if (m_mode == Fast && !found) stop();
      if (found) {
        m_taking = true;
        m_position = index + 1;
      }
      return;
    }
    ++m_taken;
    m_position = index + 1;
    m_last = nameOf(path);
    if (instance)
      writeInstanceWithPath(*m_out, InstanceShape::WithPath, path, *instance, ns, cls,
                            {ptr(m_ctx.query.propertyList), false, m_ctx.query.includeClassOrigin});
    else
      cimxmlWriteInstancePath(*m_out, path, hostName(), ns);
  }

  std::string* m_out;
  ClassCache& m_classes;
  const EnumerationContext& m_ctx;
  std::size_t m_max;
  Mode m_mode;
  bool m_taking = false;
  bool m_stopped = false;
  bool m_more = false;
  std::size_t m_seen = 0;
  std::size_t m_taken = 0;
  std::size_t m_position;
  std::string m_last;
};

// Writes (or with a null out, counts) up to max objects after those ctx
// delivered; with out, ctx moves on past them. True when more follow.
bool nextPage(CIMOMHandleIFC& cimom, EnumerationContext& ctx, std::size_t max, std::string* out,
              std::size_t* counted = nullptr) {
  for (PageCollector::Mode mode : {PageCollector::Fast, PageCollector::Find, PageCollector::Count}) {
    ClassCache classes(cimom, ctx.query.ns);
    PageCollector page(out, classes, ctx, max, mode);
    if (!page.run(cimom)) continue;
    if (counted) *counted = page.taken();
    if (out) ctx.delivered = page.position();
    if (out && page.taken() > 0) ctx.anchor = page.last();
    return page.more();
  }
  return false;  // not reached: Count always places the page
}

std::string newContextId() {
  static std::random_device device;
  static const char digits[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 8; ++i) {
    unsigned v = device();
    for (int j = 0; j < 4; ++j, v >>= 8) {
      id += digits[(v >> 4) & 15];
      id += digits[v & 15];
    }
  }
  return id;
}

}  // namespace

// The open enumerations of every client.
struct XMLExecute::Contexts {
  std::map<std::string, EnumerationContext> open;

  void expire() {
    const Clock::time_point now = Clock::now();
    for (auto it = open.begin(); it != open.end();) it = it->second.expires <= now ? open.erase(it) : ++it;
  }

  // The context of that id opened by client; INVALID_ENUMERATION_CONTEXT
  // when there is none (never opened, ended, closed or timed out),
  // INVALID_NAMESPACE when it enumerates another namespace than ns.
  std::map<std::string, EnumerationContext>::iterator find(const String& id, const std::string& client,
                                                           const String& ns) {
    expire();
    auto it = open.find(id.toStdString());
    if (it == open.end() || it->second.client != client)
      OW_THROWCIMMSG(CIMException::INVALID_ENUMERATION_CONTEXT,
                     ("no open enumeration " + id.toStdString()).c_str());
    if (!it->second.query.ns.equalsIgnoreCase(ns))
      OW_THROWCIMMSG(CIMException::INVALID_NAMESPACE,
                     ("the enumeration is one of namespace " + it->second.query.ns.toStdString()).c_str());
    return it;
  }

  // Keeps ctx open; SERVER_LIMITS_EXCEEDED beyond the limits.
  std::string add(EnumerationContext ctx) {
    expire();
    std::size_t mine = 0;
    for (const auto& item : open) mine += item.second.client == ctx.client;
    if (mine >= kMaxContextsPerClient || open.size() >= kMaxContexts)
      OW_THROWCIMMSG(CIMException::SERVER_LIMITS_EXCEEDED,
                     ("too many open enumerations (at most " + std::to_string(kMaxContextsPerClient) +
                      " per client, " + std::to_string(kMaxContexts) + " in all)")
                         .c_str());
    std::string id = newContextId();
    ctx.expires = Clock::now() + ctx.timeout;
    open.emplace(id, std::move(ctx));
    return id;
  }
};

namespace {

void writePullResult(std::string& out, const std::string& id, bool endOfSequence) {
  cimxmlWriteParamValue(out, CIMParamValue("EnumerationContext", CIMValue(String(id))));
  cimxmlWriteParamValue(out, CIMParamValue("EndOfSequence", CIMValue(endOfSequence)));
}

// The parameters every open call takes besides its own.
const char* const kOpenParams[] = {"FilterQueryLanguage", "FilterQuery", "OperationTimeout",
                                   "ContinueOnError", "MaxObjectCount"};

IParams openParams(const pugi::xml_node& call, std::vector<const char*> names) {
  names.insert(names.end(), std::begin(kOpenParams), std::end(kOpenParams));
  return IParams(call, names);
}

void openEnumeration(IntrinsicCall& c, const IParams& p, PullQuery query) {
  if (!p.string("FilterQueryLanguage").empty() || !p.string("FilterQuery").empty())
    OW_THROWCIMMSG(CIMException::FILTERED_ENUMERATION_NOT_SUPPORTED,
                   "filtered enumerations are not supported");
  if (p.flag("ContinueOnError", false))
    OW_THROWCIMMSG(CIMException::CONTINUATION_ON_ERROR_NOT_SUPPORTED, "ContinueOnError is not supported");
  EnumerationContext ctx;
  UInt32 timeout = p.count("OperationTimeout").value_or(kDefaultTimeoutSeconds);
  if (timeout == 0 || timeout > kMaxTimeoutSeconds)
    OW_THROWCIMMSG(
        CIMException::INVALID_OPERATION_TIMEOUT,
        ("OperationTimeout must be 1 to " + std::to_string(kMaxTimeoutSeconds) + " seconds").c_str());
  ctx.timeout = std::chrono::seconds(timeout);
  ctx.client = c.cimom.getCallerId().toStdString();
  query.ns = c.ns;
  ctx.query = std::move(query);
  bool more = false;
  c.returnValue([&] { more = nextPage(c.cimom, ctx, p.count("MaxObjectCount").value_or(0), &c.out); });
  if (more && c.requestBytes > kMaxContextRequestBytes)
    OW_THROWCIMMSG(CIMException::SERVER_LIMITS_EXCEEDED,
                   ("an enumeration is kept open only for a request of at most " +
                    std::to_string(kMaxContextRequestBytes) + " bytes")
                       .c_str());
  writePullResult(c.out, more ? c.contexts.add(std::move(ctx)) : std::string(), !more);
}

void openEnumerateInstances(IntrinsicCall& c) {
  IParams p = openParams(
      c.call, {"ClassName", "DeepInheritance", "IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  PullQuery q;
  q.kind = PullQuery::Instances;
  q.className = p.className("ClassName", true);
  q.deepInheritance = p.flag("DeepInheritance", true);
  q.includeClassOrigin = p.flag("IncludeClassOrigin", false);
  q.propertyList = p.propertyList();
  openEnumeration(c, p, std::move(q));
}

void openEnumerateInstancePaths(IntrinsicCall& c) {
  IParams p = openParams(c.call, {"ClassName"});
  PullQuery q;
  q.kind = PullQuery::InstancePaths;
  q.className = p.className("ClassName", true);
  openEnumeration(c, p, std::move(q));
}

// The open calls of associators and references: InstanceName is the source
// object; withResult adds AssocClass and ResultRole, instances the
// instance parameters.
void openAssociation(IntrinsicCall& c, PullQuery::Kind kind) {
  const bool instances = kind == PullQuery::Associators || kind == PullQuery::References;
  const bool associators = kind == PullQuery::Associators || kind == PullQuery::AssociatorPaths;
  std::vector<const char*> own = {"InstanceName", "ResultClass", "Role"};
  if (associators) own.insert(own.end(), {"AssocClass", "ResultRole"});
  if (instances) own.insert(own.end(), {"IncludeQualifiers", "IncludeClassOrigin", "PropertyList"});
  own.insert(own.end(), std::begin(kOpenParams), std::end(kOpenParams));
  IParams p(c.call, own);
  PullQuery q;
  q.kind = kind;
  q.object = p.path("InstanceName");
  if (q.object.isClassPath())
    OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "InstanceName must name an instance");
  q.resultClass = p.className("ResultClass", false);
  q.role = p.string("Role");
  q.assocClass = p.className("AssocClass", false);
  q.resultRole = p.string("ResultRole");
  q.includeClassOrigin = p.flag("IncludeClassOrigin", false);
  q.propertyList = p.propertyList();
  openEnumeration(c, p, std::move(q));
}

void openAssociatorInstances(IntrinsicCall& c) {
  openAssociation(c, PullQuery::Associators);
}
void openAssociatorInstancePaths(IntrinsicCall& c) {
  openAssociation(c, PullQuery::AssociatorPaths);
}
void openReferenceInstances(IntrinsicCall& c) {
  openAssociation(c, PullQuery::References);
}
void openReferenceInstancePaths(IntrinsicCall& c) {
  openAssociation(c, PullQuery::ReferencePaths);
}

// The next page of an enumeration opened for instances (or for paths).
void pull(IntrinsicCall& c, bool instances) {
  IParams p(c.call, {"EnumerationContext", "MaxObjectCount"});
  String id = p.string("EnumerationContext");
  auto it = c.contexts.find(id, c.cimom.getCallerId().toStdString(), c.ns);
  EnumerationContext& ctx = it->second;
  if (ctx.query.withInstances() != instances)
    OW_THROWCIMMSG(CIMException::INVALID_ENUMERATION_CONTEXT,
                   instances ? "the enumeration returns paths: use PullInstancePaths"
                             : "the enumeration returns instances: use PullInstancesWithPath");
  std::optional<UInt32> max = p.count("MaxObjectCount");
  if (!max) invalidParameter("parameter MaxObjectCount missing");
  bool more = false;
  try {
    c.returnValue([&] { more = nextPage(c.cimom, ctx, *max, &c.out); });
  } catch (const CIMException&) {
    c.contexts.open.erase(it);  // a failed page ends the enumeration
    throw;
  }
  writePullResult(c.out, id.toStdString(), !more);
  if (more)
    ctx.expires = Clock::now() + ctx.timeout;
  else
    c.contexts.open.erase(it);
}

void pullInstancesWithPath(IntrinsicCall& c) {
  pull(c, true);
}
void pullInstancePaths(IntrinsicCall& c) {
  pull(c, false);
}

void closeEnumeration(IntrinsicCall& c) {
  IParams p(c.call, {"EnumerationContext"});
  c.contexts.open.erase(
      c.contexts.find(p.string("EnumerationContext"), c.cimom.getCallerId().toStdString(), c.ns));
}

// The objects an enumeration has still to deliver, as the request answers
// now.
void enumerationCount(IntrinsicCall& c) {
  IParams p(c.call, {"EnumerationContext"});
  auto it = c.contexts.find(p.string("EnumerationContext"), c.cimom.getCallerId().toStdString(), c.ns);
  std::size_t count = 0;
  nextPage(c.cimom, it->second, SIZE_MAX, nullptr, &count);
  it->second.expires = Clock::now() + it->second.timeout;
  c.returnValue([&] { cimxmlWriteValue(c.out, CIMValue(UInt64(count))); });
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
      {"OpenEnumerateInstances", openEnumerateInstances},
      {"OpenEnumerateInstancePaths", openEnumerateInstancePaths},
      {"OpenAssociatorInstances", openAssociatorInstances},
      {"OpenAssociatorInstancePaths", openAssociatorInstancePaths},
      {"OpenReferenceInstances", openReferenceInstances},
      {"OpenReferenceInstancePaths", openReferenceInstancePaths},
      {"PullInstancesWithPath", pullInstancesWithPath},
      {"PullInstancePaths", pullInstancePaths},
      {"CloseEnumeration", closeEnumeration},
      {"EnumerationCount", enumerationCount},
  };
  return handlers;
}

// Runs one intrinsic operation, appending its IRETURNVALUE (if any) to out.
// Its failures leave as CIMException; process() turns them into the
// response's ERROR.
void runIntrinsic(const String& op, const pugi::xml_node& call, const String& ns, CIMOMHandleIFC& cimom,
                  std::string& out, XMLExecute::Contexts& contexts, std::size_t requestBytes) {
  auto handler = intrinsicHandlers().find(op.toStdString());
  if (handler == intrinsicHandlers().end())
    OW_THROWCIMMSG(CIMException::NOT_SUPPORTED,
                   ("operation " + op.toStdString() + " is not supported").c_str());
  ClassCache classes(cimom, ns);
  IntrinsicCall c{call, ns, cimom, classes, out, contexts, requestBytes};
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

XMLExecute::XMLExecute() : m_contexts(std::make_unique<Contexts>()) {}

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
        runIntrinsic(name, call, cimxmlReadLocalNamespacePath(nsNode), cimom, out, *m_contexts,
                     request.body.size());
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
