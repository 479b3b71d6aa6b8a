// The component file read through the real range and reservation operations,
// with libTavrel's provider objects behind the pools, written back unchanged
// and released again through the objects.
#include <gtest/gtest.h>

#include <string>

#include "agent_stand_ins.h"
#include "dhcpcomp.h"
#include "model_test_support.h"

namespace {

TEST(ModelConfigFileRangesTest, SampleFileCreatesObjectsAndReadsBackUnchanged) {
  model_test::resetModel({12});
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[0], "10.12.0.1", "255.255.255.0");
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  model_test::TempDir dir;
  std::string path = dir.file("dhcpcomp.conf");
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", path.c_str());
  std::string sample = model_test::readFile(model_test::dataFile("dhcpcomp-sample.conf"));
  ASSERT_TRUE(model_test::writeFile(path, sample));

  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  EXPECT_EQ(3, g_NumberOfRanges);
  EXPECT_EQ(3, g_NumberOfReservedIPs);
  for (int id = 0; id < 3; ++id) {
    EXPECT_NE(nullptr, g_AddressRangePool[id].object) << id;
    EXPECT_NE(nullptr, g_reservedAddrPool[id].object) << id;
  }
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(2, VLANDhcpCompConfig[0].numAddrRanges);
  EXPECT_EQ(1, VLANDhcpCompConfig[0].numReservedAddrs);
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_EQ(sample, model_test::readFile(path));

  dhcpCompDeallocDhcpCompConfig(&CustomerLANDhcpCompConfig, true);
  dhcpCompDeallocDhcpCompConfig(&VLANDhcpCompConfig[0], true);
  EXPECT_EQ(0, g_NumberOfRanges);
  EXPECT_EQ(0, g_NumberOfReservedIPs);
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.numReservedAddrs);
  EXPECT_EQ(0, VLANDhcpCompConfig[0].numAddrRanges);
  EXPECT_EQ(nullptr, g_AddressRangePool[1].object);
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), DHCP_DEFAULT_CONFIG_FILENAME);
}

}  // namespace
