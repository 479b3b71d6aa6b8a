// The service's status properties, read from the agent's status.
#include <time.h>

#include "ZPX_DHCPServiceProvider/ZPX_DHCPService.h"
#include "tavrel_agent_api.h"

// Resolved from the agent that loads the library; weak, so that another
// host of the library still loads it (the properties are then absent).
DhcpCompAgentStatus dhcpCompAgentStatus(void) __attribute__((weak));

using OpenWBEM::Array;
using OpenWBEM::CIMQualifier;

namespace {

// The agent's status, or false when the agent offers none.
bool agentStatus(DhcpCompAgentStatus* status) {
  if (dhcpCompAgentStatus == nullptr) return false;
  *status = dhcpCompAgentStatus();
  return true;
}

// A time as a CIM datetime text (UTC); false for 0 (unknown).
bool dateTimeText(time_t when, std::string& value) {
  if (when == 0) return false;
  struct tm utc;
  gmtime_r(&when, &utc);
  char text[32];
  strftime(text, sizeof(text), "%Y%m%d%H%M%S.000000+000", &utc);
  value = text;
  return true;
}

template <typename Field>
int lanColumn(std::vector<std::string>& value, Field field) {
  DhcpCompAgentStatus s;
  if (!agentStatus(&s)) return TAVREL_RC_NOT_READABLE;
  value.clear();
  for (const DhcpCompLanStatus& lan : s.lans) value.push_back(field(lan));
  return TAVREL_RC_OK;
}

}  // namespace

int ZPX_DHCPService::getAgentVersion(std::string& value, Array<CIMQualifier>&) const {
  DhcpCompAgentStatus s;
  if (!agentStatus(&s)) return TAVREL_RC_NOT_READABLE;
  value = s.version;
  return TAVREL_RC_OK;
}

int ZPX_DHCPService::getDhcpdProcessID(unsigned int& value, Array<CIMQualifier>&) const {
  DhcpCompAgentStatus s;
  if (!agentStatus(&s) || s.dhcpdPid <= 0) return TAVREL_RC_NOT_READABLE;
  value = static_cast<unsigned int>(s.dhcpdPid);
  return TAVREL_RC_OK;
}

int ZPX_DHCPService::getDhcpdStartTime(std::string& value, Array<CIMQualifier>&) const {
  DhcpCompAgentStatus s;
  return agentStatus(&s) && s.dhcpdPid > 0 && dateTimeText(s.dhcpdStarted, value) ? TAVREL_RC_OK
                                                                                  : TAVREL_RC_NOT_READABLE;
}

int ZPX_DHCPService::getLanInterfaces(std::vector<std::string>& value, Array<CIMQualifier>&) const {
  return lanColumn(value, [](const DhcpCompLanStatus& lan) { return lan.interfaceName; });
}

int ZPX_DHCPService::getLanAddresses(std::vector<std::string>& value, Array<CIMQualifier>&) const {
  return lanColumn(value, [](const DhcpCompLanStatus& lan) {
    return lan.address.empty() ? std::string() : lan.address + "/" + lan.netmask;
  });
}

int ZPX_DHCPService::getLanAddressing(std::vector<std::string>& value, Array<CIMQualifier>&) const {
  return lanColumn(value, [](const DhcpCompLanStatus& lan) {
    return std::string(lan.dhcpClient ? "DHCP client" : "static");
  });
}

int ZPX_DHCPService::getLastCommitTime(std::string& value, Array<CIMQualifier>&) const {
  DhcpCompAgentStatus s;
  return agentStatus(&s) && dateTimeText(s.lastCommit, value) ? TAVREL_RC_OK : TAVREL_RC_NOT_READABLE;
}

int ZPX_DHCPService::getLastCommitResult(std::string& value, Array<CIMQualifier>&) const {
  DhcpCompAgentStatus s;
  if (!agentStatus(&s) || s.lastCommit == 0) return TAVREL_RC_NOT_READABLE;
  value = s.lastCommitFailure.empty() ? "ok" : s.lastCommitFailure;
  return TAVREL_RC_OK;
}
