// The one check of each kind of value that reaches the component
// configuration file or dhcpd.conf: the CIM setters, the file reader, the
// dhcpd.conf generator and the lease readers all call these, so a value one
// path accepts is never renamed or dropped by another.
#ifndef TAVREL_AGENT_DHCPVALIDATE_H
#define TAVREL_AGENT_DHCPVALIDATE_H

#include <stdint.h>

#include "tavrel_export.h"

struct s_ethIpConfig;

// 1 when name can be a dhcpd.conf host declaration name: dot-separated
// labels, each starting with a letter or digit and holding letters, digits,
// "-" and "_". The empty name is accepted (the reservation operations name it
// "Device<id>").
TAVREL_EXPORT int dhcpUtilIsValidHostName(const char* name);

// 1 when name is made of ASCII letters, digits, "." and "-" only (the empty
// name included): what the setting data accepts and dhcpd.conf serves.
TAVREL_EXPORT int dhcpUtilIsValidDomainName(const char* name);

// 1 when text may be stored as a field of the component configuration file:
// no "," and no control character (line breaks included).
TAVREL_EXPORT int dhcpUtilIsValidDescription(const char* text);

// Brings a hardware address (a buffer of DHCP_MAC_ADDR_SIZE bytes) to
// "0A:0B:0C:0D:0E:0F". Twelve digits are paired up; seventeen characters must
// be six pairs of hexadecimal digits joined by ":" or "-". Returns 0, or 327
// with mac unchanged.
TAVREL_EXPORT int dhcpUtilNormaliseMacAddr(char* mac);

// 1 when a normalised hardware address ("0A:0B:0C:0D:0E:0F") can name one
// client: not all zero, not broadcast or multicast (low bit of the first
// octet clear).
TAVREL_EXPORT int dhcpUtilIsUnicastMacAddr(const char* mac);

// Call-server ports that the telephones know by number (7000, 7300, 4100,
// 5000); any other port is an "other port" of at most 9999. 1 when port is
// one of the two.
TAVREL_EXPORT int dhcpUtilIsStandardCallServerPort(uint32_t port);
TAVREL_EXPORT int dhcpUtilIsValidCallServerPort(uint32_t port);
// Files a call-server port as the setting data holds it: a standard port in
// *port (other port unchanged), any other one in *otherPort with *port 0.
TAVREL_EXPORT void dhcpUtilSplitCallServerPort(uint32_t number, uint32_t* port, uint32_t* otherPort);

// VLAN id list: digits and "," only, no two "," in a row, at most 10 items
// of at most 5 characters whose value (as atoi reads it) is 0..4095. The
// empty list and a list ending in "," are valid; an empty item counts as 0.
// Returns 0 or 330.
TAVREL_EXPORT int dhcpCompVerifyVLANIds(char* list);

// 1 when e has an address and a netmask, so that it has a network.
TAVREL_EXPORT int dhcpUtilHasNetwork(const s_ethIpConfig* e);

// 1 when address is not 0 and (address AND netmask) equals (the interface's
// address AND netmask). An interface without a netmask therefore holds every
// address: the customer LAN before its DHCP lease keeps its ranges and
// reservations. Callers that need a real network check dhcpUtilHasNetwork.
TAVREL_EXPORT int dhcpUtilInInterfaceNetwork(const s_ethIpConfig* e, uint32_t address);

#endif
