// Out-of-line destructors and default bodies of the provider interfaces.
#include "openwbem/CIMException.h"
#include "openwbem/CppAssociatorProviderIFC.h"
#include "openwbem/CppInstanceProviderIFC.h"
#include "openwbem/CppMethodProviderIFC.h"
#include "openwbem/CppProviderBaseIFC.h"
#include "openwbem/IntrusiveCountableBase.h"
#include "openwbem/ProviderEnvironmentIFC.h"

namespace OpenWBEM {

IntrusiveCountableBase::~IntrusiveCountableBase() {}

ProviderEnvironmentIFC::~ProviderEnvironmentIFC() {}

LoggerRef ProviderEnvironmentIFC::getLogger(const String&) const {
  return getLogger();
}

CppProviderBaseIFC::~CppProviderBaseIFC() {}

void CppProviderBaseIFC::initialize(const ProviderEnvironmentIFCRef&) {}

CppInstanceProviderIFC* CppProviderBaseIFC::getInstanceProvider() {
  return 0;
}

CppMethodProviderIFC* CppProviderBaseIFC::getMethodProvider() {
  return 0;
}

CppAssociatorProviderIFC* CppProviderBaseIFC::getAssociatorProvider() {
  return 0;
}

CppInstanceProviderIFC::~CppInstanceProviderIFC() {}

CIMObjectPath CppInstanceProviderIFC::createInstance(const ProviderEnvironmentIFCRef&, const String&,
                                                     const CIMInstance&) {
  OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "createInstance is not supported by this provider");
}

void CppInstanceProviderIFC::modifyInstance(const ProviderEnvironmentIFCRef&, const String&,
                                            const CIMInstance&, const CIMInstance&,
                                            WBEMFlags::EIncludeQualifiersFlag, const StringArray*,
                                            const CIMClass&) {
  OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "modifyInstance is not supported by this provider");
}

void CppInstanceProviderIFC::deleteInstance(const ProviderEnvironmentIFCRef&, const String&,
                                            const CIMObjectPath&) {
  OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "deleteInstance is not supported by this provider");
}

CppMethodProviderIFC::~CppMethodProviderIFC() {}

CppAssociatorProviderIFC::~CppAssociatorProviderIFC() {}

}  // namespace OpenWBEM
