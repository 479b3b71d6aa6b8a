// The CIM errors the providers raise for the accessor result codes of
// model/result.h, and the one translation of every exception that
// leaves a provider step into the CIM error a client sees. Every CIM error
// text with a code ends in an error tag: "#", a code, its arguments each
// preceded by ",", and "#".
#ifndef TAVREL_DHCPPROV_PROVIDER_ERRORS_H
#define TAVREL_DHCPPROV_PROVIDER_ERRORS_H

#include <string>
#include <vector>

#include "framework/CFG_Exception.h"
#include "openwbem/CIMException.h"
#include "openwbem/ProviderEnvironmentIFC.h"
#include "tavrel_agent_api.h"
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

// What a provider was doing when an exception left it. The object steps are
// the registry calls inside a request; the request steps are the operations
// the umbrella provider serves.
enum class Step {
  FindObject,        // lookup of an object by its keys
  CreateObject,      // the registry makes a new object
  ApplyToNewObject,  // the new object takes the instance's values
  DestroyObject,
  ChangeObject,  // the change bracket of a modification
  EnumInstanceNames,
  EnumInstances,
  GetInstance,
  CreateInstance,
  DeleteInstance,
  ModifyInstance,
  InvokeMethod,
  Associators,
  AssociatorNames,
  References,
  ReferenceNames
};

// Turns the exception being handled, raised during step on className, into
// its CIM error (the table is in ProviderErrors.cc). CIM errors go on
// unchanged. A registry error an object step does not translate goes on
// unchanged to the request's translation. At a request step every other
// exception is logged on env's logger and becomes CIM_ERR_FAILED naming the
// operation and class. Call it only inside a catch block.
[[noreturn]] TAVREL_EXPORT void translateCurrentException(
    Step step, const std::string& className,
    const OpenWBEM::ProviderEnvironmentIFCRef& env = OpenWBEM::ProviderEnvironmentIFCRef());

// Runs call; an exception leaves as translateCurrentException makes it.
template <class F>
auto withCIMErrors(Step step, const std::string& className, F&& call,
                   const OpenWBEM::ProviderEnvironmentIFCRef& env = OpenWBEM::ProviderEnvironmentIFCRef())
    -> decltype(call()) {
  try {
    return call();
  } catch (...) {
    translateCurrentException(step, className, env);
  }
}

}  // namespace TavrelErrors

#endif
