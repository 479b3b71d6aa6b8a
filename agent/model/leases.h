// The server's lease file: what changed in it, and the lease lists of the
// LANs with their provider objects built from it. The refresh and the
// release of one lease object, which libTavrel calls, are declared in
// tavrel_agent_api.h.
#ifndef TAVREL_AGENT_MODEL_LEASES_H
#define TAVREL_AGENT_MODEL_LEASES_H

#include <stddef.h>
#include <stdio.h>
#include <time.h>

#include "model/records.h"

// The server's lease file, and the private copy the lease lists are built from.
#define DHCPD_LEASE_DIRECTORY "/pq/etc"
#define DHCPD_LEASE_FILE_NAME "dhcpd.leases"
#define DHCPD_LEASE_FILE DHCPD_LEASE_DIRECTORY "/" DHCPD_LEASE_FILE_NAME
#define DHCPD_LEASE_COPY_FILE "/pq/etc/dhcpd.t20leases"
#define DHCP_LEASE_RECORD_SIZE 2000  // one record of the server lease file

TAVREL_EXTERN_C_BEGIN

// 1 when the server lease file is new, changed (size, modification time or
// file identity) or gone since the last call; the private copy has then been
// replaced by a fresh one (or removed). 0 when nothing changed.
int dhcpCompLeaseFileChanged(void);
// Forgets what was read of the lease file (g_dhcpdLeaseFileTime emptied), so
// the next look reads it whole. Safe beside the lease watch's thread.
void dhcpCompForgetLeaseFile(void);
// Rebuilds the lease lists of all LANs, and their lease objects, from the
// private copy. Without a readable copy the lists stay empty.
void dhcpCompGetDhcpdServerLeaseInfo(void);
// Reads the next complete record ("lease ..." to "}") into out
// (DHCP_LEASE_RECORD_SIZE bytes): its lines without the closing one. A
// record cut off by the end of the file, or followed by another "lease " line
// before its "}", is dropped; one too long for out is skipped whole; lines
// too long for the line buffer are left out. 1 when a record was read, 0 at
// the end of the file.
int dhcpReadAndConvertLeaseRecord(FILE* file, char* out);
// Deletes every lease node and lease object of every LAN.
void dhcpCompDeleteLeaseInfoInstances(void);

TAVREL_EXTERN_C_END

// Reads what changed in the server lease file (its appended tail, or the
// whole file after a rewrite) without the agent's lock; the next
// dhcpCompRefreshLeaseInfo, under the lock, applies it. 1 when it changed.
int dhcpCompReadLeaseFileChanges(void);

// The time (seconds since the epoch) at which the first listed lease ends,
// LLONG_MAX when none does; the lease watch checks then.
long long dhcpCompNextLeaseEnd(void);

// Above this many bytes the lease file is read at most every 30 seconds
// until dhcpd rewrites it (default 64 MB, tavrel_agent.lease_file_limit_bytes).
void dhcpCompSetLeaseFileLimit(unsigned long bytes);

// Rebuilds the lease lists of all LANs, and their lease objects, from the
// text of a server lease file.
void dhcpCompBuildLeaseLists(const char* text, size_t size);

// The time the lease reader compares lease ends with; 0 (the default) is
// the system clock. For tests of files with fixed dates.
void dhcpCompSetLeaseClock(time_t now);

// Deleting a lease object runs its virtual destructor (see ranges.h).
void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl* object);
void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl* object);

#endif
