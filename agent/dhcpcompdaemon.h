// The commit entry that libTavrel calls, the generation of the server's
// dhcpd.conf and the agent's copy of the appliance's published address.
// These functions keep C linkage and are exported. Process control is in
// process.h and dhcpd.h, the rest of the commit in commit.h.
#ifndef TAVREL_AGENT_DHCPCOMPDAEMON_H
#define TAVREL_AGENT_DHCPCOMPDAEMON_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "dhcpcomp.h"
#include "tavrel_export.h"

#define DHCPD_CONF_FILE "/pq/etc/dhcpd.conf"

TAVREL_EXTERN_C_BEGIN

// ---- Published address ----

TAVREL_EXPORT extern s_ipAddr publishedIpAddress;
TAVREL_EXPORT extern uint8_t publishedIpCallbackEnabled;
TAVREL_EXPORT extern uint32_t publishedIpListenerID;

// Reads the appliance's published address into publishedIpAddress; the first
// successful read also registers PublishedIpChangeNotificationHandler.
// Returns the registry status when the read fails (publishedIpAddress keeps
// its value), else the result of the address conversion (0 or 320; an
// invalid text leaves publishedIpAddress empty).
TAVREL_EXPORT int dhcpCompRefreshPublishedIPAddress(void);

// Registry callback: raises the IP-change flag file when the published
// address text changed. The first five arguments are not used.
TAVREL_EXPORT void PublishedIpChangeNotificationHandler(unsigned long, unsigned char, unsigned char,
                                                        unsigned long, void*, unsigned long oldLength,
                                                        void* oldValue, unsigned long newLength,
                                                        void* newValue);

// Hands the ranges of a LAN their gateway: the system's default gateway when
// it lies in the LAN, else the LAN's own address.
TAVREL_EXPORT void updateDefaultGatewayDynamic(s_dhcpCompConfig* config, s_ethIpConfig* ip);

// Applies the current records: first brings them to the state it stores
// (published address, dynamic gateways and call servers refreshed, the
// customer LAN's common settings copied to the VLANs, every range given its
// LAN's gateway), then generates the component configuration file and
// dhcpd.conf from that one state, has dhcpd check dhcpd.conf while the old
// server runs, writes the component file, and restarts dhcpd with the new
// file when it differs from the live one (or no server runs). Changes go
// through DhcpCompChange (dhcpcompchange.h), which rolls the records back
// when this fails. Commits are serialised. 0 when applied; DHCP_RC_CONFIG_REFUSED,
// DHCP_RC_SERVER_START_FAILED or DHCP_RC_CONFIG_WRITE_FAILED (dhcpresult.h)
// otherwise, with the reason in dhcpCompCommitFailureText.
TAVREL_EXPORT int dhcpCompCommitConfigurationChanges(void);

// ---- dhcpd.conf ----

// Writes /pq/etc/dhcpd.conf from the records, replacing it atomically. May
// set the customer LAN's s2 call server to s1 when s2 is unset. 1 when
// written; 0 when it could not be (the old file stays; system-log error).
TAVREL_EXPORT int dhcpCompCreateDhcpdConfigFile(void);

// Room the subnet declaration of one LAN needs at *out, extra not counted.
#define DHCPD_SUBNET_SECTION_MAX_SIZE                                                                      \
  (512 + DHCP_MAX_ADDR_RANGES * (2 * DHCP_IP_STRING_SIZE + 16) + 256 +                                     \
   DHCP_MAX_RESERVED_ADDRS * (2 * DHCP_CLIENT_NAME_SIZE + DHCP_MAC_ADDR_SIZE + DHCP_IP_STRING_SIZE + 80) + \
   1024)

// Appends the subnet declaration of one LAN at *out, which must have room
// for DHCPD_SUBNET_SECTION_MAX_SIZE bytes plus the length of extra; extra
// (may be null) goes just before the closing brace. Advances *out and
// returns the new end. A LAN without a valid address and mask gets nothing.
TAVREL_EXPORT char* dhcpCompFormatSubnetSectionForDhcpdConfFile(char** out, char* extra, s_ethIpConfig* eth,
                                                                s_dhcpCompConfig* cfg);

TAVREL_EXTERN_C_END

// The text of dhcpd.conf for the current records (what
// dhcpCompCreateDhcpdConfigFile writes).
TAVREL_EXPORT std::string dhcpCompFormatDhcpdConfig(void);
// While the customer LAN serves its call servers, an unset second one takes
// the first one's settings (the record keeps them, flagged as derived).
TAVREL_EXPORT void dhcpCompFillSecondCallServer(s_dhcpCompConfig* lan);

#endif
