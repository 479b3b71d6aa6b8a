// Configuration file rules: comments, trimming, first occurrence wins,
// malformed lines and missing files.
#include "openwbem/ConfigFile.h"

#include <gtest/gtest.h>

using namespace OpenWBEM;

namespace {

String dataFile(const char* name) {
  return String(OWTEST_DATA_DIR "/") + name;
}

}  // namespace

TEST(ConfigFileTest, ReadsAgentConfiguration) {
  ConfigFile::ConfigMap map;
  ConfigFile::loadConfigFile(dataFile("tavrelagent.conf"), map);
  EXPECT_EQ("/tmp/tavrel-owcimomd.socket", ConfigFile::getConfigItem(map, "http_server.uds_filename"));
  EXPECT_EQ("-1", ConfigFile::getConfigItem(map, "http_server.http_port"));
  // First occurrence wins.
  EXPECT_EQ("error", ConfigFile::getConfigItem(map, "owcimomd.log_level"));
  // Blanks around key and value go, blanks inside stay; '=' in a value stays.
  EXPECT_EQ("http://localhost:5988/cimom?a=b", ConfigFile::getConfigItem(map, "owcimomd.callback_url"));
  EXPECT_EQ("two words", ConfigFile::getConfigItem(map, "spaced.key"));
  EXPECT_EQ("", ConfigFile::getConfigItem(map, "empty.value", "default"));
  // A '#' after the start of a line is part of the value.
  EXPECT_EQ("value # not a comment", ConfigFile::getConfigItem(map, "hash.value"));
  // Comment lines define nothing; keys are case-sensitive.
  EXPECT_EQ("syslog", ConfigFile::getConfigItem(map, "commented.out", "syslog"));
  EXPECT_EQ("dflt", ConfigFile::getConfigItem(map, "OWCIMOMD.LOG_LEVEL", "dflt"));
  EXPECT_EQ("crlf", ConfigFile::getConfigItem(map, "windows.line"));
  EXPECT_EQ(8u, map.size());
}

TEST(ConfigFileTest, ExistingItemsWin) {
  ConfigFile::ConfigMap map;
  map.insert(ConfigFile::ConfigMap::value_type("owcimomd.log_level", "debug"));
  ConfigFile::loadConfigFile(dataFile("tavrelagent.conf"), map);
  EXPECT_EQ("debug", ConfigFile::getConfigItem(map, "owcimomd.log_level"));
}

TEST(ConfigFileTest, MissingFileThrowsNamingIt) {
  ConfigFile::ConfigMap map;
  try {
    ConfigFile::loadConfigFile(dataFile("no-such-file.conf"), map);
    FAIL() << "no exception";
  } catch (const ConfigException& e) {
    EXPECT_NE(std::string::npos, std::string(e.getMessage()).find("no-such-file.conf"));
    EXPECT_NE(std::string::npos, std::string(e.getMessage()).find("No such file"));
  }
  EXPECT_TRUE(map.empty());
  EXPECT_THROW(ConfigFile::loadConfigFile(OWTEST_DATA_DIR, map), ConfigException);
  EXPECT_TRUE(map.empty());
}

TEST(ConfigFileTest, MalformedLineThrowsAndKeepsMap) {
  ConfigFile::ConfigMap map;
  map["kept"] = "yes";
  try {
    ConfigFile::loadConfigFile(dataFile("malformed.conf"), map);
    FAIL() << "no exception";
  } catch (const ConfigException& e) {
    EXPECT_NE(std::string::npos, std::string(e.getMessage()).find("line 3"));
  }
  EXPECT_EQ(1u, map.size());
  EXPECT_EQ("yes", ConfigFile::getConfigItem(map, "kept"));
}
