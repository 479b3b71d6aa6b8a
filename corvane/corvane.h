/* libcorvane: what the LAN looks like from the Linux side (interface address,
 * default gateway, DHCP client lease), the system-wide LAN semaphore, the
 * hosts file and the IP-change flag file. Plain functions over caller
 * buffers; no state is kept between calls and nothing is logged except the
 * semaphore errors written to standard error. */
#ifndef CORVANE_H
#define CORVANE_H

#include <stdio.h>

#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

/* Output sizes (bytes, terminator included). Every output is cut to its size
 * and always terminated, so a caller's buffer must hold at least this much. */

/* Dotted-quad outputs of corvaneGetIPInfo and corvaneGetDefaultGateway. */
#define CORVANE_IP_TEXT_SIZE 16
/* Address outputs of corvaneParseDhclientLeaseFile: the agent passes the
 * 20-byte text field of its address records. */
#define CORVANE_LEASE_ADDR_SIZE 20
/* Domain name of the lease: the agent's 42-byte leaseDomainName. */
#define CORVANE_LEASE_DOMAIN_SIZE 42
/* Renew text of the lease: the agent's 30-byte leaseRenewTime. */
#define CORVANE_LEASE_RENEW_SIZE 30
/* The two vendor texts: at most 199 characters. */
#define CORVANE_VENDOR_TEXT_SIZE 200
/* Longest interface name the kernel accepts (IFNAMSIZ - 1). */
#define CORVANE_IFNAME_MAX_LEN 15

/* Creates (or opens) the named semaphore "DHCPLAN_SEMAPHORE"; returns the
 * osCreateSemaphore status (0 success). */
TAVREL_EXPORT int corvaneInitDHCPLANSemaphore(void);
/* Deletes the semaphore if it exists. */
TAVREL_EXPORT void corvaneDeleteDHCPLANSemaphore(void);
/* Waits without time limit for the semaphore. When the semaphore does not
 * exist or cannot be taken, an error goes to standard error and the call
 * returns without it. */
TAVREL_EXPORT void corvaneRequestDHCPLANSemaphore(void);
/* Releases the semaphore; errors go to standard error. */
TAVREL_EXPORT void corvaneReleaseDHCPLANSemaphore(void);

/* Replaces every carriage return in the first len bytes of buf by a line
 * feed, in place. */
TAVREL_EXPORT void corvaneRemove0Ds(char* buf, long len);
/* Opens path in mode "rb". Returns 1 with *fp positioned at the start and
 * *size its length in bytes, else 0 (*fp untouched). */
TAVREL_EXPORT int corvaneFileOpenForRead(char* path, FILE** fp, long* size);

/* 1 when name is a usable interface name: 1 to CORVANE_IFNAME_MAX_LEN
 * characters, each a letter, digit, ".", "_" or "-", not beginning with "-"
 * and not "." or "..". Only such names are
 * formatted into shell commands; anything else is refused before a command
 * runs. */
TAVREL_EXPORT int corvaneIsValidInterfaceName(const char* name);

/* Address and mask of interface ifname from ifconfig, and the default
 * gateway. Each output may be null; non-null ones need CORVANE_IP_TEXT_SIZE
 * bytes. An empty, null or invalid name gives addr "" and leaves mask and
 * gateway alone. "eth1" without an address is asked again every 3 seconds,
 * 11 times in all; any other interface once. An address or mask that is not
 * known (no address, or the command output could not be read) is "". */
TAVREL_EXPORT void corvaneGetIPInfo(const char* ifname, char* addr, char* mask, char* gateway);

/* The default route's gateway from netstat, or with no default route the
 * GATEWAY= line of /etc/sysconfig/network; "" when neither gives exactly
 * one. gateway needs CORVANE_IP_TEXT_SIZE bytes. */
TAVREL_EXPORT void corvaneGetDefaultGateway(char* gateway);

/* Reads the current lease from /var/lib/dhcp/dhclient-eth1.leases: the last
 * block closed by "}" (a block cut short is skipped). Any output may be
 * null. Address outputs need CORVANE_LEASE_ADDR_SIZE bytes, domainName
 * CORVANE_LEASE_DOMAIN_SIZE, renew CORVANE_LEASE_RENEW_SIZE, ipSetConfig and
 * dhcpVendorText CORVANE_VENDOR_TEXT_SIZE; longer values are cut. routers
 * gets the first router, dnsServer1 and dnsServer2 the first two DNS
 * servers, domainName the domain without a trailing point; a value the lease
 * lacks gives "" (0 for netbiosNodeType), except renew, which is then left
 * alone. The vendor texts (after "T20-IPSETCONFIG," and "T20-DHCP," in an
 * option statement) are cleared first and filled only when both are given.
 * Returns 1 when the lease is for ifname (first 4 characters compared) and
 * holds the asked-for fixed address and subnet mask; else 0, and then only
 * the vendor texts and a missing fixed address or mask have been cleared. */
TAVREL_EXPORT int corvaneParseDhclientLeaseFile(const char* ifname, char* fixedAddress, char* subnetMask,
                                                char* routers, char* dnsServer1, char* dnsServer2,
                                                char* netbiosServer, unsigned char* netbiosNodeType,
                                                char* domainName, char* renew, char* serverIdentifier,
                                                char* ipSetConfig, char* dhcpVendorText);

/* Creates the flag file /pq/etc/ipchnged.tmp that tells the agent the IP
 * configuration changed. Returns 1 when the file exists afterwards, else 0. */
TAVREL_EXPORT int corvaneInformTavrelOfIPConfigChange(void);

/* Rewrites /etc/hosts: keeps every line it did not write itself and puts in
 * place of its own lines "ipAddress<TAB>hostName.domainName<TAB>hostName"
 * ("ipAddress<TAB>hostName" without a domain) and, when routerAddress is not
 * empty, "routerAddress<TAB>router", each ending in the comment
 * "# TavrelAgent". A missing file gets the localhost header first. An empty
 * host name stands for the system's host name (up to its first point). The
 * addresses must be dotted quads (the router may be empty); host and domain
 * name may hold only letters, digits, ".", "_" and "-". Returns 1 when the
 * new file is in place; 0 when a text is refused, no host name is known, the
 * entry is too long, the old file cannot be read or exceeds 64 KiB, memory
 * runs out or the file cannot be written or moved, and then /etc/hosts is
 * unchanged. */
TAVREL_EXPORT int corvaneUpdateHostsFile(char* hostName, char* domainName, char* ipAddress,
                                         char* routerAddress);

TAVREL_EXTERN_C_END

#endif
