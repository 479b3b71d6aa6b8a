#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"

namespace {

/* Trims a copy in a buffer of exactly the text's size, so that any access
 * outside the text is caught by the address sanitizer. */
std::string trimmed(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  trim(buffer.data());
  return buffer.data();
}

TEST(NetkeelText, TrimRemovesSpacesOnlyAtBothEnds) {
  const char* const cases[][2] = {{"  eth1 ", "eth1"}, {"", ""},      {"    ", ""},
                                  {"a b ", "a b"},     {"   x", "x"}, {"\teth1\t", "\teth1\t"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("text '") + c[0] + "'");
    EXPECT_EQ(trimmed(c[0]), c[1]);
  }
  trim(nullptr);
}

TEST(NetkeelText, SplitAtFirstSeparatorOrNotAtAll) {
  const std::string longest(24, 'x');
  const std::string tooLong(25, 'x');
  const struct {
    std::string text;
    const char* separator;
    std::string left, right;
    bool complains;
  } cases[] = {
      {"vlan\\eth1.100", "\\", "vlan", "eth1.100", false},
      {"  lan = a\\b ", "=", "lan", "a\\b", false},
      {"a=b=c", "=", "a", "b=c", false},
      {longest + "=" + longest, "=", longest, longest, false},
      {"no separator", "\\", "", "", false},
      {"text", "", "", "", false},
      {tooLong + "=a", "=", "", "", true},
      {"a=" + tooLong, "=", "", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
    char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
    testing::internal::CaptureStdout();
    split(c.text.c_str(), left, right, c.separator);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              c.complains ? "Unexpected long field in rule file!, reformat it pls!\n" : "");
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(right, c.right);
  }
  char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  split(nullptr, left, right, "=");
  split("a=b", nullptr, right, "=");
  split("a=b", left, nullptr, "=");
  split("a=b", left, right, nullptr);
  EXPECT_STREQ(left, "");
  EXPECT_STREQ(right, "");
}

TEST(NetkeelText, TypeTableMapsBothWays) {
  EXPECT_STREQ(mapIfTypeNumToName(0), "lan");
  EXPECT_STREQ(mapIfTypeNumToName(1), "vlan");
  EXPECT_STREQ(mapIfTypeNumToName(2), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(3), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(UINT16_MAX), "unknown");
  const struct {
    const char* name;
    uint16_t type;
  } cases[] = {{"lan", 0}, {"vlan", 1}, {"unknown", 2}, {nullptr, 2},
               {"", 2},    {"LAN", 2},  {"lans", 2},    {"vla", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name != nullptr ? c.name : "null");
    EXPECT_EQ(mapIfTypeNameToNum(c.name), c.type);
  }
}

}  // namespace
