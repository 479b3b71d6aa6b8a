// dhcpd.conf, generated from the records: one subnet declaration per LAN
// that serves, with its pools, hosts and options, and the telephones'
// classes.
#ifndef TAVREL_AGENT_MODEL_DHCPD_CONF_H
#define TAVREL_AGENT_MODEL_DHCPD_CONF_H

#include <string>

#include "model/records.h"

#define DHCPD_CONF_FILE "/pq/etc/dhcpd.conf"

// Room the subnet declaration of one LAN needs at *out, extra not counted.
#define DHCPD_SUBNET_SECTION_MAX_SIZE                                                                      \
  (512 + DHCP_MAX_ADDR_RANGES * (2 * DHCP_IP_STRING_SIZE + 16) + 256 +                                     \
   DHCP_MAX_RESERVED_ADDRS * (2 * DHCP_CLIENT_NAME_SIZE + DHCP_MAC_ADDR_SIZE + DHCP_IP_STRING_SIZE + 80) + \
   1024)

TAVREL_EXTERN_C_BEGIN

// Writes /pq/etc/dhcpd.conf from the records, replacing it atomically. May
// set the customer LAN's s2 call server to s1 when s2 is unset. 1 when
// written; 0 when it could not be (the old file stays; system-log error).
int dhcpCompCreateDhcpdConfigFile(void);

// Appends the subnet declaration of one LAN at *out, which must have room
// for DHCPD_SUBNET_SECTION_MAX_SIZE bytes plus the length of extra; extra
// (may be null) goes just before the closing brace. Advances *out and
// returns the new end. A LAN without a valid address and mask gets nothing.
char* dhcpCompFormatSubnetSectionForDhcpdConfFile(char** out, char* extra, s_ethIpConfig* eth,
                                                  s_dhcpCompConfig* cfg);

TAVREL_EXTERN_C_END

// The text of dhcpd.conf for the current records (what
// dhcpCompCreateDhcpdConfigFile writes).
std::string dhcpCompFormatDhcpdConfig(void);
// While the customer LAN serves its call servers, an unset second one takes
// the first one's settings (the record keeps them, flagged as derived).
void dhcpCompFillSecondCallServer(s_dhcpCompConfig* lan);

#endif
