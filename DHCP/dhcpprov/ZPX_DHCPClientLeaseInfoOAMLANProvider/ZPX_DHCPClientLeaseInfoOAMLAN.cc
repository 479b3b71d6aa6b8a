#include "ZPX_DHCPClientLeaseInfoOAMLANProvider/ZPX_DHCPClientLeaseInfoOAMLAN.h"

#include "framework/ClassNames.h"

ZPX_DHCPClientLeaseInfoOAMLANInstanceManager ZPX_DHCPClientLeaseInfoOAMLAN::defaultInstanceManager;
ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* ZPX_DHCPClientLeaseInfoOAMLAN::theInstanceManager =
    &ZPX_DHCPClientLeaseInfoOAMLAN::defaultInstanceManager;

ZPX_DHCPClientLeaseInfoOAMLAN::ZPX_DHCPClientLeaseInfoOAMLAN(const std::string& instanceID)
    : TavrelLeaseInfo(instanceID) {
  theInstanceManager->add(this);
}

ZPX_DHCPClientLeaseInfoOAMLAN::~ZPX_DHCPClientLeaseInfoOAMLAN() {
  theInstanceManager->remove(this);
}

void ZPX_DHCPClientLeaseInfoOAMLAN::SetInstanceManager(
    ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* manager) {
  theInstanceManager = manager;
  theInstanceManager->init();
}

void ZPX_DHCPClientLeaseInfoOAMLAN::ClearInstanceManager() {
  theInstanceManager = &defaultInstanceManager;
}

ZPX_DHCPClientLeaseInfoOAMLANInstanceManager* ZPX_DHCPClientLeaseInfoOAMLAN::getInstanceManager() {
  return theInstanceManager;
}

const ClassBinding<ZPX_DHCPClientLeaseInfoOAMLAN>& ZPX_DHCPClientLeaseInfoOAMLANBinding() {
  static const ClassBinding<ZPX_DHCPClientLeaseInfoOAMLAN> binding =
      TavrelLeaseBinding<ZPX_DHCPClientLeaseInfoOAMLAN>(ZPX_DHCPClientLeaseInfoOAMLANName);
  return binding;
}

const ZPX_DHCPClientLeaseInfoOAMLANOperationsType& ZPX_DHCPClientLeaseInfoOAMLANOperations() {
  static const ZPX_DHCPClientLeaseInfoOAMLANOperationsType operations =
      TavrelLeaseOperations(ZPX_DHCPClientLeaseInfoOAMLANBinding());
  return operations;
}

ZPX_DHCPClientLeaseInfoOAMLANProvider ZPX_DHCPClientLeaseInfoOAMLANProv;

ZPX_DHCPClientLeaseInfoOAMLANProvider::ZPX_DHCPClientLeaseInfoOAMLANProvider()
    : TavrelLeaseProvider(&ZPX_DHCPClientLeaseInfoOAMLANOperations) {}
