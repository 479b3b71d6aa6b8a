// The agent links libTavrel and also has the provider agent load it by path.
// Both bindings must reach one copy of the library, or the agent's range and
// reservation objects would land in registries no CIM request ever sees.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <string>

#include "ZPX_DHCPRangeOfIPAddressesProvider/ZPX_DHCPRangeOfIPAddressesImpl.h"
#include "agent_stand_ins.h"
#include "dhcpcomp.h"
#include "model_test_support.h"

namespace {

// The range class's manager switches, as the loader finds them.
const char kSetRangeManager[] =
    "_ZN26ZPX_DHCPRangeOfIPAddresses18SetInstanceManagerEP41ZPX_DHCPRangeOfIPAddressesInstanceManager";
const char kGetRangeManager[] = "_ZN26ZPX_DHCPRangeOfIPAddresses18getInstanceManagerEv";

TEST(SingleLibraryCopy, LinkedAndLoadedBindingsShareTheRegistries) {
  void* handle = dlopen(TAVREL_LIBRARY_PATH, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(handle, nullptr) << dlerror();

  // The loaded library is the one the program was linked with.
  struct link_map* loaded = nullptr;
  ASSERT_EQ(dlinfo(handle, RTLD_DI_LINKMAP, &loaded), 0);
  Dl_info linked;
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&ZPX_DHCPRangeOfIPAddresses::getInstanceManager), &linked), 0);
  EXPECT_EQ(reinterpret_cast<ElfW(Addr)>(linked.dli_fbase), loaded->l_addr);

  // The provider side installs its manager through the loaded copy ...
  auto setRanges =
      reinterpret_cast<void (*)(ZPX_DHCPRangeOfIPAddressesInstanceManager*)>(dlsym(handle, kSetRangeManager));
  auto getRanges =
      reinterpret_cast<ZPX_DHCPRangeOfIPAddressesInstanceManager* (*)()>(dlsym(handle, kGetRangeManager));
  ASSERT_TRUE(setRanges && getRanges);
  ZPX_DHCPRangeOfIPAddressesImplInstanceManager rangeManager;
  setRanges(&rangeManager);

  // ... and the agent's objects, made through the linked copy, are found there.
  model_test::resetModel();
  model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
  s_ipAddrRange range = {};
  range.startAddr = model_test::address("192.168.1.100");
  range.endAddr = model_test::address("192.168.1.200");
  ASSERT_EQ(dhcpCompCheckAndAddIPAddressRange("3", &range, true), DHCP_RC_OK);
  EXPECT_EQ(getRanges(), &rangeManager);
  EXPECT_EQ(getRanges()->get("3"), g_AddressRangePool[3].object);

  delete g_AddressRangePool[3].object;
  EXPECT_THROW(getRanges()->get("3"), CFG_NoInstance);
  ZPX_DHCPRangeOfIPAddresses::ClearInstanceManager();
  dlclose(handle);
}

}  // namespace
