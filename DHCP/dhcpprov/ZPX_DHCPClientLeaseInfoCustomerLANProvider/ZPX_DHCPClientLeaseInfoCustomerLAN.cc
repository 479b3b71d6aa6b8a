#include "ZPX_DHCPClientLeaseInfoCustomerLANProvider/ZPX_DHCPClientLeaseInfoCustomerLAN.h"

#include "framework/ClassNames.h"

ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager ZPX_DHCPClientLeaseInfoCustomerLAN::defaultInstanceManager;
ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* ZPX_DHCPClientLeaseInfoCustomerLAN::theInstanceManager =
    &ZPX_DHCPClientLeaseInfoCustomerLAN::defaultInstanceManager;

ZPX_DHCPClientLeaseInfoCustomerLAN::ZPX_DHCPClientLeaseInfoCustomerLAN(const std::string& instanceID)
    : TavrelLeaseInfo(instanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPClientLeaseInfoCustomerLAN::~ZPX_DHCPClientLeaseInfoCustomerLAN() {
  theInstanceManager->remove(this);
}

void ZPX_DHCPClientLeaseInfoCustomerLAN::SetInstanceManager(
    ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPClientLeaseInfoCustomerLAN::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPClientLeaseInfoCustomerLANInstanceManager* ZPX_DHCPClientLeaseInfoCustomerLAN::getInstanceManager() {
  return theInstanceManager;
}

const ClassBinding<ZPX_DHCPClientLeaseInfoCustomerLAN>& ZPX_DHCPClientLeaseInfoCustomerLANBinding() {
  static const ClassBinding<ZPX_DHCPClientLeaseInfoCustomerLAN> binding =
      TavrelLeaseBinding<ZPX_DHCPClientLeaseInfoCustomerLAN>(ZPX_DHCPClientLeaseInfoCustomerLANName);
  return binding;
}

const ZPX_DHCPClientLeaseInfoCustomerLANOperationsType& ZPX_DHCPClientLeaseInfoCustomerLANOperations() {
  static const ZPX_DHCPClientLeaseInfoCustomerLANOperationsType operations =
      TavrelLeaseOperations(ZPX_DHCPClientLeaseInfoCustomerLANBinding());
  return operations;
}

ZPX_DHCPClientLeaseInfoCustomerLANProvider ZPX_DHCPClientLeaseInfoCustomerLANProv;

ZPX_DHCPClientLeaseInfoCustomerLANProvider::ZPX_DHCPClientLeaseInfoCustomerLANProvider()
    : TavrelLeaseProvider(&ZPX_DHCPClientLeaseInfoCustomerLANOperations) {}
