// The CIM errors the providers raise for the accessor result codes of
// dhcpresult.h. Every CIM error text ends in an error tag:
// "#", a code, its arguments each preceded by ",", and "#".
#ifndef TAVREL_DHCPPROV_PROVIDER_ERRORS_H
#define TAVREL_DHCPPROV_PROVIDER_ERRORS_H

#include <string>
#include <vector>

#include "dhcpresult.h"
#include "framework/CFG_Exception.h"
#include "openwbem/CIMException.h"
#include "tavrel_export.h"

namespace TavrelErrors {

// "#code,arg1,...#".
TAVREL_EXPORT std::string errorTag(const std::string& code, const std::vector<std::string>& args = {});
// "MOF_Props_<className>_<propertyName>", the argument naming a property.
TAVREL_EXPORT std::string propertyKey(const std::string& className, const std::string& propertyName);
// Tag of an agent error number: "#DHC_ERROR_<rc>#".
TAVREL_EXPORT std::string agentErrorTag(int rc);

// CIM_ERR_NOT_FOUND without text: missing keys, no such object.
[[noreturn]] TAVREL_EXPORT void throwNotFound();
// The registry refused to create an object (status NOT_SUPPORTED), or the
// new object could not be applied (status FAILED): "CFG_000_0005".
[[noreturn]] TAVREL_EXPORT void throwCreationFailed(OpenWBEM::CIMException::ErrNoType status);
// The registry refused a new object of className (CFG_RegistryRefusal):
// ALREADY_EXISTS for taken keys, INVALID_PARAMETER for too long keys
// ("CFG_000_0004"), FAILED when the class has as many objects as it may
// ("CFG_000_0005").
[[noreturn]] TAVREL_EXPORT void throwRegistryRefusal(const CFG_RegistryRefusal& refusal,
                                                     const std::string& className);
// The registry refused to delete an object: "CFG_000_0006".
[[noreturn]] TAVREL_EXPORT void throwDeletionFailed();
// A registry error while an object was being changed (no tag).
[[noreturn]] TAVREL_EXPORT void throwModifyFailed();
// startChange returned rc (non-zero).
[[noreturn]] TAVREL_EXPORT void throwStartChangeFailed(int rc);
// The setter of propertyName returned rc (non-zero).
[[noreturn]] TAVREL_EXPORT void throwSetterFailed(int rc, const std::string& className,
                                                  const std::string& propertyName);
// endChange returned rc (non-zero).
[[noreturn]] TAVREL_EXPORT void throwEndChangeFailed(int rc, const std::string& className);
// An operation the class does not offer, with a text saying why (no tag).
[[noreturn]] TAVREL_EXPORT void throwNotSupported(const std::string& text);
// A text longer than maxLength characters ("CFG_000_0004").
[[noreturn]] TAVREL_EXPORT void throwTooLong(const std::string& className, const std::string& propertyName,
                                             unsigned maxLength);
// A number above maxValue ("CFG_000_0003").
[[noreturn]] TAVREL_EXPORT void throwTooLarge(const std::string& className, const std::string& propertyName,
                                              unsigned maxValue);

}  // namespace TavrelErrors

#endif
