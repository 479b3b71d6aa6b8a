// Every test program knows the source and build trees, whether CTest, the
// sandbox or a developer starts it; values already in the environment win.
#include <cstdlib>

namespace {
struct TestTreeEnvironment {
  TestTreeEnvironment() {
    setenv("TAVREL_SOURCE_DIR", TAVREL_TEST_SOURCE_DIR, 0);
    setenv("TAVREL_BINARY_DIR", TAVREL_TEST_BINARY_DIR, 0);
  }
} testTreeEnvironment;
}  // namespace
