// Commit-to-serving latency, inside the appliance sandbox: the time from the
// call of dhcpCompCommitConfigurationChanges until the new dhcpd answers a
// DHCPDISCOVER sent from the customer LAN segment, for a small configuration
// (one LAN, one range, one reservation, the telephone classes). The probing
// client holds the reservation: an address from the pool would first be
// pinged by dhcpd (ping-check, one second), which is not the commit's cost. Prints the median, minimum and
// maximum over 20 commits and the number of failed restarts; exits 1 when a
// restart failed, 77 outside the sandbox.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "dhcpcompdaemon.h"
#include "dhcpd_test_support.h"
#include "model_test_support.h"
#include "sandbox_util.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kCommits = 20;
const double kGoalMedianMs = 60.0;
const auto kAnswerTimeout = std::chrono::seconds(5);
const int kResendMs = 2;

const uint16_t kServerPort = 67;
const uint16_t kClientPort = 68;
const size_t kBootpFixedSize = 236;
const uint8_t kCookie[4] = {99, 130, 83, 99};
const uint8_t kOptMessageType = 53;
const uint8_t kOptEnd = 255;
const uint8_t kDiscover = 1;
const uint8_t kOffer = 2;
const uint8_t kClientMac[6] = {0x02, 0x00, 0x00, 0x7a, 0x00, 0x01};

// A UDP socket on the client port of the LAN segment's bridge, made inside
// the segment's network namespace (a socket stays in the namespace it was
// created in).
int openProbeSocket() {
  const char* ns = getenv("APPLIANCE_NS_LAN");
  if (ns == nullptr) return -1;
  int own = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
  int lan = open((std::string("/run/netns/") + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (own < 0 || lan < 0 || setns(lan, CLONE_NEWNET) != 0) return -1;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int on = 1;
  const char bridge[] = "br0";
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_port = htons(kClientPort);
  bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) == 0 &&
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
            setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, bridge, sizeof(bridge)) == 0 &&
            bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
  setns(own, CLONE_NEWNET);
  close(own);
  close(lan);
  if (!ok && fd >= 0) close(fd);
  return ok ? fd : -1;
}

void sendDiscover(int fd, uint32_t xid) {
  uint8_t packet[kBootpFixedSize + 8] = {};
  packet[0] = 1;  // BOOTREQUEST
  packet[1] = 1;  // Ethernet
  packet[2] = sizeof(kClientMac);
  uint32_t netXid = htonl(xid);
  memcpy(packet + 4, &netXid, 4);
  packet[10] = 0x80;  // broadcast flag: the answer comes to 255.255.255.255
  memcpy(packet + 28, kClientMac, sizeof(kClientMac));
  uint8_t* options = packet + kBootpFixedSize;
  memcpy(options, kCookie, sizeof(kCookie));
  options[4] = kOptMessageType;
  options[5] = 1;
  options[6] = kDiscover;
  options[7] = kOptEnd;
  sockaddr_in server = {};
  server.sin_family = AF_INET;
  server.sin_port = htons(kServerPort);
  server.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  sendto(fd, packet, sizeof(packet), 0, reinterpret_cast<sockaddr*>(&server), sizeof(server));
}

// True when packet is a DHCPOFFER for our client (any transaction of ours).
bool isOfferForUs(const uint8_t* packet, ssize_t length) {
  if (length < static_cast<ssize_t>(kBootpFixedSize + 4) || packet[0] != 2 ||
      memcmp(packet + 28, kClientMac, sizeof(kClientMac)) != 0 ||
      memcmp(packet + kBootpFixedSize, kCookie, sizeof(kCookie)) != 0)
    return false;
  for (ssize_t i = kBootpFixedSize + 4; i + 2 < length && packet[i] != kOptEnd;) {
    if (packet[i] == 0) {
      ++i;
      continue;
    }
    if (packet[i] == kOptMessageType) return packet[i + 2] == kOffer;
    i += 2 + packet[i + 1];
  }
  return false;
}

void drain(int fd) {
  uint8_t buffer[1500];
  while (recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) {
  }
}

// Sends DISCOVERs until an OFFER comes back; false after the timeout.
bool waitForOffer(int fd, uint32_t* xid) {
  Clock::time_point deadline = Clock::now() + kAnswerTimeout;
  uint8_t buffer[1500];
  while (Clock::now() < deadline) {
    sendDiscover(fd, ++*xid);
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, kResendMs) <= 0) continue;
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0)
      if (isOfferForUs(buffer, got)) return true;
  }
  return false;
}

}  // namespace

int main() {
  if (!tavrel::sandbox::insideAppliance()) {
    fprintf(stderr, "dhcpd_commit_bench: runs only inside tests/sandbox/appliance\n");
    return 77;
  }
  dhcpCompInitProcessControl();
  model_test::resetModel();
  dhcpd_test::setUpApplianceRecords();
  dhcpd_test::addReservation(&CustomerLANDhcpCompConfig, 5, "192.168.1.50", "02:00:00:7A:00:01",
                             "bench-probe");
  int fd = openProbeSocket();
  if (fd < 0) {
    perror("dhcpd_commit_bench: probe socket on the LAN segment");
    return 1;
  }

  std::vector<double> latencies;
  int failed = 0;
  uint32_t xid = 0x7a000000;
  for (int i = 0; i < kCommits; ++i) {
    drain(fd);
    Clock::time_point start = Clock::now();
    int rc = dhcpCompCommitConfigurationChanges();
    bool answered = rc == 0 && waitForOffer(fd, &xid);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!answered) {
      ++failed;
      fprintf(stderr, "commit %d: %s\n", i + 1, rc != 0 ? "dhcpd did not start" : "no answer");
      continue;
    }
    latencies.push_back(ms);
  }
  dhcpCompKillDhcpDaemon();
  close(fd);

  std::sort(latencies.begin(), latencies.end());
  double median = 0;
  if (!latencies.empty()) {
    size_t n = latencies.size();
    median = n % 2 != 0 ? latencies[n / 2] : (latencies[n / 2 - 1] + latencies[n / 2]) / 2;
  }
  printf("commit-to-serving latency over %d commits: median %.1f ms, min %.1f ms, max %.1f ms, "
         "failed restarts %d (goal: median under %.0f ms, none failed: %s)\n",
         kCommits, median, latencies.empty() ? 0.0 : latencies.front(),
         latencies.empty() ? 0.0 : latencies.back(), failed, kGoalMedianMs,
         failed == 0 && median < kGoalMedianMs ? "met" : "NOT met");
  return failed == 0 ? 0 : 1;
}
