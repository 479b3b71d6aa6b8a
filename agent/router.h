// Supervision of the integrated router's DHCP server: pings of the lease's
// server from the main loop, and the renewal of the customer LAN's address
// when it does not answer (dhcpcompRenewDynamicIPAddress, which libTavrel
// calls too, is declared in tavrel_agent_api.h).
#ifndef TAVREL_AGENT_ROUTER_H
#define TAVREL_AGENT_ROUTER_H

#include "agent.h"
#include "tavrel_export.h"

TAVREL_EXTERN_C_BEGIN

// 1 when the DHCP server of the current lease answers one of up to ten
// pings a second apart; 0 when it does not, or the customer LAN has no
// address or the server is unknown.
int dhcpcompCheckDhcpServerPingable(void);
// One ping of the lease's DHCP server (no shell; output read through a
// pipe): 1 when answered, else 0.
int dhcpcompPingDhcpServer(void);

TAVREL_EXTERN_C_END

// One main-loop pass of the router supervision: counts passes while the
// integrated router is fitted and the DHCP-client customer LAN has the
// router's vendor text; every passesBetweenChecks-th pass checks the server
// and, when it does not answer, logs 62008 and renews the address. Only the
// reading of the records and the renewal run under locked; the pings and
// the pauses between them run without the lock.
void dhcpCompSuperviseRouterPass(int* passCounter, int passesBetweenChecks, const DhcpCompLocked& locked);

#endif
