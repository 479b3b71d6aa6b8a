// Helpers shared by libcorvane's test programs.
#ifndef CORVANE_TEST_SUPPORT_H
#define CORVANE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace corvane_test {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A captured sample under tests/data/corvane.
inline std::string samplePath(const std::string& name) {
  const char* source = getenv("TAVREL_SOURCE_DIR");
  return std::string(source != nullptr ? source : ".") + "/tests/data/corvane/" + name;
}

inline std::string sample(const std::string& name) {
  std::ifstream in(samplePath(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing sample " << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An output buffer of exactly the size a caller passes, followed by guard
// bytes that must survive every call.
template <size_t N>
struct GuardedBuffer {
  static const size_t kGuard = 16;
  char data[N + kGuard];

  explicit GuardedBuffer(const char* initial = "old") {
    memset(data, 'G', sizeof data);
    strncpy(data, initial, N - 1);
    data[N - 1] = '\0';
  }
  char* get() { return data; }
  std::string text() const { return std::string(data, strnlen(data, N)); }
  bool guardIntact() const {
    for (size_t i = N; i < N + kGuard; i++) {
      if (data[i] != 'G') return false;
    }
    return true;
  }
};

}  // namespace corvane_test

#endif
