// Supervision of the integrated router's DHCP server on the customer LAN and
// the renewal of the customer LAN's DHCP client address.
#include <syslog.h>
#include <unistd.h>

#include <string>

#include "corvane.h"
#include "dhcpcomp.h"
#include "dhcpcompagent.h"
#include "dhcpcompchange.h"
#include "dhcpcompdaemon.h"

namespace {

// ping with one small echo request, waiting at most a second for its answer
// (without -W a lost request holds the main loop for ten seconds).
const char kPingProgram[] = "/bin/ping";
const char kPingSuccessText[] = "1 received, 0% packet loss";
const int kPingsPerCheck = 10;
const unsigned kPingPauseSeconds = 1;
// ping -q prints three short lines; more is not read.
const size_t kPingOutputMax = 1024;

}  // namespace

int dhcpcompPingDhcpServer(void) {
  // The server address comes from the network: only the canonical text
  // rebuilt from its number reaches the command line.
  s_ipAddr server = {};
  server.ipLong = CustomerLANIpConfig.leaseServerIdentifier.ipLong;
  if (server.ipLong == 0) return 0;
  dhcpUtilConvertIPAddrLongtoIPAddr(&server);
  const char* const argv[] = {kPingProgram, "-c", "1", "-W", "1", "-q", "-s10", server.ipString, nullptr};
  std::string output;
  if (dhcpCompRunProgram(argv, &output, kPingOutputMax) == -1) return 0;
  return output.find(kPingSuccessText) != std::string::npos ? 1 : 0;
}

int dhcpcompCheckDhcpServerPingable(void) {
  char address[CORVANE_IP_TEXT_SIZE * 2] = "";
  corvaneGetIPInfo(DHCP_CUSTOMER_LAN_IFNAME, address, nullptr, nullptr);
  if (address[0] == '\0' || CustomerLANIpConfig.leaseServerIdentifier.ipLong == 0) return 0;
  for (int i = 0; i < kPingsPerCheck; ++i) {
    if (dhcpcompPingDhcpServer()) return 1;
    if (i + 1 < kPingsPerCheck) sleep(kPingPauseSeconds);
  }
  return 0;
}

int dhcpcompRenewDynamicIPAddress(void) {
  if (CustomerLANIpConfig.staticIP != 0) return 0;
  DhcpCompChange change;
  dhcpCompCheckCustLANDynamicIPStatus();
  // The new lease's settings (the router's call servers, VLANs and range
  // among them) reach dhcpd only through a commit.
  change.commit();
  return 0;
}

void dhcpCompSuperviseRouterPass(int* passCounter, int passesBetweenChecks) {
  if (passCounter == nullptr || !g_bIntegratedRouterPresent || CustomerLANIpConfig.staticIP != 0 ||
      !CustomerLANIpConfig.vendorInfoPresent)
    return;
  if (++*passCounter < passesBetweenChecks) return;
  *passCounter = 0;
  if (dhcpcompCheckDhcpServerPingable()) return;
  syslog(LOG_ERR,
         "{%d} {Integrated Routers DHCP Server: %s not reachable. Re-starting DHCP Client on "
         "Customer LAN.}",
         DHCP_MSG_ROUTER_UNREACHABLE, CustomerLANIpConfig.leaseServerIdentifier.ipString);
  dhcpcompRenewDynamicIPAddress();
}
