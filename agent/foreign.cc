// Detection of foreign DHCP servers on the customer LAN and its VLANs: a
// DHCPDISCOVER from a locally administered hardware address, broadcast on
// each interface, and the servers whose DHCPOFFERs come back. The appliance's
// own server, the server of the customer LAN's own lease and the integrated
// router are not foreign, but only when the offer's hardware address is
// theirs too: the interface's own, or the ARP entry of the router's address.
// A probe never sends a DHCPREQUEST, so it takes no address. What one probe
// can add and alarm is bounded, so a flood of forged offers neither fills
// the table nor buries a real server's alarm.
#include "foreign.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "agent.h"
#include "messages.h"
#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"
#include "worker.h"

namespace {

// BOOTP/DHCP wire format (RFC 2131, 2132).
const uint16_t kServerPort = 67;
const uint16_t kClientPort = 68;
const size_t kBootpFixedSize = 236;
const uint8_t kCookie[4] = {99, 130, 83, 99};
const uint8_t kBootRequest = 1;
const uint8_t kBootReply = 2;
const uint8_t kOptionPad = 0;
const uint8_t kOptionMessageType = 53;
const uint8_t kOptionServerId = 54;
const uint8_t kOptionParameters = 55;
const uint8_t kOptionVendorClass = 60;
const uint8_t kOptionEnd = 255;
const uint8_t kDiscover = 1;
const uint8_t kOffer = 2;
const uint16_t kBroadcastFlag = 0x8000;
const size_t kMaxDhcpPacket = 1500;

// Probes missed before a foreign server counts as gone.
const int kMissedProbesToClear = 3;
// Per probe: server identifiers taken from one sender hardware address, new
// servers taken into the table, alarms of each number raised, and distinct
// offers collected at all.
const size_t kMaxIdentitiesPerMac = 4;
const int kMaxNewServersPerProbe = 8;
const int kMaxAlarmsPerProbe = 8;
const size_t kMaxOffersPerProbe = 256;
// The kernel's ARP table; a few hundred entries at most on the appliance.
const char kArpTable[] = "/proc/net/arp";
const size_t kArpTableMax = 64 * 1024;
// A datagram to the discard port makes the kernel resolve an address.
const uint16_t kDiscardPort = 9;
// Fields of a line of the ARP table, and the flag of a complete entry.
const int kArpFields = 6;
const unsigned long kArpComplete = 0x2;
// How long a probe collects offers (dhcpd may ping an address for a second
// before it offers it).
const int kOfferWaitMs = 2000;

// One interface to probe, as it stood when the probe began.
struct Target {
  std::string name;
  uint32_t address = 0;
  int socket = -1;
};

struct Server {
  s_foreignServer record;
  int missed = 0;
};

// Foreign servers seen, by "<interface>:<address>". Guarded by the agent's
// lock, as the records are.
std::map<std::string, Server> s_servers;

uint16_t checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length % 2 != 0) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

}  // namespace

std::vector<uint8_t> dhcpCompDiscoverMessage(const uint8_t mac[6], uint32_t xid, const char* vendorClass) {
  std::vector<uint8_t> dhcp(kBootpFixedSize, 0);
  dhcp[0] = kBootRequest;
  dhcp[1] = 1;  // Ethernet
  dhcp[2] = 6;
  for (int i = 0; i < 4; ++i) dhcp[4 + i] = static_cast<uint8_t>(xid >> (24 - 8 * i));
  dhcp[10] = kBroadcastFlag >> 8;
  memcpy(&dhcp[28], mac, 6);
  dhcp.insert(dhcp.end(), kCookie, kCookie + 4);
  const uint8_t options[] = {kOptionMessageType, 1,         kDiscover, kOptionParameters, 3, 1, 3,
                             kOptionServerId,    kOptionEnd};
  dhcp.insert(dhcp.end(), options, options + sizeof(options) - 1);
  size_t vendorLength = vendorClass != nullptr ? std::min<size_t>(strlen(vendorClass), 255) : 0;
  if (vendorLength > 0) {
    dhcp.push_back(kOptionVendorClass);
    dhcp.push_back(static_cast<uint8_t>(vendorLength));
    dhcp.insert(dhcp.end(), vendorClass, vendorClass + vendorLength);
  }
  dhcp.push_back(kOptionEnd);
  if (dhcp.size() < 300) dhcp.resize(300, kOptionPad);  // the minimum many servers expect
  return dhcp;
}

std::vector<uint8_t> dhcpCompBuildDiscover(const uint8_t mac[6], uint32_t xid, const char* vendorClass) {
  return dhcpCompBroadcastDatagram(dhcpCompDiscoverMessage(mac, xid, vendorClass));
}

std::vector<uint8_t> dhcpCompBroadcastDatagram(const std::vector<uint8_t>& dhcp) {
  std::vector<uint8_t> packet(sizeof(struct iphdr) + sizeof(struct udphdr) + dhcp.size());
  struct iphdr ip;
  memset(&ip, 0, sizeof(ip));
  ip.version = 4;
  ip.ihl = 5;
  ip.tot_len = htons(static_cast<uint16_t>(packet.size()));
  ip.ttl = 64;
  ip.protocol = IPPROTO_UDP;
  ip.saddr = htonl(INADDR_ANY);
  ip.daddr = htonl(INADDR_BROADCAST);
  ip.check = htons(checksum(reinterpret_cast<const uint8_t*>(&ip), sizeof(ip)));
  memcpy(packet.data(), &ip, sizeof(ip));
  struct udphdr udp;
  memset(&udp, 0, sizeof(udp));
  udp.source = htons(kClientPort);
  udp.dest = htons(kServerPort);
  udp.len = htons(static_cast<uint16_t>(sizeof(udp) + dhcp.size()));
  // An IPv4 UDP checksum of zero means none.
  memcpy(packet.data() + sizeof(ip), &udp, sizeof(udp));
  memcpy(packet.data() + sizeof(ip) + sizeof(udp), dhcp.data(), dhcp.size());
  return packet;
}

const uint8_t* dhcpCompClientPayload(const uint8_t* packet, size_t length, size_t* dhcpLength,
                                     uint32_t* sender) {
  if (length < sizeof(struct iphdr)) return nullptr;
  struct iphdr ip;
  memcpy(&ip, packet, sizeof(ip));
  size_t ipLength = ip.ihl * 4u;
  if (ip.version != 4 || ip.protocol != IPPROTO_UDP || ipLength < sizeof(ip) ||
      length < ipLength + sizeof(struct udphdr))
    return nullptr;
  struct udphdr udp;
  memcpy(&udp, packet + ipLength, sizeof(udp));
  if (ntohs(udp.dest) != kClientPort) return nullptr;
  *dhcpLength = length - ipLength - sizeof(udp);
  *sender = ntohl(ip.saddr);
  return packet + ipLength + sizeof(udp);
}

uint32_t dhcpCompOfferingServer(const uint8_t* packet, size_t length, const uint8_t mac[6], uint32_t xid) {
  size_t dhcpLength = 0;
  uint32_t sender = 0;
  const uint8_t* dhcp = dhcpCompClientPayload(packet, length, &dhcpLength, &sender);
  return dhcp == nullptr ? 0 : dhcpCompOfferedServer(dhcp, dhcpLength, mac, xid, sender);
}

uint32_t dhcpCompOfferedServer(const uint8_t* dhcp, size_t dhcpLength, const uint8_t mac[6], uint32_t xid,
                               uint32_t sender) {
  if (dhcpLength < kBootpFixedSize + sizeof(kCookie)) return 0;
  uint32_t theirXid = static_cast<uint32_t>(dhcp[4] << 24 | dhcp[5] << 16 | dhcp[6] << 8 | dhcp[7]);
  if (dhcp[0] != kBootReply || theirXid != xid || memcmp(dhcp + 28, mac, 6) != 0 ||
      memcmp(dhcp + kBootpFixedSize, kCookie, sizeof(kCookie)) != 0)
    return 0;
  uint8_t type = 0;
  uint32_t server = sender;
  dhcpCompForEachOption(dhcp, dhcpLength, [&](uint8_t code, const uint8_t* value, uint8_t size) {
    if (code == kOptionMessageType && size == 1) type = value[0];
    if (code == kOptionServerId && size == 4)
      server = static_cast<uint32_t>(value[0] << 24 | value[1] << 16 | value[2] << 8 | value[3]);
  });
  return type == kOffer ? server : 0;
}

void dhcpCompForEachOption(const uint8_t* dhcp, size_t dhcpLength,
                           const std::function<void(uint8_t, const uint8_t*, uint8_t)>& each) {
  for (size_t at = kBootpFixedSize + sizeof(kCookie); at < dhcpLength;) {
    uint8_t code = dhcp[at];
    if (code == kOptionEnd) break;
    if (code == kOptionPad) {
      ++at;
      continue;
    }
    if (at + 1 >= dhcpLength || at + 2 + dhcp[at + 1] > dhcpLength) break;
    uint8_t size = dhcp[at + 1];
    each(code, dhcp + at + 2, size);
    at += 2u + size;
  }
}

// "IP address       HW type     Flags       HW address            Mask     Device"
// then one line per entry, fields separated by blanks.
int dhcpCompArpHardwareAddress(const char* text, const std::string& interfaceName, uint32_t address,
                               char* mac) {
  if (text == nullptr || mac == nullptr) return 0;
  const char* line = strchr(text, '\n');
  while (line != nullptr && *line != '\0') {
    ++line;
    const char* end = dhcpUtilLineEnd(line);
    std::string fields[kArpFields];
    int count = 0;
    for (const char* p = line; p < end && count < kArpFields;) {
      while (p < end && (*p == ' ' || *p == '\t')) ++p;
      const char* start = p;
      while (p < end && *p != ' ' && *p != '\t') ++p;
      if (p > start) fields[count++].assign(start, static_cast<size_t>(p - start));
    }
    line = *end == '\n' ? end : nullptr;
    struct in_addr parsed;
    char* flagsEnd = nullptr;
    unsigned long flags = count == kArpFields ? strtoul(fields[2].c_str(), &flagsEnd, 16) : 0;
    if (count != kArpFields || fields[5] != interfaceName || (flags & kArpComplete) == 0 ||
        inet_pton(AF_INET, fields[0].c_str(), &parsed) != 1 || ntohl(parsed.s_addr) != address ||
        fields[3].size() >= DHCP_MAC_ADDR_SIZE)
      continue;
    char hardware[DHCP_MAC_ADDR_SIZE];
    snprintf(hardware, sizeof(hardware), "%s", fields[3].c_str());
    if (dhcpUtilNormaliseMacAddr(hardware) != DHCP_RC_OK || !dhcpUtilIsUnicastMacAddr(hardware)) continue;
    memcpy(mac, hardware, sizeof(hardware));
    return 1;
  }
  return 0;
}

std::vector<DhcpOffer> dhcpCompSelectForeignOffers(const std::vector<DhcpOffer>& offers,
                                                   const std::vector<DhcpServerIdentity>& known,
                                                   size_t* dropped) {
  std::vector<DhcpOffer> foreign;
  std::map<std::string, size_t> identitiesOfMac;
  for (const DhcpOffer& offer : offers) {
    bool ours = false;
    for (const DhcpServerIdentity& k : known)
      ours =
          ours || (k.interfaceName == offer.interfaceName && k.address == offer.server && k.mac == offer.mac);
    if (ours) continue;
    bool repeated = false;
    for (const DhcpOffer& taken : foreign)
      repeated = repeated || (taken.interfaceName == offer.interfaceName && taken.server == offer.server &&
                              strcmp(taken.mac, offer.mac) == 0);
    if (repeated) continue;
    if (++identitiesOfMac[offer.mac] > kMaxIdentitiesPerMac) {
      if (dropped != nullptr) ++*dropped;
      continue;
    }
    foreign.push_back(offer);
  }
  return foreign;
}

namespace {

// A packet socket of one protocol sees only the frames that arrive; one of
// ETH_P_ALL also those the host itself sends, the offers of the appliance's
// own dhcpd among them (the liveness probe and the self-test wait for those).
int openProbeSocket(const std::string& interfaceName) {
  unsigned index = if_nametoindex(interfaceName.c_str());
  if (index == 0) return -1;
  int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, htons(ETH_P_ALL));
  if (fd < 0) return -1;
  struct sockaddr_ll link;
  memset(&link, 0, sizeof(link));
  link.sll_family = AF_PACKET;
  link.sll_protocol = htons(ETH_P_ALL);
  link.sll_ifindex = static_cast<int>(index);
  if (bind(fd, reinterpret_cast<struct sockaddr*>(&link), sizeof(link)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool sendDiscover(int fd, const std::string& interfaceName, const std::vector<uint8_t>& packet) {
  struct sockaddr_ll to;
  memset(&to, 0, sizeof(to));
  to.sll_family = AF_PACKET;
  to.sll_protocol = htons(ETH_P_IP);
  to.sll_ifindex = static_cast<int>(if_nametoindex(interfaceName.c_str()));
  to.sll_halen = ETH_ALEN;
  memset(to.sll_addr, 0xff, ETH_ALEN);
  return sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<struct sockaddr*>(&to), sizeof(to)) ==
         static_cast<ssize_t>(packet.size());
}

void formatMac(const uint8_t* mac, char* out, size_t size) {
  snprintf(out, size, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

// Current time as a CIM date-time text (UTC).
void nowAsDateTime(char* out, size_t size) {
  time_t now = time(nullptr);
  struct tm utc;
  gmtime_r(&now, &utc);
  strftime(out, size, "%Y%m%d%H%M%S.000000+000", &utc);
}

// The interface's own hardware address; empty when it cannot be read.
std::string interfaceMac(int fd, const std::string& interfaceName) {
  struct ifreq request;
  memset(&request, 0, sizeof(request));
  snprintf(request.ifr_name, sizeof(request.ifr_name), "%s", interfaceName.c_str());
  if (ioctl(fd, SIOCGIFHWADDR, &request) != 0) return std::string();
  char mac[DHCP_MAC_ADDR_SIZE];
  formatMac(reinterpret_cast<const uint8_t*>(request.ifr_hwaddr.sa_data), mac, sizeof(mac));
  return mac;
}

// The text of the ARP table, at most kArpTableMax bytes.
std::string readArpTable() {
  std::string text;
  FILE* fp = fopen(kArpTable, "re");
  if (fp == nullptr) return text;
  char buffer[4096];
  size_t got;
  while (text.size() < kArpTableMax && (got = fread(buffer, 1, sizeof(buffer), fp)) > 0)
    text.append(buffer, got < kArpTableMax - text.size() ? got : kArpTableMax - text.size());
  fclose(fp);
  return text;
}

// Sends one datagram to address from interfaceName, so that the kernel
// resolves its hardware address while the probe waits.
void resolveAddress(const std::string& interfaceName, uint32_t address) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  struct sockaddr_in to;
  memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons(kDiscardPort);
  to.sin_addr.s_addr = htonl(address);
  if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                 static_cast<socklen_t>(interfaceName.size())) == 0)
    sendto(fd, "", 0, 0, reinterpret_cast<struct sockaddr*>(&to), sizeof(to));
  close(fd);
}

template <typename Alarm>
void alarm(Alarm which, const s_foreignServer& s) {
  dhcpCompRaiseAlarm(which, s.serverAddress.ipString, s.serverMACAddress, s.interfaceName);
}

}  // namespace

std::vector<DhcpProbeTarget> dhcpCompForeignServerProbeTargets(void) {
  std::vector<DhcpProbeTarget> targets;
  std::vector<uint32_t> router;
  auto addRouter = [&router](uint32_t address) {
    if (address != 0) router.push_back(address);
  };
  addRouter(CustomerLANIpConfig.leaseServerIdentifier.ipLong);
  if (g_bIntegratedRouterPresent) {
    addRouter(CustomerLANDhcpCompConfig.defaultGateway.ipLong);
    addRouter(CustomerLANIpConfig.leaseRouter.ipLong);
  }
  auto add = [&](const s_ethIpConfig& eth) {
    if (eth.ipAddress.ipLong == 0) return;
    DhcpProbeTarget t;
    t.interfaceName = eth.interfaceName;
    t.ownAddress = eth.ipAddress.ipLong;
    t.routerAddresses = router;
    targets.push_back(t);
  };
  add(CustomerLANIpConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) add(VLANIpConfig[i]);
  return targets;
}

std::vector<DhcpOffer> dhcpCompProbeForeignServers(const std::vector<DhcpProbeTarget>& targets, int waitMs,
                                                   size_t* dropped, const char* vendorClass) {
  std::random_device entropy;
  uint32_t xid = entropy();
  // Locally administered, unicast: 02:xx:xx:xx:xx:xx.
  uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0};
  uint32_t bits = entropy();
  for (int i = 0; i < 4; ++i) mac[2 + i] = static_cast<uint8_t>(bits >> (8 * i));
  mac[1] = static_cast<uint8_t>(entropy());

  std::vector<uint8_t> packet = dhcpCompBuildDiscover(mac, xid, vendorClass);
  std::vector<struct pollfd> fds;
  std::vector<const DhcpProbeTarget*> of;
  std::vector<DhcpServerIdentity> known;
  std::string arp = readArpTable();
  for (const DhcpProbeTarget& t : targets) {
    int fd = openProbeSocket(t.interfaceName);
    if (fd < 0) {
      syslog(LOG_ERR, "Cannot probe %s for DHCP servers: %s", t.interfaceName.c_str(), strerror(errno));
      continue;
    }
    known.push_back({t.interfaceName, t.ownAddress, interfaceMac(fd, t.interfaceName)});
    char routerMac[DHCP_MAC_ADDR_SIZE];
    for (uint32_t address : t.routerAddresses)
      if (!dhcpCompArpHardwareAddress(arp.c_str(), t.interfaceName, address, routerMac))
        resolveAddress(t.interfaceName, address);
    if (!sendDiscover(fd, t.interfaceName, packet)) {
      close(fd);
      continue;
    }
    fds.push_back({fd, POLLIN, 0});
    of.push_back(&t);
  }
  std::vector<DhcpOffer> offers;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!fds.empty()) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    int ready = poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      uint8_t buffer[kMaxDhcpPacket];
      struct sockaddr_ll from;
      socklen_t fromLength = sizeof(from);
      ssize_t got;
      while ((got = recvfrom(fds[i].fd, buffer, sizeof(buffer), 0, reinterpret_cast<struct sockaddr*>(&from),
                             &fromLength)) > 0) {
        uint32_t server = dhcpCompOfferingServer(buffer, static_cast<size_t>(got), mac, xid);
        fromLength = sizeof(from);
        if (server == 0) continue;
        DhcpOffer offer;
        offer.interfaceName = of[i]->interfaceName;
        offer.server = server;
        formatMac(from.sll_addr, offer.mac, sizeof(offer.mac));
        bool repeated = false;
        for (const DhcpOffer& o : offers)
          repeated = repeated || (o.server == server && o.interfaceName == offer.interfaceName &&
                                  strcmp(o.mac, offer.mac) == 0);
        if (repeated) continue;
        if (offers.size() >= kMaxOffersPerProbe) {
          if (dropped != nullptr) ++*dropped;
          continue;
        }
        offers.push_back(offer);
      }
    }
  }
  for (const struct pollfd& p : fds) close(p.fd);

  // The router's hardware address as the kernel resolved it meanwhile.
  arp = readArpTable();
  for (const DhcpProbeTarget* t : of) {
    char routerMac[DHCP_MAC_ADDR_SIZE];
    for (uint32_t address : t->routerAddresses)
      if (dhcpCompArpHardwareAddress(arp.c_str(), t->interfaceName, address, routerMac))
        for (uint32_t claimed : t->routerAddresses) known.push_back({t->interfaceName, claimed, routerMac});
  }
  return dhcpCompSelectForeignOffers(offers, known, dropped);
}

void dhcpCompRecordForeignServers(const std::vector<DhcpProbeTarget>& targets,
                                  const std::vector<DhcpOffer>& offers, size_t dropped) {
  char now[DHCP_LEASE_TIME_TEXT_SIZE];
  nowAsDateTime(now, sizeof(now));
  std::map<std::string, bool> seen;
  int added = 0;
  for (const DhcpOffer& offer : offers) {
    s_ipAddr address;
    memset(&address, 0, sizeof(address));
    address.ipLong = offer.server;
    dhcpUtilConvertIPAddrLongtoIPAddr(&address);
    std::string key = offer.interfaceName + ":" + address.ipString;
    auto found = s_servers.find(key);
    if (found == s_servers.end() &&
        (added >= kMaxNewServersPerProbe || s_servers.size() >= DHCP_MAX_FOREIGN_SERVERS)) {
      ++dropped;
      continue;
    }
    seen[key] = true;
    Server& server = s_servers[key];
    s_foreignServer& r = server.record;
    server.missed = 0;
    snprintf(r.lastSeen, sizeof(r.lastSeen), "%s", now);
    snprintf(r.serverMACAddress, sizeof(r.serverMACAddress), "%s", offer.mac);
    if (found != s_servers.end()) continue;
    ++added;
    snprintf(r.instanceID, sizeof(r.instanceID), "%s", key.c_str());
    snprintf(r.interfaceName, sizeof(r.interfaceName), "%s", offer.interfaceName.c_str());
    r.serverAddress = address;
    snprintf(r.firstSeen, sizeof(r.firstSeen), "%s", now);
    alarm(DHCP_ALARM_FOREIGN_SERVER, r);
  }
  // A server of a probed interface that did not answer three probes in a row
  // is gone; one of an interface no longer probed as well.
  int goneAlarms = 0, goneSilently = 0;
  for (auto it = s_servers.begin(); it != s_servers.end();) {
    bool probed = false;
    for (const DhcpProbeTarget& t : targets)
      probed = probed || t.interfaceName == it->second.record.interfaceName;
    if (seen.count(it->first) != 0 || (probed && ++it->second.missed < kMissedProbesToClear)) {
      ++it;
      continue;
    }
    if (goneAlarms++ < kMaxAlarmsPerProbe)
      alarm(DHCP_ALARM_FOREIGN_SERVER_GONE, it->second.record);
    else
      ++goneSilently;
    it = s_servers.erase(it);
  }
  if (dropped > 0) dhcpCompRaiseAlarm(DHCP_ALARM_FOREIGN_OFFERS_DROPPED, dropped);
  if (goneSilently > 0) dhcpCompRaiseAlarm(DHCP_ALARM_FOREIGN_SERVERS_GONE, goneSilently);
}

int dhcpCompOpenDhcpProbe(const std::string& interfaceName, const std::vector<uint8_t>& datagram) {
  int fd = openProbeSocket(interfaceName);
  if (fd < 0) return -1;
  if (!sendDiscover(fd, interfaceName, datagram)) {
    int rc = errno;
    close(fd);
    errno = rc;
    return -1;
  }
  return fd;
}

int dhcpCompCollectForeignServers(s_foreignServer* out, int max) {
  int count = 0;
  for (const auto& entry : s_servers) {
    if (count >= max) break;
    out[count++] = entry.second.record;
  }
  return count;
}

namespace {

DhcpCompWorker s_prober;

void probePeriodically(DhcpCompWorker& worker, unsigned intervalSeconds, const DhcpCompLocked& locked) {
  using Clock = std::chrono::steady_clock;
  for (;;) {
    std::vector<DhcpProbeTarget> targets;
    locked([&targets] { targets = dhcpCompForeignServerProbeTargets(); });
    size_t dropped = 0;
    std::vector<DhcpOffer> offers = dhcpCompProbeForeignServers(targets, kOfferWaitMs, &dropped);
    locked([&] { dhcpCompRecordForeignServers(targets, offers, dropped); });
    Clock::time_point next = Clock::now() + std::chrono::seconds(intervalSeconds);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
      if (left.count() <= 0) break;
      DhcpCompWorker::Event event = worker.wait(-1, static_cast<int>(left.count()));
      if (event == DhcpCompWorker::kStopped) return;
      if (event == DhcpCompWorker::kWoken) break;
    }
  }
}

}  // namespace

int dhcpCompStartForeignServerProbes(unsigned intervalSeconds, DhcpCompLocked locked) {
  return s_prober.start([intervalSeconds, locked](DhcpCompWorker& worker) {
    probePeriodically(worker, intervalSeconds, locked);
  });
}

void dhcpCompRequestForeignServerProbe(void) {
  s_prober.wake();
}

void dhcpCompStopForeignServerProbes(void) {
  s_prober.stop();
}
