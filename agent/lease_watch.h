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

#endif
