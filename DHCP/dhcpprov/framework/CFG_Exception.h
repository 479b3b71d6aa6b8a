// Errors of the instance registries. They carry no text of their own; the
// providers translate them into CIM errors (ProviderErrors.h).
#ifndef TAVREL_DHCPPROV_CFG_EXCEPTION_H
#define TAVREL_DHCPPROV_CFG_EXCEPTION_H

#include <exception>

#include "tavrel_export.h"

class TAVREL_EXPORT CFG_Exception : public std::exception {};

// Reading the configuration failed.
class TAVREL_EXPORT CFG_ReadError : public CFG_Exception {};
// Writing the configuration failed.
class TAVREL_EXPORT CFG_WriteError : public CFG_Exception {};
// No registered object for the keys, or the cursor is at the end.
class TAVREL_EXPORT CFG_NoInstance : public CFG_Exception {};
// The registry cannot create an object of its class.
class TAVREL_EXPORT CFG_InstanceCreationFailed : public CFG_Exception {};
// The registry cannot delete an object of its class.
class TAVREL_EXPORT CFG_InstanceDeletionFailed : public CFG_Exception {};

#endif
