#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceProvider.h"

#include <functional>
#include <map>
#include <string>

#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceSelfTest.h"

using namespace OpenWBEM;

ZPX_DHCPServiceProvider ZPX_DHCPServiceProv;

namespace {

typedef std::function<CIMValue(const CIMParamValueArray&, CIMParamValueArray&)> Method;

// The service's methods by their exact names.
const std::map<std::string, Method>& methods() {
  static const std::map<std::string, Method> table = {
      {"renewDynamicIPAddress",
       [](const CIMParamValueArray&, CIMParamValueArray&) {
         return CIMValue(static_cast<UInt16>(ZPX_DHCPService::getInstanceManager()->renewDynamicIPAddress()));
       }},
      {"testDhcpService", ZPX_DHCPServiceTestDhcpService},
  };
  return table;
}

}  // namespace

ZPX_DHCPServiceProvider::ZPX_DHCPServiceProvider() : ClassProvider(&ZPX_DHCPServiceOperations) {}

ZPX_DHCPServiceProvider::~ZPX_DHCPServiceProvider() = default;

CIMValue ZPX_DHCPServiceProvider::invokeMethod(const ProviderEnvironmentIFCRef&, const String&,
                                               const CIMObjectPath&, const String& methodName,
                                               const CIMParamValueArray& in, CIMParamValueArray& out) {
  auto method = methods().find(methodName.toStdString());
  if (method == methods().end()) throw CIMException(__FILE__, __LINE__, CIMException::METHOD_NOT_FOUND);
  return method->second(in, out);
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
