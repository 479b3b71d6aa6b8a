// The customer LAN as a DHCP client: its address from the integrated router
// or a foreign DHCP server (or the default address when none answers), the
// settings the lease and the router's vendor texts give, the hosts file,
// the published address, the telephony services and the event service.
#include "dynamic.h"

#include <string.h>
#include <syslog.h>
#include <unistd.h>

#include <string>

#include "VexShared.h"
#include "agent.h"
#include "commit.h"
#include "corvane.h"
#include "dhcpd.h"
#include "ip_change.h"
#include "messages.h"
#include "model/config_file.h"
#include "model/interface.h"
#include "model/ranges.h"
#include "model/records.h"
#include "model/result.h"
#include "model/util.h"
#include "model/validate.h"
#include "netkeel.h"
#include "process.h"
#include "tavrel_agent_api.h"
#include "torvo.h"
#include "vornapi.h"

namespace {

const char kDefaultAddress[] = DHCP_DEFAULT_CUSTOMER_LAN_ADDRESS;
const char kDefaultNetmask[] = DHCP_DEFAULT_CUSTOMER_LAN_NETMASK;
const char kDefaultGateway[] = "192.168.2.1";
const char kDefaultDomain[] = "localdomain";
const char kInterfaceRestartCommand[] =
    "/etc/sysconfig/network-scripts/ifdown %s; /etc/sysconfig/network-scripts/ifup %s";
const char kAddressAssignmentCommand[] = "/sbin/ifconfig %s %s netmask %s up";
const char kDefaultRouteCommand[] = "/sbin/route add default gw %s %s";
const char kVoipRestartProgram[] = "/pq/bin/Restart_VoIP_Services.sh";
// Registry key of the customer LAN interface: "if\lan" and the name.
const char kCustomerLanKey[] = "if\\lan\\" DHCP_CUSTOMER_LAN_IFNAME;
// NetkeelGetIfKeyOfPublishedIP writes up to 112 bytes; keys are compared
// over their first 100 characters.
const size_t kIfKeySize = 112;
const size_t kIfKeyCompareLength = 100;
// Published-address text of the registry (dotted quad and terminator).
const size_t kPublishedTextSize = 16;
// How long the event connection stays open for the announcement's answer.
const unsigned kEmsAnswerWaitSeconds = 1;

// Canonical dotted quad of a.ipLong, rebuilt from the number so that only
// such text reaches a command; empty for an unset address.
std::string canonical(const s_ipAddr& a) {
  s_ipAddr copy = {};
  copy.ipLong = a.ipLong;
  dhcpUtilConvertIPAddrLongtoIPAddr(&copy);
  return copy.ipString;
}

void setAddress(s_ipAddr* a, const char* text, e_ipType type) {
  dhcpUtilCopyText(a->ipString, sizeof(a->ipString), text, strlen(text));
  dhcpUtilConvertIPStringtoIPAddr(a, type, false);
}

void restartInterface(const char* name) {
  if (!corvaneIsValidInterfaceName(name)) return;
  dhcpCompRunCommand(kInterfaceRestartCommand, name, name);
}

void assignCustomerLanAddress(const s_ipAddr& address, const s_ipAddr& netmask) {
  std::string a = canonical(address);
  std::string m = canonical(netmask);
  if (a.empty() || m.empty()) return;
  dhcpCompRunCommand(kAddressAssignmentCommand, DHCP_CUSTOMER_LAN_IFNAME, a.c_str(), m.c_str());
}

void addDefaultRoute(const s_ipAddr& gateway) {
  std::string g = canonical(gateway);
  if (g.empty()) return;
  dhcpCompRunCommand(kDefaultRouteCommand, g.c_str(), DHCP_CUSTOMER_LAN_IFNAME);
}

// The published address as text; false when the registry cannot give it.
bool readPublishedAddress(char (&text)[kPublishedTextSize]) {
  text[0] = '\0';
  if (VexGetDefaultPublishedIPStr(text, sizeof(text), nullptr, nullptr) != 0) {
    text[0] = '\0';
    return false;
  }
  text[sizeof(text) - 1] = '\0';
  return true;
}

// The interface restart of a DHCP client LAN that is not just powered up:
// client and server stopped, the interface brought down and up (which starts
// the client), the new lease read and the configuration committed.
// Returns the address the LAN had before.
uint32_t restartDhcpClient() {
  dhcpCompKillDhclient();
  dhcpCompKillDhcpDaemon();
  uint32_t oldAddress = CustomerLANIpConfig.ipAddress.ipLong;
  restartInterface(DHCP_CUSTOMER_LAN_IFNAME);
  memcpy(CustomerLANIpConfig.renewTimeLease, CustomerLANIpConfig.leaseRenewTime,
         sizeof(CustomerLANIpConfig.renewTimeLease));
  dhcpCompGetInterfaceIPParams(&CustomerLANIpConfig);
  dhcpCompWriteDhcpCompConfigFile(0);
  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  dhcpCompFillEmptyCallServers();
  dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
  dhcpCompCalcIPNetwork(&OAMLANIpConfig);
  dhcpCompVerifyRangesInSubnet(&CustomerLANIpConfig, &CustomerLANDhcpCompConfig);
  dhcpCompVerifyRangesInSubnet(&OAMLANIpConfig, &OAMLANDhcpCompConfig);
  dhcpCompCommitConfigurationChanges();
  return oldAddress;
}

// No address on the customer LAN: the lease's values applied by hand, or
// the default address when there is no lease either.
void applyLeaseOrDefaultAddress() {
  s_ethIpConfig& ip = CustomerLANIpConfig;
  ip.externalDhcpServer = 0;
  dhcpCompGetInterfaceIPParams(&CustomerLANIpConfig);
  dhcpCompGetInterfaceIPParams(&OAMLANIpConfig);
  char oamAddress[CORVANE_IP_TEXT_SIZE] = "";
  char oamMask[CORVANE_IP_TEXT_SIZE] = "";
  char oamGateway[CORVANE_IP_TEXT_SIZE] = "";
  corvaneGetIPInfo(DHCP_OAM_LAN_IFNAME, oamAddress, oamMask, oamGateway);
  if (oamAddress[0] == '\0') restartInterface(DHCP_OAM_LAN_IFNAME);

  if (ip.leaseFixedAddress.ipLong != 0) {
    ip.ipAddress = ip.leaseFixedAddress;
    ip.netmask = ip.leaseSubnetMask;
    assignCustomerLanAddress(ip.ipAddress, ip.netmask);
    if (ip.leaseRouter.ipLong != 0) addDefaultRoute(ip.leaseRouter);
    dhcpCompProcessVendorInfoForCustomerLAN();
    return;
  }
  dhcpCompLogEvent(DHCP_MSG_DEFAULT_ADDRESS);
  ip.externalDhcpServer = 0;
  setAddress(&ip.ipAddress, kDefaultAddress, ipTypeAddress);
  setAddress(&ip.netmask, kDefaultNetmask, ipTypeNetmask);
  setAddress(&ip.leaseRouter, kDefaultGateway, ipTypeAddress);
  assignCustomerLanAddress(ip.ipAddress, ip.netmask);
  addDefaultRoute(ip.leaseRouter);
  dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
}

// The customer LAN has an address: detect a foreign server, follow the
// lease's address and apply the router's vendor texts.
void followLease() {
  s_ethIpConfig& ip = CustomerLANIpConfig;
  ip.externalDhcpServer = strcmp(ip.renewTimeLease, ip.leaseRenewTime) != 0 ? 1 : 0;
  // Only a lease with an address and a mask replaces the interface's own.
  bool leaseComplete = ip.leaseFixedAddress.ipLong != 0 && ip.leaseSubnetMask.ipLong != 0;
  if (leaseComplete && (ip.leaseFixedAddress.ipLong != ip.ipAddress.ipLong ||
                        ip.netmask.ipLong != ip.leaseSubnetMask.ipLong)) {
    ip.ipAddress = ip.leaseFixedAddress;
    ip.netmask = ip.leaseSubnetMask;
    dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
    assignCustomerLanAddress(ip.ipAddress, ip.netmask);
  }
  dhcpCompCalcIPNetwork(&CustomerLANIpConfig);
  dhcpCompProcessVendorInfoForCustomerLAN();
}

// DNS, WINS and domain from the lease where the configuration leaves them
// empty; the empty-flags stay, so the values keep following the lease.
void mergeLeaseSettings() {
  s_dhcpCompConfig& cfg = CustomerLANDhcpCompConfig;
  const s_ethIpConfig& ip = CustomerLANIpConfig;
  if (cfg.dnsServersEmpty) {
    if (ip.leaseDnsServer1.ipLong != 0) cfg.dnsServer1 = ip.leaseDnsServer1;
    if (ip.leaseDnsServer2.ipLong != 0) cfg.dnsServer2 = ip.leaseDnsServer2;
  }
  if (cfg.winsServerEmpty && ip.leaseNetbiosServer.ipLong != 0) cfg.winsServer = ip.leaseNetbiosServer;
  if (cfg.domainNameEmpty && ip.leaseDomainName[0] != '\0')
    memcpy(cfg.domainName, ip.leaseDomainName, sizeof(cfg.domainName));
}

// Hosts file and published address. Restarts the telephony services when
// the published address moved with the customer LAN.
void updateHostsAndPublishedAddress() {
  const s_ethIpConfig& ip = CustomerLANIpConfig;
  char hostName[DHCP_HOSTNAME_SIZE] = "";
  if (!dhcpUtilGetHostname(hostName)) hostName[0] = '\0';
  char domain[DHCP_DOMAIN_NAME_SIZE];
  const char* domainSource = ip.leaseDomainName[0] != '\0' ? ip.leaseDomainName : kDefaultDomain;
  dhcpUtilCopyText(domain, sizeof(domain), domainSource, strnlen(domainSource, sizeof(domain)));
  std::string router = ip.leaseRouter.ipLong != 0 ? canonical(ip.leaseRouter) : kDefaultGateway;

  char oldPublished[kPublishedTextSize] = "";
  bool republished = false;
  char key[kIfKeySize] = "";
  if (NetkeelGetIfKeyOfPublishedIP(key) == 0 && strncmp(key, kCustomerLanKey, kIfKeyCompareLength) == 0) {
    readPublishedAddress(oldPublished);
    NetkeelSanitizePublishedIP();
    republished = true;
  }
  char newPublished[kPublishedTextSize] = "";
  if (!readPublishedAddress(newPublished)) {
    std::string own = canonical(ip.ipAddress);
    dhcpUtilCopyText(newPublished, sizeof(newPublished), own.data(), own.size());
  }
  if (!g_bIntegratedRouterPresent) router.clear();
  corvaneUpdateHostsFile(hostName, domain, newPublished, &router[0]);

  if (republished && strcmp(oldPublished, newPublished) != 0) {
    uint32_t processId = 0;
    osStartPgm(kVoipRestartProgram, 0, 1, &processId, 0);
  }
}

void announceAddressChange() {
  int rc = EmsConnectionOpen(0, EmsIPChangePacketHandler);
  if (rc != 0) {
    syslog(LOG_INFO, "dhcpCompCheckCustLANDynamicIPStatus:Could not open connection to EMS rc=%d", rc);
    return;
  }
  EmsIpAddressChange(1, 1, 2);
  sleep(kEmsAnswerWaitSeconds);
  EmsConnectionClose();
}

// Logs a refusal of the router's range through the OpenWBEM logger.
void logVendorRangeError(int rc) {
  if (!logger) return;
  logger->logError(OpenWBEM::String("dhcpCompProcessVendorInfoForCustomerLAN(1) error rc: ") +
                   OpenWBEM::String(std::to_string(rc)) + OpenWBEM::String("\n"));
}

}  // namespace

void dhcpCompCheckCustLANDynamicIPStatus(void) {
  s_ethIpConfig& ip = CustomerLANIpConfig;
  uint32_t oldAddress = 0;
  if (ip.startedFromPowerUp == 0) oldAddress = restartDhcpClient();
  ip.startedFromPowerUp = 0;

  if (ip.ipAddress.ipLong == 0)
    applyLeaseOrDefaultAddress();
  else
    followLease();

  mergeLeaseSettings();
  updateHostsAndPublishedAddress();
  if (bTavrelJustStarted == 0 && oldAddress != ip.ipAddress.ipLong) announceAddressChange();
}

void dhcpCompProcessVendorInfoForCustomerLAN(void) {
  s_dhcpCompConfig& cfg = CustomerLANDhcpCompConfig;
  const s_ethIpConfig& ip = CustomerLANIpConfig;
  uint8_t published = 0;
  NetkeelIsPublishedIPInterface(kCustomerLanKey, &published);
  if (published && ip.vendorS1Address.ipLong != 0) {
    cfg.s1Address = ip.vendorS1Address;
    cfg.s1AddressEmpty = 0;
    dhcpUtilSplitCallServerPort(ip.vendorS1PortNumber, &cfg.s1PortNumber, &cfg.s1OtherPortNumber);
    cfg.s1Action = ip.vendorS1Action;
    cfg.s1RetryCount = ip.vendorS1RetryCount;
    cfg.s2Address = ip.vendorS2Address;
    cfg.s2AddressEmpty = 0;
    dhcpUtilSplitCallServerPort(ip.vendorS2PortNumber, &cfg.s2PortNumber, &cfg.s2OtherPortNumber);
    cfg.s2Action = ip.vendorS2Action;
    cfg.s2RetryCount = ip.vendorS2RetryCount;
  }
  memcpy(cfg.vlanIds, ip.vendorVlanIds, sizeof(cfg.vlanIds));
  cfg.vlanIds[sizeof(cfg.vlanIds) - 1] = '\0';

  if (ip.vendorRangeStart.ipLong == 0) return;
  // Every caller commits afterwards; the removed ranges' objects do not.
  CommitDeferral deferral;
  dhcpCompDeallocConfigAddrRanges(&CustomerLANDhcpCompConfig, true);
  // Checked against the customer LAN's subnet: a refused range leaves the
  // LAN without one.
  s_ipAddrRange range = {};
  range.startAddr = ip.vendorRangeStart;
  range.endAddr = ip.vendorRangeEnd;
  int id = dhcpCompGetFreeAddressRangeInstanceID();
  if (id < 0) return;
  int rc = dhcpCompCheckAndAddIPAddressRange(std::to_string(id), &range, true);
  if (rc != DHCP_RC_OK) {
    syslog(LOG_ERR, "Range %s-%s of the router's DHCP vendor text refused (%d); not served.",
           range.startAddr.ipString, range.endAddr.ipString, rc);
    logVendorRangeError(rc);
  }
}
