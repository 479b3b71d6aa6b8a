// Fuzz target of the model's readers of outside text: any bytes as a
// component configuration file (parsed for the customer LAN, a VLAN and the
// OAM LAN, then written back) and as the router's two vendor texts. Built
// into the unit tests, which run it over every cut of the samples; with
// clang's -fsanitize=fuzzer the same entry point drives libFuzzer.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz_target.h"
#include "model/config_file.h"
#include "model/interface.h"
#include "model/records.h"
#include "model_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  model_test::resetModel({12});
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[0], "10.12.0.1", "255.255.255.0");
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  dhcpCompParseDhcpCompContentsForInterface(&text[0], &CustomerLANDhcpCompConfig);
  dhcpCompParseDhcpCompContentsForInterface(&text[0], &OAMLANDhcpCompConfig);
  dhcpCompParseDhcpCompContentsForInterface(&text[0], &VLANDhcpCompConfig[0]);

  std::string out;
  dhcpCompWriteDhcpCompConfigFileForInterface(&out, &CustomerLANDhcpCompConfig);
  dhcpCompWriteDhcpCompConfigFileForInterface(&out, &VLANDhcpCompConfig[0]);
  dhcpCompWriteDhcpCompConfigFileForInterface(&out, &OAMLANDhcpCompConfig);

  // Vendor texts reach the agent cut to 199 characters.
  std::string vendor = text.substr(0, 199).c_str();
  dhcpCompParseIPSetVendorText(&CustomerLANIpConfig, vendor.c_str());
  dhcpCompParseDhcpVendorText(&CustomerLANIpConfig, vendor.c_str());
  model_test::deleteObjects();
  return 0;
}
