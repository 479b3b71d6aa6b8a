// Error of a CIM operation: a DMTF status code and a message that reaches
// the client exactly as raised.
#ifndef OPENWBEM_CIMEXCEPTION_H
#define OPENWBEM_CIMEXCEPTION_H

#include "openwbem/Exception.h"

namespace OpenWBEM {

class CIMException : public Exception {
 public:
  // DMTF DSP0200 status codes.
  enum ErrNoType {
    SUCCESS = 0,
    FAILED = 1,
    ACCESS_DENIED = 2,
    INVALID_NAMESPACE = 3,
    INVALID_PARAMETER = 4,
    INVALID_CLASS = 5,
    NOT_FOUND = 6,
    NOT_SUPPORTED = 7,
    CLASS_HAS_CHILDREN = 8,
    CLASS_HAS_INSTANCES = 9,
    INVALID_SUPERCLASS = 10,
    ALREADY_EXISTS = 11,
    NO_SUCH_PROPERTY = 12,
    TYPE_MISMATCH = 13,
    QUERY_LANGUAGE_NOT_SUPPORTED = 14,
    INVALID_QUERY = 15,
    METHOD_NOT_AVAILABLE = 16,
    METHOD_NOT_FOUND = 17,
    // Pull operations (DSP0200 1.3).
    NAMESPACE_NOT_EMPTY = 20,
    INVALID_ENUMERATION_CONTEXT = 21,
    INVALID_OPERATION_TIMEOUT = 22,
    PULL_HAS_BEEN_ABANDONED = 23,
    PULL_CANNOT_BE_ABANDONED = 24,
    FILTERED_ENUMERATION_NOT_SUPPORTED = 25,
    CONTINUATION_ON_ERROR_NOT_SUPPORTED = 26,
    SERVER_LIMITS_EXCEEDED = 27,
    SERVER_IS_SHUTTING_DOWN = 28
  };

  // msg may be 0 (no message); getMessage() then returns "".
  CIMException(const char* file, int line, ErrNoType errval, const char* msg = 0);

  ErrNoType getErrNo() const { return m_errno; }
  void setErrNo(ErrNoType e) { m_errno = e; }
  const char* type() const override;
  // The message, or the status code's symbolic name when there is none.
  const char* what() const noexcept override;

  // Symbolic name of a status code ("CIM_ERR_NOT_FOUND"); "CIM_ERR_UNKNOWN"
  // for a number outside the table.
  static const char* getCodeName(ErrNoType errval);
  // Short English description of a status code ("The requested object
  // could not be found").
  static const char* getCodeDescription(ErrNoType errval);

 private:
  ErrNoType m_errno;
};

}  // namespace OpenWBEM

// throw CIMException with the current source location.
#define OW_THROWCIM(errval) throw ::OpenWBEM::CIMException(__FILE__, __LINE__, (errval))
#define OW_THROWCIMMSG(errval, msg) throw ::OpenWBEM::CIMException(__FILE__, __LINE__, (errval), (msg))

#endif
