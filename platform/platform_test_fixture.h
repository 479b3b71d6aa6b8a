// Fixture for the stand-ins' tests: a fresh appliance root per test.
#ifndef TAVREL_PLATFORM_TEST_FIXTURE_H
#define TAVREL_PLATFORM_TEST_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class PlatformTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string path(const std::string& name) const { return root_ + "/" + name; }
  void writeFile(const std::string& name, const std::string& text) const;
  std::string readFile(const std::string& name) const;
  std::vector<std::string> readLines(const std::string& name) const;
  // Polls `done` until it holds or `limit` passes; returns its last result.
  static bool waitFor(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));

  std::string root_;
};

#endif
