// Request handler for CIM-XML operations over HTTP (DMTF DSP0200/DSP0201):
// intrinsic instance, association and class operations, the pull
// operations of instances, paths, associators and references, and
// extrinsic method calls.
#ifndef OPENWBEM_XMLEXECUTE_H
#define OPENWBEM_XMLEXECUTE_H

#include "openwbem/RequestHandlerIFC.h"

#include <memory>

namespace OpenWBEM {

class XMLExecute : public RequestHandlerIFC {
 public:
  XMLExecute();
  ~XMLExecute() override;
  // "application/xml" and "text/xml".
  StringArray getSupportedContentTypes() const override;
  // Answers HTTP 200 with a CIM-XML response (CIM errors as ERROR
  // elements), or HTTP 400/501 with a CIMError header when the request is
  // not well-formed, not valid CIM-XML or of an unsupported version.
  void process(const HTTPRequestData& request, CIMOMHandleIFC& cimom, HTTPResponseData& response) override;

  // The open pull enumerations, by client (CIMOMHandleIFC::getCallerId):
  // at most 16 per client and 64 in all, each ended by its timeout, by
  // CloseEnumeration or by its last page.
  struct Contexts;

 private:
  std::unique_ptr<Contexts> m_contexts;
};

}  // namespace OpenWBEM

#endif
