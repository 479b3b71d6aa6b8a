// Errors of the instance registries. They carry no text of their own; the
// providers translate them into CIM errors (ProviderErrors.h).
#ifndef TAVREL_DHCPPROV_CFG_EXCEPTION_H
#define TAVREL_DHCPPROV_CFG_EXCEPTION_H

#include <cstddef>
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
// The registry refuses a new object: its keys are those of a registered one,
// or are too long, or the registry holds as many objects as it may (limit).
class TAVREL_EXPORT CFG_RegistryRefusal : public CFG_Exception {
 public:
  enum Reason { AlreadyExists, KeyTooLong, Full };
  CFG_RegistryRefusal(Reason reason, std::size_t limit) : m_reason(reason), m_limit(limit) {}
  Reason reason() const { return m_reason; }
  std::size_t limit() const { return m_limit; }

 private:
  Reason m_reason;
  std::size_t m_limit;
};

#endif
