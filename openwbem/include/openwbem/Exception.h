// Base of the exceptions raised by this library. Each carries the source
// location that raised it, a message and an optional numeric error code.
#ifndef OPENWBEM_EXCEPTION_H
#define OPENWBEM_EXCEPTION_H

#include <exception>
#include <string>

namespace OpenWBEM {

class Exception : public std::exception {
 public:
  // file and msg may be 0; the message is copied.
  Exception(const char* file, int line, const char* msg, int errorCode = -1);
  ~Exception() override;

  // The message exactly as raised ("" when none was given).
  const char* getMessage() const { return m_message.c_str(); }
  const char* getFile() const { return m_file.c_str(); }
  int getLine() const { return m_line; }
  int getErrorCode() const { return m_errorCode; }
  // Short name of the exception class, e.g. "CmdLineParserException".
  virtual const char* type() const;
  // The message, or the type name when the message is empty.
  const char* what() const noexcept override;

 private:
  std::string m_file;
  int m_line;
  std::string m_message;
  int m_errorCode;
};

// Declares a subclass of Exception that only changes type().
#define OW_DECLARE_EXCEPTION(NAME)                                                   \
  class NAME##Exception : public ::OpenWBEM::Exception {                             \
   public:                                                                           \
    NAME##Exception(const char* file, int line, const char* msg, int errorCode = -1) \
        : ::OpenWBEM::Exception(file, line, msg, errorCode) {}                       \
    const char* type() const override { return #NAME "Exception"; }                  \
  }

// A text could not be converted to the requested number or boolean.
OW_DECLARE_EXCEPTION(StringConversion);

#define OW_THROW(EXTYPE, msg) throw EXTYPE(__FILE__, __LINE__, (msg))
#define OW_THROW_ERR(EXTYPE, msg, err) throw EXTYPE(__FILE__, __LINE__, (msg), (err))

}  // namespace OpenWBEM

#endif
