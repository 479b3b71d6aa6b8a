#include "platform_test_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

void PlatformTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "platform-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  setenv("TAVREL_PLATFORM_DIR", root_.c_str(), 1);
}

void PlatformTest::TearDown() {
  unsetenv("TAVREL_PLATFORM_DIR");
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void PlatformTest::writeFile(const std::string& name, const std::string& text) const {
  std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << name;
}

std::string PlatformTest::readFile(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> PlatformTest::readLines(const std::string& name) const {
  std::vector<std::string> lines;
  std::istringstream in(readFile(name));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool PlatformTest::waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
