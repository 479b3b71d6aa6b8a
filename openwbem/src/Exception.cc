#include "openwbem/Exception.h"
#include "openwbem/CIMException.h"

namespace OpenWBEM {

Exception::Exception(const char* file, int line, const char* msg, int errorCode)
    : m_file(file ? file : ""), m_line(line), m_message(msg ? msg : ""), m_errorCode(errorCode) {}

Exception::~Exception() {}

const char* Exception::type() const {
  return "Exception";
}

const char* Exception::what() const noexcept {
  return m_message.empty() ? type() : m_message.c_str();
}

namespace {

struct CodeText {
  const char* name;
  const char* description;
};

// Indexed by CIMException::ErrNoType.
const CodeText s_codes[] = {
    {"CIM_ERR_SUCCESS", "No error"},
    {"CIM_ERR_FAILED", "A general error occurred"},
    {"CIM_ERR_ACCESS_DENIED", "Access to a CIM resource was not available to the client"},
    {"CIM_ERR_INVALID_NAMESPACE", "The target namespace does not exist"},
    {"CIM_ERR_INVALID_PARAMETER", "One or more parameter values passed to the method were invalid"},
    {"CIM_ERR_INVALID_CLASS", "The specified class does not exist"},
    {"CIM_ERR_NOT_FOUND", "The requested object could not be found"},
    {"CIM_ERR_NOT_SUPPORTED", "The requested operation is not supported"},
    {"CIM_ERR_CLASS_HAS_CHILDREN", "Operation cannot be carried out on this class since it has subclasses"},
    {"CIM_ERR_CLASS_HAS_INSTANCES", "Operation cannot be carried out on this class since it has instances"},
    {"CIM_ERR_INVALID_SUPERCLASS",
     "Operation cannot be carried out since the specified superclass does not exist"},
    {"CIM_ERR_ALREADY_EXISTS", "Operation cannot be carried out because an object already exists"},
    {"CIM_ERR_NO_SUCH_PROPERTY", "The specified property does not exist"},
    {"CIM_ERR_TYPE_MISMATCH", "The value supplied is incompatible with the type"},
    {"CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED", "The query language is not recognized or supported"},
    {"CIM_ERR_INVALID_QUERY", "The query is not valid for the specified query language"},
    {"CIM_ERR_METHOD_NOT_AVAILABLE", "The extrinsic method could not be executed"},
    {"CIM_ERR_METHOD_NOT_FOUND", "The specified extrinsic method does not exist"},
    {nullptr, nullptr},  // 18 and 19 are not assigned
    {nullptr, nullptr},
    {"CIM_ERR_NAMESPACE_NOT_EMPTY", "The namespace is not empty"},
    {"CIM_ERR_INVALID_ENUMERATION_CONTEXT", "The enumeration context is invalid, closed or timed out"},
    {"CIM_ERR_INVALID_OPERATION_TIMEOUT", "The operation timeout is not supported"},
    {"CIM_ERR_PULL_HAS_BEEN_ABANDONED", "The pull operation has been abandoned"},
    {"CIM_ERR_PULL_CANNOT_BE_ABANDONED", "The pull operation cannot be abandoned"},
    {"CIM_ERR_FILTERED_ENUMERATION_NOT_SUPPORTED", "Filtering of enumerations is not supported"},
    {"CIM_ERR_CONTINUATION_ON_ERROR_NOT_SUPPORTED", "Continuation on error is not supported"},
    {"CIM_ERR_SERVER_LIMITS_EXCEEDED", "The server has run out of resources for this request"},
    {"CIM_ERR_SERVER_IS_SHUTTING_DOWN", "The server is shutting down"},
};

const CodeText* codeText(CIMException::ErrNoType e) {
  int i = static_cast<int>(e);
  if (i < 0 || i >= static_cast<int>(sizeof(s_codes) / sizeof(s_codes[0])) || s_codes[i].name == nullptr)
    return 0;
  return &s_codes[i];
}

}  // namespace

CIMException::CIMException(const char* file, int line, ErrNoType errval, const char* msg)
    : Exception(file, line, msg, errval), m_errno(errval) {}

const char* CIMException::type() const {
  return "CIMException";
}

const char* CIMException::what() const noexcept {
  const char* msg = getMessage();
  return *msg ? msg : getCodeName(m_errno);
}

const char* CIMException::getCodeName(ErrNoType errval) {
  const CodeText* t = codeText(errval);
  return t ? t->name : "CIM_ERR_UNKNOWN";
}

const char* CIMException::getCodeDescription(ErrNoType errval) {
  const CodeText* t = codeText(errval);
  return t ? t->description : "Unknown error";
}

}  // namespace OpenWBEM
