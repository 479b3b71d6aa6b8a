// One keep-alive CIM-XML connection to the agent on loopback, with the test
// credentials, for the load driver: one request a line on standard input,
// fields separated by tabs,
//   enumerate CLASS                  EnumerateInstances
//   create CLASS NAME=VALUE...       CreateInstance, string properties
//   modify CLASS ID NAME=VALUE...    ModifyInstance of the object with that InstanceID
//   delete CLASS ID                  DeleteInstance
//   invoke METHOD                    the method of the agent's service
// and one answer each on standard output: "STATUS LENGTH\n" and the LENGTH
// bytes of the CIM-XML answer; STATUS 0 when the connection failed (the
// next request connects again), 400 for a request line it cannot read.
#include <stdio.h>

#include <iostream>
#include <string>
#include <vector>

#include "agent_runner.h"
#include "cim_connection.h"
#include "test_support.h"

using namespace tavrel::test;

namespace {

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

// The string PROPERTY elements of NAME=VALUE fields from first on, and the
// InstanceID.
std::string instanceOf(const std::string& className, const std::vector<std::string>& fields, size_t first,
                       const std::string& id) {
  std::string xml = "<INSTANCE CLASSNAME=\"" + className + "\">";
  for (size_t i = first; i < fields.size(); ++i) {
    const size_t equals = fields[i].find('=');
    if (equals != std::string::npos)
      xml += property(fields[i].substr(0, equals), "string", fields[i].substr(equals + 1));
  }
  return xml + property("InstanceID", "string", id) + "</INSTANCE>";
}

std::string objectName(const std::string& className, const std::string& id) {
  return instanceName(className, {{"InstanceID", id}});
}

int answer(CimConnection& connection, const std::vector<std::string>& f, std::string* body) {
  const std::string& op = f[0];
  if (op == "enumerate" && f.size() == 2)
    return connection.call("EnumerateInstances",
                           "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"" + f[1] + "\"/></IPARAMVALUE>",
                           body);
  if (op == "create" && f.size() >= 2)
    return connection.call(
        "CreateInstance",
        "<IPARAMVALUE NAME=\"NewInstance\">" + instanceOf(f[1], f, 2, "") + "</IPARAMVALUE>", body);
  if (op == "modify" && f.size() >= 3)
    return connection.call("ModifyInstance",
                           "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" +
                               objectName(f[1], f[2]) + instanceOf(f[1], f, 3, f[2]) +
                               "</VALUE.NAMEDINSTANCE></IPARAMVALUE>",
                           body);
  if (op == "delete" && f.size() == 3)
    return connection.call("DeleteInstance",
                           "<IPARAMVALUE NAME=\"InstanceName\">" + objectName(f[1], f[2]) + "</IPARAMVALUE>",
                           body);
  if (op == "invoke" && f.size() == 2)
    return connection.post(f[1], cimMethodRequest(f[1], serviceInstanceName()), body);
  return 400;
}

}  // namespace

int main() {
  CimConnection connection;
  std::string line, body;
  while (std::getline(std::cin, line)) {
    body.clear();
    const int status = answer(connection, fieldsOf(line), &body);
    printf("%d %zu\n", status, body.size());
    fwrite(body.data(), 1, body.size(), stdout);
    fflush(stdout);
  }
  return 0;
}
