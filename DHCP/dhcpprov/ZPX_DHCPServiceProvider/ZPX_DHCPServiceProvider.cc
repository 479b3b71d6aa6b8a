#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"

using namespace OpenWBEM;

ZPX_DHCPServiceProvider ZPX_DHCPServiceProv;

namespace {

const char kRenewMethod[] = "renewDynamicIPAddress";

}  // namespace

ZPX_DHCPServiceProvider::ZPX_DHCPServiceProvider() : ClassProvider(&ZPX_DHCPServiceOperations) {}

ZPX_DHCPServiceProvider::~ZPX_DHCPServiceProvider() = default;

CIMValue ZPX_DHCPServiceProvider::invokeMethod(const ProviderEnvironmentIFCRef&, const String&,
                                               const CIMObjectPath&, const String& methodName,
                                               const CIMParamValueArray&, CIMParamValueArray&) {
  if (!methodName.equals(kRenewMethod))
    throw CIMException(__FILE__, __LINE__, CIMException::METHOD_NOT_FOUND);
  int rc = ZPX_DHCPService::getInstanceManager()->renewDynamicIPAddress();
  return CIMValue(static_cast<UInt16>(rc));
}

void ZPX_DHCPServiceProvider::modifyInstance(ZPX_DHCPService& object, const CIMInstance& instance) {
  operations().binding().apply(object, instance);
}

ZPX_DHCPService* ZPX_DHCPServiceProvider::getZPX_DHCPServiceWithCIMObjectPath(const CIMObjectPath& path) {
  return operations().getWithCIMObjectPath(path);
}

ZPX_DHCPService* ZPX_DHCPServiceProvider::getZPX_DHCPServiceWithCIMInstance(const CIMInstance& instance) {
  return operations().getWithCIMInstance(instance);
}

void ZPX_DHCPServiceProvider::ZPX_DHCPServiceToCIMInstance(const String&, const ZPX_DHCPService& object,
                                                           CIMInstance& instance) {
  ZPX_DHCPServiceBinding().toCIMInstance(object, instance);
}

void ZPX_DHCPServiceProvider::ZPX_DHCPServiceToCIMObjectPath(const ZPX_DHCPService& object,
                                                             CIMObjectPath& path) {
  ZPX_DHCPServiceBinding().toCIMObjectPath(object, path);
}
