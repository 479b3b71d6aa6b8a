// Message log with a level filter. createLogger() gives a logger writing to
// syslog, standard error, a file, or nowhere. Logging is thread-safe.
#ifndef OPENWBEM_LOGGER_H
#define OPENWBEM_LOGGER_H

#include "openwbem/IntrusiveReference.h"
#include "openwbem/String.h"

#include <atomic>

namespace OpenWBEM {

class Logger;
typedef IntrusiveReference<Logger> LoggerRef;

class Logger : public IntrusiveCountableBase {
 public:
  // Ordered: a logger at level L writes messages of level L and below.
  enum ELogLevel {
    E_NONE_LEVEL,
    E_FATAL_ERROR_LEVEL,
    E_ERROR_LEVEL,
    E_INFO_LEVEL,
    E_DEBUG_LEVEL,
    E_ALL_LEVEL
  };

  // location: "syslog" (syslog(3) with the process's openlog settings),
  // "stderr", "null" (discards everything), or a file path (appended to;
  // when it cannot be opened the logger writes to standard error instead
  // and says so there). debug: start at the debug level instead of the
  // error level.
  static LoggerRef createLogger(const String& location, bool debug);

  // "none", "fatal", "error", "info", "debug" or "all", in any case.
  // Returns false and keeps the current level for any other name.
  bool setLogLevel(const String& level);
  void setLogLevel(ELogLevel level) { m_level.store(level, std::memory_order_relaxed); }
  ELogLevel getLogLevel() const { return m_level.load(std::memory_order_relaxed); }
  bool levelIsEnabled(ELogLevel level) const { return level != E_NONE_LEVEL && level <= getLogLevel(); }

  // Writes msg when its level is enabled. file and line, when given, are
  // appended to the message as " (file:line)".
  void logFatalError(const String& msg, const char* file = 0, int line = -1) {
    logMessage(E_FATAL_ERROR_LEVEL, msg, file, line);
  }
  void logError(const String& msg, const char* file = 0, int line = -1) {
    logMessage(E_ERROR_LEVEL, msg, file, line);
  }
  void logInfo(const String& msg, const char* file = 0, int line = -1) {
    logMessage(E_INFO_LEVEL, msg, file, line);
  }
  void logDebug(const String& msg, const char* file = 0, int line = -1) {
    logMessage(E_DEBUG_LEVEL, msg, file, line);
  }
  void logMessage(ELogLevel level, const String& msg, const char* file = 0, int line = -1);

  // Lower-case name of a level ("error").
  static const char* levelName(ELogLevel level);

 protected:
  explicit Logger(ELogLevel level) : m_level(level) {}
  ~Logger() override;
  // Writes one message that passed the level filter. May be called from
  // several threads at once.
  virtual void doLogMessage(ELogLevel level, const String& msg) = 0;

 private:
  std::atomic<ELogLevel> m_level;
};

}  // namespace OpenWBEM

#endif
