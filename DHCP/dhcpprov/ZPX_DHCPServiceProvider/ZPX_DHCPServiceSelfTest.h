// The service's method "testDhcpService": the agent's DHCP self-test as a
// CIM method. In: interface, vendorClass, macAddress (strings; the last
// two may be empty). Out: one array per reported value, one element per
// answering server in arrival order (serverAddress, ownServer,
// offeredAddress, subnetMask, routers, dnsServers, leaseTime, option128,
// option191, option151). Returns 0.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSERVICESELFTEST_H
#define TAVREL_DHCPPROV_ZPX_DHCPSERVICESELFTEST_H

#include "openwbem/CIMParamValue.h"
#include "openwbem/CIMValue.h"

// Refuses an unknown interface or a malformed hardware address with
// CIM_ERR_INVALID_PARAMETER, a failed send with CIM_ERR_FAILED, and an agent
// without the self-test with CIM_ERR_NOT_SUPPORTED.
OpenWBEM::CIMValue ZPX_DHCPServiceTestDhcpService(const OpenWBEM::CIMParamValueArray& in,
                                                  OpenWBEM::CIMParamValueArray& out);

#endif
