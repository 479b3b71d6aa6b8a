#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataProvider.h"

using namespace OpenWBEM;

ZPX_DHCPSettingDataProvider ZPX_DHCPSettingDataProv;

ZPX_DHCPSettingDataProvider::ZPX_DHCPSettingDataProvider() : ClassProvider(&ZPX_DHCPSettingDataOperations) {}

ZPX_DHCPSettingDataProvider::~ZPX_DHCPSettingDataProvider() = default;

CIMObjectPath ZPX_DHCPSettingDataProvider::createInstance(const ProviderEnvironmentIFCRef& env,
                                                          const String& ns, const CIMInstance& cimInstance) {
  ZPX_DHCPSettingDataChangeGuard guard;
  CIMObjectPath path = ClassProvider::createInstance(env, ns, cimInstance);
  guard.keep();
  return path;
}

// The setters write the agent's record at once; a check or setter that ends
// the change before endChange commits must not leave earlier properties
// behind for the next commit to pick up.
void ZPX_DHCPSettingDataProvider::modifyInstance(ZPX_DHCPSettingData& object, const CIMInstance& instance) {
  ZPX_DHCPSettingDataChangeGuard guard;
  operations().binding().apply(object, instance);
  guard.keep();
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
