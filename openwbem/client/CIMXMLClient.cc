#include "CIMXMLClient.h"

#include "CIMXMLReader.h"
#include "CIMXMLWriter.h"
#include "XMLEscape.h"

#include "openwbem/CIMException.h"

#include <pugixml.hpp>

#include <cstring>

namespace OpenWBEM {

namespace {

bool is(const pugi::xml_node& node, const char* name) {
  return std::strcmp(node.name(), name) == 0;
}

[[noreturn]] void malformed(const std::string& what) {
  throw CIMXMLClientFailure("malformed answer: " + what);
}

// CIMObject header: the namespace, or the path with its namespace, with
// the characters HTTP headers cannot carry percent-escaped.
std::string headerEscaped(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || std::strchr("-_.~:=,", c) != nullptr)
      out += static_cast<char>(c);
    else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

void iparam(std::string& out, const char* name, const std::string& content) {
  out += "<IPARAMVALUE NAME=\"";
  out += name;
  out += "\">";
  out += content;
  out += "</IPARAMVALUE>";
}

std::string instanceName(const CIMObjectPath& path) {
  std::string out;
  cimxmlWriteInstanceName(out, path);
  return out;
}

void readReturnValue(const pugi::xml_node& node, CIMXMLAnswer& answer) {
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element) continue;
    if (is(c, "VALUE.NAMEDINSTANCE")) {
      CIMNamedInstance named;
      named.path = cimxmlReadInstanceName(c.child("INSTANCENAME"));
      named.instance = cimxmlReadInstance(c.child("INSTANCE"));
      answer.instances.push_back(named);
    } else if (is(c, "INSTANCE"))
      answer.instances.push_back({CIMObjectPath(), cimxmlReadInstance(c)});
    else if (is(c, "INSTANCENAME"))
      answer.names.push_back(cimxmlReadInstanceName(c));
    else
      malformed(std::string("unexpected ") + c.name() + " in IRETURNVALUE");
  }
}

}  // namespace

CIMXMLAnswer cimxmlReadAnswer(const std::string& body, const std::string& name, bool intrinsic) {
  if (!xmlIsValidText(body.data(), body.size())) malformed("not UTF-8 XML text");
  pugi::xml_document doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) malformed(std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
  const char* element = intrinsic ? "IMETHODRESPONSE" : "METHODRESPONSE";
  pugi::xml_node rsp = doc.child("CIM").child("MESSAGE").child("SIMPLERSP").child(element);
  if (!rsp) malformed(std::string("no ") + element);
  if (name != rsp.attribute("NAME").value()) malformed(std::string(element) + " names another method");
  CIMXMLAnswer answer;
  try {
    if (pugi::xml_node error = rsp.child("ERROR")) {
      long code = error.attribute("CODE").as_int(-1);
      if (code < 1 || code > 255) malformed("ERROR without a valid CODE");
      throw CIMException(__FILE__, __LINE__, static_cast<CIMException::ErrNoType>(code),
                         error.attribute("DESCRIPTION").value());
    }
    for (pugi::xml_node c : rsp.children()) {
      if (c.type() != pugi::node_element) continue;
      if (is(c, "IRETURNVALUE"))
        readReturnValue(c, answer);
      else if (is(c, "RETURNVALUE")) {
        pugi::xml_node v = cimxmlSingleChild(c);
        if (v) {
          CIMDataType::Type type = CIMDataType::strToSimpleType(c.attribute("PARAMTYPE").value());
          answer.returnValue = cimxmlReadValue(v, type);
        }
      } else if (is(c, "PARAMVALUE"))
        answer.outParams.push_back(cimxmlReadParamValue(c));
      else
        malformed(std::string("unexpected ") + c.name());
    }
  } catch (const CIMXMLInvalidRequest& e) {
    malformed(e.what());
  }
  return answer;
}

CIMXMLAnswer CIMXMLClient::call(const std::string& name, bool intrinsic, const std::string& object,
                                const std::string& content) {
  std::string id = std::to_string(++m_messageId);
  std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
      "<MESSAGE ID=\"" +
      id + "\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>";
  body += intrinsic ? "<IMETHODCALL NAME=\"" : "<METHODCALL NAME=\"";
  xmlAppendEscaped(body, name, true);
  body += "\">";
  body += content;
  body += intrinsic ? "</IMETHODCALL>" : "</METHODCALL>";
  body += "</SIMPLEREQ></MESSAGE></CIM>\n";
  std::map<std::string, std::string> headers = {
      {"Content-Type", "application/xml; charset=\"utf-8\""},
      {"CIMOperation", "MethodCall"},
      {"CIMMethod", name},
      {"CIMObject", headerEscaped(object)},
      {"CIMProtocolVersion", "1.0"},
  };
  HTTPClientResponse res = httpPost(m_target, "/cimom", headers, body);
  if (res.status == 401)
    throw CIMException(__FILE__, __LINE__, CIMException::ACCESS_DENIED, "wrong credentials");
  if (res.status != 200) {
    std::string why = "HTTP " + std::to_string(res.status);
    auto cimError = res.headers.find("cimerror");
    if (cimError != res.headers.end()) why += " (" + cimError->second + ")";
    throw CIMXMLClientFailure(why);
  }
  return cimxmlReadAnswer(res.body, name, intrinsic);
}

CIMInstance CIMXMLClient::getInstance(const CIMObjectPath& path) {
  std::string content;
  cimxmlWriteLocalNamespacePath(content, m_ns);
  iparam(content, "InstanceName", instanceName(path));
  CIMXMLAnswer a = call("GetInstance", true, m_ns.toStdString(), content);
  if (a.instances.size() != 1) malformed("GetInstance returned no instance");
  return a.instances[0].instance;
}

std::vector<CIMNamedInstance> CIMXMLClient::enumerateInstances(const String& className) {
  std::string content;
  cimxmlWriteLocalNamespacePath(content, m_ns);
  std::string cls = "<CLASSNAME NAME=\"";
  xmlAppendEscaped(cls, className.toStdString(), true);
  iparam(content, "ClassName", cls + "\"/>");
  return call("EnumerateInstances", true, m_ns.toStdString(), content).instances;
}

CIMObjectPath CIMXMLClient::createInstance(const CIMInstance& instance) {
  std::string content;
  cimxmlWriteLocalNamespacePath(content, m_ns);
  std::string inst;
  cimxmlWriteInstance(inst, instance, false);
  iparam(content, "NewInstance", inst);
  CIMXMLAnswer a = call("CreateInstance", true, m_ns.toStdString(), content);
  if (a.names.size() != 1) malformed("CreateInstance returned no instance name");
  return a.names[0];
}

void CIMXMLClient::modifyInstance(const CIMObjectPath& path, const CIMInstance& instance) {
  std::string content;
  cimxmlWriteLocalNamespacePath(content, m_ns);
  std::string named = "<VALUE.NAMEDINSTANCE>" + instanceName(path);
  cimxmlWriteInstance(named, instance, false);
  iparam(content, "ModifiedInstance", named + "</VALUE.NAMEDINSTANCE>");
  std::string list = "<VALUE.ARRAY>";
  for (const CIMProperty& p : instance.getProperties()) {
    list += "<VALUE>";
    xmlAppendEscaped(list, p.getName().toStdString(), false);
    list += "</VALUE>";
  }
  iparam(content, "PropertyList", list + "</VALUE.ARRAY>");
  call("ModifyInstance", true, m_ns.toStdString(), content);
}

void CIMXMLClient::deleteInstance(const CIMObjectPath& path) {
  std::string content;
  cimxmlWriteLocalNamespacePath(content, m_ns);
  iparam(content, "InstanceName", instanceName(path));
  call("DeleteInstance", true, m_ns.toStdString(), content);
}

CIMValue CIMXMLClient::invokeMethod(const CIMObjectPath& path, const String& method,
                                    const CIMParamValueArray& in, CIMParamValueArray& out) {
  std::string content = "<LOCALINSTANCEPATH>";
  cimxmlWriteLocalNamespacePath(content, m_ns);
  content += instanceName(path) + "</LOCALINSTANCEPATH>";
  for (const CIMParamValue& p : in) cimxmlWriteParamValue(content, p);
  CIMObjectPath withNs(path);
  withNs.setNameSpace(m_ns);
  CIMXMLAnswer a = call(method.toStdString(), false, withNs.toString().toStdString(), content);
  out = a.outParams;
  return a.returnValue;
}

}  // namespace OpenWBEM
