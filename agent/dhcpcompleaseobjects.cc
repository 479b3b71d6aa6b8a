// Release of the lease objects of the lease lists. The agent creates lease
// objects only once it reads the server lease file; until that code is part
// of the agent (with the lease classes of libTavrel) the lists never hold an
// object and there is nothing to delete.
#include "dhcpcomp.h"

void dhcpCompDeleteCustomerLanLeaseObject(ZPX_DHCPClientLeaseInfoCustomerLANImpl*) {}
void dhcpCompDeleteOamLanLeaseObject(ZPX_DHCPClientLeaseInfoOAMLANImpl*) {}
