// Logger: locations, level filter, thread safety of the file logger.
#include "openwbem/Logger.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace OpenWBEM;

namespace {

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/owlogger_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    m_dir = tmpl;
    m_path = m_dir + "/agent.log";
  }
  void TearDown() override {
    unlink(m_path.c_str());
    rmdir(m_dir.c_str());
  }
  std::vector<std::string> lines() const {
    std::ifstream in(m_path);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
  }
  std::string m_dir;
  std::string m_path;
};

}  // namespace

TEST_F(LoggerTest, FileLoggerFiltersByLevel) {
  LoggerRef logger = Logger::createLogger(m_path.c_str(), false);
  ASSERT_TRUE(logger);
  EXPECT_EQ(Logger::E_ERROR_LEVEL, logger->getLogLevel());
  logger->logError("first error");
  logger->logInfo("hidden info");
  logger->logDebug("hidden debug");
  EXPECT_TRUE(logger->setLogLevel("INFO"));
  logger->logInfo("shown info", "Tavrel.cc", 42);
  EXPECT_FALSE(logger->setLogLevel("verbose"));
  EXPECT_EQ(Logger::E_INFO_LEVEL, logger->getLogLevel());
  EXPECT_TRUE(logger->setLogLevel("none"));
  logger->logError("silenced");
  EXPECT_TRUE(logger->setLogLevel("all"));
  logger->logDebug("debug at all");

  std::vector<std::string> l = lines();
  ASSERT_EQ(3u, l.size());
  EXPECT_NE(std::string::npos, l[0].find("[error] first error"));
  EXPECT_NE(std::string::npos, l[1].find("[info] shown info (Tavrel.cc:42)"));
  EXPECT_NE(std::string::npos, l[2].find("[debug] debug at all"));
}

TEST_F(LoggerTest, NamedLocationsAndDebugFlag) {
  EXPECT_EQ(Logger::E_DEBUG_LEVEL, Logger::createLogger("null", true)->getLogLevel());
  LoggerRef null = Logger::createLogger("null", false);
  null->logError("goes nowhere");
  LoggerRef sys = Logger::createLogger("syslog", false);
  sys->logError("owlogger_test: syslog logger check");
  LoggerRef err = Logger::createLogger("stderr", false);
  testing::internal::CaptureStderr();
  err->logError("to stderr");
  std::string captured = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, captured.find("[error] to stderr"));
}

TEST_F(LoggerTest, UnwritableFileFallsBackToStderr) {
  std::string bad = m_dir + "/missing-dir/agent.log";
  testing::internal::CaptureStderr();
  LoggerRef logger = Logger::createLogger(bad.c_str(), false);
  ASSERT_TRUE(logger);
  logger->logError("still logged");
  std::string captured = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, captured.find("Cannot open log file " + bad));
  EXPECT_NE(std::string::npos, captured.find("still logged"));
}

TEST_F(LoggerTest, ConcurrentLinesStayWhole) {
  LoggerRef logger = Logger::createLogger(m_path.c_str(), false);
  const int threads = 4, perThread = 300;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([logger, t] {
      for (int i = 0; i < perThread; ++i) {
        std::ostringstream msg;
        msg << "thread " << t << " message " << i << " " << std::string(100, 'x');
        logger->logError(msg.str());
      }
    });
  }
  for (std::thread& w : workers) w.join();
  std::vector<std::string> l = lines();
  ASSERT_EQ(static_cast<std::size_t>(threads * perThread), l.size());
  for (const std::string& line : l) ASSERT_NE(std::string::npos, line.find(std::string(100, 'x'))) << line;
}
