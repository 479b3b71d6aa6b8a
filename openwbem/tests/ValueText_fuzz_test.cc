// Runs the value-text fuzz target over the seed texts and over mutations of
// them (deterministic, so a failure repeats).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> seeds() {
  std::ifstream in(OWTEST_DATA_DIR "/value-text-seeds.txt");
  std::vector<std::string> out;
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

int run(const std::string& s) {
  return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

}  // namespace

TEST(ValueTextFuzzTest, SeedsAndMutations) {
  std::vector<std::string> inputs = seeds();
  ASSERT_GE(inputs.size(), 10u);
  for (const std::string& s : inputs) EXPECT_EQ(0, run(s)) << s;

  std::mt19937 rng(20261206);
  const char interesting[] = "\"\\.,:=/+-0123456789xX ";
  for (int i = 0; i < 20000; ++i) {
    std::string s = inputs[rng() % inputs.size()];
    int edits = 1 + rng() % 4;
    for (int e = 0; e < edits && !s.empty(); ++e) {
      std::size_t pos = rng() % s.size();
      switch (rng() % 3) {
        case 0:
          s[pos] = interesting[rng() % (sizeof(interesting) - 1)];
          break;
        case 1:
          s.erase(pos, 1 + rng() % 3);
          break;
        default:
          s.insert(pos, 1, static_cast<char>(rng() % 256));
          break;
      }
    }
    ASSERT_EQ(0, run(s)) << s;
  }
}
