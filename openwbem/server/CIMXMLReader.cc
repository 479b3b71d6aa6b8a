#include "CIMXMLReader.h"

#include "openwbem/CIMException.h"

#include <cstring>
#include <string>

namespace OpenWBEM {

namespace {

[[noreturn]] void invalid(const pugi::xml_node& node, const std::string& what) {
  throw CIMXMLInvalidRequest(std::string(node.name()) + ": " + what);
}

bool is(const pugi::xml_node& node, const char* name) {
  return std::strcmp(node.name(), name) == 0;
}

thread_local int t_nesting = 0;

// Counts one level of the recursive readers (values in references in keys
// in references ...); a request nested deeper than any real one is refused
// before it can exhaust the stack.
class NestingGuard {
 public:
  explicit NestingGuard(const pugi::xml_node& node) {
    if (t_nesting >= kCIMXMLMaxNesting)
      invalid(node, "nested deeper than " + std::to_string(kCIMXMLMaxNesting) + " levels");
    ++t_nesting;
  }
  ~NestingGuard() { --t_nesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

CIMDataType::Type typeAttr(const pugi::xml_node& node, const char* attr) {
  pugi::xml_attribute a = node.attribute(attr);
  if (!a) return CIMDataType::CIMNULL;
  CIMDataType::Type t = CIMDataType::strToSimpleType(a.value());
  if (t == CIMDataType::CIMNULL) invalid(node, std::string("unknown type \"") + a.value() + "\"");
  return t;
}

CIMValue scalarFromText(const char* text, CIMDataType::Type type) {
  if (type == CIMDataType::CIMNULL || type == CIMDataType::STRING) return CIMValue(String(text));
  return CIMValue::fromText(String(text), type);
}

// A numeric key without a declared type: sint64 when it fits, else uint64,
// else real64.
CIMValue numericKey(const String& text) {
  for (CIMDataType::Type t : {CIMDataType::SINT64, CIMDataType::UINT64, CIMDataType::REAL64}) {
    try {
      return CIMValue::fromText(text, t);
    } catch (const CIMException&) {}
  }
  OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, ("not a number: \"" + text.toStdString() + "\"").c_str());
}

CIMObjectPath readPathWithNamespace(const pugi::xml_node& node, bool withHost) {
  CIMObjectPath path;
  pugi::xml_node nsNode;
  pugi::xml_node nameNode;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element) continue;
    if (!nsNode)
      nsNode = c;
    else if (!nameNode)
      nameNode = c;
    else
      invalid(node, "too many children");
  }
  if (!nameNode) invalid(node, "incomplete path");
  path = cimxmlReadObjectPath(nameNode);
  if (withHost) {
    if (!is(nsNode, "NAMESPACEPATH")) invalid(node, "NAMESPACEPATH expected");
    path.setHost(String(nsNode.child("HOST").child_value()));
    pugi::xml_node local = nsNode.child("LOCALNAMESPACEPATH");
    if (!local) invalid(nsNode, "LOCALNAMESPACEPATH expected");
    path.setNameSpace(cimxmlReadLocalNamespacePath(local));
  } else {
    if (!is(nsNode, "LOCALNAMESPACEPATH")) invalid(node, "LOCALNAMESPACEPATH expected");
    path.setNameSpace(cimxmlReadLocalNamespacePath(nsNode));
  }
  return path;
}

CIMProperty readProperty(const pugi::xml_node& node) {
  CIMProperty prop(cimxmlAttr(node, "NAME"));
  pugi::xml_node valueNode;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element || is(c, "QUALIFIER")) continue;
    if (valueNode) invalid(node, "more than one value");
    valueNode = c;
  }
  if (is(node, "PROPERTY.REFERENCE")) {
    prop.setDataType(CIMDataType::reference(String(node.attribute("REFERENCECLASS").value())));
    if (valueNode) prop.setValue(cimxmlReadValue(valueNode, CIMDataType::REFERENCE));
    return prop;
  }
  CIMDataType::Type type = typeAttr(node, "TYPE");
  if (type == CIMDataType::CIMNULL) invalid(node, "TYPE missing");
  prop.setDataType(CIMDataType(type, is(node, "PROPERTY.ARRAY")));
  if (valueNode) prop.setValue(cimxmlReadValue(valueNode, type));
  return prop;
}

}  // namespace

String cimxmlAttr(const pugi::xml_node& node, const char* name) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) invalid(node, std::string("attribute ") + name + " missing");
  return String(a.value());
}

pugi::xml_node cimxmlSingleChild(const pugi::xml_node& node) {
  pugi::xml_node found;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element) continue;
    if (found) invalid(node, "more than one child element");
    found = c;
  }
  return found;
}

CIMValue cimxmlReadValue(const pugi::xml_node& node, CIMDataType::Type type) {
  NestingGuard guard(node);
  if (is(node, "VALUE")) return scalarFromText(node.child_value(), type);
  if (is(node, "VALUE.NULL")) return CIMValue();
  if (is(node, "VALUE.REFERENCE")) return CIMValue(cimxmlReadObjectPath(cimxmlSingleChild(node)));
  const bool refArray = is(node, "VALUE.REFARRAY");
  if (!refArray && !is(node, "VALUE.ARRAY")) invalid(node, "value expected");
  CIMValueArray elements;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element) continue;
    // Arrays hold scalars (or references) only, never other arrays.
    if (!is(c, "VALUE.NULL") && !is(c, refArray ? "VALUE.REFERENCE" : "VALUE"))
      invalid(node, std::string("unexpected ") + c.name());
    elements.push_back(cimxmlReadValue(c, type));
  }
  CIMDataType::Type elementType = refArray                       ? CIMDataType::REFERENCE
                                  : type == CIMDataType::CIMNULL ? CIMDataType::STRING
                                                                 : type;
  return CIMValue::createArray(elementType, elements);
}

String cimxmlReadLocalNamespacePath(const pugi::xml_node& node) {
  if (!is(node, "LOCALNAMESPACEPATH")) invalid(node, "LOCALNAMESPACEPATH expected");
  std::string ns;
  for (pugi::xml_node c : node.children("NAMESPACE")) {
    if (!ns.empty()) ns += '/';
    ns += cimxmlAttr(c, "NAME").toStdString();
  }
  if (ns.empty()) invalid(node, "no NAMESPACE");
  return String(ns);
}

CIMObjectPath cimxmlReadInstanceName(const pugi::xml_node& node) {
  if (!is(node, "INSTANCENAME")) invalid(node, "INSTANCENAME expected");
  CIMObjectPath path(cimxmlAttr(node, "CLASSNAME"), String());
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element) continue;
    if (is(c, "KEYVALUE") || is(c, "VALUE.REFERENCE")) invalid(node, "keys must be given as KEYBINDING");
    if (!is(c, "KEYBINDING")) invalid(node, std::string("unexpected ") + c.name());
    String name = cimxmlAttr(c, "NAME");
    pugi::xml_node v = cimxmlSingleChild(c);
    CIMValue value;
    if (is(v, "VALUE.REFERENCE"))
      value = cimxmlReadValue(v, CIMDataType::REFERENCE);
    else if (is(v, "KEYVALUE")) {
      String text(v.child_value());
      CIMDataType::Type declared = typeAttr(v, "TYPE");
      String valueType(v.attribute("VALUETYPE").as_string("string"));
      // Some clients write a CIM type name ("uint16") where DSP0201 has
      // the kind of value: such a name stands for its kind.
      CIMDataType::Type named = CIMDataType::strToSimpleType(valueType);
      if (declared != CIMDataType::CIMNULL)
        value = scalarFromText(text.c_str(), declared);
      else if (valueType.equalsIgnoreCase("numeric") || CIMDataType::isNumericType(named))
        value = numericKey(text);
      else if (named == CIMDataType::BOOLEAN)
        value = CIMValue::fromText(text, CIMDataType::BOOLEAN);
      else if (named == CIMDataType::STRING || named == CIMDataType::DATETIME ||
               valueType.equalsIgnoreCase("char16"))
        value = CIMValue(text);
      else
        invalid(v, "unknown VALUETYPE");
    } else
      invalid(c, "KEYVALUE or VALUE.REFERENCE expected");
    path.setKeyValue(name, value);
  }
  return path;
}

CIMObjectPath cimxmlReadObjectPath(const pugi::xml_node& node) {
  if (!node) throw CIMXMLInvalidRequest("object path missing");
  NestingGuard guard(node);
  if (is(node, "INSTANCENAME")) return cimxmlReadInstanceName(node);
  if (is(node, "CLASSNAME")) return CIMObjectPath(cimxmlAttr(node, "NAME"), String());
  if (is(node, "INSTANCEPATH") || is(node, "CLASSPATH")) return readPathWithNamespace(node, true);
  if (is(node, "LOCALINSTANCEPATH") || is(node, "LOCALCLASSPATH")) return readPathWithNamespace(node, false);
  if (is(node, "OBJECTPATH")) return cimxmlReadObjectPath(cimxmlSingleChild(node));
  invalid(node, "object path expected");
}

CIMInstance cimxmlReadInstance(const pugi::xml_node& node) {
  if (!is(node, "INSTANCE")) invalid(node, "INSTANCE expected");
  CIMInstance inst(cimxmlAttr(node, "CLASSNAME"));
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element || is(c, "QUALIFIER")) continue;
    if (!is(c, "PROPERTY") && !is(c, "PROPERTY.ARRAY") && !is(c, "PROPERTY.REFERENCE"))
      invalid(node, std::string("unexpected ") + c.name());
    inst.setProperty(readProperty(c));
  }
  return inst;
}

CIMParamValue cimxmlReadParamValue(const pugi::xml_node& node) {
  CIMParamValue param(cimxmlAttr(node, "NAME"));
  pugi::xml_node v = cimxmlSingleChild(node);
  if (!v) return param;
  CIMDataType::Type type = typeAttr(node, "PARAMTYPE");
  if (is(v, "INSTANCENAME") || is(v, "CLASSNAME"))
    param.setValue(CIMValue(cimxmlReadObjectPath(v)));
  else
    param.setValue(cimxmlReadValue(v, type == CIMDataType::REFERENCE ? CIMDataType::REFERENCE : type));
  return param;
}

}  // namespace OpenWBEM
