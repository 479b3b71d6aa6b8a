#include "openwbem/BinaryRequestHandler.h"

namespace OpenWBEM {

BinaryRequestHandler::~BinaryRequestHandler() = default;

StringArray BinaryRequestHandler::getSupportedContentTypes() const {
  return StringArray{String("application/x-owbinary")};
}

void BinaryRequestHandler::process(const HTTPRequestData&, CIMOMHandleIFC&, HTTPResponseData& response) {
  response.status = 501;
  response.addHeader("Content-Type", "text/plain; charset=\"utf-8\"");
  response.body =
      "The OpenWBEM binary protocol is not supported here; send CIM-XML "
      "(Content-Type: application/xml) instead.\n";
}

}  // namespace OpenWBEM
