#include "openwbem/RequestHandlerIFC.h"
#include "openwbem/AuthenticatorIFC.h"
#include "openwbem/CIMOMHandleIFC.h"
#include "openwbem/ProviderAgentLockerIFC.h"

namespace OpenWBEM {

RequestHandlerIFC::~RequestHandlerIFC() = default;
AuthenticatorIFC::~AuthenticatorIFC() = default;
ProviderAgentLockerIFC::~ProviderAgentLockerIFC() = default;
CIMOMHandleIFC::~CIMOMHandleIFC() = default;

String HTTPRequestData::getHeader(const String& name) const {
  for (const auto& h : headers)
    if (h.first.equalsIgnoreCase(name)) return h.second;
  return String();
}

bool HTTPRequestData::hasHeader(const String& name) const {
  for (const auto& h : headers)
    if (h.first.equalsIgnoreCase(name)) return true;
  return false;
}

}  // namespace OpenWBEM
