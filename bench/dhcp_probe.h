// A DHCP client on a LAN segment of the appliance sandbox, speaking with the
// agent's own message code (dhcpCompDiscoverMessage, dhcpCompOfferedServer):
// it broadcasts DHCPDISCOVERs and recognises the DHCPOFFERs to it.
#pragma once

#include <stdint.h>

#include <chrono>

namespace tavrel::bench {

class DhcpProbe {
 public:
  // A UDP socket on the client port of the segment's bridge (br0), made
  // inside the network namespace named by the environment variable (a
  // socket stays in the namespace it was created in). The hardware address
  // should hold a reservation, so that dhcpd answers without first pinging
  // a pool address.
  DhcpProbe(const uint8_t mac[6], uint32_t firstXid, const char* namespaceVariable = "APPLIANCE_NS_LAN");
  ~DhcpProbe();
  DhcpProbe(const DhcpProbe&) = delete;
  DhcpProbe& operator=(const DhcpProbe&) = delete;

  bool isOpen() const { return m_fd >= 0; }
  // Broadcasts a DHCPDISCOVER with the next transaction id.
  void sendDiscover();
  // Waits up to wait for something to arrive, then reads all there is: the
  // number of DHCPOFFERs to the probe for one of its transactions (with
  // that subnet mask, in network order, when not 0).
  int receiveOffers(std::chrono::microseconds wait, uint32_t netmask = 0);
  // Sends a DHCPDISCOVER every resend until such an offer comes or timeout
  // has passed; true when one came.
  bool waitForOffer(uint32_t netmask = 0, std::chrono::milliseconds timeout = std::chrono::seconds(5),
                    std::chrono::milliseconds resend = std::chrono::milliseconds(2));

 private:
  bool isOffer(const uint8_t* dhcp, size_t length, uint32_t netmask) const;

  int m_fd = -1;
  uint8_t m_mac[6];
  uint32_t m_firstXid;
  uint32_t m_xid;
};

}  // namespace tavrel::bench
