// A handler for the bodies of one or more HTTP content types. The provider
// agent picks the handler by the request's Content-Type and hands it the
// request with the operations it may run.
#ifndef OPENWBEM_REQUESTHANDLERIFC_H
#define OPENWBEM_REQUESTHANDLERIFC_H

#include "openwbem/Array.h"
#include "openwbem/IntrusiveReference.h"
#include "openwbem/SharedLibraryReference.h"
#include "openwbem/String.h"

#include <string>
#include <utility>

namespace OpenWBEM {

class CIMOMHandleIFC;

// One HTTP request as a handler sees it.
struct HTTPRequestData {
  String method;
  String target;
  // Header names in lower case, in the order received.
  Array<std::pair<String, String>> headers;
  std::string body;
  String userName;  // set by the authenticator

  // Value of the first header of that name (any case), or "".
  String getHeader(const String& name) const;
  bool hasHeader(const String& name) const;
};

// The answer a handler gives; the agent adds Content-Length and the
// connection headers.
struct HTTPResponseData {
  int status = 200;
  Array<std::pair<String, String>> headers;
  std::string body;

  void addHeader(const String& name, const String& value) { headers.push_back(std::make_pair(name, value)); }
};

class RequestHandlerIFC : public virtual IntrusiveCountableBase {
 public:
  ~RequestHandlerIFC() override;
  // Media types served, in lower case without parameters
  // ("application/xml").
  virtual StringArray getSupportedContentTypes() const = 0;
  // Answers one request. Called for one request at a time. Must not throw:
  // every failure becomes an answer.
  virtual void process(const HTTPRequestData& request, CIMOMHandleIFC& cimom, HTTPResponseData& response) = 0;
};

typedef SharedLibraryReference<IntrusiveReference<RequestHandlerIFC>> RequestHandlerIFCRef;

}  // namespace OpenWBEM

#endif
