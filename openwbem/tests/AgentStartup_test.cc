// What the agent reads at start and how it logs: command-line options like
// the agent's, the configuration file rules (comments, trimming, first
// occurrence wins, malformed lines, missing files), and the logger (level
// filter, stderr and the fallback to it, whole lines from threads).
#include "openwbem/CmdLineParser.h"
#include "openwbem/ConfigFile.h"
#include "openwbem/Logger.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace OpenWBEM;

TEST(CmdLineParserTest, AgentOptionFormsAndErrors) {
  enum { HELP, DEBUG, CONFIG, LEVEL };
  const CmdLineParser::Option options[] = {
      {CONFIG, 'c', "config", CmdLineParser::E_REQUIRED_ARG, 0, "Sets the config file."},
      {DEBUG, 'd', "debug", CmdLineParser::E_OPTIONAL_ARG, 0, "Debug mode - do not fork"},
      {HELP, 'h', "help", CmdLineParser::E_NO_ARG, 0, "Help for this component."},
      {LEVEL, 'l', "level", CmdLineParser::E_OPTIONAL_ARG, "3", "An optional argument with a default."},
      {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0},
  };
  const struct {
    std::vector<const char*> args;
    const char* result;  // what is set, or the error code and message
  } cases[] = {
      {{}, ""},
      {{"-c", "/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"-c/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"--config=/pq/etc/ow.conf"}, "config=/pq/etc/ow.conf"},
      {{"--config", "a", "--config="}, "config="},
      {{"-c", "-d"}, "config=-d"},  // a required argument may look like an option
      {{"-d", "--help"}, "help debug="},
      {{"-dh"}, "debug=h"},  // an optional argument only when attached
      {{"--debug=2", "file"}, "debug=2"},
      {{"-hl"}, "help level=3"},
      {{"--level", "--", "-x"}, "level=3"},  // "--" ends the options
      {{"-x"}, "1 Unknown option: -x"},
      {{"--conf=x"}, "1 Unknown option: --conf"},
      {{"-c"}, "2 Option -c requires an argument"},
      {{"-d", "--config"}, "2 Option --config requires an argument"},
      {{"--help=1"}, "3 Option --help takes no argument"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"TavrelAgent"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.result);
    std::string result;
    try {
      CmdLineParser p(static_cast<int>(argv.size()), argv.data(), options);
      if (p.isSet(HELP)) result += "help ";
      if (p.isSet(DEBUG)) result += "debug=" + p.getOptionValue(DEBUG).toStdString() + " ";
      if (p.isSet(CONFIG)) result += "config=" + p.getOptionValue(CONFIG).toStdString() + " ";
      if (p.isSet(LEVEL)) result += "level=" + p.getOptionValue(LEVEL).toStdString() + " ";
      if (!result.empty()) result.pop_back();
    } catch (const CmdLineParserException& e) {
      result = std::to_string(e.getErrorCode()) + " " + e.getMessage();
    }
    EXPECT_EQ(c.result, result);
  }
  EXPECT_NE(String::npos, CmdLineParser::getUsage(options).indexOf("-c, --config <arg>"));
}

TEST(ConfigFileTest, ReadsAgentConfiguration) {
  ConfigFile::ConfigMap map;
  map["preset"] = "kept";
  ConfigFile::loadConfigFile(OWTEST_DATA_DIR "/tavrelagent.conf", map);
  struct {
    const char* key;
    const char* value;  // "dflt" when absent
  } cases[] = {
      {"http_server.uds_filename", "/tmp/tavrel-owcimomd.socket"},
      {"owcimomd.log_level", "error"},  // the first occurrence wins
      {"owcimomd.callback_url", "http://localhost:5988/cimom?a=b"},
      {"spaced.key", "two words"},
      {"empty.value", ""},
      {"hash.value", "value # not a comment"},
      {"commented.out", "dflt"},
      {"OWCIMOMD.LOG_LEVEL", "dflt"},  // keys are case-sensitive
      {"windows.line", "crlf"},
      {"preset", "kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.value, ConfigFile::getConfigItem(map, c.key, "dflt"));
  }
  EXPECT_EQ(9u, map.size());
}

// A checked read warns of each doubtful line by file and line: a repeated
// key (the first stays), a refused value (dropped), an unknown key (kept).
TEST(ConfigFileTest, CheckedReadWarnsOfRepeatedRefusedAndUnknownKeys) {
  const std::string file = OWTEST_DATA_DIR "/tavrelagent.conf";
  std::vector<std::string> warnings;
  ConfigFile::ConfigMap map;
  ConfigFile::loadConfigFile(
      file.c_str(), map,
      [](const String& key, const String&, String& reason) {
        if (key.equals("http_server.http_port")) {
          reason = "not a port";
          return ConfigFile::ItemVerdict::Invalid;
        }
        return key.equals("spaced.key") ? ConfigFile::ItemVerdict::Unknown : ConfigFile::ItemVerdict::Accept;
      },
      [&](const ConfigFile::Warning& warning) { warnings.push_back(warning.message().toStdString()); });
  EXPECT_EQ(std::vector<std::string>(
                {file + ":4: http_server.http_port: not a port; the default is used",
                 file + ":6: key \"owcimomd.log_level\" repeats line 5; the value of line 5 is used",
                 file + ":11: unknown key \"spaced.key\""}),
            warnings);
  EXPECT_EQ("dflt", ConfigFile::getConfigItem(map, "http_server.http_port", "dflt"));
  EXPECT_EQ("error", ConfigFile::getConfigItem(map, "owcimomd.log_level", "dflt"));
  EXPECT_EQ("two words", ConfigFile::getConfigItem(map, "spaced.key", "dflt"));
}

TEST(ConfigFileTest, UnreadableFilesThrowAndKeepTheMap) {
  struct {
    const char* file;
    const char* message;
  } cases[] = {
      {OWTEST_DATA_DIR "/no-such-file.conf", "No such file"},
      {OWTEST_DATA_DIR "/malformed.conf", "line 3"},
      {OWTEST_DATA_DIR, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ConfigFile::ConfigMap map;
    map["kept"] = "yes";
    try {
      ConfigFile::loadConfigFile(c.file, map);
      ADD_FAILURE() << "no exception";
    } catch (const ConfigException& e) {
      EXPECT_NE(std::string::npos, std::string(e.getMessage()).find(c.message)) << e.getMessage();
    }
    EXPECT_EQ(1u, map.size());
  }
}

TEST(LoggerTest, LevelsLocationsAndWholeLines) {
  tavrel::test::TempDir dir;
  const std::string path = dir.file("agent.log");
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

  const std::string bad = dir.file("missing-dir/agent.log");
  testing::internal::CaptureStderr();
  Logger::createLogger("stderr", false)->logError("to stderr");
  Logger::createLogger(bad.c_str(), false)->logError("still logged");
  const std::string captured = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, captured.find("[error] to stderr"));
  EXPECT_NE(std::string::npos, captured.find("Cannot open log file " + bad));
  EXPECT_NE(std::string::npos, captured.find("still logged"));
}
