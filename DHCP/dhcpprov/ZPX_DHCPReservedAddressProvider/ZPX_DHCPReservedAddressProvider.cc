#include "ZPX_DHCPReservedAddressProvider/ZPX_DHCPReservedAddressProvider.h"

using OpenWBEM::CIMInstance;
using OpenWBEM::CIMObjectPath;

ZPX_DHCPReservedAddressProvider ZPX_DHCPReservedAddressProv;

ZPX_DHCPReservedAddressProvider::ZPX_DHCPReservedAddressProvider()
    : ClassProvider(&ZPX_DHCPReservedAddressOperations) {}

ZPX_DHCPReservedAddressProvider::~ZPX_DHCPReservedAddressProvider() = default;

// A length check or a setter may end the change before endChange, the step
// that puts the saved texts back; the object must not keep showing texts
// that the agent never stored.
void ZPX_DHCPReservedAddressProvider::modifyInstance(ZPX_DHCPReservedAddress& object,
                                                     const CIMInstance& instance) {
  try {
    operations().binding().apply(object, instance);
  } catch (...) {
    ZPX_DHCPReservedAddressImpl* impl = dynamic_cast<ZPX_DHCPReservedAddressImpl*>(&object);
    if (impl != nullptr) impl->restoreProperties();
    throw;
  }
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
