// The agent's copy of the appliance's published address and the registry
// callback that reports changes of it through the IP-change flag file.
#include <string.h>

#include "VexShared.h"
#include "corvane.h"
#include "dhcpcomp.h"
#include "dhcpcompdaemon.h"
#include "dhcputil_internal.h"

// Size of the published-address text the registry hands out.
#define PUBLISHED_IP_TEXT_SIZE 16

s_ipAddr publishedIpAddress;
uint8_t publishedIpCallbackEnabled = 0;
uint32_t publishedIpListenerID = 0;

int dhcpCompRefreshPublishedIPAddress(void) {
  char text[PUBLISHED_IP_TEXT_SIZE] = "";
  int status = publishedIpCallbackEnabled == 0
                   ? VexGetDefaultPublishedIPStr(text, sizeof(text), PublishedIpChangeNotificationHandler,
                                                 &publishedIpListenerID)
                   : VexGetDefaultPublishedIPStr(text, sizeof(text), nullptr, nullptr);
  if (status != 0) return status;
  publishedIpCallbackEnabled = 1;
  dhcpUtilCopyText(publishedIpAddress.ipString, sizeof(publishedIpAddress.ipString), text,
                   strnlen(text, sizeof(text)));
  int rc = dhcpUtilConvertIPStringtoIPAddr(&publishedIpAddress, ipTypeAddress, true);
  if (rc != DHCP_RC_OK) dhcpUtilClearIPAddr(&publishedIpAddress);
  return rc;
}

void PublishedIpChangeNotificationHandler(unsigned long, unsigned char, unsigned char, unsigned long, void*,
                                          unsigned long oldLength, void* oldValue, unsigned long newLength,
                                          void* newValue) {
  if (oldLength == newLength && (oldLength == 0 || (oldValue != nullptr && newValue != nullptr &&
                                                    memcmp(oldValue, newValue, oldLength) == 0)))
    return;
  corvaneInformTavrelOfIPConfigChange();
}
