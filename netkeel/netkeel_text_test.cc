/* Text helpers, the interface type table and address validation. */
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "netkeel.h"
#include "netkeel_test_support.h"

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

  EXPECT_EQ(mapIfTypeNameToNum(nullptr), NETKEEL_IF_TYPE_UNKNOWN);
  for (const char* name : {"LAN", "lans", "vla"})
    EXPECT_EQ(mapIfTypeNameToNum(name), NETKEEL_IF_TYPE_UNKNOWN);
}

TEST(NetkeelAddress, ValidAddressesAreUnicastOutsideLoopback) {
  for (const char* text : {"1.0.0.0", "223.255.255.255", "126.1.1.1", "128.0.0.1", "10.1"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 1);
  }
  for (const char* text : {"127.0.0.1", "127.255.255.254", "0.1.2.3", "224.0.0.1", "255.255.255.255", "",
                           "eth1", "1.2.3.4.5", "256.1.1.1", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(text != nullptr ? text : "null");
    EXPECT_EQ(NetkeelIsValidIpAddress(text), 0);
  }
}

TEST(NetkeelAddress, NetmaskMustBeContiguousAndGivesItsPrefix) {
  const struct {
    const char* in;
    int rc;
    uint32_t out;  // 99: not written
  } cases[] = {
      {"255.255.255.0", 1, 24}, {"0.0.0.0", 1, 0},      {"255.255.255.255", 1, 32},
      {"128.0.0.0", 1, 1},      {"255.0.255.0", 0, 8},  {"0.255.255.255", 0, 0},
      {"255.255.255.1", 0, 24}, {"255.255.x.0", 0, 99}, {nullptr, 0, 99},
  };
  netkeel_test::checkCalls(cases, uint32_t{99}, NetkeelIsValidIpNetmask);
}

TEST(NetkeelAddress, SubnetAndHostPart) {
  const struct {
    const char* address;
    const char* mask;
    int subnetResult;
    const char* subnet;
    int hostValid;
  } cases[] = {
      {"10.20.30.40", "255.0.255.0", 1, "10.0.30.0", 1},
      {"10.0.1.0", "255.255.0.0", 1, "10.0.0.0", 1},
      {"255.255.255.255", "255.255.255.255", 1, "255.255.255.255", 0},
      {"192.168.1.0", "255.255.255.0", 1, "192.168.1.0", 0},
      {"192.168.1.1", "255.255.255.254", 1, "192.168.1.0", 0},
      {"192.168.1.x", "255.255.255.0", 0, "unchanged", 0},
      {"192.168.1.1", "mask", 0, "unchanged", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.address) + "/" + c.mask);
    char subnet[NETKEEL_IP_TEXT_SIZE] = "unchanged";
    EXPECT_EQ(NetkeelGetSubnetAddress(c.address, c.mask, subnet), c.subnetResult);
    EXPECT_STREQ(subnet, c.subnet);
    EXPECT_EQ(NetkeelIsHostAddressValid(c.address, c.mask), c.hostValid);
  }
}

}  // namespace
