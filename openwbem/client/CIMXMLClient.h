// The client side of CIM-XML (DSP0200/DSP0201): builds the requests of the
// intrinsic operations and of extrinsic method calls with the layer's
// writers, sends them with HTTPClient and reads the answers with its
// readers. A CIM error of the answer is thrown as CIMException with the
// agent's code and message; a refused or malformed HTTP exchange as
// CIMXMLClientFailure; an unreachable peer as HTTPClientUnreachable.
#ifndef OW_CLIENT_CIMXMLCLIENT_H
#define OW_CLIENT_CIMXMLCLIENT_H

#include "HTTPClient.h"

#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMValue.h"

#include <stdexcept>
#include <string>

namespace OpenWBEM {

class CIMXMLClientFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An instance of an enumeration with the path the agent named it by.
struct CIMNamedInstance {
  CIMObjectPath path;
  CIMInstance instance;
};

// What an answer holds once its envelope and ERROR are checked: the
// children of IRETURNVALUE (intrinsic) or RETURNVALUE and PARAMVALUEs
// (extrinsic). Exposed for the fuzz target of the reader.
struct CIMXMLAnswer {
  std::vector<CIMNamedInstance> instances;  // VALUE.NAMEDINSTANCE, INSTANCE
  std::vector<CIMObjectPath> names;         // INSTANCENAME
  CIMValue returnValue;
  CIMParamValueArray outParams;
};
// Reads the body of a MethodResponse to the call name; throws as above.
CIMXMLAnswer cimxmlReadAnswer(const std::string& body, const std::string& name, bool intrinsic);

class CIMXMLClient {
 public:
  explicit CIMXMLClient(const HTTPClientTarget& target, const String& ns = "root/cimv2")
      : m_target(target), m_ns(ns) {}

  CIMInstance getInstance(const CIMObjectPath& path);
  std::vector<CIMNamedInstance> enumerateInstances(const String& className);
  CIMObjectPath createInstance(const CIMInstance& instance);
  // Sends only the instance's properties (ModifyInstance names them in
  // its PropertyList as well).
  void modifyInstance(const CIMObjectPath& path, const CIMInstance& instance);
  void deleteInstance(const CIMObjectPath& path);
  CIMValue invokeMethod(const CIMObjectPath& path, const String& method, const CIMParamValueArray& in,
                        CIMParamValueArray& out);

 private:
  CIMXMLAnswer call(const std::string& name, bool intrinsic, const std::string& object,
                    const std::string& content);

  HTTPClientTarget m_target;
  String m_ns;
  unsigned m_messageId = 0;
};

}  // namespace OpenWBEM

#endif
