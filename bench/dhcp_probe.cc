#include "dhcp_probe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foreign.h"

namespace tavrel::bench {

static const uint16_t kServerPort = 67;
static const uint16_t kClientPort = 68;
static const uint8_t kOptionSubnetMask = 1;
static const size_t kLargestDatagram = 1500;

DhcpProbe::DhcpProbe(const uint8_t mac[6], uint32_t firstXid, const char* namespaceVariable)
    : m_firstXid(firstXid), m_xid(firstXid) {
  memcpy(m_mac, mac, sizeof(m_mac));
  const char* ns = getenv(namespaceVariable);
  if (ns == nullptr) return;
  int own = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
  int lan = open((std::string("/run/netns/") + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (own >= 0 && lan >= 0 && setns(lan, CLONE_NEWNET) == 0) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int on = 1;
    const char bridge[] = "br0";
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(kClientPort);
    bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) == 0 &&
              setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
              setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, bridge, sizeof(bridge)) == 0 &&
              bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
    if (ok)
      m_fd = fd;
    else if (fd >= 0)
      close(fd);
    setns(own, CLONE_NEWNET);
  }
  if (own >= 0) close(own);
  if (lan >= 0) close(lan);
}

DhcpProbe::~DhcpProbe() {
  if (m_fd >= 0) close(m_fd);
}

void DhcpProbe::sendDiscover() {
  std::vector<uint8_t> packet = dhcpCompDiscoverMessage(m_mac, ++m_xid);
  sockaddr_in server = {};
  server.sin_family = AF_INET;
  server.sin_port = htons(kServerPort);
  server.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof(server));
}

bool DhcpProbe::isOffer(const uint8_t* dhcp, size_t length, uint32_t netmask) const {
  if (length < 8) return false;
  const uint32_t xid = static_cast<uint32_t>(dhcp[4] << 24 | dhcp[5] << 16 | dhcp[6] << 8 | dhcp[7]);
  if (xid - m_firstXid - 1 >= m_xid - m_firstXid) return false;  // not one of ours
  if (dhcpCompOfferedServer(dhcp, length, m_mac, xid, INADDR_BROADCAST) == 0) return false;
  if (netmask == 0) return true;
  bool matches = false;
  dhcpCompForEachOption(dhcp, length, [&](uint8_t code, const uint8_t* value, uint8_t size) {
    if (code == kOptionSubnetMask && size == sizeof(netmask)) matches = memcmp(value, &netmask, size) == 0;
  });
  return matches;
}

int DhcpProbe::receiveOffers(std::chrono::microseconds wait, uint32_t netmask) {
  pollfd p = {m_fd, POLLIN, 0};
  const timespec timeout = {static_cast<time_t>(wait.count() / 1000000),
                            static_cast<long>(wait.count() % 1000000 * 1000)};
  if (ppoll(&p, 1, &timeout, nullptr) <= 0) return 0;
  uint8_t buffer[kLargestDatagram];
  int offers = 0;
  ssize_t got;
  while ((got = recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0)
    if (isOffer(buffer, static_cast<size_t>(got), netmask)) ++offers;
  return offers;
}

bool DhcpProbe::waitForOffer(uint32_t netmask, std::chrono::milliseconds timeout,
                             std::chrono::milliseconds resend) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    sendDiscover();
    const Clock::time_point next = Clock::now() + resend;
    for (Clock::time_point now = Clock::now(); now < next; now = Clock::now())
      if (receiveOffers(std::chrono::duration_cast<std::chrono::microseconds>(next - now), netmask) > 0)
        return true;
  }
  return false;
}

}  // namespace tavrel::bench
