#include "framework/ClassNames.h"

const char* ZPX_DHCPServiceName = "ZPX_DHCPService";
const char* ZPX_DHCPSettingDataName = "ZPX_DHCPSettingData";
const char* ZPX_DHCPRangeOfIPAddressesName = "ZPX_DHCPRangeOfIPAddresses";
const char* ZPX_DHCPReservedAddressName = "ZPX_DHCPReservedAddress";
const char* ZPX_DHCPClientLeaseInfoCustomerLANName = "ZPX_DHCPClientLeaseInfoCustomerLAN";
const char* ZPX_DHCPClientLeaseInfoOAMLANName = "ZPX_DHCPClientLeaseInfoOAMLAN";
const char* ZPX_DHCPSettingDataInServiceName = "ZPX_DHCPSettingDataInService";
const char* ZPX_DHCPPoolStatisticsName = "ZPX_DHCPPoolStatistics";
const char* ZPX_DHCPForeignServerName = "ZPX_DHCPForeignServer";
