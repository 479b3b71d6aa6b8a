// Process-wide state of TavrelAgent, record start-up and release, the PID
// file and the shared discovery and range-check sequences.
#include "dhcpcompagent.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <syslog.h>
#include <unistd.h>

#include "VexShared.h"
#include "corvane.h"
#include "dhcpcomp.h"
#include "dhcpcompdaemon.h"
#include "torvo.h"

std::atomic<uint8_t> g_dhcpStopService{0};
uint8_t g_bCustomerLANWasDynamic;
uint8_t bTavrelJustStarted = 1;
OpenWBEM::LoggerRef logger;

// Lets limited broadcasts (255.255.255.255) leave through the customer LAN,
// where dhcpd answers clients that have no address yet.
#define BROADCAST_ROUTE_COMMAND "/sbin/route add -host 255.255.255.255 dev %s"

// Self-pipe that wakes the main loop's wait when a stop is requested; the
// stop callback may run in a signal handler on any thread.
static int g_stopWakeup[2] = {-1, -1};

void tavrelAgentStop(unsigned long) {
  g_dhcpStopService = 1;
  if (g_stopWakeup[1] >= 0) {
    int savedErrno = errno;
    ssize_t written = write(g_stopWakeup[1], "", 1);
    (void)written;  // a full pipe already holds a wake-up
    errno = savedErrno;
  }
}

int dhcpCompInitStopWakeup(void) {
  return pipe2(g_stopWakeup, O_CLOEXEC | O_NONBLOCK) == 0 ? 0 : errno;
}

void dhcpCompSleepUnlessStopped(unsigned seconds) {
  if (g_dhcpStopService) return;
  if (g_stopWakeup[0] < 0) {
    sleep(seconds);
    return;
  }
  struct pollfd wakeup = {g_stopWakeup[0], POLLIN, 0};
  poll(&wakeup, 1, static_cast<int>(seconds) * 1000);
}

void dhcpCompCreatePIDFile(int pid) {
  FILE* f = fopen(TAVREL_AGENT_PID_FILE, "w");
  if (f == nullptr) return;
  fprintf(f, "%d\n", pid);
  fclose(f);
}

int dhcpCompInit(void) {
  corvaneInitDHCPLANSemaphore();
  num_of_available_vlans = getNumberOfVlans(vlanlists, DHCP_MAX_VLANS);
  dhcpCompInitRecords();

  // The route may exist already; its status does not matter.
  if (corvaneIsValidInterfaceName(CustomerLANIpConfig.interfaceName))
    dhcpCompRunCommand(BROADCAST_ROUTE_COMMAND, CustomerLANIpConfig.interfaceName);
  return osIsCNICOnePresent(&g_bIntegratedRouterPresent);
}

void dhcpCompCleanupBeforeExit(void) {
  corvaneDeleteDHCPLANSemaphore();
  closelog();
  if (publishedIpCallbackEnabled) {
    publishedIpCallbackEnabled = 0;
    VexFreePublishedIPNotifyHandle(&publishedIpListenerID);
  }
}

void dhcpCompCleanup(void) {
  dhcpCompDeallocDhcpCompConfig(&CustomerLANDhcpCompConfig, true);
  dhcpCompDeallocDhcpCompConfig(&OAMLANDhcpCompConfig, false);
  for (int i = 0; i < num_of_available_vlans; ++i)
    dhcpCompDeallocDhcpCompConfig(&VLANDhcpCompConfig[i], true);
}

void dhcpCompDiscoverInterfaces(void) {
  dhcpCompGetInterfaceIPParams(&CustomerLANIpConfig);
  dhcpCompGetInterfaceIPParams(&OAMLANIpConfig);
  dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
  dhcpCompCalcIPNetwork(&OAMLANIpConfig);
  for (int i = 0; i < num_of_available_vlans; ++i) {
    dhcpCompGetInterfaceIPParams(&VLANIpConfig[i]);
    dhcpCompCalcIPNetwork(&VLANIpConfig[i]);
  }
}

void dhcpCompVerifyAllRangesInSubnets(void) {
  dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
  dhcpCompCalcIPNetwork(&OAMLANIpConfig);
  dhcpCompVerifyRangesInSubnet(&CustomerLANIpConfig, &CustomerLANDhcpCompConfig);
  dhcpCompVerifyRangesInSubnet(&OAMLANIpConfig, &OAMLANDhcpCompConfig);
  for (int i = 0; i < num_of_available_vlans; ++i) {
    dhcpCompCalcIPNetwork(&VLANIpConfig[i]);
    dhcpCompVerifyRangesInSubnet(&VLANIpConfig[i], &VLANDhcpCompConfig[i]);
  }
}
