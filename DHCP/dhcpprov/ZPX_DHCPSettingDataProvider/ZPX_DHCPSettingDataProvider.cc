#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"

using namespace OpenWBEM;

ZPX_DHCPSettingDataProvider ZPX_DHCPSettingDataProv;

ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataProvider() : ClassProvider(&ZPX_DHCPSettingDataOperations) {}

ZPX_DHCPSettingDataProvider::~ZPX_DHCPSettingDataProvider() = default;

// The setters write the agent's record at once; the change bracket puts it
// back when a check, a setter or the commit refuses the change.
void ZPX_DHCPSettingDataProvider::modifyInstance(ZPX_DHCPSettingData& object, const CIMInstance& instance) {
  operations().binding().apply(object, instance);
}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataProvider::getZPX_DHCPSettingDataWithCIMObjectPath(
    const CIMObjectPath& path) {
  return operations().getWithCIMObjectPath(path);
}

ZPX_DHCPSettingData* ZPX_DHCPSettingDataProvider::getZPX_DHCPSettingDataWithCIMInstance(
    const CIMInstance& instance) {
  return operations().getWithCIMInstance(instance);
}

void ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataToCIMInstance(const String&,
                                                                   const ZPX_DHCPSettingData& object,
                                                                   CIMInstance& instance) {
  ZPX_DHCPSettingDataBinding().toCIMInstance(object, instance);
}

void ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataToCIMObjectPath(const ZPX_DHCPSettingData& object,
                                                                     CIMObjectPath& path) {
  ZPX_DHCPSettingDataBinding().toCIMObjectPath(object, path);
}
