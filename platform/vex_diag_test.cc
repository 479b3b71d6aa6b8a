#include <errno.h>

#include <string>
#include <vector>

#include "VexShared.h"
#include "platform_test_fixture.h"

namespace {

class VexDiagTest : public PlatformTest {};

TEST_F(VexDiagTest, AppendsOneLinePerEntry) {
  uint32_t netkeel = 0xFFFFFFFFu;
  uint32_t other = 0xFFFFFFFFu;
  ASSERT_EQ(VexDiagRegisterModule("libnetkeel.so", "NETKEEL", 0, "LAN.log", &netkeel), 0);
  ASSERT_EQ(VexDiagRegisterModule("libother.so", "OTHER", 0, "other.log", &other), 0);
  EXPECT_NE(netkeel, other);
  EXPECT_NE(netkeel, 0xFFFFFFFFu);

  EXPECT_EQ(VexDiagAddLogEntry(netkeel, 2, 1, 60006,
                               "The Published IP address is invalid. The Published IP interface "
                               "is: [Customer LAN]."),
            0);
  EXPECT_EQ(VexDiagAddLogEntry(netkeel, 2, 4, 60007, "two\nlines\tand\ra tab"), 0);
  EXPECT_EQ(VexDiagAddLogEntry(other, 2, 3, 1, ""), 0);
  EXPECT_EQ(VexDiagDeregisterModule(netkeel), 0);
  EXPECT_EQ(VexDiagDeregisterModule(other), 0);

  EXPECT_EQ(
      readLines("LAN.log"),
      (std::vector<std::string>{"NETKEEL\t1\t60006\tThe Published IP address is invalid. The Published IP "
                                "interface is: [Customer LAN].",
                                "NETKEEL\t4\t60007\ttwo lines and a tab"}));
  EXPECT_EQ(readFile("other.log"), "OTHER\t3\t1\t\n");

  SCOPED_TRACE("released handles");
  EXPECT_EQ(VexDiagAddLogEntry(netkeel, 2, 1, 1, "late"), ENOENT);
  EXPECT_EQ(VexDiagAddLogEntry(0xFFFFFFFFu, 2, 1, 1, "never registered"), ENOENT);
  EXPECT_EQ(VexDiagDeregisterModule(netkeel), ENOENT);
  EXPECT_EQ(readLines("LAN.log").size(), 2u);
}

TEST_F(VexDiagTest, LogFileStaysInsideApplianceRoot) {
  uint32_t handle = 0xFFFFFFFFu;
  for (const char* name : {"../LAN.log", "sub/LAN.log", "/tmp/LAN.log", "", ".", "..", "LAN\n.log"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(VexDiagRegisterModule("libnetkeel.so", "NETKEEL", 0, name, &handle), EINVAL);
  }
  EXPECT_EQ(VexDiagRegisterModule("libnetkeel.so", "NETKEEL", 0, nullptr, &handle), EINVAL);
  EXPECT_EQ(VexDiagRegisterModule("libnetkeel.so", "BAD\tTAG", 0, "LAN.log", &handle), EINVAL);
  EXPECT_EQ(VexDiagRegisterModule("libnetkeel.so", "NETKEEL", 0, "LAN.log", nullptr), EINVAL);
  EXPECT_EQ(handle, 0xFFFFFFFFu);
}

}  // namespace
