#include "framework/ProviderErrors.h"

#include "dhcpcompcommit.h"

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

}  // namespace

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
