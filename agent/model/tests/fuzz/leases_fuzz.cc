// Fuzz target of the server lease file readers: any bytes as a lease file,
// read record by record through stdio, and read into the lease lists of a
// customer LAN, a VLAN and the OAM LAN with their lease objects, which are
// then deleted again. Built into the unit tests, which run it over every cut
// of a real lease file; with clang's -fsanitize=fuzzer the same entry point
// drives libFuzzer.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "fuzz_target.h"
#include "model/leases.h"
#include "model/records.h"
#include "model_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Within the leases of the hand-made files (2010/06/16 12:00 UTC).
  dhcpCompSetLeaseClock(1276689600);
  model_test::resetModel({100});
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  model_test::setInterface(&VLANIpConfig[0], "172.16.1.1", "255.255.255.0");
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  dhcpCompBuildLeaseLists(reinterpret_cast<const char*>(data), size);
  dhcpCompDeleteLeaseInfoInstances();
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  static char record[DHCP_LEASE_RECORD_SIZE];
  while (dhcpReadAndConvertLeaseRecord(file, record) == 1) {}
  fclose(file);
  return 0;
}
