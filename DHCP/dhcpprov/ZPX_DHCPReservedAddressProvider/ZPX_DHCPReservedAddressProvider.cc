#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressProvider.h"

using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;

ZPX_DHCPReservedAddressProvider ZPX_DHCPReservedAddressProv;

ZPX_DHCPReservedAddressProvider::ZPX_DHCPReservedAddressProvider()
    : ClassProvider(&ZPX_DHCPReservedAddressOperations) {}

ZPX_DHCPReservedAddressProvider::~ZPX_DHCPReservedAddressProvider() = default;

// A length check or a setter may end the change before endChange; the
// change bracket then makes the object show its stored texts again.
void ZPX_DHCPReservedAddressProvider::modifyInstance(ZPX_DHCPReservedAddress& object,
                                                     const CIMInstance& instance) {
  operations().binding().apply(object, instance);
}

ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressProvider::getZPX_DHCPReservedAddressWithCIMObjectPath(
    const CIMObjectPath& path) {
  return operations().getWithCIMObjectPath(path);
}

ZPX_DHCPReservedAddress* ZPX_DHCPReservedAddressProvider::getZPX_DHCPReservedAddressWithCIMInstance(
    const CIMInstance& instance) {
  return operations().getWithCIMInstance(instance);
}

void ZPX_DHCPReservedAddressProvider::ZPX_DHCPReservedAddressToCIMInstance(
    const OpenWBEM::String&, const ZPX_DHCPReservedAddress& object, CIMInstance& instance) {
  ZPX_DHCPReservedAddressBinding().toCIMInstance(object, instance);
}

void ZPX_DHCPReservedAddressProvider::ZPX_DHCPReservedAddressToCIMObjectPath(
    const ZPX_DHCPReservedAddress& object, CIMObjectPath& path) {
  ZPX_DHCPReservedAddressBinding().toCIMObjectPath(object, path);
}
