#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesProvider.h"

using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;

ZPX_DHCPRangeOfIPAddressesProvider ZPX_DHCPRangeOfIPAddressesProv;

ZPX_DHCPRangeOfIPAddressesProvider::ZPX_DHCPRangeOfIPAddressesProvider()
    : ClassProvider(&ZPX_DHCPRangeOfIPAddressesOperations) {}

ZPX_DHCPRangeOfIPAddressesProvider::~ZPX_DHCPRangeOfIPAddressesProvider() = default;

// The three setters take any text; endChange or the commit may refuse, and
// the change bracket puts back what the change touched.
void ZPX_DHCPRangeOfIPAddressesProvider::modifyInstance(ZPX_DHCPRangeOfIPAddresses& object,
                                                        const CIMInstance& instance) {
  operations().binding().apply(object, instance);
}

ZPX_DHCPRangeOfIPAddresses*
ZPX_DHCPRangeOfIPAddressesProvider::getZPX_DHCPRangeOfIPAddressesWithCIMObjectPath(
    const CIMObjectPath& path) {
  return operations().getWithCIMObjectPath(path);
}

ZPX_DHCPRangeOfIPAddresses* ZPX_DHCPRangeOfIPAddressesProvider::getZPX_DHCPRangeOfIPAddressesWithCIMInstance(
    const CIMInstance& instance) {
  return operations().getWithCIMInstance(instance);
}

void ZPX_DHCPRangeOfIPAddressesProvider::ZPX_DHCPRangeOfIPAddressesToCIMInstance(
    const OpenWBEM::String&, const ZPX_DHCPRangeOfIPAddresses& object, CIMInstance& instance) {
  ZPX_DHCPRangeOfIPAddressesBinding().toCIMInstance(object, instance);
}

void ZPX_DHCPRangeOfIPAddressesProvider::ZPX_DHCPRangeOfIPAddressesToCIMObjectPath(
    const ZPX_DHCPRangeOfIPAddresses& object, CIMObjectPath& path) {
  ZPX_DHCPRangeOfIPAddressesBinding().toCIMObjectPath(object, path);
}
