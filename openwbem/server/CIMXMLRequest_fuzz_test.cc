// Runs the CIM-XML request fuzz target over the captured requests and over
// mutations of them (deterministic, so a failure repeats).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

const char* const kSeeds[] = {"ai",  "ain", "ci", "cm", "di", "ecn", "ei",
                              "ein", "gc",  "gi", "mi", "ri", "rin"};

std::string seed(const char* name) {
  std::ifstream in(std::string(OWSERVER_TEST_DATA "/requests/") + name + ".txt", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int run(const std::string& s) {
  return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

}  // namespace

TEST(CIMXMLRequestFuzzTest, CapturedRequestsAndMutations) {
  std::mt19937 rng(20261206);
  const std::string interesting[] = {"<",
                                     ">",
                                     "&",
                                     "\"",
                                     "&amp;",
                                     "&#0;",
                                     "\xFF",
                                     "\xC3",
                                     "/>",
                                     "</VALUE>",
                                     "<VALUE>",
                                     "-1",
                                     "99999999999999999999",
                                     "TRUE",
                                     "NAME=\"x\"",
                                     "\n",
                                     ""};
  for (const char* name : kSeeds) {
    SCOPED_TRACE(name);
    const std::string original = seed(name);
    ASSERT_GT(original.size(), 100u);
    EXPECT_EQ(0, run(original));
    for (int i = 0; i < 150; ++i) {
      std::string s = original;
      std::size_t at = rng() % s.size();
      switch (rng() % 4) {
        case 0:
          s.resize(at);
          break;
        case 1:
          s.erase(at, 1 + rng() % 20);
          break;
        case 2:
          s.insert(at, interesting[rng() % (sizeof interesting / sizeof interesting[0])]);
          break;
        default:
          s[at] = static_cast<char>(rng());
          break;
      }
      ASSERT_EQ(0, run(s)) << s;
    }
  }
}
