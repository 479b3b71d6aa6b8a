#include "CIMXMLWriter.h"

#include "XMLEscape.h"

#include "openwbem/CIMMethod.h"

namespace OpenWBEM {

namespace {

void appendAttr(std::string& out, const char* name, const String& value) {
  out += ' ';
  out += name;
  out += "=\"";
  xmlAppendEscaped(out, value.toStdString(), true);
  out += '"';
}

void appendText(std::string& out, const String& text) {
  xmlAppendEscaped(out, text.toStdString(), false);
}

const char* typeName(const CIMDataType& type) {
  return CIMDataType::typeName(type.getType());
}

// Declared type of a property, falling back on its value's type (and on
// string for a property that has neither).
CIMDataType propertyType(const CIMProperty& prop) {
  CIMDataType t = prop.getDataType();
  if (t.isNull()) t = prop.getValue().getCIMDataType();
  if (t.isNull()) t = CIMDataType(CIMDataType::STRING);
  return t;
}

void writeScalar(std::string& out, const CIMValue& v) {
  out += "<VALUE>";
  if (v.getType() == CIMDataType::STRING)
    appendText(out, v.toStringValue());
  else
    appendText(out, v.toString());
  out += "</VALUE>";
}

void writeLocalClassOrInstanceName(std::string& out, const CIMObjectPath& path) {
  if (path.isInstancePath())
    cimxmlWriteInstanceName(out, path);
  else {
    out += "<CLASSNAME";
    appendAttr(out, "NAME", path.getClassName());
    out += "/>";
  }
}

void writeNamespacePath(std::string& out, const String& host, const String& ns) {
  out += "<NAMESPACEPATH><HOST>";
  appendText(out, host);
  out += "</HOST>";
  cimxmlWriteLocalNamespacePath(out, ns);
  out += "</NAMESPACEPATH>";
}

// VALUE.REFERENCE in the most specific form the path allows.
void writeReference(std::string& out, const CIMObjectPath& path) {
  out += "<VALUE.REFERENCE>";
  const bool instance = path.isInstancePath();
  if (!path.getHost().empty() && !path.getNameSpace().empty()) {
    out += instance ? "<INSTANCEPATH>" : "<CLASSPATH>";
    writeNamespacePath(out, path.getHost(), path.getNameSpace());
    writeLocalClassOrInstanceName(out, path);
    out += instance ? "</INSTANCEPATH>" : "</CLASSPATH>";
  } else if (!path.getNameSpace().empty()) {
    out += instance ? "<LOCALINSTANCEPATH>" : "<LOCALCLASSPATH>";
    cimxmlWriteLocalNamespacePath(out, path.getNameSpace());
    writeLocalClassOrInstanceName(out, path);
    out += instance ? "</LOCALINSTANCEPATH>" : "</LOCALCLASSPATH>";
  } else
    writeLocalClassOrInstanceName(out, path);
  out += "</VALUE.REFERENCE>";
}

void writeQualifiers(std::string& out, const CIMQualifierArray& quals) {
  for (const CIMQualifier& q : quals) cimxmlWriteQualifier(out, q);
}

// Start tag of a property or parameter: NAME, and REFERENCECLASS for a
// reference or TYPE otherwise; then CLASSORIGIN when origin is given and
// PROPAGATED when propagated.
void writeTypedStart(std::string& out, const char* element, const String& name, const CIMDataType& type,
                     const String& origin = String(), bool propagated = false) {
  out += '<';
  out += element;
  appendAttr(out, "NAME", name);
  if (type.isReferenceType()) {
    if (!type.getRefClassName().empty()) appendAttr(out, "REFERENCECLASS", type.getRefClassName());
  } else
    appendAttr(out, "TYPE", typeName(type));
  if (!origin.empty()) appendAttr(out, "CLASSORIGIN", origin);
  if (propagated) out += " PROPAGATED=\"true\"";
  out += '>';
}

// A property of a class (inClass: with its class origin, when set, and
// PROPAGATED) or of an instance (with its class origin when withOrigin).
void writeProperty(std::string& out, const CIMProperty& prop, bool includeQualifiers, bool inClass,
                   bool withOrigin = false) {
  const CIMDataType type = propertyType(prop);
  const char* element = type.isReferenceType() ? "PROPERTY.REFERENCE"
                        : type.isArrayType()   ? "PROPERTY.ARRAY"
                                               : "PROPERTY";
  writeTypedStart(out, element, prop.getName(), type,
                  inClass || withOrigin ? prop.getOriginClass() : String(), inClass && prop.getPropagated());
  if (includeQualifiers) writeQualifiers(out, prop.getQualifiers());
  cimxmlWriteValue(out, prop.getValue());
  out += "</";
  out += element;
  out += '>';
}

void writeParameter(std::string& out, const CIMParameter& param) {
  const CIMDataType& type = param.getType();
  const char* element = type.isReferenceType()
                            ? (type.isArrayType() ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE")
                        : type.isArrayType() ? "PARAMETER.ARRAY"
                                             : "PARAMETER";
  writeTypedStart(out, element, param.getName(), type);
  writeQualifiers(out, param.getQualifiers());
  out += "</";
  out += element;
  out += '>';
}

}  // namespace

void cimxmlWriteValue(std::string& out, const CIMValue& value) {
  if (value.isNull()) return;
  const bool reference = value.getType() == CIMDataType::REFERENCE;
  if (!value.isArray()) {
    if (reference)
      writeReference(out, value.toCIMObjectPath());
    else
      writeScalar(out, value);
    return;
  }
  out += reference ? "<VALUE.REFARRAY>" : "<VALUE.ARRAY>";
  for (const CIMValue& e : value.getArray()) {
    if (e.isNull())
      out += "<VALUE.NULL/>";
    else if (reference)
      writeReference(out, e.toCIMObjectPath());
    else
      writeScalar(out, e);
  }
  out += reference ? "</VALUE.REFARRAY>" : "</VALUE.ARRAY>";
}

void cimxmlWriteInstanceName(std::string& out, const CIMObjectPath& path) {
  out += "<INSTANCENAME";
  appendAttr(out, "CLASSNAME", path.getClassName());
  out += '>';
  for (const CIMProperty& key : path.getKeys()) {
    out += "<KEYBINDING";
    appendAttr(out, "NAME", key.getName());
    out += '>';
    const CIMValue& v = key.getValue();
    if (v.getType() == CIMDataType::REFERENCE && !v.isArray())
      writeReference(out, v.toCIMObjectPath());
    else {
      const char* valueType = v.getType() == CIMDataType::BOOLEAN       ? "boolean"
                              : CIMDataType::isNumericType(v.getType()) ? "numeric"
                                                                        : "string";
      out += "<KEYVALUE VALUETYPE=\"";
      out += valueType;
      out += "\">";
      appendText(out, v.getType() == CIMDataType::STRING ? v.toStringValue() : v.toString());
      out += "</KEYVALUE>";
    }
    out += "</KEYBINDING>";
  }
  out += "</INSTANCENAME>";
}

void cimxmlWriteLocalNamespacePath(std::string& out, const String& ns) {
  out += "<LOCALNAMESPACEPATH>";
  const std::string& s = ns.toStdString();
  std::size_t begin = 0;
  while (begin <= s.size()) {
    std::size_t end = s.find('/', begin);
    if (end == std::string::npos) end = s.size();
    if (end > begin) {
      out += "<NAMESPACE NAME=\"";
      xmlAppendEscaped(out, s.data() + begin, end - begin, true);
      out += "\"/>";
    }
    begin = end + 1;
  }
  out += "</LOCALNAMESPACEPATH>";
}

void cimxmlWriteInstancePath(std::string& out, const CIMObjectPath& path, const String& host,
                             const String& ns) {
  out += "<INSTANCEPATH>";
  writeNamespacePath(out, path.getHost().empty() ? host : path.getHost(),
                     path.getNameSpace().empty() ? ns : path.getNameSpace());
  cimxmlWriteInstanceName(out, path);
  out += "</INSTANCEPATH>";
}

void cimxmlWriteInstance(std::string& out, const CIMInstance& instance, bool includeQualifiers,
                         bool includeClassOrigin) {
  out += "<INSTANCE";
  appendAttr(out, "CLASSNAME", instance.getClassName());
  out += '>';
  for (const CIMProperty& prop : instance.getProperties())
    writeProperty(out, prop, includeQualifiers, false, includeClassOrigin);
  out += "</INSTANCE>";
}

void cimxmlWriteQualifier(std::string& out, const CIMQualifier& qualifier) {
  const CIMValue& v = qualifier.getValue();
  out += "<QUALIFIER";
  appendAttr(out, "NAME", qualifier.getName());
  appendAttr(out, "TYPE", v.isNull() ? "boolean" : CIMDataType::typeName(v.getType()));
  out += '>';
  cimxmlWriteValue(out, v);
  out += "</QUALIFIER>";
}

void cimxmlWriteClass(std::string& out, const CIMClass& cls) {
  out += "<CLASS";
  appendAttr(out, "NAME", cls.getName());
  if (!cls.getSuperClass().empty()) appendAttr(out, "SUPERCLASS", cls.getSuperClass());
  out += '>';
  writeQualifiers(out, cls.getQualifiers());
  for (const CIMProperty& prop : cls.getProperties()) writeProperty(out, prop, true, true);
  for (const CIMMethod& method : cls.getMethods()) {
    out += "<METHOD";
    appendAttr(out, "NAME", method.getName());
    if (!method.getReturnType().isNull()) appendAttr(out, "TYPE", typeName(method.getReturnType()));
    if (!method.getOriginClass().empty()) appendAttr(out, "CLASSORIGIN", method.getOriginClass());
    if (method.getPropagated()) out += " PROPAGATED=\"true\"";
    out += '>';
    writeQualifiers(out, method.getQualifiers());
    for (const CIMParameter& param : method.getParameters()) writeParameter(out, param);
    out += "</METHOD>";
  }
  out += "</CLASS>";
}

void cimxmlWriteError(std::string& out, int code, const String& description) {
  out += "<ERROR CODE=\"";
  out += std::to_string(code);
  out += '"';
  if (!description.empty()) appendAttr(out, "DESCRIPTION", description);
  out += "/>";
}

void cimxmlWriteParamValue(std::string& out, const CIMParamValue& param) {
  const CIMValue& v = param.getValue();
  out += "<PARAMVALUE";
  appendAttr(out, "NAME", param.getName());
  if (!v.isNull()) appendAttr(out, "PARAMTYPE", CIMDataType::typeName(v.getType()));
  out += '>';
  cimxmlWriteValue(out, v);
  out += "</PARAMVALUE>";
}

void cimxmlWriteReturnValue(std::string& out, const CIMValue& value) {
  if (value.isNull()) return;
  out += "<RETURNVALUE";
  appendAttr(out, "PARAMTYPE", CIMDataType::typeName(value.getType()));
  out += '>';
  cimxmlWriteValue(out, value);
  out += "</RETURNVALUE>";
}

}  // namespace OpenWBEM
