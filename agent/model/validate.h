// The one check of each kind of value that reaches the component
// configuration file or dhcpd.conf: the CIM setters, the file reader, the
// dhcpd.conf generator and the lease readers all call these, so a value one
// path accepts is never renamed or dropped by another.
#ifndef TAVREL_AGENT_MODEL_VALIDATE_H
#define TAVREL_AGENT_MODEL_VALIDATE_H

#include <stdint.h>

struct s_ethIpConfig;

// Brings a hardware address (a buffer of DHCP_MAC_ADDR_SIZE bytes) to
// "0A:0B:0C:0D:0E:0F". Twelve digits are paired up; seventeen characters must
// be six pairs of hexadecimal digits joined by ":" or "-". Returns 0, or 327
// with mac unchanged.
int dhcpUtilNormaliseMacAddr(char* mac);

// 1 when a normalised hardware address ("0A:0B:0C:0D:0E:0F") can name one
// client: not all zero, not broadcast or multicast (low bit of the first
// octet clear).
int dhcpUtilIsUnicastMacAddr(const char* mac);

// Call-server ports that the telephones know by number (7000, 7300, 4100,
// 5000); any other port is an "other port" of at most 9999. 1 when port is
// one of the two.
int dhcpUtilIsStandardCallServerPort(uint32_t port);
int dhcpUtilIsValidCallServerPort(uint32_t port);
// Files a call-server port as the setting data holds it: a standard port in
// *port (other port unchanged), any other one in *otherPort with *port 0.
void dhcpUtilSplitCallServerPort(uint32_t number, uint32_t* port, uint32_t* otherPort);

// 1 when e has an address and a netmask, so that it has a network.
int dhcpUtilHasNetwork(const s_ethIpConfig* e);

// 1 when address is not 0 and (address AND netmask) equals (the interface's
// address AND netmask). An interface without a netmask therefore holds every
// address: the customer LAN before its DHCP lease keeps its ranges and
// reservations. Callers that need a real network check dhcpUtilHasNetwork.
int dhcpUtilInInterfaceNetwork(const s_ethIpConfig* e, uint32_t address);

#endif
