// Every name libTavrel resolves from the program that loads it and cannot
// do without. A program links this file as an object (not as an archive
// member), so its references take in the definitions, which the program
// itself may never call; a name declared in tavrel_agent_api.h that nothing
// defines fails the link. libTavrel calls the self-test, the status and the
// renewal only when the program offers them: the agent takes those in
// itself (main.cc).
#include "tavrel_agent_api.h"

namespace {

typedef void (*Function)();

template <typename F>
Function function(F f) {
  return reinterpret_cast<Function>(f);
}

// The change bracket is a class: a function that uses one takes in its
// constructor, commit and destructor.
void changeBracket() {
  DhcpCompChange change;
  change.commit();
}

}  // namespace

extern const void* const g_tavrelAgentApiRecords[];
extern const Function g_tavrelAgentApiFunctions[];

__attribute__((used)) const void* const g_tavrelAgentApiRecords[] = {
    &CustomerLANDhcpCompConfig, &CustomerLANIpConfig, &g_AddressRangePool,
    &g_reservedAddrPool,        &g_NumberOfRanges,    &g_NumberOfReservedIPs,
};

__attribute__((used)) const Function g_tavrelAgentApiFunctions[] = {
    function(&changeBracket),
    function(&dhcpCompCommitFailureText),
    function(&dhcpCompGetFreeAddressRangeInstanceID),
    function(&dhcpCompGetFreeReservedAddressInstanceID),
    function(&dhcpUtilConvertCanonicalIPAddr),
    function(&dhcpUtilIsValidHostName),
    function(&dhcpUtilIsValidDomainName),
    function(&dhcpUtilIsValidDescription),
    function(&dhcpCompVerifyVLANIds),
    function(&dhcpCompInstanceIdToIndex),
    function(&dhcpCompCheckAndAddIPAddressRange),
    function(&dhcpCompRemoveIPAddressRange),
    function(&getAddressRangeCompConfig),
    function(&dhcpCompCheckAndAddReservedAddress),
    function(&dhcpCompRemoveReservedAddr),
    function(&getReservedAddressCompConfig),
    function(&syncUpGatewayForAddrRanges),
    function(&dhcpCompRefreshLeaseInfo),
    function(&dhcpCompDisownLeaseObject),
    function(&dhcpCompCollectPoolStatistics),
    function(&dhcpCompCollectForeignServers),
};
