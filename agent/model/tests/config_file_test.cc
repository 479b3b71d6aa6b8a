// Component configuration file: reading, writing, round trips and the
// handling of odd and malformed files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dhcpd_test_support.h"
#include "model/config_file.h"
#include "model/dhcpd_conf.h"
#include "model/problems.h"
#include "model/records.h"
#include "model_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using model_test::dataFile;
using model_test::readFile;
using model_test::writeFile;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The customer LAN section of tests/data/agent/eth1-section.conf, with every
// key; values maps keys to other values, a null value leaves the key out.
std::string eth1Section(const std::map<std::string, const char*>& values = {}) {
  std::istringstream lines(readFile(dataFile("eth1-section.conf")));
  std::string text;
  for (std::string line; std::getline(lines, line);) {
    auto value = values.find(line.substr(0, line.find(" = ")));
    if (value == values.end())
      text += line + "\n";
    else if (value->second != nullptr)
      text += value->first + " = " + value->second + "\n";
  }
  return text;
}

class ModelConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_test::resetModel();
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    path_ = dir_.file("dhcpcomp.conf");
    ASSERT_LT(path_.size(), sizeof(g_strT20ConfigFilename));
    snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", path_.c_str());
  }
  void TearDown() override {
    model_test::deleteObjects();
    snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", DHCP_DEFAULT_CONFIG_FILENAME);
  }

  // Fresh records; the objects of earlier reads are deleted first.
  void reset(const std::vector<int>& vlans = {}) {
    model_test::deleteObjects();
    model_test::resetModel(vlans);
  }

  // Fresh records for the customer LAN, VLAN 12 and the OAM LAN, each with
  // its address.
  void resetWithEveryLan() {
    reset({12});
    model_test::setInterface(&CustomerLANIpConfig, "192.168.1.1", "255.255.255.0");
    model_test::setInterface(&VLANIpConfig[0], "10.12.0.1", "255.255.255.0");
    model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  }

  void parseCustomerLan(const std::string& text) {
    std::string copy = text;
    dhcpCompParseDhcpCompContentsForInterface(&copy[0], &CustomerLANDhcpCompConfig);
  }

  model_test::TempDir dir_;
  std::string path_;
};

TEST_F(ModelConfigFileTest, SampleFileReadsIntoTheRecords) {
  resetWithEveryLan();
  writeFile(path_, readFile(dataFile("dhcpcomp-sample.conf")));

  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  EXPECT_EQ(1, lan.numAddrRanges);
  EXPECT_EQ(2, lan.numReservedAddrs);
  EXPECT_STREQ("front desk (2nd floor)", lan.reservedAddrs[1].clientDescription);
  EXPECT_EQ(0u, lan.s2PortNumber);
  EXPECT_EQ(4101u, lan.s2OtherPortNumber);
  EXPECT_EQ(1, lan.s2AddressEmpty);
  const s_dhcpCompConfig& vlan = VLANDhcpCompConfig[0];
  EXPECT_STREQ("10.1.1.6", vlan.dnsServer2.ipString);
  EXPECT_EQ(1, vlan.winsServerEmpty);
  EXPECT_EQ(2, vlan.numAddrRanges);
  EXPECT_EQ(0, vlan.s1Action);  // no call-server keys in a VLAN section
  EXPECT_EQ(1, OAMLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(3, g_NumberOfRanges);
  EXPECT_EQ(3, g_NumberOfReservedIPs);

  // Releasing the records deletes their objects.
  dhcpCompDeallocDhcpCompConfig(&CustomerLANDhcpCompConfig, true);
  dhcpCompDeallocDhcpCompConfig(&VLANDhcpCompConfig[0], true);
  EXPECT_EQ(0, g_NumberOfRanges);
  EXPECT_EQ(0, g_NumberOfReservedIPs);
  EXPECT_EQ(0, VLANDhcpCompConfig[0].numAddrRanges);
}

// Files read and written as a commit does, whole against their references
// (the file itself when it is written back unchanged). A reference of a file
// with every section reads back to itself.
TEST_F(ModelConfigFileTest, FilesAreWrittenAsTheirReferences) {
  struct Case {
    const char *file, *reference;
    bool everySection;
  } cases[] = {
      {"dhcpcomp-sample.conf", "dhcpcomp-sample.conf", true},
      {"eth1-section.conf", "eth1-section-written.conf", false},
      {"eth1-keys-inside-values.conf", "eth1-keys-inside-values-written.conf", false},
      {"eth1-overlong-values.conf", "eth1-overlong-values-written.conf", false},
      {"eth1-malformed-entries.conf", "eth1-malformed-entries-written.conf", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string reference = readFile(dataFile(c.reference));
    ASSERT_FALSE(reference.empty());
    std::string text = readFile(dataFile(c.file));
    for (int round = 0; round < (c.everySection ? 2 : 1); ++round) {
      resetWithEveryLan();
      writeFile(path_, text);
      ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
      ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
      text = readFile(path_);
      EXPECT_EQ(reference, text) << "round " << round;
    }
  }
}

TEST_F(ModelConfigFileTest, CustomerLanOnlyFileLeavesOamAndVlansAlone) {
  reset({12});
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  writeFile(path_, eth1Section());
  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  EXPECT_EQ(2, CustomerLANDhcpCompConfig.dhcpStatus);
  EXPECT_EQ(0, OAMLANDhcpCompConfig.dhcpStatus);
  EXPECT_EQ(0, OAMLANDhcpCompConfig.numAddrRanges);
  EXPECT_EQ(0, VLANDhcpCompConfig[0].dhcpStatus);
  EXPECT_STREQ("eth1.12", VLANDhcpCompConfig[0].interfaceName);

  reset();
  unlink(path_.c_str());
  EXPECT_EQ(0, dhcpCompReadDhcpCompConfigFile());
  EXPECT_EQ(0, CustomerLANDhcpCompConfig.dhcpStatus);
}

TEST_F(ModelConfigFileTest, ValueForms) {
  struct Case {
    const char *key, *value, *dns1, *dns2, *domain, *vlans;
  } cases[] = {
      {"dnsServers", "10.0.0.1,10.0.0.2", "10.0.0.1", "10.0.0.2", "lan", ""},
      {"dnsServers", "10.0.0.1,   10.0.0.2", "10.0.0.1", "10.0.0.2", "lan", ""},
      {"dnsServers", "10.1, 0x0a000002", "10.0.0.1", "10.0.0.2", "lan", ""},
      {"dnsServers", "", "", "", "lan", ""},
      {"domainName", "lan.", "10.0.0.1", "", "lan", ""},  // one trailing point goes
      {"domainName", "", "10.0.0.1", "", "", ""},
      // A list the rule refuses is kept as written, to be written back.
      {"vlanIds", "1;2", "10.0.0.1", "", "lan", "1;2"},
      {"vlanIds", "1,2,3", "10.0.0.1", "", "lan", "1,2,3"},
      {"vlanIds", "100,200,", "10.0.0.1", "", "lan", "100,200,"},
      {"vlanIds", "07", "10.0.0.1", "", "lan", "07"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + c.value);
    reset();
    parseCustomerLan(eth1Section({{c.key, c.value}}));
    const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
    EXPECT_STREQ(c.dns1, lan.dnsServer1.ipString);
    EXPECT_STREQ(c.dns2, lan.dnsServer2.ipString);
    EXPECT_EQ(c.dns1[0] == '\0', lan.dnsServersEmpty != 0);
    EXPECT_STREQ(c.domain, lan.domainName);
    EXPECT_EQ(c.domain[0] == '\0', lan.domainNameEmpty != 0);
    EXPECT_STREQ(c.vlans, lan.vlanIds);
    EXPECT_EQ(5000u, lan.s2PortNumber);  // the keys after it are still read
  }
}

TEST_F(ModelConfigFileTest, CallServerPortsAndOwnAddress) {
  writeFile(path_, eth1Section({{"s1PortNumber", "4101"}, {"s1Address", "192.168.1.1"}}));
  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  EXPECT_EQ(0u, lan.s1PortNumber);
  EXPECT_EQ(4101u, lan.s1OtherPortNumber);
  EXPECT_EQ(5000u, lan.s2PortNumber);
  EXPECT_EQ(1, lan.s1AddressEmpty);  // the LAN's own address stands for "empty"

  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_THAT(readFile(path_), HasSubstr("\ns1Address = \ns1PortNumber = 4101\n"));
  EXPECT_THAT(readFile(path_), HasSubstr("\ns2PortNumber = 5000\n"));
}

TEST_F(ModelConfigFileTest, IntegratedRouterRuleForDhcpServerOnRouter) {
  struct Case {
    const char* value;  // null: key missing
    int router;
    const char* status;
    int wantOnRouter;
    int wantStatus;
  } cases[] = {
      {nullptr, 1, "2", 1, 0}, {nullptr, 0, "3", 0, 1}, {nullptr, 0, "2", 0, 2},
      {"1", 0, "2", 0, 1},     {"1", 1, "2", 1, 2},     {"0", 1, "3", 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value ? c.value : "none") + " router=" + std::to_string(c.router));
    reset();
    g_bIntegratedRouterPresent = static_cast<uint8_t>(c.router);
    parseCustomerLan(eth1Section({{"dhcpServerOnRouter", c.value}, {"dhcpStatus", c.status}}));
    EXPECT_EQ(c.wantOnRouter, CustomerLANDhcpCompConfig.dhcpServerOnRouter);
    EXPECT_EQ(c.wantStatus, CustomerLANDhcpCompConfig.dhcpStatus);
  }
}

TEST_F(ModelConfigFileTest, OamLanGetsOneAddressNextToItsOwn) {
  struct Case {
    const char* address;
    const char* mask;
    const char* range;  // empty: no room (message 62006), the parse ends
  } cases[] = {
      {"172.31.0.1", "255.255.255.0", "172.31.0.2"},
      {"172.31.0.254", "255.255.255.0", "172.31.0.253"},
      {"172.31.0.126", "255.255.255.128", "172.31.0.125"},
      {"172.31.0.1", "255.255.255.252", "172.31.0.2"},
      {"172.31.0.2", "255.255.255.254", ""},
      {"172.31.0.2", "255.255.255.255", ""},
  };
  const std::string oam = readFile(dataFile("eth2-section.conf"));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + "/" + c.mask);
    reset();
    model_test::setInterface(&OAMLANIpConfig, c.address, c.mask);
    // A second section of the same name would add to the record.
    std::string text = oam + "\n" + oam;
    dhcpCompParseDhcpCompContentsForInterface(&text[0], &OAMLANDhcpCompConfig);
    const s_dhcpCompConfig& cfg = OAMLANDhcpCompConfig;
    EXPECT_EQ(2, cfg.dhcpStatus);
    EXPECT_EQ(600u, cfg.leaseTime);
    ASSERT_EQ(c.range[0] == '\0' ? 0 : 1, cfg.numAddrRanges);  // the file's own ranges are not read
    if (c.range[0] == '\0') continue;
    EXPECT_STREQ(c.range, cfg.addrRanges[0].startAddr.ipString);
    EXPECT_STREQ(c.range, cfg.addrRanges[0].endAddr.ipString);
  }
}

// Problems the reader reports while parsing text for the customer LAN, as
// "<line> <value>: <text>".
std::vector<std::string> customerLanProblems(const std::string& text) {
  std::vector<std::string> problems;
  dhcpCompSetReadProblemSink([&problems](const DhcpCompReadProblem& p) {
    problems.push_back(std::to_string(p.line) + " " + p.value + ": " + p.text);
  });
  std::string copy = text;
  dhcpCompParseDhcpCompContentsForInterface(&copy[0], &CustomerLANDhcpCompConfig);
  dhcpCompSetReadProblemSink(nullptr);
  return problems;
}

// Entries that cannot be used are reported with their lines and kept as
// written for the writer (whole files: FilesAreWrittenAsTheirReferences),
// but neither served nor shown as instances.
TEST_F(ModelConfigFileTest, MalformedEntriesAreKeptAsWrittenButNotUsed) {
  const std::string kept = ": cannot be used; kept as written, not served",
                    stored = ": cannot be used; kept as stored";
  EXPECT_THAT(customerLanProblems(readFile(dataFile("eth1-malformed-entries.conf"))),
              ElementsAre("9 192.168.1.120 192.168.1.130" + kept, "9 192.168.1.140-junk" + kept,
                          "9 192.168.1.170-192.168.1.165" + kept, "10 192.168.1.21 00:0A:0B:0C:0D:02" + kept,
                          "10 192.168.1.22 00:0A:0B:0C:0D:03 bad;name x" + stored,
                          "10 192.168.1.23 00:0A:0B:0C:0D:04 tab desc\there" + stored,
                          "10 192.168.1.24 00:0A:0B:0C:0D:05 last" + kept,
                          "10 192.168.1.25 00:0a:0b:0c:0d:01 same-mac x" + kept,
                          "10 10.9.9.9 00:0A:0B:0C:0D:06 away x" + kept));
  EXPECT_THAT(dhcpCompFormatDhcpdConfig(),
              AllOf(HasSubstr("range 192.168.1.150 192.168.1.160;"), Not(HasSubstr("192.168.1.170")),
                    Not(HasSubstr("192.168.1.24;")), Not(HasSubstr("10.9.9.9"))));
  const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  ASSERT_EQ(2, lan.numAddrRanges);
  EXPECT_STREQ("192.168.1.100", lan.addrRanges[0].startAddr.ipString);
  EXPECT_STREQ("192.168.1.160", lan.addrRanges[1].endAddr.ipString);
  EXPECT_STREQ("192.168.1.254", lan.addrRanges[1].gateway.ipString);
  // A name or description that only today's rules refuse is kept as stored.
  ASSERT_EQ(3, lan.numReservedAddrs);
  EXPECT_STREQ("00:0A:0B:0C:0D:01", lan.reservedAddrs[0].macAddr);
  EXPECT_STREQ("desc", lan.reservedAddrs[0].clientDescription);
  EXPECT_STREQ("bad;name", lan.reservedAddrs[1].clientName);
  EXPECT_STREQ("desc\there", lan.reservedAddrs[2].clientDescription);
  // Everything after the malformed lines was still read.
  EXPECT_EQ(5000u, lan.s2PortNumber);
  EXPECT_EQ(0, lan.dhcpServerOnRouter);

  // A text that ends inside an entry.
  for (std::string end : {"addrRange = 10.0.0.1", "reservedAddrs = 192.168.1.9 00:0A"}) {
    SCOPED_TRACE(end);
    reset();
    std::string cut = eth1Section({{end.substr(0, end.find(" = ")), end.c_str() + end.find(" = ") + 3}});
    parseCustomerLan(cut.substr(0, cut.find(end) + end.size()));
    EXPECT_EQ(0, CustomerLANDhcpCompConfig.numAddrRanges);
    EXPECT_EQ(0, CustomerLANDhcpCompConfig.numReservedAddrs);
  }

  // What is kept has a bound: an entry beyond it is dropped, and says so.
  reset();
  std::string junk(DHCP_KEPT_ENTRIES_SIZE, 'j');
  std::vector<std::string> problems =
      customerLanProblems(eth1Section({{"addrRange", ("a, " + junk + ", b").c_str()}}));
  ASSERT_EQ(3u, problems.size());
  EXPECT_EQ("9 " + junk + ": cannot be used; dropped: the line keeps no more unusable entries", problems[1]);
  EXPECT_STREQ("a, b", CustomerLANDhcpCompConfig.keptAddrRanges);
}

// Values too long for their fields are reported and written back as
// written (whole files: FilesAreWrittenAsTheirReferences) until changed;
// those whose first characters would name something else are not used.
TEST_F(ModelConfigFileTest, OverlongValuesAreKeptAsWritten) {
  const std::string used = "characters; its first ones are used, kept as written",
                    unused = "characters; not used, kept as written";
  std::vector<std::string> problems = customerLanProblems(readFile(dataFile("eth1-overlong-values.conf")));
  ASSERT_EQ(6u, problems.size());
  EXPECT_THAT(problems[0], AllOf(HasSubstr("3 10.0.0.1, "), HasSubstr(" x: is longer than 59 " + unused)));
  EXPECT_EQ("4 " + std::string(100, 'd') + ": is longer than 41 " + unused, problems[1]);
  EXPECT_EQ("10 " + std::string(36, 'n') + ": is longer than 35 " + used, problems[2]);  // by one
  EXPECT_EQ("10 " + std::string(80, 'x') + ": is longer than 43 " + used, problems[3]);
  EXPECT_EQ("19 " + std::string(70, '1') + ": is longer than 53 " + unused, problems[4]);
  EXPECT_EQ("22 " + std::string(40, '7') + ": is longer than 29 " + used, problems[5]);
  const s_dhcpCompConfig& lan = CustomerLANDhcpCompConfig;
  EXPECT_STREQ("", lan.domainName);
  EXPECT_EQ(0, lan.domainNameEmpty);  // not the lease's domain either
  EXPECT_EQ(0u, lan.dnsServer1.ipLong);
  EXPECT_STREQ("", lan.vlanIds);
  ASSERT_EQ(1, lan.numReservedAddrs);
  EXPECT_EQ(std::string(35, 'n'), lan.reservedAddrs[0].clientName);
  EXPECT_EQ(std::string(29, '7'), CustomerLANIpConfig.renewTimeLease);
  EXPECT_THAT(dhcpCompFormatDhcpdConfig(),
              AllOf(Not(HasSubstr("domain-name")), HasSubstr("host " + std::string(35, 'n') + " {")));

  // A field changed since the read is written with its new value.
  snprintf(CustomerLANDhcpCompConfig.domainName, sizeof(lan.domainName), "lan");
  snprintf(CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription, DHCP_CLIENT_DESCRIPTION_SIZE,
           "desk");
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_THAT(readFile(path_), AllOf(HasSubstr("\ndomainName = lan\n"),
                                     HasSubstr(" 00:0A:0B:0C:0D:01 " + std::string(36, 'n') + " desk\n"),
                                     HasSubstr("\nvlanIds = " + std::string(70, '1') + "\n")));

  // An address or MAC address too long for its field makes its entry unusable.
  reset();
  std::string mac = "00:0A:0B:0C:0D:01" + std::string(5, '0');
  EXPECT_THAT(customerLanProblems(eth1Section({{"reservedAddrs", ("192.168.1.20 " + mac + " a b").c_str()}})),
              ElementsAre("10 192.168.1.20 " + mac + " a b: cannot be used; kept as written, not served"));

  // What is kept has a bound: a value beyond it is cut, and says so.
  reset();
  std::string huge(DHCP_KEPT_VALUES_SIZE, 'd');
  EXPECT_THAT(
      customerLanProblems(eth1Section({{"domainName", huge.c_str()}})),
      ElementsAre("4 " + huge +
                  ": is longer than 41 characters; not used, cut: the LAN keeps no more long values"));
}

TEST_F(ModelConfigFileTest, VlansShareTheCustomerLansCommonSettings) {
  reset({12, 20});
  parseCustomerLan(eth1Section({{"vlanIds", "12,20"}}));
  VLANDhcpCompConfig[1].defaultGateway = model_test::address("10.20.0.1");
  duplicateCommonPortion();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(4100u, VLANDhcpCompConfig[i].s1PortNumber);
  EXPECT_STREQ("20", VLANDhcpCompConfig[1].vlanIds);
  // The file written then holds them in every VLAN's section, whose own
  // gateway stays.
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_EQ(readFile(dataFile("vlans-common-settings.conf")), readFile(path_));
}

// Fills every slot of a record directly, with fields of their full lengths.
void fillRecord(s_dhcpCompConfig* cfg, int net) {
  std::string prefix = "223." + std::to_string(net) + ".", name(DHCP_CLIENT_NAME_SIZE - 1, 'n');
  for (int i = 0; i < DHCP_MAX_ADDR_RANGES; ++i) {
    std::string a = prefix + std::to_string(i) + ".200";
    dhcpd_test::addRange(cfg, i, a.c_str(), a.c_str());
  }
  char mac[18];
  for (int i = 0; i < DHCP_MAX_RESERVED_ADDRS; ++i) {
    std::string a = prefix + std::to_string(i) + ".201";
    snprintf(mac, sizeof(mac), "00:0A:0B:0C:%02X:%02X", net, i);
    dhcpd_test::addReservation(cfg, i, a.c_str(), mac, name.c_str());
    memset(cfg->reservedAddrs[i].clientDescription, 'd', sizeof(cfg->reservedAddrs[i].clientDescription) - 1);
  }
}

TEST_F(ModelConfigFileTest, WriterGrowsBeyondItsInitialBuffer) {
  std::vector<int> vlans;
  for (int i = 1; i <= DHCP_MAX_VLANS; ++i) vlans.push_back(i);
  reset(vlans);
  fillRecord(&CustomerLANDhcpCompConfig, 0);
  fillRecord(&OAMLANDhcpCompConfig, 99);
  for (int i = 0; i < DHCP_MAX_VLANS; ++i) fillRecord(&VLANDhcpCompConfig[i], i + 1);

  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  std::string written = readFile(path_);
  EXPECT_GT(written.size(), 33720u * 4);
  EXPECT_EQ(0u, written.find("[eth1]\n"));
  EXPECT_NE(std::string::npos, written.find("\n\n[eth1.16]\n"));
  size_t oam = written.find("\n\n[eth2]\n");
  ASSERT_NE(std::string::npos, oam);
  EXPECT_EQ(std::string::npos, written.find("\n\n", oam + 2));
  std::string lastReservation =
      ", 223.99.63.201 00:0A:0B:0C:63:3F " + std::string(35, 'n') + " " + std::string(43, 'd') + "\n";
  EXPECT_EQ(written.size() - lastReservation.size(), written.rfind(lastReservation));
}

TEST_F(ModelConfigFileTest, ValuesCannotBreakTheirLines) {
  snprintf(CustomerLANDhcpCompConfig.domainName, sizeof(CustomerLANDhcpCompConfig.domainName),
           "lan\nwinsServer = 10.9.9.9");
  snprintf(CustomerLANIpConfig.renewTimeLease, sizeof(CustomerLANIpConfig.renewTimeLease),
           "3 2026/12/06\r\t20:27:36");
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_THAT(readFile(path_), HasSubstr("\ndomainName = lan winsServer = 10.9.9.9\n"));
  EXPECT_THAT(readFile(path_), HasSubstr("\nrenewTimeLease = 3 2026/12/06  20:27:36\n"));

  reset();
  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.winsServerEmpty);
  EXPECT_EQ(0u, CustomerLANDhcpCompConfig.winsServer.ipLong);
}

TEST_F(ModelConfigFileTest, KeysAndSectionsCountOnlyAtLineStarts) {
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
  writeFile(path_, readFile(dataFile("eth1-keys-inside-values.conf")));
  ASSERT_EQ(1, dhcpCompReadDhcpCompConfigFile());
  EXPECT_EQ(2, CustomerLANDhcpCompConfig.dhcpStatus);
  EXPECT_EQ(1, CustomerLANDhcpCompConfig.s1AddressEmpty);
  // Keys indented by blanks or tabs count as well.
  EXPECT_EQ(3600u, CustomerLANDhcpCompConfig.leaseTime);
  EXPECT_EQ(4100u, CustomerLANDhcpCompConfig.s1PortNumber);
  EXPECT_EQ(5000u, CustomerLANDhcpCompConfig.s2PortNumber);
  EXPECT_STREQ("note s1Address = 192.168.1.9", CustomerLANDhcpCompConfig.reservedAddrs[0].clientDescription);
  EXPECT_EQ(0, OAMLANDhcpCompConfig.dhcpStatus);  // no "[eth2]" section
  EXPECT_EQ(0, OAMLANDhcpCompConfig.numAddrRanges);
}

TEST_F(ModelConfigFileTest, SnapshotsAreWrittenWhenAsked) {
  CustomerLANDhcpCompConfigSaved = CustomerLANDhcpCompConfig;
  CustomerLANDhcpCompConfigSaved.leaseTime = 1234;
  OAMLANDhcpCompConfigSaved = OAMLANDhcpCompConfig;
  CustomerLANDhcpCompConfig.leaseTime = 99;
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(1));
  EXPECT_THAT(readFile(path_), HasSubstr("leaseTime = 1234\n"));
  EXPECT_THAT(readFile(path_), HasSubstr("[eth2]\n"));
  ASSERT_EQ(1, dhcpCompWriteDhcpCompConfigFile(0));
  EXPECT_THAT(readFile(path_), HasSubstr("leaseTime = 99\n"));
}

// The readers' fuzz target over every cut of the samples: a file or vendor
// text broken off anywhere never makes a reader run past the text or a field
// (checked by the sanitizer build).
TEST_F(ModelConfigFileTest, ReadersTakeEveryCutOfTheSamples) {
  const std::string samples[] = {
      readFile(dataFile("dhcpcomp-sample.conf")),
      readFile(dataFile("eth1-malformed-entries.conf")),
      "10.0.0.5:4100,1,3;10.0.0.6:4100,1,3.VLAN-A:100,200,.",
      "2,1.100-1.200.",
  };
  for (const std::string& text : samples) {
    ASSERT_FALSE(text.empty());
    for (size_t n = 0; n <= text.size(); ++n)
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(text.data()), n);
  }
}

}  // namespace
