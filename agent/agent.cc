// Process-wide state of TavrelAgent, record start-up and release, the PID
// file and the shared discovery and range-check sequences.
#include "agent.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>

#include "VexShared.h"
#include "commit.h"
#include "corvane.h"
#include "directory_watch.h"
#include "model/interface.h"
#include "model/ranges.h"
#include "model/records.h"
#include "process.h"
#include "torvo.h"

std::atomic<uint8_t> g_dhcpStopService{0};
std::atomic<uint8_t> g_dhcpReloadRequested{0};
uint8_t g_bCustomerLANWasDynamic;
uint8_t bTavrelJustStarted = 1;
OpenWBEM::LoggerRef logger;

// Lets limited broadcasts (255.255.255.255) leave through the customer LAN,
// where dhcpd answers clients that have no address yet.
#define BROADCAST_ROUTE_COMMAND "/sbin/route add -host 255.255.255.255 dev %s"
static const char kRouteTable[] = "/proc/net/route";
static const char kBroadcastDestination[] = "FFFFFFFF";
// A line of the table is about 130 characters; names and hexadecimal fields
// are far shorter than 20.
static const size_t kRouteLineSize = 256;
static const size_t kRouteFieldSize = 20;

// Self-pipe that wakes the main loop's wait when a stop is requested; the
// stop callback may run in a signal handler on any thread.
static int g_stopWakeup[2] = {-1, -1};

// Watch of the flag file's directory: a change is acted on at once, not only
// at the next pass.
static DirectoryWatch g_flagWatch("/pq/etc", {"ipchnged.tmp"});

// Ends the main loop's wait; safe in a signal handler.
static void wakeMainLoop() {
  if (g_stopWakeup[1] >= 0) {
    int savedErrno = errno;
    ssize_t written = write(g_stopWakeup[1], "", 1);
    (void)written;  // a full pipe already holds a wake-up
    errno = savedErrno;
  }
}

void tavrelAgentStop(unsigned long) {
  g_dhcpStopService = 1;
  wakeMainLoop();
}

void dhcpCompRequestReload(void) {
  g_dhcpReloadRequested = 1;
  wakeMainLoop();
}

int dhcpCompInitStopWakeup(void) {
  return pipe2(g_stopWakeup, O_CLOEXEC | O_NONBLOCK) == 0 ? 0 : errno;
}

int dhcpCompInitFlagWatch(void) {
  return g_flagWatch.open();
}

bool dhcpCompWaitForFlagOrStop(unsigned milliseconds) {
  // poll() skips a descriptor that is not open (-1): without either, the
  // wait is a plain sleep.
  struct pollfd fds[2] = {{g_stopWakeup[0], POLLIN, 0}, {g_flagWatch.fd(), POLLIN, 0}};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || g_dhcpStopService || g_dhcpReloadRequested) return false;
    int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char wakeups[64];
    while (read(g_stopWakeup[0], wakeups, sizeof(wakeups)) > 0) {}
    if (g_flagWatch.changed()) return true;
  }
}

void dhcpCompCreatePIDFile(int pid) {
  FILE* f = fopen(TAVREL_AGENT_PID_FILE, "w");
  if (f == nullptr) return;
  fprintf(f, "%d\n", pid);
  fclose(f);
}

// True when the kernel's routing table (/proc/net/route: interface,
// destination and gateway in hexadecimal, flags, ...) holds the broadcast
// host route through the interface. An IP change need not run the command
// again then.
static bool broadcastRouteExists(const char* interfaceName) {
  // /proc files have no size: read by line.
  FILE* table = fopen(kRouteTable, "r");
  if (table == nullptr) return false;
  bool found = false;
  char line[kRouteLineSize];
  while (!found && fgets(line, sizeof(line), table) != nullptr) {
    char name[kRouteFieldSize];
    char destination[kRouteFieldSize];
    if (sscanf(line, "%19s %19s", name, destination) == 2)
      found = strcmp(name, interfaceName) == 0 && strcmp(destination, kBroadcastDestination) == 0;
  }
  fclose(table);
  return found;
}

int dhcpCompInit(void) {
  corvaneInitDHCPLANSemaphore();
  num_of_available_vlans = getNumberOfVlans(vlanlists, DHCP_MAX_VLANS);
  dhcpCompInitRecords();

  if (corvaneIsValidInterfaceName(CustomerLANIpConfig.interfaceName) &&
      !broadcastRouteExists(CustomerLANIpConfig.interfaceName))
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
