// The DHCP self-test (see selftest.h): the foreign-server probe's
// DHCPDISCOVER with a vendor class and a full parameter request list, and a
// reader of the offers that keeps what a telephone would be given.
#include "selftest.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "foreign.h"
#include "model/records.h"
#include "model/result.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

// BOOTP/DHCP wire format (RFC 2131, 2132) as far as the offers are read.
const size_t kBootpFixedSize = 236;
const size_t kOptionsStart = kBootpFixedSize + 4;  // after the magic cookie
const size_t kYiaddrOffset = 16;
const uint8_t kOptionPad = 0;
const uint8_t kOptionMask = 1;
const uint8_t kOptionRouters = 3;
const uint8_t kOptionDns = 6;
const uint8_t kOptionLeaseTime = 51;
const uint8_t kOptionParameters = 55;
const uint8_t kOptionVendorClass = 60;
const uint8_t kOptionCallServers = 128;
const uint8_t kOptionTftpServer = 151;
const uint8_t kOptionVlans = 191;
const uint8_t kOptionEnd = 255;
// Longest vendor class an option can carry.
const size_t kMaxVendorClass = 255;
const size_t kMaxDhcpPacket = 1500;
// How long the offers are collected (dhcpd may ping an address for a second
// before it offers it).
const int kOfferWaitMs = 2000;
// Offers kept at most (every server answers once; more is noise).
const size_t kMaxOffers = 32;

std::string dotted(const uint8_t* p) {
  char text[INET_ADDRSTRLEN];
  snprintf(text, sizeof(text), "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
  return text;
}

// Addresses of an option joined by ","; empty when its length is no
// multiple of four.
std::string addresses(const uint8_t* value, size_t size) {
  std::string out;
  if (size == 0 || size % 4 != 0) return out;
  for (size_t i = 0; i < size; i += 4) out += (i == 0 ? "" : ",") + dotted(value + i);
  return out;
}

// An option as text: printable ASCII as it is, four-byte multiples as
// addresses, anything else in hexadecimal.
std::string optionText(const uint8_t* value, size_t size) {
  if (std::all_of(value, value + size, [](uint8_t c) { return c >= 0x20 && c < 0x7f; }))
    return std::string(reinterpret_cast<const char*>(value), size);
  if (size % 4 == 0 && size > 0) return addresses(value, size);
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    char byte[4];
    snprintf(byte, sizeof(byte), "%s%02x", i == 0 ? "" : ":", value[i]);
    hex += byte;
  }
  return hex;
}

// The record of a LAN interface the self-test may run on; null for others.
const s_ethIpConfig* lanOf(const std::string& name) {
  if (name == CustomerLANIpConfig.interfaceName) return &CustomerLANIpConfig;
  if (name == OAMLANIpConfig.interfaceName) return &OAMLANIpConfig;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    if (name == VLANIpConfig[i].interfaceName) return &VLANIpConfig[i];
  return nullptr;
}

bool parseMac(const std::string& text, uint8_t mac[6]) {
  char normal[DHCP_MAC_ADDR_SIZE];
  if (text.size() >= sizeof(normal)) return false;
  snprintf(normal, sizeof(normal), "%s", text.c_str());
  if (dhcpUtilNormaliseMacAddr(normal) != 0) return false;
  unsigned b[6];
  if (sscanf(normal, "%02X:%02X:%02X:%02X:%02X:%02X", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6)
    return false;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(b[i]);
  return true;
}

}  // namespace

std::vector<uint8_t> dhcpCompSelfTestDiscover(const uint8_t mac[6], uint32_t xid,
                                              const std::string& vendorClass) {
  std::vector<uint8_t> dhcp = dhcpCompDiscoverMessage(mac, xid);
  // The probe's message up to its options, then the self-test's own.
  dhcp.resize(kOptionsStart);
  const uint8_t type[] = {53, 1, 1};
  dhcp.insert(dhcp.end(), type, type + sizeof(type));
  const uint8_t wanted[] = {kOptionMask,        kOptionRouters,    kOptionDns,   15, kOptionLeaseTime, 54,
                            kOptionCallServers, kOptionTftpServer, kOptionVlans, 66};
  dhcp.push_back(kOptionParameters);
  dhcp.push_back(sizeof(wanted));
  dhcp.insert(dhcp.end(), wanted, wanted + sizeof(wanted));
  if (!vendorClass.empty()) {
    size_t size = vendorClass.size() < kMaxVendorClass ? vendorClass.size() : kMaxVendorClass;
    dhcp.push_back(kOptionVendorClass);
    dhcp.push_back(static_cast<uint8_t>(size));
    dhcp.insert(dhcp.end(), vendorClass.begin(), vendorClass.begin() + static_cast<long>(size));
  }
  dhcp.push_back(kOptionEnd);
  if (dhcp.size() < 300) dhcp.resize(300, kOptionPad);
  return dhcp;
}

bool dhcpCompReadSelfTestOffer(const uint8_t* dhcp, size_t length, const uint8_t mac[6], uint32_t xid,
                               uint32_t sender, uint32_t ownAddress, DhcpSelfTestOffer* offer) {
  uint32_t server = dhcpCompOfferedServer(dhcp, length, mac, xid, sender);
  if (server == 0) return false;
  *offer = DhcpSelfTestOffer();
  uint8_t serverBytes[4] = {static_cast<uint8_t>(server >> 24), static_cast<uint8_t>(server >> 16),
                            static_cast<uint8_t>(server >> 8), static_cast<uint8_t>(server)};
  offer->serverAddress = dotted(serverBytes);
  offer->ownServer = server == ownAddress;
  offer->offeredAddress = dotted(dhcp + kYiaddrOffset);
  // dhcpCompOfferedServer has checked the message's fixed part and cookie.
  dhcpCompForEachOption(dhcp, length, [offer](uint8_t code, const uint8_t* value, uint8_t size) {
    switch (code) {
      case kOptionMask:
        offer->subnetMask = addresses(value, size);
        break;
      case kOptionRouters:
        offer->routers = addresses(value, size);
        break;
      case kOptionDns:
        offer->dnsServers = addresses(value, size);
        break;
      case kOptionLeaseTime:
        if (size == 4)
          offer->leaseTime =
              static_cast<uint32_t>(value[0] << 24 | value[1] << 16 | value[2] << 8 | value[3]);
        break;
      case kOptionCallServers:
        offer->option128 = optionText(value, size);
        break;
      case kOptionVlans:
        offer->option191 = optionText(value, size);
        break;
      case kOptionTftpServer:
        offer->option151 = optionText(value, size);
        break;
      default:
        break;
    }
  });
  return true;
}

int dhcpCompTestDhcpService(const std::string& interfaceName, const std::string& vendorClass,
                            const std::string& macAddress, std::vector<DhcpSelfTestOffer>* offers,
                            std::string* why) {
  offers->clear();
  const s_ethIpConfig* lan = lanOf(interfaceName);
  if (lan == nullptr || lan->ipAddress.ipLong == 0) {
    *why = "no LAN " + interfaceName + " with an address (eth1, a VLAN of eth1 or eth2)";
    return DHCP_RC_NO_LAN;
  }
  std::random_device entropy;
  uint8_t mac[6] = {0x02, 0, 0, 0, 0, 0};  // locally administered, unicast
  if (!macAddress.empty()) {
    if (!parseMac(macAddress, mac)) {
      *why = "\"" + macAddress + "\" is no hardware address";
      return DHCP_RC_INVALID_MAC;
    }
  } else {
    uint32_t bits = entropy();
    for (int i = 0; i < 4; ++i) mac[2 + i] = static_cast<uint8_t>(bits >> (8 * i));
    mac[1] = static_cast<uint8_t>(entropy());
  }
  uint32_t xid = entropy();
  int fd = dhcpCompOpenDhcpProbe(interfaceName,
                                 dhcpCompBroadcastDatagram(dhcpCompSelfTestDiscover(mac, xid, vendorClass)));
  if (fd < 0) {
    int rc = errno;
    *why = "cannot send on " + interfaceName + ": " + strerror(rc);
    return rc;
  }
  const uint32_t own = lan->ipAddress.ipLong;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOfferWaitMs);
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    struct pollfd p = {fd, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    uint8_t packet[kMaxDhcpPacket];
    ssize_t got;
    while ((got = recv(fd, packet, sizeof(packet), 0)) > 0) {
      size_t length = 0;
      uint32_t sender = 0;
      const uint8_t* dhcp = dhcpCompClientPayload(packet, static_cast<size_t>(got), &length, &sender);
      DhcpSelfTestOffer offer;
      if (dhcp != nullptr && dhcpCompReadSelfTestOffer(dhcp, length, mac, xid, sender, own, &offer) &&
          offers->size() < kMaxOffers)
        offers->push_back(offer);
    }
  }
  close(fd);
  return DHCP_RC_OK;
}
