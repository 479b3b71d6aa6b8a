// Request handler for OpenWBEM's binary protocol content type. No peer of
// this system speaks it: every request is answered with a clear error.
#ifndef OPENWBEM_BINARYREQUESTHANDLER_H
#define OPENWBEM_BINARYREQUESTHANDLER_H

#include "openwbem/RequestHandlerIFC.h"

namespace OpenWBEM {

class BinaryRequestHandler : public RequestHandlerIFC {
 public:
  ~BinaryRequestHandler() override;
  // "application/x-owbinary".
  StringArray getSupportedContentTypes() const override;
  // Answers HTTP 501 with a text body saying that the binary protocol is
  // not supported and CIM-XML is.
  void process(const HTTPRequestData& request, CIMOMHandleIFC& cimom, HTTPResponseData& response) override;
};

}  // namespace OpenWBEM

#endif
