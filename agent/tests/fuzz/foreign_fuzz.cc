// Fuzz target of the foreign-server probe's and the self-test's readers of
// outside input: any bytes as a datagram answering the probe, and as the
// kernel's ARP table that gives the router's hardware address. Built into the
// unit tests, which run it over every cut of an offer and of an ARP table;
// with clang's -fsanitize=fuzzer the same entry point drives libFuzzer.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "foreign.h"
#include "fuzz_target.h"
#include "model/records.h"
#include "selftest.h"
#include "tavrel_agent_api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 1};
  dhcpCompOfferingServer(data, size, mac, 0x01020304);
  std::string text(reinterpret_cast<const char*>(data), size);
  char hardware[DHCP_MAC_ADDR_SIZE];
  dhcpCompArpHardwareAddress(text.c_str(), "eth1", 0xC0A801FE, hardware);
  size_t length = 0;
  uint32_t sender = 0;
  const uint8_t* dhcp = dhcpCompClientPayload(data, size, &length, &sender);
  DhcpSelfTestOffer offer;
  if (dhcp != nullptr) dhcpCompReadSelfTestOffer(dhcp, length, mac, 0x01020304, sender, 0, &offer);
  return 0;
}
