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

TEST(NetkeelText, TrimSplitAndTypeTable) {
  const char* const trims[][2] = {
      {"  eth1 ", "eth1"}, {"    ", ""}, {"a b ", "a b"}, {"\teth1\t", "\teth1\t"}};
  for (const auto& c : trims) EXPECT_EQ(trimmed(c[0]), c[1]) << "'" << c[0] << "'";
  trim(nullptr);

  /* Parts of 25 characters or more leave both outputs alone (the key
   * decoding tests show the other cases). */
  char left[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  char right[NETKEEL_SPLIT_FIELD_SIZE] = {0};
  testing::internal::CaptureStdout();
  split(("a=" + std::string(25, 'x')).c_str(), left, right, "=");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unexpected long field in rule file!, reformat it pls!\n");
  split("  a = b=c", left, right, "");
  split(nullptr, left, right, "=");
  split("a=b", nullptr, right, "=");
  split("a=b", left, nullptr, "=");
  split("a=b", left, right, nullptr);
  EXPECT_STREQ(left, "");
  EXPECT_STREQ(right, "");
  split("  a = b=c", left, right, "=");
  EXPECT_STREQ(left, "a");
  EXPECT_STREQ(right, "b=c");

  EXPECT_STREQ(mapIfTypeNumToName(2), "unknown");
  EXPECT_STREQ(mapIfTypeNumToName(3), "unknown");
  EXPECT_EQ(mapIfTypeNameToNum(nullptr), NETKEEL_IF_TYPE_UNKNOWN);
  for (const char* name : {"LAN", "lans", "vla"})
    EXPECT_EQ(mapIfTypeNameToNum(name), NETKEEL_IF_TYPE_UNKNOWN);
}

}  // namespace
