// Atomic file replacement.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "dhcputil_file.h"
#include "model_test_support.h"

namespace {

TEST(ReplaceFileTest, ReplacesContentKeepsModeAndLeavesNoTemporaryFile) {
  model_test::TempDir dir;
  std::string path = dir.file("dhcpd.conf");
  ASSERT_EQ(0, dhcpUtilReplaceFile(path.c_str(), "new\n", 4));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 07777);
  ASSERT_EQ(0, chmod(path.c_str(), 0600));
  std::string big(100000, 'x');
  ASSERT_EQ(0, dhcpUtilReplaceFile(path.c_str(), big.data(), big.size()));
  EXPECT_EQ(big, model_test::readFile(path));
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ(1u, dir.entries().size());
}

TEST(ReplaceFileTest, FailureKeepsTheOldFileAndCleansUp) {
  model_test::TempDir dir;
  EXPECT_EQ(ENOENT, dhcpUtilReplaceFile(dir.file("missing/dhcpd.conf").c_str(), "x", 1));
  // A target that cannot be replaced by a file stays as it is.
  std::string target = dir.file("dhcpd.conf");
  ASSERT_EQ(0, mkdir(target.c_str(), 0755));
  EXPECT_NE(0, dhcpUtilReplaceFile(target.c_str(), "x", 1));
  struct stat st;
  ASSERT_EQ(0, stat(target.c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(1u, dir.entries().size());
}

TEST(CopyFileTest, CopiesTheWholeFile) {
  model_test::TempDir dir;
  std::string from = dir.file("dhcpcomp.conf");
  std::string to = dir.file("dhcp.check4");
  std::string text(20000, 'c');
  model_test::writeFile(from, text);
  model_test::writeFile(to, "older and longer " + text);
  EXPECT_EQ(0, dhcpUtilCopyFile(from.c_str(), to.c_str()));
  EXPECT_EQ(text, model_test::readFile(to));
  EXPECT_EQ(ENOENT, dhcpUtilCopyFile(dir.file("missing").c_str(), to.c_str()));
  EXPECT_EQ(text, model_test::readFile(to));
}

}  // namespace
