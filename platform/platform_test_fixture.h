// Fixture for the stand-ins' tests: a fresh appliance root per test.
#ifndef TAVREL_PLATFORM_TEST_FIXTURE_H
#define TAVREL_PLATFORM_TEST_FIXTURE_H

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class PlatformTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "platform-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    setenv("TAVREL_PLATFORM_DIR", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TAVREL_PLATFORM_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  std::string path(const std::string& name) const { return root_ + "/" + name; }
  void writeFile(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary | std::ios::trunc) << text;
  }
  std::string readFile(const std::string& name) const {
    std::ostringstream text;
    text << std::ifstream(path(name), std::ios::binary).rdbuf();
    return text.str();
  }

  std::string root_;
};

#endif
