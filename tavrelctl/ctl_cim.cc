#include "ctl_cim.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "openwbem/CIMException.h"

using OpenWBEM::CIMDataType;
using OpenWBEM::CIMException;
using OpenWBEM::CIMInstance;
using OpenWBEM::CIMNamedInstance;
using OpenWBEM::CIMObjectPath;
using OpenWBEM::CIMParamValue;
using OpenWBEM::CIMParamValueArray;
using OpenWBEM::CIMProperty;
using OpenWBEM::CIMValue;
using OpenWBEM::CIMXMLClient;
using OpenWBEM::String;

namespace {

const char kService[] = "ZPX_DHCPService";
const char kSettingData[] = "ZPX_DHCPSettingData";
const char kRanges[] = "ZPX_DHCPRangeOfIPAddresses";
const char kReservations[] = "ZPX_DHCPReservedAddress";
const char kCustomerLeases[] = "ZPX_DHCPClientLeaseInfoCustomerLAN";
const char kOamLeases[] = "ZPX_DHCPClientLeaseInfoOAMLAN";
const char kPools[] = "ZPX_DHCPPoolStatistics";
const char kForeign[] = "ZPX_DHCPForeignServer";
const char kTestMethod[] = "testDhcpService";
const char kRenewMethod[] = "renewDynamicIPAddress";

CtlField::Kind kindOf(const CIMValue& v) {
  if (v.isNull()) return CtlField::Null;
  if (v.isArray()) return CtlField::Text;
  switch (v.getType()) {
    case CIMDataType::BOOLEAN:
      return CtlField::Boolean;
    case CIMDataType::UINT8:
    case CIMDataType::SINT8:
    case CIMDataType::UINT16:
    case CIMDataType::SINT16:
    case CIMDataType::UINT32:
    case CIMDataType::SINT32:
    case CIMDataType::UINT64:
    case CIMDataType::SINT64:
    case CIMDataType::REAL32:
    case CIMDataType::REAL64:
      return CtlField::Number;
    default:
      return CtlField::Text;
  }
}

CtlField fieldOf(const String& name, const CIMValue& v) {
  return CtlField{name.toStdString(), v.toString().toStdString(), kindOf(v)};
}

std::vector<CtlRecord> records(const std::vector<CIMNamedInstance>& instances) {
  std::vector<CtlRecord> out;
  for (const CIMNamedInstance& n : instances) out.push_back(ctlRecordOf(n.instance));
  return out;
}

std::string listing(const CtlCommandLine& line, const std::vector<CtlRecord>& rows,
                    const std::vector<std::string>& columns) {
  if (line.has("--json")) return ctlJsonArray(rows) + "\n";
  if (rows.empty()) return "none\n";
  return ctlFormatTable(rows, columns);
}

CIMObjectPath instancePath(const char* className, const std::string& id) {
  CIMObjectPath path(className, "");
  path.setKeyValue("InstanceID", CIMValue(String(id)));
  return path;
}

// The one instance of a singleton class, with its path.
CIMNamedInstance singleton(CIMXMLClient& client, const char* className) {
  std::vector<CIMNamedInstance> all = client.enumerateInstances(className);
  if (all.empty())
    throw CIMException(__FILE__, __LINE__, CIMException::NOT_FOUND,
                       (std::string("the agent serves no ") + className).c_str());
  return all[0];
}

// ModifyInstance with exactly the assigned properties, each typed as the
// current instance has it.
void modify(CIMXMLClient& client, const CIMObjectPath& path, const std::vector<std::string>& assignments) {
  CIMInstance current = client.getInstance(path);
  CIMInstance changed(current.getClassName());
  for (const std::string& a : assignments) {
    std::string name, text;
    if (!ctlSplitAssignment(a, name, text))
      throw CIMException(__FILE__, __LINE__, CIMException::INVALID_PARAMETER,
                         ("\"" + a + "\" is not NAME=VALUE").c_str());
    CIMProperty p = current.getProperty(String(name));
    if (!p)
      throw CIMException(__FILE__, __LINE__, CIMException::NO_SUCH_PROPERTY,
                         (current.getClassName().toStdString() + " has no property " + name).c_str());
    CIMDataType::Type type = p.getDataType().getType();
    CIMValue value = type == CIMDataType::STRING || type == CIMDataType::CIMNULL
                         ? CIMValue(String(text))
                         : CIMValue::fromText(String(text), type);
    changed.setProperty(CIMProperty(p.getName(), value).setDataType(p.getDataType()));
  }
  client.modifyInstance(path, changed);
}

std::string idOf(const CIMObjectPath& path) {
  return path.getKeyValue("InstanceID").toString().toStdString();
}

// Lease records newest first (the 25-character datetimes of one offset
// sort as text).
std::vector<CtlRecord> leases(CIMXMLClient& client, const std::string& lan) {
  std::vector<CtlRecord> rows;
  if (lan != "oam") {
    for (CtlRecord r : records(client.enumerateInstances(kCustomerLeases))) {
      r.insert(r.begin(), CtlField{"LAN", "customer", CtlField::Text});
      rows.push_back(r);
    }
  }
  if (lan != "customer") {
    for (CtlRecord r : records(client.enumerateInstances(kOamLeases))) {
      r.insert(r.begin(), CtlField{"LAN", "oam", CtlField::Text});
      rows.push_back(r);
    }
  }
  auto start = [](const CtlRecord& r) {
    const CtlField* f = ctlField(r, "startLeaseDateTime");
    return f != nullptr ? f->text : std::string();
  };
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const CtlRecord& a, const CtlRecord& b) { return start(a) > start(b); });
  return rows;
}

const char* serverStatusText(const std::string& value) {
  if (value == "0") return "off";
  if (value == "1") return "telephones only";
  if (value == "2") return "all devices";
  if (value == "3") return "automatic";
  return "unknown";
}

// "20261207231121.000000+000" as "2026-12-07 23:11:21 UTC" (the agent
// writes UTC); other texts as they are.
std::string readableTime(const std::string& cim) {
  if (cim.size() != 25 || cim.compare(21, 4, "+000") != 0) return cim;
  return cim.substr(0, 4) + "-" + cim.substr(4, 2) + "-" + cim.substr(6, 2) + " " + cim.substr(8, 2) + ":" +
         cim.substr(10, 2) + ":" + cim.substr(12, 2) + " UTC";
}

// How long ago a CIM datetime (UTC) was: "3d 4h 05m", "12m 30s".
std::string ago(const std::string& cim) {
  struct tm t = {};
  if (cim.size() != 25 || strptime(cim.substr(0, 14).c_str(), "%Y%m%d%H%M%S", &t) == nullptr) return "";
  long seconds = static_cast<long>(time(nullptr) - timegm(&t));
  if (seconds < 0) seconds = 0;
  char text[64];
  if (seconds >= 86400)
    snprintf(text, sizeof(text), "%ldd %ldh %02ldm", seconds / 86400, seconds % 86400 / 3600,
             seconds % 3600 / 60);
  else if (seconds >= 3600)
    snprintf(text, sizeof(text), "%ldh %02ldm", seconds / 3600, seconds % 3600 / 60);
  else
    snprintf(text, sizeof(text), "%ldm %02lds", seconds / 60, seconds % 60);
  return text;
}

std::string textOf(const CtlRecord& r, const char* name) {
  const CtlField* f = ctlField(r, name);
  return f != nullptr && f->kind != CtlField::Null ? f->text : std::string();
}

// One record per LAN: the service's parallel arrays, the server status of
// the setting data and the LAN's whole pool.
std::vector<CtlRecord> lans(const CIMInstance& service, const CtlRecord& settings,
                            const std::vector<CtlRecord>& pools) {
  auto column = [&service](const char* name) {
    CIMValue v = service.getProperty(name).getValue();
    return v.isArray() ? v.toStringArray() : OpenWBEM::StringArray();
  };
  OpenWBEM::StringArray names = column("lanInterfaces"), addresses = column("lanAddresses"),
                        addressing = column("lanAddressing");
  std::vector<CtlRecord> rows;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i].toStdString();
    std::string status =
        textOf(settings, name == "eth2" ? "dhcpServerOAMLANStatus" : "dhcpServerCustomerLANStatus");
    CtlRecord r = {{"InterfaceName", name, CtlField::Text},
                   {"Address", i < addresses.size() ? addresses[i].toStdString() : "", CtlField::Text},
                   {"Addressing", i < addressing.size() ? addressing[i].toStdString() : "", CtlField::Text},
                   {"ServerStatus", status, CtlField::Number},
                   {"Server", name == "eth2" ? (status == "0" ? "off" : "on") : serverStatusText(status),
                    CtlField::Text}};
    for (const CtlRecord& pool : pools) {
      if (textOf(pool, "InstanceID") != name) continue;
      for (const char* f : {"TotalAddresses", "ActiveLeases", "Reservations", "FreeAddresses", "PercentUsed"})
        r.push_back({f, textOf(pool, f), CtlField::Number});
    }
    rows.push_back(r);
  }
  return rows;
}

std::string status(const CtlCommandLine& line, CIMXMLClient& client) {
  CIMInstance serviceInstance = singleton(client, kService).instance;
  CtlRecord service = ctlRecordOf(serviceInstance);
  CtlRecord settings = ctlRecordOf(singleton(client, kSettingData).instance);
  std::vector<CtlRecord> pools = records(client.enumerateInstances(kPools));
  std::vector<CtlRecord> foreign = records(client.enumerateInstances(kForeign));
  std::vector<CtlRecord> lanRows = lans(serviceInstance, settings, pools);
  std::vector<CtlRecord> ranges;
  for (const CtlRecord& pool : pools)
    if (textOf(pool, "InstanceID").find(':') != std::string::npos) ranges.push_back(pool);
  if (line.has("--json")) {
    CtlRecord all = {{"service", ctlJsonObject(service), CtlField::Raw},
                     {"lans", ctlJsonArray(lanRows), CtlField::Raw},
                     {"pools", ctlJsonArray(pools), CtlField::Raw},
                     {"foreignServers", ctlJsonArray(foreign), CtlField::Raw}};
    return ctlJsonObject(all) + "\n";
  }
  std::string version = textOf(service, "agentVersion");
  std::string out = "agent: up" + (version.empty() ? std::string() : ", version " + version) + "\n";
  std::string pid = textOf(service, "dhcpdProcessID");
  std::string since = textOf(service, "dhcpdStartTime");
  out += pid.empty()
             ? std::string("dhcpd: not running\n")
             : "dhcpd: process " + pid +
                   (since.empty() ? std::string()
                                  : ", serving since " + readableTime(since) + " (" + ago(since) + ")") +
                   "\n";
  std::string commit = textOf(service, "lastCommitTime");
  out += commit.empty()
             ? std::string("last commit: none since the agent started\n")
             : "last commit: " + readableTime(commit) + ", " + textOf(service, "lastCommitResult") + "\n";
  out +=
      "LANs:\n" + ctlFormatTable(lanRows, {"InterfaceName", "Address", "Addressing", "Server",
                                           "TotalAddresses", "ActiveLeases", "Reservations", "PercentUsed"});
  out += "address ranges:\n" + listing(line, ranges,
                                       {"InstanceID", "TotalAddresses", "ActiveLeases", "Reservations",
                                        "FreeAddresses", "PercentUsed"});
  out +=
      "foreign DHCP servers:\n" +
      listing(line, foreign, {"InterfaceName", "ServerAddress", "ServerMACAddress", "FirstSeen", "LastSeen"});
  return out;
}

// The self-test's answer: parallel arrays, one element per answering
// server.
std::string selfTest(const CtlCommandLine& line, CIMXMLClient& client) {
  CIMObjectPath service = singleton(client, kService).path;
  CIMParamValueArray in = {CIMParamValue("interface", CIMValue(String(line.words[0]))),
                           CIMParamValue("vendorClass", CIMValue(String(line.option("--vendor")))),
                           CIMParamValue("macAddress", CIMValue(String(line.option("--mac"))))};
  CIMParamValueArray outParams;
  client.invokeMethod(service, kTestMethod, in, outParams);
  std::vector<CtlRecord> servers;
  for (const CIMParamValue& p : outParams) {
    const CIMValue& v = p.getValue();
    if (!v.isArray()) continue;
    for (size_t i = 0; i < v.getArraySize(); ++i) {
      if (servers.size() <= i) servers.resize(i + 1);
      servers[i].push_back(fieldOf(p.getName(), v.getArray()[i]));
    }
  }
  bool ownAnswered = false;
  for (const CtlRecord& r : servers) {
    const CtlField* own = ctlField(r, "ownServer");
    ownAnswered = ownAnswered || (own != nullptr && own->text == "TRUE");
  }
  if (line.has("--json")) {
    CtlRecord all = {{"interface", line.words[0], CtlField::Text},
                     {"ownServerAnswered", ownAnswered ? "true" : "false", CtlField::Boolean},
                     {"servers", ctlJsonArray(servers), CtlField::Raw}};
    return ctlJsonObject(all) + "\n";
  }
  std::string out;
  for (const CtlRecord& r : servers) out += "server:\n" + ctlFormatProperties(r);
  if (servers.empty()) out += "no DHCP server answered on " + line.words[0] + "\n";
  if (!ownAnswered)
    out += "the appliance's own DHCP server does not answer this client on " + line.words[0] + "\n";
  return out;
}

}  // namespace

CtlRecord ctlRecordOf(const CIMInstance& instance) {
  CtlRecord r;
  for (const CIMProperty& p : instance.getProperties()) r.push_back(fieldOf(p.getName(), p.getValue()));
  return r;
}

int ctlRunCimCommand(const CtlCommandLine& line, CIMXMLClient& client, std::string& out) {
  const std::string& c = line.command;
  const bool json = line.has("--json");
  if (c == "status") {
    out = status(line, client);
  } else if (c == "settings") {
    CtlRecord r = ctlRecordOf(singleton(client, kSettingData).instance);
    out = json ? ctlJsonObject(r) + "\n" : ctlFormatProperties(r);
  } else if (c == "set") {
    modify(client, singleton(client, kSettingData).path, line.words);
  } else if (c == "ranges") {
    out = listing(line, records(client.enumerateInstances(kRanges)),
                  {"InstanceID", "StartAddress", "EndAddress", "DefaultGatewayIPAddress", "Caption"});
  } else if (c == "range add") {
    CIMInstance range(kRanges);
    range.setProperty("InstanceID", CIMValue(String("0")));
    range.setProperty("StartAddress", CIMValue(String(line.words[0])));
    range.setProperty("EndAddress", CIMValue(String(line.words[1])));
    std::string id = idOf(client.createInstance(range));
    out = json ? ctlJsonObject({{"InstanceID", id, CtlField::Text}}) + "\n" : "range " + id + " added\n";
  } else if (c == "range set") {
    modify(client, instancePath(kRanges, line.words[0]),
           std::vector<std::string>(line.words.begin() + 1, line.words.end()));
  } else if (c == "range del") {
    client.deleteInstance(instancePath(kRanges, line.words[0]));
  } else if (c == "reservations") {
    out = listing(
        line, records(client.enumerateInstances(kReservations)),
        {"InstanceID", "IPv4Address", "reservedMACAddr", "reservedClientName", "reservedClientDescription"});
  } else if (c == "reservation add") {
    CIMInstance rec(kReservations);
    rec.setProperty("InstanceID", CIMValue(String("0")));
    rec.setProperty("IPv4Address", CIMValue(String(line.words[0])));
    rec.setProperty("reservedMACAddr", CIMValue(String(line.words[1])));
    rec.setProperty("reservedClientName", CIMValue(String(line.words[2])));
    rec.setProperty("reservedClientDescription",
                    CIMValue(String(line.words.size() > 3 ? line.words[3] : "")));
    std::string id = idOf(client.createInstance(rec));
    out =
        json ? ctlJsonObject({{"InstanceID", id, CtlField::Text}}) + "\n" : "reservation " + id + " added\n";
  } else if (c == "reservation del") {
    client.deleteInstance(instancePath(kReservations, line.words[0]));
  } else if (c == "leases") {
    out = listing(line, leases(client, line.option("--lan")),
                  {"LAN", "IPv4Address", "leaseMACAddr", "leaseClientName", "startLeaseDateTime",
                   "expirationLeaseDateTime"});
  } else if (c == "pools") {
    out = listing(
        line, records(client.enumerateInstances(kPools)),
        {"InstanceID", "TotalAddresses", "ActiveLeases", "Reservations", "FreeAddresses", "PercentUsed"});
  } else if (c == "foreign") {
    out = listing(line, records(client.enumerateInstances(kForeign)),
                  {"InterfaceName", "ServerAddress", "ServerMACAddress", "FirstSeen", "LastSeen"});
  } else if (c == "renew") {
    CIMParamValueArray none;
    client.invokeMethod(singleton(client, kService).path, kRenewMethod, CIMParamValueArray(), none);
  } else if (c == "test") {
    out = selfTest(line, client);
  } else if (c == "version") {
    CtlRecord service = ctlRecordOf(singleton(client, kService).instance);
    const CtlField* agent = ctlField(service, "agentVersion");
    std::string agentVersion = agent != nullptr && agent->kind != CtlField::Null ? agent->text : "unknown";
    CtlRecord r = {{"tavrelctl", TAVREL_VERSION, CtlField::Text}, {"agent", agentVersion, CtlField::Text}};
    out = json ? ctlJsonObject(r) + "\n" : ctlFormatProperties(r);
  }
  return kCtlDone;
}
