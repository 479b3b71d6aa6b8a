// Logger: level filter, stderr and the fallback to it, whole lines from threads.
#include "openwbem/Logger.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace OpenWBEM;

TEST(LoggerTest, LevelsLocationsAndWholeLines) {
  char dir[] = "/tmp/owlogger_test.XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const std::string path = std::string(dir) + "/agent.log";
  LoggerRef logger = Logger::createLogger(path.c_str(), false);
  EXPECT_EQ(Logger::E_ERROR_LEVEL, logger->getLogLevel());
  logger->logError("first error");
  logger->logInfo("hidden info");
  EXPECT_TRUE(logger->setLogLevel("INFO"));
  logger->logInfo("shown info", "Tavrel.cc", 42);
  logger->logDebug("hidden debug");
  EXPECT_FALSE(logger->setLogLevel("verbose"));
  EXPECT_TRUE(logger->setLogLevel("none"));
  logger->logError("silenced");
  EXPECT_TRUE(logger->setLogLevel("all"));
  logger->logDebug("debug at all");
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([logger] {
      for (int i = 0; i < 300; ++i) logger->logError(std::string(100, 'x'));
    });
  for (std::thread& w : workers) w.join();

  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(3u + 4 * 300, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("[error] first error"));
  EXPECT_NE(std::string::npos, lines[1].find("[info] shown info (Tavrel.cc:42)"));
  EXPECT_NE(std::string::npos, lines[2].find("[debug] debug at all"));
  for (std::size_t i = 3; i < lines.size(); ++i)
    ASSERT_NE(std::string::npos, lines[i].find("[error] " + std::string(100, 'x'))) << lines[i];
  EXPECT_EQ(Logger::E_DEBUG_LEVEL, Logger::createLogger("null", true)->getLogLevel());

  const std::string bad = std::string(dir) + "/missing-dir/agent.log";
  testing::internal::CaptureStderr();
  Logger::createLogger("stderr", false)->logError("to stderr");
  Logger::createLogger(bad.c_str(), false)->logError("still logged");
  const std::string captured = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, captured.find("[error] to stderr"));
  EXPECT_NE(std::string::npos, captured.find("Cannot open log file " + bad));
  EXPECT_NE(std::string::npos, captured.find("still logged"));
  unlink(path.c_str());
  rmdir(dir);
}
