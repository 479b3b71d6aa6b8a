// Supervision of the integrated router's DHCP server on the customer LAN and
// the renewal of the customer LAN's DHCP client address.
#include "router.h"

#include <net/if.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "agent.h"
#include "commit.h"
#include "corvane.h"
#include "dynamic.h"
#include "foreign.h"
#include "messages.h"
#include "model/records.h"
#include "model/util.h"
#include "process.h"
#include "tavrel_agent_api.h"

namespace {

// ping with one small echo request, waiting at most a second for its answer
// (without -W a lost request holds the main loop for ten seconds).
const char kPingProgram[] = "/bin/ping";
const char kPingSuccessText[] = "1 received, 0% packet loss";
const int kPingsPerCheck = 10;
const useconds_t kPingPauseUs = 1000 * 1000;
const int kPauseSlices = 10;
// ping -q prints three short lines; more is not read.
const size_t kPingOutputMax = 1024;

}  // namespace

namespace {

// One ping of server (no shell; output read through a pipe).
bool pingServer(uint32_t address) {
  // The server address comes from the network: only the canonical text
  // rebuilt from its number reaches the command line.
  s_ipAddr server = {};
  server.ipLong = address;
  dhcpUtilConvertIPAddrLongtoIPAddr(&server);
  const char* const argv[] = {kPingProgram, "-c", "1", "-W", "1", "-q", "-s10", server.ipString, nullptr};
  std::string output;
  if (dhcpCompRunProgram(argv, &output, kPingOutputMax) == -1) return false;
  return output.find(kPingSuccessText) != std::string::npos;
}

// True when the customer LAN's interface has an address (asked of the kernel:
// no command, no wait).
bool customerLanHasAddress() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  struct ifreq request;
  memset(&request, 0, sizeof(request));
  snprintf(request.ifr_name, sizeof(request.ifr_name), "%s", DHCP_CUSTOMER_LAN_IFNAME);
  bool has = ioctl(fd, SIOCGIFADDR, &request) == 0;
  close(fd);
  return has;
}

// Up to kPingsPerCheck pings a pause apart; a stop request ends the pauses.
bool serverAnswersPings(uint32_t server) {
  for (int i = 0; i < kPingsPerCheck; ++i) {
    if (pingServer(server)) return true;
    for (int slice = 0; i + 1 < kPingsPerCheck && slice < kPauseSlices && !g_dhcpStopService; ++slice)
      usleep(kPingPauseUs / kPauseSlices);
    if (g_dhcpStopService) return true;
  }
  return false;
}

// The router's server is supervised while the integrated router is fitted
// and the DHCP-client customer LAN has the router's vendor text.
bool routerSupervised() {
  return g_bIntegratedRouterPresent && CustomerLANIpConfig.staticIP == 0 &&
         CustomerLANIpConfig.vendorInfoPresent;
}

}  // namespace

int dhcpcompPingDhcpServer(void) {
  uint32_t server = CustomerLANIpConfig.leaseServerIdentifier.ipLong;
  return server != 0 && pingServer(server) ? 1 : 0;
}

int dhcpcompCheckDhcpServerPingable(void) {
  uint32_t server = CustomerLANIpConfig.leaseServerIdentifier.ipLong;
  if (!customerLanHasAddress() || server == 0) return 0;
  return serverAnswersPings(server) ? 1 : 0;
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

void dhcpCompSuperviseRouterPass(int* passCounter, int passesBetweenChecks, const DhcpCompLocked& locked) {
  if (passCounter == nullptr) return;
  uint32_t server = 0;
  locked([&] {
    if (!routerSupervised() || ++*passCounter < passesBetweenChecks) return;
    *passCounter = 0;
    server = CustomerLANIpConfig.leaseServerIdentifier.ipLong;
  });
  // The pings and their pauses run without the lock: CIM requests go on.
  if (server == 0 || !customerLanHasAddress() || serverAnswersPings(server)) return;
  locked([&] {
    // Only on the server checked: a lease of another may have come meanwhile.
    if (!routerSupervised() || CustomerLANIpConfig.leaseServerIdentifier.ipLong != server) return;
    dhcpCompLogEvent(DHCP_MSG_ROUTER_UNREACHABLE, CustomerLANIpConfig.leaseServerIdentifier.ipString);
    dhcpcompRenewDynamicIPAddress();
  });
}
