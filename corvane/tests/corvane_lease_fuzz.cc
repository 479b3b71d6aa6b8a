// Fuzz target of the DHCP client lease reader: any bytes as the lease file's
// text, read into buffers of exactly the sizes the agent passes. Built into
// the unit tests, which run it over the captured samples; with clang's
// -fsanitize=fuzzer the same entry point drives libFuzzer.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "corvane.h"
#include "corvane_internal.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  char fixedAddress[CORVANE_LEASE_ADDR_SIZE], subnetMask[CORVANE_LEASE_ADDR_SIZE],
      routers[CORVANE_LEASE_ADDR_SIZE], dns1[CORVANE_LEASE_ADDR_SIZE], dns2[CORVANE_LEASE_ADDR_SIZE],
      netbiosServer[CORVANE_LEASE_ADDR_SIZE], serverIdentifier[CORVANE_LEASE_ADDR_SIZE];
  char domainName[CORVANE_LEASE_DOMAIN_SIZE];
  char renew[CORVANE_LEASE_RENEW_SIZE] = "";
  char ipSetConfig[CORVANE_VENDOR_TEXT_SIZE], dhcpVendorText[CORVANE_VENDOR_TEXT_SIZE];
  unsigned char nodeType = 0;
  corvaneParseLeaseText(text.c_str(), "eth1", fixedAddress, subnetMask, routers, dns1, dns2, netbiosServer,
                        &nodeType, domainName, renew, serverIdentifier, ipSetConfig, dhcpVendorText);
  return 0;
}
