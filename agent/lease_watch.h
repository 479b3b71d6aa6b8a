// Following dhcpd's lease file from a thread of its own.
#ifndef TAVREL_AGENT_LEASE_WATCH_H
#define TAVREL_AGENT_LEASE_WATCH_H

#include <functional>

// Starts a thread that calls check after each change of the server lease
// file and when a listed lease ends, at most once a second (check takes the
// agent's lock itself). 0, or the error number when the file cannot be
// watched.
int dhcpCompStartLeaseWatch(std::function<void()> check);
// Stops the thread and waits for it; nothing when none runs.
void dhcpCompStopLeaseWatch(void);

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

#endif
