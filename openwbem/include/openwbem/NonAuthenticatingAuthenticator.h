// Authenticator that accepts every request, with or without credentials.
#ifndef OPENWBEM_NONAUTHENTICATINGAUTHENTICATOR_H
#define OPENWBEM_NONAUTHENTICATINGAUTHENTICATOR_H

#include "openwbem/AuthenticatorIFC.h"

namespace OpenWBEM {

class NonAuthenticatingAuthenticator : public AuthenticatorIFC {
 public:
  ~NonAuthenticatingAuthenticator() override;
  // Always true, with an empty userName.
  bool authenticate(const String& authorization, String& userName, String& challenge) override;
};

}  // namespace OpenWBEM

#endif
