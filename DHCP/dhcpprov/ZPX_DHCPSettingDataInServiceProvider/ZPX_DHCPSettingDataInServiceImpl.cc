#include "ZPX_DHCPSettingDataInServiceProvider/ZPX_DHCPSettingDataInServiceImpl.h"

ZPX_DHCPSettingDataInServiceImpl::ZPX_DHCPSettingDataInServiceImpl(
    const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
    const std::string& antecedentCreationClassName, const std::string& antecedentName,
    const std::string& dependentInstanceID)
    : ZPX_DHCPSettingDataInService(antecedentSystemCreationClassName, antecedentSystemName,
                                   antecedentCreationClassName, antecedentName, dependentInstanceID) {}

ZPX_DHCPSettingDataInService*
ZPX_DHCPSettingDataInServiceImplInstanceManager::createZPX_DHCPSettingDataInService(
    const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
    const std::string& antecedentCreationClassName, const std::string& antecedentName,
    const std::string& dependentInstanceID) {
  return new ZPX_DHCPSettingDataInServiceImpl(antecedentSystemCreationClassName, antecedentSystemName,
                                              antecedentCreationClassName, antecedentName,
                                              dependentInstanceID);
}

void ZPX_DHCPSettingDataInServiceImplInstanceManager::destroyZPX_DHCPSettingDataInService(
    ZPX_DHCPSettingDataInService* object) {
  delete object;
}
