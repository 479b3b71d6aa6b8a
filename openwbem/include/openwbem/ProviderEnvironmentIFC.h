// What a provider can ask of its host during a call: a logger and
// configuration items.
#ifndef OPENWBEM_PROVIDERENVIRONMENTIFC_H
#define OPENWBEM_PROVIDERENVIRONMENTIFC_H

#include "openwbem/IntrusiveReference.h"
#include "openwbem/Logger.h"
#include "openwbem/String.h"

namespace OpenWBEM {

class ProviderEnvironmentIFC : public IntrusiveCountableBase {
 public:
  ~ProviderEnvironmentIFC() override;
  virtual LoggerRef getLogger() const = 0;
  // Logger for a named component; by default the same as getLogger().
  virtual LoggerRef getLogger(const String& componentName) const;
  // The host's configuration item name, or defRetVal when it has none.
  virtual String getConfigItem(const String& name, const String& defRetVal = "") const = 0;
};

typedef IntrusiveReference<ProviderEnvironmentIFC> ProviderEnvironmentIFCRef;

}  // namespace OpenWBEM

#endif
