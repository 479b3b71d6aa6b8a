// IP parameters of the appliance's interfaces: address, mask and network,
// the DHCP client lease and the router's vendor texts, the VLAN list of the
// interface registry, the gateway the LANs' ranges hand out, and the agent's
// copy of the appliance's published address.
#ifndef TAVREL_AGENT_MODEL_INTERFACE_H
#define TAVREL_AGENT_MODEL_INTERFACE_H

#include <stdint.h>

#include "model/records.h"

TAVREL_EXTERN_C_BEGIN

// Refreshes address, mask, network, hardware address, addressing mode and,
// for a DHCP-configured interface, the lease and vendor fields of e.
void dhcpCompGetInterfaceIPParams(s_ethIpConfig* e);
// Fills the lease and vendor fields from the DHCP client lease; 1 when a
// lease was read, 0 when there is none (fields unchanged).
int dhcpCompGetDhclientLeaseInfo(s_ethIpConfig* e);
// network = ipAddress AND netmask; numHostAddrs from the mask's last octet.
void dhcpCompCalcIPNetwork(s_ethIpConfig* e);
// Stores up to max VLAN ids of the interface registry into list; returns how many.
int getNumberOfVlans(int* list, int max);
// The router's vendor texts (after "T20-IPSETCONFIG," and "T20-DHCP,"),
// parsed into the vendor fields of e. The DHCP text needs e's address and
// network. Malformed texts clear the fields as described by the callers.
void dhcpCompParseIPSetVendorText(s_ethIpConfig* e, const char* text);
void dhcpCompParseDhcpVendorText(s_ethIpConfig* e, const char* text);

// Hands the ranges of a LAN their gateway: the system's default gateway when
// it lies in the LAN, else the LAN's own address.
void updateDefaultGatewayDynamic(s_dhcpCompConfig* config, s_ethIpConfig* ip);

// ---- Published address ----

extern s_ipAddr publishedIpAddress;
extern uint8_t publishedIpCallbackEnabled;
extern uint32_t publishedIpListenerID;

// Reads the appliance's published address into publishedIpAddress; the first
// successful read also registers PublishedIpChangeNotificationHandler.
// Returns the registry status when the read fails (publishedIpAddress keeps
// its value), else the result of the address conversion (0 or 320; an
// invalid text leaves publishedIpAddress empty).
int dhcpCompRefreshPublishedIPAddress(void);

// Registry callback: raises the IP-change flag file when the published
// address text changed. The first five arguments are not used.
void PublishedIpChangeNotificationHandler(unsigned long, unsigned char, unsigned char, unsigned long, void*,
                                          unsigned long oldLength, void* oldValue, unsigned long newLength,
                                          void* newValue);

TAVREL_EXTERN_C_END

#endif
