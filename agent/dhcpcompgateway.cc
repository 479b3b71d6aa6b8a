// The gateway that a LAN's address ranges hand out when the configuration
// leaves it to the LAN.
#include <string.h>

#include "corvane.h"
#include "dhcpcomp.h"
#include "dhcpcompdaemon.h"
#include "dhcputil_internal.h"

void updateDefaultGatewayDynamic(s_dhcpCompConfig* config, s_ethIpConfig* ip) {
  if (config == nullptr || ip == nullptr) return;
  char text[CORVANE_IP_TEXT_SIZE] = "";
  corvaneGetDefaultGateway(text);
  s_ipAddr gateway = {};
  dhcpUtilCopyText(gateway.ipString, sizeof(gateway.ipString), text, strnlen(text, sizeof(text)));
  dhcpUtilConvertUntrustedIPAddr(&gateway, ipTypeAddress);
  if (gateway.ipLong != 0 && (gateway.ipLong & ip->netmask.ipLong) == ip->network.ipLong)
    syncUpGatewayForAddrRanges(config, &gateway);
  else
    syncUpGatewayForAddrRanges(config, &ip->ipAddress);
}
