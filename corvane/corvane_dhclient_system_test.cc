// libcorvane against a real dhclient on the customer LAN, served by a real
// dhcpd on the upstream router that sends the vendor texts
// (tests/data/corvane/router-vendor-dhcpd.conf); eth1 starts without an
// address.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>

#include <string>

#include "corvane.h"
#include "corvane_test_support.h"

namespace {

TEST(CorvaneDhclientTest, AddressAndLeaseFromARealDhcpExchange) {
  const char* inside = getenv("TAVREL_APPLIANCE");
  if (inside == nullptr || std::string(inside) != "1") {
    GTEST_SKIP() << "needs the appliance sandbox (tests/sandbox/appliance run)";
  }
  // The client starts now; the address is asked for at once and appears
  // when the lease is bound, which the retries for eth1 wait for.
  ASSERT_EQ(system("ifup eth1 >/dev/null 2>&1 &"), 0);
  char addr[CORVANE_IP_TEXT_SIZE] = "old", mask[CORVANE_IP_TEXT_SIZE] = "old",
       gateway[CORVANE_IP_TEXT_SIZE] = "old";
  corvaneGetIPInfo("eth1", addr, mask, gateway);
  EXPECT_EQ(std::string(addr).rfind("192.168.1.5", 0), 0u) << addr;
  EXPECT_STREQ(mask, "255.255.255.0");
  EXPECT_STREQ(gateway, "192.168.1.254");

  corvane_test::GuardedBuffer<CORVANE_LEASE_ADDR_SIZE> fixed, subnet, routers, dns1, dns2, nbs, serverId;
  corvane_test::GuardedBuffer<CORVANE_LEASE_DOMAIN_SIZE> domain;
  corvane_test::GuardedBuffer<CORVANE_LEASE_RENEW_SIZE> renew("");
  corvane_test::GuardedBuffer<208> ipSet, dhcpText;
  unsigned char nodeType = 77;
  ASSERT_EQ(corvaneParseDhclientLeaseFile("eth1", fixed.get(), subnet.get(), routers.get(), dns1.get(),
                                          dns2.get(), nbs.get(), &nodeType, domain.get(), renew.get(),
                                          serverId.get(), ipSet.get(), dhcpText.get()),
            1);
  EXPECT_EQ(fixed.text(), addr);
  EXPECT_EQ(subnet.text(), "255.255.255.0");
  EXPECT_EQ(routers.text(), "192.168.1.254");
  EXPECT_EQ(dns1.text(), "192.168.1.254");
  EXPECT_EQ(dns2.text(), "192.168.1.253");
  EXPECT_EQ(nbs.text(), "");
  EXPECT_EQ(nodeType, 0);
  EXPECT_EQ(domain.text(), "customer.lan");
  EXPECT_NE(renew.text(), "");
  EXPECT_EQ(serverId.text(), "192.168.1.254");
  EXPECT_EQ(ipSet.text(), "192.168.1.5:4100,1,3;192.168.1.6:4100,1,3.VLAN-A:100,200.");
  EXPECT_EQ(dhcpText.text(), "2,100-200.");
}

}  // namespace
