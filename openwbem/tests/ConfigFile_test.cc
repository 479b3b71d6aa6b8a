// Configuration file rules: comments, trimming, first occurrence wins,
// malformed lines and missing files.
#include "openwbem/ConfigFile.h"

#include <gtest/gtest.h>

using namespace OpenWBEM;

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

  ConfigFile::ConfigMap existing;
  existing["owcimomd.log_level"] = "debug";
  ConfigFile::loadConfigFile(OWTEST_DATA_DIR "/tavrelagent.conf", existing);
  EXPECT_EQ("debug", ConfigFile::getConfigItem(existing, "owcimomd.log_level")) << "existing items win";
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
