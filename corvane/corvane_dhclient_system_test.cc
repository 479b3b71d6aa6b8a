// libcorvane against a real dhclient on the customer LAN, served by a real
// dhcpd on the upstream router that sends the vendor texts
// (tests/data/corvane/router-vendor-dhcpd.conf); eth1 starts without an
// address.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "corvane.h"
#include "sandbox_util.h"

namespace {

TEST(CorvaneDhclientTest, AddressAndLeaseFromARealDhcpExchange) {
  if (!tavrel::sandbox::insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
  // The client starts now; the address is asked for at once and appears
  // when the lease is bound, which the retries for eth1 wait for.
  ASSERT_EQ(system("ifup eth1 >/dev/null 2>&1 &"), 0);
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old",
       gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo("eth1", addr, mask, gateway);
  EXPECT_EQ(std::string(addr).rfind("192.168.1.5", 0), 0u) << addr;
  EXPECT_STREQ(mask, "255.255.255.0");
  EXPECT_STREQ(gateway, "192.168.1.254");

  char fixed[CORVANE_LEASE_ADDR_SIZE], subnet[CORVANE_LEASE_ADDR_SIZE], routers[CORVANE_LEASE_ADDR_SIZE],
      dns1[CORVANE_LEASE_ADDR_SIZE], dns2[CORVANE_LEASE_ADDR_SIZE], nbs[CORVANE_LEASE_ADDR_SIZE],
      serverId[CORVANE_LEASE_ADDR_SIZE], domain[CORVANE_LEASE_DOMAIN_SIZE],
      renew[CORVANE_LEASE_RENEW_SIZE] = "", ipSet[CORVANE_VENDOR_TEXT_SIZE],
      dhcpText[CORVANE_VENDOR_TEXT_SIZE];
  unsigned char nodeType = 77;
  ASSERT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed, subnet, routers, dns1, dns2, nbs, &nodeType, domain,
                                          renew, serverId, ipSet, dhcpText),
            1);
  EXPECT_STREQ(fixed, addr);
  EXPECT_STREQ(subnet, "255.255.255.0");
  EXPECT_STREQ(routers, "192.168.1.254");
  EXPECT_STREQ(dns1, "192.168.1.254");
  EXPECT_STREQ(dns2, "192.168.1.253");
  EXPECT_STREQ(nbs, "");
  EXPECT_EQ(nodeType, 0);
  EXPECT_STREQ(domain, "customer.lan");
  EXPECT_STRNE(renew, "");
  EXPECT_STREQ(serverId, "192.168.1.254");
  EXPECT_STREQ(ipSet, "192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.VLAN-A:100,200.");
  EXPECT_STREQ(dhcpText, "2,100-200.");
}

}  // namespace
