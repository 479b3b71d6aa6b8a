// The address texts a management station may set on a range or reservation.
#ifndef TAVREL_DHCPPROV_ADDRESS_TEXT_H
#define TAVREL_DHCPPROV_ADDRESS_TEXT_H

#include <string>

#include "tavrel_agent_api.h"

// The empty text (left to the agent's checks), or a canonical dotted quad
// of an address.
inline bool TavrelIsAddressTextOrEmpty(const std::string& text) {
  s_ipAddr parsed;
  return text.empty() || dhcpUtilConvertCanonicalIPAddr(&parsed, text.data(), text.size()) == DHCP_RC_OK;
}

#endif
