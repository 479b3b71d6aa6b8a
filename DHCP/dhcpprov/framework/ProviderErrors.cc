#include "framework/ProviderErrors.h"

#include <exception>

#include "openwbem/Logger.h"
#include "tavrel_agent_api.h"

using OpenWBEM::CIMException;

namespace TavrelErrors {

namespace {

const char kCreateFailedText[] = "The system cannot create the instance specified.\n";
const char kDeleteFailedText[] = "The system cannot delete the instance specified.\n";
const char kModifyFailedText[] = "Could not modify the configuration as requested.\n";
const char kStartChangeFailedText[] = "Could not make the requested change.\n";
const char kCommitFailedText[] = "The DHCP server configuration was not changed: ";

const char kSetterRejected[] = "CFG_000_0000";
const char kChangeRejected[] = "CFG_000_0001";
const char kAboveMaximum[] = "CFG_000_0003";
const char kTooLong[] = "CFG_000_0004";
const char kCannotCreate[] = "CFG_000_0005";
const char kCannotDelete[] = "CFG_000_0006";

[[noreturn]] void raise(CIMException::ErrNoType status, const std::string& text) {
  throw CIMException(__FILE__, __LINE__, status, text.c_str());
}

// startChange and endChange report a bad value set as 301 or 302.
bool isInvalidValueCode(int rc) {
  return rc == TAVREL_RC_INVALID_VALUE || rc == TAVREL_RC_INVALID_VALUES;
}

// The kinds of exception the translation tells apart. AnyRegistryError
// only appears in rules: it stands for every CFG_Exception.
enum class Kind {
  NoInstance,
  CreationFailed,
  RegistryRefusal,
  ReadError,
  WriteError,
  OtherRegistryError,
  AnyRegistryError,
  StdException,
  Unknown
};

enum class Action {
  NotFound,              // CIM_ERR_NOT_FOUND without text
  CreationNotSupported,  // the registry cannot create objects of the class
  Refusal,               // the registry refused the new object's keys
  CreationFailed,        // the new object could not be applied
  DeletionFailed,
  ModifyFailed,
  PlainFailure  // CIM_ERR_FAILED with an empty text
};

struct Rule {
  Step step;
  Kind kind;
  Action action;
};

// The whole exception-to-CIM table. An exception no rule covers goes on
// unchanged from an object step, and is logged and becomes CIM_ERR_FAILED
// ("Unknown ... caught in Tavrel") at a request step.
const Rule kRules[] = {
    {Step::FindObject, Kind::NoInstance, Action::NotFound},
    {Step::CreateObject, Kind::CreationFailed, Action::CreationNotSupported},
    {Step::CreateObject, Kind::RegistryRefusal, Action::Refusal},
    {Step::ApplyToNewObject, Kind::AnyRegistryError, Action::CreationFailed},
    {Step::DestroyObject, Kind::AnyRegistryError, Action::DeletionFailed},
    {Step::ChangeObject, Kind::AnyRegistryError, Action::ModifyFailed},
    // Requests that read report a failed read plainly; those that change,
    // a failed write.
    {Step::EnumInstanceNames, Kind::ReadError, Action::PlainFailure},
    {Step::EnumInstances, Kind::ReadError, Action::PlainFailure},
    {Step::GetInstance, Kind::ReadError, Action::PlainFailure},
    {Step::Associators, Kind::ReadError, Action::PlainFailure},
    {Step::AssociatorNames, Kind::ReadError, Action::PlainFailure},
    {Step::References, Kind::ReadError, Action::PlainFailure},
    {Step::ReferenceNames, Kind::ReadError, Action::PlainFailure},
    {Step::InvokeMethod, Kind::ReadError, Action::PlainFailure},
    {Step::InvokeMethod, Kind::WriteError, Action::PlainFailure},
    {Step::CreateInstance, Kind::WriteError, Action::PlainFailure},
    {Step::DeleteInstance, Kind::WriteError, Action::PlainFailure},
    {Step::ModifyInstance, Kind::WriteError, Action::PlainFailure},
};

// The operation names of the request steps, as the failure texts give them.
const struct {
  Step step;
  const char* name;
} kRequestNames[] = {
    {Step::EnumInstanceNames, "enumInstanceNames"},
    {Step::EnumInstances, "enumInstances"},
    {Step::GetInstance, "getInstance"},
    {Step::CreateInstance, "createInstance"},
    {Step::DeleteInstance, "deleteInstance"},
    {Step::ModifyInstance, "modifyInstance"},
    {Step::InvokeMethod, "invokeMethod"},
    {Step::Associators, "associators"},
    {Step::AssociatorNames, "associatorNames"},
    {Step::References, "references"},
    {Step::ReferenceNames, "referenceNames"},
};

// The exception being handled, as the table sees it. CIM errors are
// rethrown at once.
struct Caught {
  Kind kind = Kind::Unknown;
  std::string what;
  CFG_RegistryRefusal refusal{CFG_RegistryRefusal::Full, 0};
};

Kind registryKind(const CFG_Exception& e) {
  if (dynamic_cast<const CFG_NoInstance*>(&e) != nullptr) return Kind::NoInstance;
  if (dynamic_cast<const CFG_InstanceCreationFailed*>(&e) != nullptr) return Kind::CreationFailed;
  if (dynamic_cast<const CFG_RegistryRefusal*>(&e) != nullptr) return Kind::RegistryRefusal;
  if (dynamic_cast<const CFG_ReadError*>(&e) != nullptr) return Kind::ReadError;
  if (dynamic_cast<const CFG_WriteError*>(&e) != nullptr) return Kind::WriteError;
  return Kind::OtherRegistryError;
}

Caught classifyCurrentException() {
  Caught caught;
  try {
    throw;
  } catch (const CIMException&) {
    throw;
  } catch (const CFG_Exception& e) {
    caught.kind = registryKind(e);
    caught.what = e.what();
    if (const CFG_RegistryRefusal* refusal = dynamic_cast<const CFG_RegistryRefusal*>(&e))
      caught.refusal = *refusal;
  } catch (const std::exception& e) {
    caught.kind = Kind::StdException;
    caught.what = e.what();
  } catch (...) {
    caught.kind = Kind::Unknown;
  }
  return caught;
}

bool isRegistryError(Kind kind) {
  return kind != Kind::StdException && kind != Kind::Unknown;
}

const Rule* ruleFor(Step step, Kind kind) {
  for (const Rule& rule : kRules)
    if (rule.step == step &&
        (rule.kind == kind || (rule.kind == Kind::AnyRegistryError && isRegistryError(kind))))
      return &rule;
  return nullptr;
}

const char* requestName(Step step) {
  for (const auto& request : kRequestNames)
    if (request.step == step) return request.name;
  return nullptr;
}

[[noreturn]] void act(Action action, const Caught& caught, const std::string& className) {
  switch (action) {
    case Action::NotFound:
      throwNotFound();
    case Action::CreationNotSupported:
      throwCreationFailed(CIMException::NOT_SUPPORTED);
    case Action::Refusal:
      throwRegistryRefusal(caught.refusal, className);
    case Action::CreationFailed:
      throwCreationFailed(CIMException::FAILED);
    case Action::DeletionFailed:
      throwDeletionFailed();
    case Action::ModifyFailed:
      throwModifyFailed();
    case Action::PlainFailure:
      break;
  }
  raise(CIMException::FAILED, "");
}

// Logs the failure of a request on env's logger and raises it as
// CIM_ERR_FAILED.
[[noreturn]] void failUnexpected(const char* request, const Caught& caught, const std::string& className,
                                 const OpenWBEM::ProviderEnvironmentIFCRef& env) {
  std::string message = caught.kind == Kind::Unknown ? "Unknown throw caught in Tavrel\n"
                                                     : "Unknown std::exception caught in Tavrel\n";
  message += std::string(" while performing ") + request + " operation on " + className + "\n";
  if (caught.kind != Kind::Unknown) message += caught.what + "\n";
  if (env) {
    OpenWBEM::LoggerRef logger = env->getLogger();
    if (logger) logger->logError(message);
  }
  raise(CIMException::FAILED, message);
}

}  // namespace

void translateCurrentException(Step step, const std::string& className,
                               const OpenWBEM::ProviderEnvironmentIFCRef& env) {
  Caught caught = classifyCurrentException();
  if (const Rule* rule = ruleFor(step, caught.kind)) act(rule->action, caught, className);
  const char* request = requestName(step);
  if (request == nullptr) throw;
  failUnexpected(request, caught, className, env);
}

std::string errorTag(const std::string& code, const std::vector<std::string>& args) {
  std::string tag = "#" + code;
  for (const std::string& arg : args) tag += "," + arg;
  return tag + "#";
}

std::string propertyKey(const std::string& className, const std::string& propertyName) {
  return "MOF_Props_" + className + "_" + propertyName;
}

std::string agentErrorTag(int rc) {
  return errorTag("DHC_ERROR_" + std::to_string(rc));
}

void throwNotFound() {
  throw CIMException(__FILE__, __LINE__, CIMException::NOT_FOUND);
}

void throwCreationFailed(CIMException::ErrNoType status) {
  raise(status, kCreateFailedText + errorTag(kCannotCreate));
}

void throwRegistryRefusal(const CFG_RegistryRefusal& refusal, const std::string& className) {
  std::string limit = std::to_string(refusal.limit());
  switch (refusal.reason()) {
    case CFG_RegistryRefusal::AlreadyExists:
      raise(CIMException::ALREADY_EXISTS,
            "An instance of " + className + " with these keys exists already.\n" + errorTag(kCannotCreate));
    case CFG_RegistryRefusal::KeyTooLong:
      raise(CIMException::INVALID_PARAMETER, "The keys of " + className + " must be <= " + limit +
                                                 " characters\n" + errorTag(kTooLong, {className, limit}));
    case CFG_RegistryRefusal::Full:
      break;
  }
  raise(CIMException::FAILED, "At most " + limit + " instances of " + className + " can exist.\n" +
                                  errorTag(kCannotCreate, {limit}));
}

void throwDeletionFailed() {
  raise(CIMException::FAILED, kDeleteFailedText + errorTag(kCannotDelete));
}

void throwModifyFailed() {
  raise(CIMException::FAILED, kModifyFailedText);
}

void throwNotSupported(const std::string& text) {
  raise(CIMException::NOT_SUPPORTED, text);
}

void throwStartChangeFailed(int rc) {
  raise(CIMException::FAILED,
        kStartChangeFailedText + (isInvalidValueCode(rc) ? errorTag(kChangeRejected) : agentErrorTag(rc)));
}

void throwSetterFailed(int rc, const std::string& className, const std::string& propertyName) {
  if (rc == TAVREL_RC_INVALID_VALUE)
    raise(CIMException::INVALID_PARAMETER,
          "The value of " + propertyName + " is invalid.\n" +
              errorTag(kSetterRejected, {propertyKey(className, propertyName)}));
  raise(CIMException::FAILED, agentErrorTag(rc));
}

void throwEndChangeFailed(int rc, const std::string& className) {
  if (rc == DHCP_RC_CONFIG_REFUSED || rc == DHCP_RC_SERVER_START_FAILED || rc == DHCP_RC_CONFIG_WRITE_FAILED)
    raise(CIMException::FAILED, kCommitFailedText + dhcpCompCommitFailureText() + "\n" + agentErrorTag(rc));
  if (isInvalidValueCode(rc))
    raise(CIMException::INVALID_PARAMETER, "One or more of the values specified for the " + className +
                                               " was invalid.\n" + errorTag(kChangeRejected));
  raise(CIMException::FAILED, agentErrorTag(rc));
}

void throwTooLong(const std::string& className, const std::string& propertyName, unsigned maxLength) {
  std::string limit = std::to_string(maxLength);
  raise(CIMException::INVALID_PARAMETER,
        "The length of " + propertyName + " must be <= " + limit + "\n" +
            errorTag(kTooLong, {propertyKey(className, propertyName), limit}));
}

void throwTooLarge(const std::string& className, const std::string& propertyName, unsigned maxValue) {
  std::string limit = std::to_string(maxValue);
  raise(CIMException::INVALID_PARAMETER,
        "The value of " + propertyName + " must be <= " + limit + "\n" +
            errorTag(kAboveMaximum, {propertyKey(className, propertyName), limit}));
}

}  // namespace TavrelErrors
