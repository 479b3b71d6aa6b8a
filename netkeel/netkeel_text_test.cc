#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"

namespace {

/* Trims a copy held in a buffer of exactly the text's size, so that any
 * access outside the text is caught by the address sanitizer. */
std::string trimmed(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  trim(buffer.data());
  return std::string(buffer.data());
}

struct SplitResult {
  std::string left;
  std::string right;
};

SplitResult splitText(const char* text, const char* separator) {
  char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  split(text, left, right, separator);
  return {left, right};
}

TEST(NetkeelText, TrimRemovesSpacesOnlyAtBothEnds) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"  eth1 ", "eth1"},
      {"eth1", "eth1"},
      {"", ""},
      {" ", ""},
      {"    ", ""},
      {"a b ", "a b"},
      {"\teth1\t", "\teth1\t"},  // only code 32 counts as a space
      {"   x", "x"},
      {"x   ", "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    EXPECT_EQ(trimmed(c.text), c.expected);
  }
  trim(nullptr);
}

TEST(NetkeelText, SplitAtFirstSeparatorAndTrimsBothParts) {
  SplitResult r = splitText("vlan\\eth1.100", "\\");
  EXPECT_EQ(r.left, "vlan");
  EXPECT_EQ(r.right, "eth1.100");

  r = splitText("  lan = a\\b ", "=");
  EXPECT_EQ(r.left, "lan");
  EXPECT_EQ(r.right, "a\\b");

  r = splitText("a=b=c", "=");
  EXPECT_EQ(r.left, "a");
  EXPECT_EQ(r.right, "b=c");
}

TEST(NetkeelText, SplitLeavesOutputsAloneWhenItCannotSplit) {
  EXPECT_EQ(splitText("no separator", "\\").left, "");
  EXPECT_EQ(splitText("text", "").right, "");
  EXPECT_EQ(splitText("", "").right, "");

  char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  split(nullptr, left, right, "=");
  split("a=b", nullptr, right, "=");
  split("a=b", left, nullptr, "=");
  split("a=b", left, right, nullptr);
  EXPECT_STREQ(left, "");
  EXPECT_STREQ(right, "");
}

TEST(NetkeelText, SplitRefusesFieldsOf25CharactersOrMore) {
  const std::string longest(24, 'x');
  const std::string tooLong(25, 'x');

  SplitResult r = splitText((longest + "=" + longest).c_str(), "=");
  EXPECT_EQ(r.left, longest);
  EXPECT_EQ(r.right, longest);

  for (const std::string& text : {tooLong + "=a", "a=" + tooLong}) {
    SCOPED_TRACE(text);
    testing::internal::CaptureStdout();
    r = splitText(text.c_str(), "=");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unexpected long field in rule file!, reformat it pls!\n");
    EXPECT_EQ(r.left, "");
    EXPECT_EQ(r.right, "");
  }
}

TEST(NetkeelText, TypeTableMapsBothWays) {
  EXPECT_STREQ(mapIfTypeNumToName(0), "lan");
  EXPECT_STREQ(mapIfTypeNumToName(1), "vlan");
  EXPECT_STREQ(mapIfTypeNumToName(2), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(3), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(7), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(UINT16_MAX), "unknown");

  EXPECT_EQ(mapIfTypeNameToNum("lan"), 0);
  EXPECT_EQ(mapIfTypeNameToNum("vlan"), 1);
  EXPECT_EQ(mapIfTypeNameToNum("unknown"), 2);
  EXPECT_EQ(mapIfTypeNameToNum(nullptr), 2);
  EXPECT_EQ(mapIfTypeNameToNum(""), 2);
  EXPECT_EQ(mapIfTypeNameToNum("LAN"), 2);
  EXPECT_EQ(mapIfTypeNameToNum("lans"), 2);
  EXPECT_EQ(mapIfTypeNameToNum("vla"), 2);
}

}  // namespace
