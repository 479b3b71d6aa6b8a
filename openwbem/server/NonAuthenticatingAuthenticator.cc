#include "openwbem/NonAuthenticatingAuthenticator.h"

namespace OpenWBEM {

NonAuthenticatingAuthenticator::~NonAuthenticatingAuthenticator() = default;

bool NonAuthenticatingAuthenticator::authenticate(const String&, String& userName, String&) {
  userName = String();
  return true;
}

}  // namespace OpenWBEM
