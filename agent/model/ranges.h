// Address ranges and reserved addresses of the LANs: their checks, their
// slots in the records and the provider objects that show them. The
// operations libTavrel calls are declared in tavrel_agent_api.h.
#ifndef TAVREL_AGENT_MODEL_RANGES_H
#define TAVREL_AGENT_MODEL_RANGES_H

#include <stdint.h>

#include <string>

#include "model/records.h"

TAVREL_EXTERN_C_BEGIN

int dhcpCompAddIPAddressRangeCustomerLAN(s_dhcpCompConfig* cfg, s_ipAddrRange* range, int id);
int dhcpCompCheckAndAddIPAddressRangeOAMLAN(s_ipAddrRange* range, bool checkSubnet);
// Drops the LAN's ranges and reservations outside its network (and ranges
// holding its own address), only while the LAN has an address of its own.
void dhcpCompVerifyRangesInSubnet(s_ethIpConfig* eth, s_dhcpCompConfig* cfg);
// True when the LAN has an address of its own: static, or from a lease; not
// while it has none, nor while it has only the default address
// (DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS) the agent gives a DHCP-addressed LAN
// without a lease.
bool dhcpCompHasOwnAddress(const s_ethIpConfig* eth);
// Whether dhcpd.conf serves an address of the LAN: true when the LAN has no
// network or the network holds it. An entry kept outside the network is
// logged once (per LAN address) and not served.
bool dhcpCompServesAddress(const s_ethIpConfig* eth, uint32_t address);
// Makes every range and reservation object show its stored entry.
void dhcpCompShowStoredEntries(void);

TAVREL_EXTERN_C_END

void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_ipAddrRange* range);
// As dhcpCompCheckAndAddReservedAddress (tavrel_agent_api.h) for a
// reservation read from the component configuration file: a client name or
// description that earlier rules allowed is kept as it is (dhcpd.conf
// declares such a host as "reserved-<id>"); every other check applies.
int dhcpCompAddStoredReservedAddress(const std::string& id, s_reservedAddr* rec);
void getInterfaceContext(s_dhcpCompConfig** cfg, s_ethIpConfig** eth, s_reservedAddr* rec);

// Deleting a provider object runs its virtual destructor, which frees its
// slot and pool entry (the caller commits). Defined here, beside the code
// that creates the objects (it knows the provider classes); the release
// functions of the records use them.
void dhcpCompDeleteAddressRangeObject(ZPX_DHCPRangeOfIPAddressesImpl* object);
void dhcpCompDeleteReservedAddrObject(ZPX_DHCPReservedAddressImpl* object);

#endif
