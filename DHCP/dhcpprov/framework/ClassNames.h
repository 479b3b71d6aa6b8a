// CIM class names served by libTavrel. Requests are routed by exact
// comparison with these texts, and instances and paths carry them.
#ifndef TAVREL_DHCPPROV_CLASS_NAMES_H
#define TAVREL_DHCPPROV_CLASS_NAMES_H

#include "tavrel_export.h"

TAVREL_EXPORT extern const char* ZPX_DHCPServiceName;
TAVREL_EXPORT extern const char* ZPX_DHCPSettingDataName;
TAVREL_EXPORT extern const char* ZPX_DHCPRangeOfIPAddressesName;
TAVREL_EXPORT extern const char* ZPX_DHCPReservedAddressName;
TAVREL_EXPORT extern const char* ZPX_DHCPClientLeaseInfoCustomerLANName;
TAVREL_EXPORT extern const char* ZPX_DHCPClientLeaseInfoOAMLANName;
TAVREL_EXPORT extern const char* ZPX_DHCPSettingDataInServiceName;
TAVREL_EXPORT extern const char* ZPX_DHCPPoolStatisticsName;
TAVREL_EXPORT extern const char* ZPX_DHCPForeignServerName;

#endif
