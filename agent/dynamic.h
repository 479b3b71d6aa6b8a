// The customer LAN as a DHCP client: its address from the lease or the
// default one, the lease's settings where the configuration leaves them
// empty, and the call servers, VLANs and range of the integrated router's
// vendor texts.
#ifndef TAVREL_AGENT_DYNAMIC_H
#define TAVREL_AGENT_DYNAMIC_H

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

// Brings the DHCP-client customer LAN up (restarting interface and client
// unless startedFromPowerUp is set), decides from the lease whether a
// server answered (else the default address 192.168.2.2/23 via 192.168.2.1,
// message 62009), merges the lease's settings where the configuration leaves
// them empty, updates the hosts file and the published address, restarts the
// telephony services when the published address moved and, after start-up,
// announces an address change to the event service.
void dhcpCompCheckCustLANDynamicIPStatus(void);
// Takes the call servers, VLAN list and range from the integrated router's
// vendor texts. A range the range operations refuse is logged; the customer
// LAN then has none.
void dhcpCompProcessVendorInfoForCustomerLAN(void);

TAVREL_EXTERN_C_END

#endif
