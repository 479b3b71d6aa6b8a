// Readiness and state reports to systemd, over the datagram socket named
// by NOTIFY_SOCKET (the sd_notify protocol, without libsystemd).
#pragma once

// Sends state ("READY=1", "RELOADING=1", "STOPPING=1", "STATUS=...") to the
// service manager. Returns 1 when it was sent, 0 when no manager listens
// (NOTIFY_SOCKET unset, or not a socket path), -1 on a send failure.
int dhcpCompNotifyServiceManager(const char* state);
