// Generation of the DHCP server's configuration (/pq/etc/dhcpd.conf) from the
// configuration records: a fixed header, the telephone vendor classes with
// options 128, 191 and 151, and one subnet declaration per served LAN.
//
// Everything written comes from numbers or checked text: addresses are
// formatted from their numeric form, host declaration names, hardware
// addresses, the domain name and the VLAN list are checked against what
// dhcpd's parser accepts, and what fails a check is left out and logged, so
// one bad record never makes dhcpd refuse the whole file.
#include "model/dhcpd_conf.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <syslog.h>

#include <new>
#include <set>
#include <string>

#include "corvane.h"
#include "model/ranges.h"
#include "model/records.h"
#include "model/result.h"
#include "model/text_file.h"
#include "model/util.h"
#include "model/validate.h"
#include "tavrel_agent_api.h"

namespace {

const char kGlobalHeader[] =
    "ddns-update-style interim;\nnot authoritative;\n\n#\n"
    "option option-128 code 128 = text;\noption option-191 code 191 = text;\n"
    "option option-151 code 151 = ip-address;\n\n#\n";

// Telephone families: dhcpd class name, vendor-class-identifier, characters
// compared (the WLAN identifier has 13 characters but 14 are compared).
struct TelephoneFamily {
  const char* className;
  const char* vendor;
  int matchLength;
};
const TelephoneFamily kEtherSet = {"Zelkor EtherSet", "Zelkor-p4100-A", 14};
const TelephoneFamily kWlanSet = {"Zelkor WLANSet", "Zelkor-330x-A", 14};
const TelephoneFamily kP7700Set = {"Zelkor P7700Set", "Zelkor-350x-A", 13};
const TelephoneFamily* const kTelephoneFamilies[] = {&kEtherSet, &kWlanSet, &kP7700Set};

const int kStatusOff = 0;
const int kStatusPhonesOnly = 1;
const int kStatusAutomatic = 3;
const uint8_t kCallServerActionGenerate = 1;

void appendf(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length > 0) {
    size_t used = out->size();
    out->resize(used + static_cast<size_t>(length) + 1);
    vsnprintf(&(*out)[used], static_cast<size_t>(length) + 1, format, args);
    out->resize(used + static_cast<size_t>(length));
  }
  va_end(args);
}

// Canonical dotted quad of an address, made from its numeric form.
std::string addrText(const s_ipAddr& a) {
  s_ipAddr copy = a;
  dhcpUtilConvertIPAddrLongtoIPAddr(&copy);
  return copy.ipString;
}

std::string lowerCase(const char* text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

// A range is served while the LAN's network holds both its ends.
bool servesRange(const s_ethIpConfig& eth, const s_ipAddrRange& range) {
  return dhcpCompServesAddress(&eth, range.startAddr.ipLong) &&
         dhcpCompServesAddress(&eth, range.endAddr.ipLong);
}

// Status 1, or 3 on a DHCP-addressed LAN where a foreign server answers.
bool poolIsPhonesOnly(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg) {
  return cfg.dhcpStatus == kStatusPhonesOnly ||
         (cfg.dhcpStatus == kStatusAutomatic && eth.staticIP == 0 && eth.externalDhcpServer == 1);
}

// dhcpd.conf text under construction. Host declarations are global in
// dhcpd, so their names must be unique across all subnets of the file.
class DhcpdConfText {
 public:
  std::string text;

  void appendSubnet(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg, const char* extra);

 private:
  std::string hostName(const s_reservedAddr& rec, int slot);
  void appendPool(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg, bool phonesOnly);
  void appendHosts(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg);
  void appendOptions(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg);

  std::set<std::string> hostNames_;  // lower case: dhcpd does not tell them apart
};

// The client name when dhcpd can read it and it is still free, else
// "reserved-<id>" (made unique with a suffix).
std::string DhcpdConfText::hostName(const s_reservedAddr& rec, int slot) {
  std::string name(rec.clientName, strnlen(rec.clientName, sizeof(rec.clientName)));
  if (dhcpUtilIsValidHostName(name.c_str()) && !name.empty() &&
      hostNames_.insert(lowerCase(name.c_str())).second)
    return name;
  std::string base = "reserved-" + std::to_string(slot);
  name = base;
  for (int n = 2; !hostNames_.insert(name).second; ++n) name = base + "-" + std::to_string(n);
  // Every commit generates the file: each name is reported once.
  static std::set<std::string> reported;
  if (reported.insert(std::to_string(slot) + " " + rec.clientName).second)
    syslog(LOG_WARNING, "Reserved address %d: client name not usable in %s, declared as host %s.", slot,
           DHCPD_CONF_FILE, name.c_str());
  return name;
}

void DhcpdConfText::appendPool(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg, bool phonesOnly) {
  std::string ranges;
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    const s_ipAddrRange& range = cfg.addrRanges[i];
    if (range.startAddr.ipLong == 0 || !servesRange(eth, range)) continue;
    appendf(&ranges, "\t\trange %s %s;\n", addrText(range.startAddr).c_str(),
            addrText(range.endAddr).c_str());
  }
  // dhcpd refuses a pool without a range.
  if (ranges.empty()) return;
  text += "\tpool {\n";
  text += ranges;
  if (phonesOnly) {
    for (const TelephoneFamily* family : kTelephoneFamilies)
      appendf(&text, "\t\tallow members of \"%s\";\n", family->className);
  }
  text += "\t}\n\n";
}

void DhcpdConfText::appendHosts(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg) {
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    const s_reservedAddr& rec = cfg.reservedAddrs[i];
    if (rec.ipAddr.ipLong == 0 || !dhcpCompServesAddress(&eth, rec.ipAddr.ipLong)) continue;
    char mac[DHCP_MAC_ADDR_SIZE];
    memcpy(mac, rec.macAddr, sizeof(mac));
    mac[sizeof(mac) - 1] = '\0';
    if (dhcpUtilNormaliseMacAddr(mac) != DHCP_RC_OK) {
      syslog(LOG_WARNING, "Reserved address %d has no valid hardware address; not served.", i);
      continue;
    }
    appendf(&text, "\thost %s {\n\t\thardware ethernet %s;\n\t\tfixed-address %s;\n\t}\n\n",
            hostName(rec, i).c_str(), mac, addrText(rec.ipAddr).c_str());
  }
}

void DhcpdConfText::appendOptions(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg) {
  appendf(&text, "\toption subnet-mask %s;\n", addrText(eth.netmask).c_str());
  if (cfg.defaultGateway.ipLong != 0)
    appendf(&text, "\toption routers %s;\n", addrText(cfg.defaultGateway).c_str());
  if (cfg.dnsServer1.ipLong != 0) {
    if (cfg.dnsServer2.ipLong != 0)
      appendf(&text, "\toption domain-name-servers %s, %s;\n", addrText(cfg.dnsServer1).c_str(),
              addrText(cfg.dnsServer2).c_str());
    else
      appendf(&text, "\toption domain-name-servers %s;\n", addrText(cfg.dnsServer1).c_str());
  }
  std::string domain(cfg.domainName, strnlen(cfg.domainName, sizeof(cfg.domainName)));
  if (!domain.empty()) {
    if (dhcpUtilIsValidDomainName(domain.c_str()))
      appendf(&text, "\toption domain-name \"%s\";\n", domain.c_str());
    else
      syslog(LOG_WARNING, "Domain name of %s is not a valid domain name; not served.", cfg.interfaceName);
  }
  if (cfg.winsServer.ipLong != 0)
    appendf(&text, "\toption netbios-name-servers %s;\n", addrText(cfg.winsServer).c_str());
  if (cfg.winsNodeType != 0) appendf(&text, "\toption netbios-node-type %d;\n", cfg.winsNodeType);
  appendf(&text, "\tdefault-lease-time %u;\n", cfg.leaseTime);
  appendf(&text, "\tmax-lease-time %u;\n", cfg.leaseTime);
}

void DhcpdConfText::appendSubnet(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg, const char* extra) {
  if (!corvaneIsValidInterfaceName(eth.interfaceName) || !dhcpUtilHasNetwork(&eth)) {
    syslog(LOG_WARNING, "LAN %.*s has no address; no DHCP service on it.", DHCP_INTERFACE_NAME_SIZE - 1,
           eth.interfaceName);
    return;
  }
  s_ipAddr network = {};
  network.ipLong = eth.ipAddress.ipLong & eth.netmask.ipLong;
  appendf(&text, "\n# %s\nsubnet %s netmask %s {\n\n", eth.interfaceName, addrText(network).c_str(),
          addrText(eth.netmask).c_str());
  if (cfg.numAddrRanges != 0) appendPool(eth, cfg, poolIsPhonesOnly(eth, cfg));
  text += "\toption ip-forwarding off;\n";
  if (cfg.numReservedAddrs != 0) appendHosts(eth, cfg);
  appendOptions(eth, cfg);
  if (extra != nullptr) text += extra;
  text += "}\n";
}

bool servesCallServers(const s_dhcpCompConfig& lan) {
  return lan.s1Address.ipLong != 0 && (lan.s1PortNumber != 0 || lan.s1OtherPortNumber != 0) &&
         lan.s1Action == kCallServerActionGenerate;
}

// "VLAN-A:<list>." for the telephones; a list that is not plain VLAN ids is
// not passed on.
std::string vlanOptionLine(const s_dhcpCompConfig& lan) {
  char list[DHCP_VLAN_IDS_SIZE];
  snprintf(list, sizeof(list), "%.*s", DHCP_VLAN_IDS_SIZE - 1, lan.vlanIds);
  if (list[0] != '\0' && dhcpCompVerifyVLANIds(list) != DHCP_RC_OK) {
    syslog(LOG_WARNING, "VLAN id list of %s is not valid; telephones get none.", lan.interfaceName);
    list[0] = '\0';
  }
  std::string line;
  appendf(&line, "\toption option-191 \"VLAN-A:%s.\";\n", list[0] != '\0' ? list : "none");
  return line;
}

// The three telephone classes; with options, returns the option-128 line
// that the customer LAN's and the VLANs' subnets carry. An unset s2 call
// server then takes s1's settings, and the record keeps them.
std::string appendTelephoneClasses(std::string* text, s_dhcpCompConfig* lan, bool withOptions) {
  std::string vlanLine;
  if (withOptions) {
    dhcpCompFillSecondCallServer(lan);
    vlanLine = vlanOptionLine(*lan);
  }
  for (const TelephoneFamily* family : kTelephoneFamilies) {
    appendf(text, "class \"%s\" {\n\tmatch if substring(option vendor-class-identifier, 0, %d) = \"%s\";\n",
            family->className, family->matchLength, family->vendor);
    *text += vlanLine;
    if (withOptions && family == &kWlanSet) {
      if (lan->spectraSVPAddress.ipLong != 0)
        appendf(text, "\toption option-151 %s;\n", addrText(lan->spectraSVPAddress).c_str());
      if (lan->spectraTFTPAddress.ipLong != 0)
        appendf(text, "\toption tftp-server-name \"%s\";\n", addrText(lan->spectraTFTPAddress).c_str());
    }
    *text += "}\n\n";
  }
  if (!withOptions) return "";
  std::string option128;
  appendf(
      &option128, "\toption option-128 \"%s,%s:%u,%d,%d;%s:%u,%d,%d.\";\n", kEtherSet.vendor,
      addrText(lan->s1Address).c_str(), lan->s1PortNumber != 0 ? lan->s1PortNumber : lan->s1OtherPortNumber,
      lan->s1Action, lan->s1RetryCount, addrText(lan->s2Address).c_str(),
      lan->s2PortNumber != 0 ? lan->s2PortNumber : lan->s2OtherPortNumber, lan->s2Action, lan->s2RetryCount);
  return option128;
}

// A LAN that is served and has a range or reservation its network holds.
bool hasAddresses(const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg) {
  if (cfg.dhcpStatus == kStatusOff) return false;
  for (const s_ipAddrRange& range : cfg.addrRanges)
    if (!range.isFree && range.startAddr.ipLong != 0 && servesRange(eth, range)) return true;
  for (const s_reservedAddr& rec : cfg.reservedAddrs)
    if (!rec.isFree && rec.ipAddr.ipLong != 0 && dhcpCompServesAddress(&eth, rec.ipAddr.ipLong)) return true;
  return false;
}

bool anyPoolIsPhonesOnly() {
  auto phonesOnly = [](const s_ethIpConfig& eth, const s_dhcpCompConfig& cfg) {
    return cfg.numAddrRanges != 0 && poolIsPhonesOnly(eth, cfg);
  };
  if (hasAddresses(CustomerLANIpConfig, CustomerLANDhcpCompConfig) &&
      phonesOnly(CustomerLANIpConfig, CustomerLANDhcpCompConfig))
    return true;
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    if (hasAddresses(VLANIpConfig[i], VLANDhcpCompConfig[i]) &&
        phonesOnly(VLANIpConfig[i], VLANDhcpCompConfig[i]))
      return true;
  }
  return OAMLANDhcpCompConfig.dhcpStatus != kStatusOff && phonesOnly(OAMLANIpConfig, OAMLANDhcpCompConfig);
}

}  // namespace

void dhcpCompFillSecondCallServer(s_dhcpCompConfig* lan) {
  if (!servesCallServers(*lan) || lan->s2Address.ipLong != 0) return;
  lan->s2Address = lan->s1Address;
  lan->s2PortNumber = lan->s1PortNumber;
  lan->s2OtherPortNumber = lan->s1OtherPortNumber;
  lan->s2Action = lan->s1Action;
  lan->s2RetryCount = lan->s1RetryCount;
  lan->s2AddressEmpty = 1;
}

std::string dhcpCompFormatDhcpdConfig(void) {
  DhcpdConfText conf;
  conf.text = kGlobalHeader;
  std::string option128;
  if (servesCallServers(CustomerLANDhcpCompConfig))
    option128 = appendTelephoneClasses(&conf.text, &CustomerLANDhcpCompConfig, true);
  else if (anyPoolIsPhonesOnly())
    // dhcpd refuses a pool that names an undeclared class: the telephones
    // are still recognised, only without the call-server options.
    appendTelephoneClasses(&conf.text, &CustomerLANDhcpCompConfig, false);

  if (hasAddresses(CustomerLANIpConfig, CustomerLANDhcpCompConfig))
    conf.appendSubnet(CustomerLANIpConfig, CustomerLANDhcpCompConfig, option128.c_str());
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    if (hasAddresses(VLANIpConfig[i], VLANDhcpCompConfig[i]))
      conf.appendSubnet(VLANIpConfig[i], VLANDhcpCompConfig[i], option128.c_str());
  }
  if (OAMLANDhcpCompConfig.dhcpStatus != kStatusOff)
    conf.appendSubnet(OAMLANIpConfig, OAMLANDhcpCompConfig, nullptr);
  return conf.text;
}

int dhcpCompCreateDhcpdConfigFile(void) {
  try {
    std::string text = dhcpCompFormatDhcpdConfig();
    int rc = dhcpUtilReplaceFile(DHCPD_CONF_FILE, text.data(), text.size());
    if (rc == 0) return 1;
    syslog(LOG_ERR, "Cannot write %s (%s); the previous file stays.", DHCPD_CONF_FILE, strerror(rc));
  } catch (const std::bad_alloc&) {
    syslog(LOG_ERR, "Out of memory while generating %s; the previous file stays.", DHCPD_CONF_FILE);
  }
  return 0;
}

char* dhcpCompFormatSubnetSectionForDhcpdConfFile(char** out, char* extra, s_ethIpConfig* eth,
                                                  s_dhcpCompConfig* cfg) {
  if (out == nullptr || *out == nullptr) return nullptr;
  **out = '\0';
  if (eth == nullptr || cfg == nullptr) return *out;
  DhcpdConfText conf;
  conf.appendSubnet(*eth, *cfg, extra);
  size_t room = DHCPD_SUBNET_SECTION_MAX_SIZE + (extra != nullptr ? strlen(extra) : 0);
  if (conf.text.size() >= room) return *out;
  memcpy(*out, conf.text.c_str(), conf.text.size() + 1);
  *out += conf.text.size();
  return *out;
}
