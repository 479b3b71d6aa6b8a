// Request handler for CIM-XML operations over HTTP (DMTF DSP0200/DSP0201):
// intrinsic instance, association and class operations and extrinsic
// method calls.
#ifndef OPENWBEM_XMLEXECUTE_H
#define OPENWBEM_XMLEXECUTE_H

#include "openwbem/RequestHandlerIFC.h"

namespace OpenWBEM {

class XMLExecute : public RequestHandlerIFC {
 public:
  ~XMLExecute() override;
  // "application/xml" and "text/xml".
  StringArray getSupportedContentTypes() const override;
  // Answers HTTP 200 with a CIM-XML response (CIM errors as ERROR
  // elements), or HTTP 400/501 with a CIMError header when the request is
  // not well-formed, not valid CIM-XML or of an unsupported version.
  void process(const HTTPRequestData& request, CIMOMHandleIFC& cimom, HTTPResponseData& response) override;
};

}  // namespace OpenWBEM

#endif
