#include "openwbem/Logger.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace OpenWBEM {

namespace {

// Indexed by Logger::ELogLevel.
const char* const s_levelNames[] = {"none", "fatal", "error", "info", "debug", "all"};

class NullLogger : public Logger {
 public:
  explicit NullLogger(ELogLevel level) : Logger(level) {}

 protected:
  void doLogMessage(ELogLevel, const String&) override {}
};

class SyslogLogger : public Logger {
 public:
  explicit SyslogLogger(ELogLevel level) : Logger(level) {}

 protected:
  void doLogMessage(ELogLevel level, const String& msg) override {
    int prio = level == E_FATAL_ERROR_LEVEL ? LOG_CRIT
               : level == E_ERROR_LEVEL     ? LOG_ERR
               : level == E_INFO_LEVEL      ? LOG_INFO
                                            : LOG_DEBUG;
    syslog(prio, "%s", msg.c_str());
  }
};

// Writes "YYYY-MM-DD hh:mm:ss.uuuuuu [level] message\n" lines to a file
// descriptor, each line in one write so lines of threads never mix.
class StreamLogger : public Logger {
 public:
  StreamLogger(ELogLevel level, int fd, bool ownsFd) : Logger(level), m_fd(fd), m_ownsFd(ownsFd) {}
  ~StreamLogger() override {
    if (m_ownsFd) close(m_fd);
  }

 protected:
  void doLogMessage(ELogLevel level, const String& msg) override {
    struct timeval tv;
    gettimeofday(&tv, 0);
    struct tm tmv;
    localtime_r(&tv.tv_sec, &tmv);
    char stamp[64];
    std::size_t n = strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &tmv);
    std::snprintf(stamp + n, sizeof(stamp) - n, ".%06ld [%s] ", static_cast<long>(tv.tv_usec),
                  levelName(level));
    std::string line(stamp);
    line += msg.toStdString();
    line += '\n';
    std::lock_guard<std::mutex> lock(m_mutex);
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
      ssize_t w = write(m_fd, p, left);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      p += w;
      left -= static_cast<std::size_t>(w);
    }
  }

 private:
  std::mutex m_mutex;
  int m_fd;
  bool m_ownsFd;
};

}  // namespace

Logger::~Logger() {}

const char* Logger::levelName(ELogLevel level) {
  int i = static_cast<int>(level);
  if (i < 0 || i > E_ALL_LEVEL) return "unknown";
  return s_levelNames[i];
}

bool Logger::setLogLevel(const String& level) {
  for (int i = E_NONE_LEVEL; i <= E_ALL_LEVEL; ++i) {
    if (strcasecmp(level.c_str(), s_levelNames[i]) == 0) {
      setLogLevel(static_cast<ELogLevel>(i));
      return true;
    }
  }
  return false;
}

void Logger::logMessage(ELogLevel level, const String& msg, const char* file, int line) {
  if (!levelIsEnabled(level)) return;
  if (!file) {
    doLogMessage(level, msg);
    return;
  }
  String full(msg);
  full += " (";
  full += file;
  full += ':';
  full += String(static_cast<Int32>(line));
  full += ')';
  doLogMessage(level, full);
}

LoggerRef Logger::createLogger(const String& location, bool debug) {
  ELogLevel level = debug ? E_DEBUG_LEVEL : E_ERROR_LEVEL;
  if (location.equals("syslog")) return LoggerRef(new SyslogLogger(level));
  if (location.equals("null")) return LoggerRef(new NullLogger(level));
  if (location.equals("stderr")) return LoggerRef(new StreamLogger(level, STDERR_FILENO, false));
  int fd = open(location.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    int err = errno;
    LoggerRef fallback(new StreamLogger(level, STDERR_FILENO, false));
    fallback->logMessage(E_ERROR_LEVEL, "Cannot open log file " + location + ": " + std::strerror(err) +
                                            "; logging to stderr");
    return fallback;
  }
  return LoggerRef(new StreamLogger(level, fd, true));
}

}  // namespace OpenWBEM
