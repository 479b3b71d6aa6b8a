// Decides whether an HTTP request to the provider agent may be served.
#ifndef OPENWBEM_AUTHENTICATORIFC_H
#define OPENWBEM_AUTHENTICATORIFC_H

#include "openwbem/IntrusiveReference.h"
#include "openwbem/SharedLibraryReference.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class AuthenticatorIFC : public virtual IntrusiveCountableBase {
 public:
  ~AuthenticatorIFC() override;
  // authorization: the request's Authorization header ("" when absent).
  // Returns true to serve the request, with userName set to the
  // authenticated user; false to answer 401, with challenge holding the
  // WWW-Authenticate value to send.
  virtual bool authenticate(const String& authorization, String& userName, String& challenge) = 0;
};

typedef SharedLibraryReference<IntrusiveReference<AuthenticatorIFC>> AuthenticatorIFCRef;

}  // namespace OpenWBEM

#endif
