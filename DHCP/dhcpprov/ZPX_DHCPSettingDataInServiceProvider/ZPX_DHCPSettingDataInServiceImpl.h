// Links created through CIM, and the manager that creates and deletes them.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEIMPL_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICEIMPL_H

#include <string>

#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInService.h"

class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceImpl : public ZPX_DHCPSettingDataInService {
 public:
  ZPX_DHCPSettingDataInServiceImpl(const std::string& antecedentSystemCreationClassName,
                                   const std::string& antecedentSystemName,
                                   const std::string& antecedentCreationClassName,
                                   const std::string& antecedentName, const std::string& dependentInstanceID);
};

class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceImplInstanceManager
    : public ZPX_DHCPSettingDataInServiceInstanceManager {
 public:
  ZPX_DHCPSettingDataInService* createZPX_DHCPSettingDataInService(
      const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
      const std::string& antecedentCreationClassName, const std::string& antecedentName,
      const std::string& dependentInstanceID) override;
  void destroyZPX_DHCPSettingDataInService(ZPX_DHCPSettingDataInService* object) override;
};

#endif
