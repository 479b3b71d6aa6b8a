// The management endpoint as a hostile local user meets it: TavrelAgent in
// the appliance sandbox, an unprivileged user (setpriv), the real wbemcli and
// curl. Only credentials reach the agent over TCP, only root its Unix
// socket; nesting is bounded; a planted "temp.txt" is never followed; every
// change is in the audit trail; another user's process is never signalled;
// a stop leaves no dhcpd. Peers that hold connections, guess passwords or
// offer weak TLS lock out no one and learn nothing.
#include <arpa/inet.h>
#include <crypt.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

const char kSocket[] = "/var/run/TavrelAgent.socket";
const char kVictim[] = "/root/victim";
const char kNobody[] = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// HTTP status and seconds of a bare POST to the agent with curl's options.
std::pair<std::string, double> answerOf(const std::string& options, const std::string& prefix = "") {
  std::string out = runCommand(prefix +
                               "curl -sk --max-time 30 -o /dev/null -w '%{http_code} %{time_total}' -X POST "
                               "-H 'Content-Type: application/xml' " +
                               options + " 2>/dev/null")
                        .output;
  std::size_t blank = out.find(' ');
  return {out.substr(0, blank), blank == std::string::npos ? 99.0 : std::atof(out.c_str() + blank + 1)};
}

// Connections from 127.0.0.<source> to the agent's port that never send a
// byte.
void holdConnections(int source, int port, int count, std::vector<int>& fds) {
  const std::string from = "127.0.0." + std::to_string(source);
  for (int i = 0; i < count; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &a.sin_addr);
    bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (ok && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
      fds.push_back(fd);
    else
      close(fd);
  }
}

// Of fds, those the agent closed.
size_t closedBy(const std::vector<int>& fds) {
  size_t closed = 0;
  for (int fd : fds) {
    pollfd p = {fd, POLLIN, 0};
    closed += poll(&p, 1, 0) == 1;
  }
  return closed;
}

class SecuritySystemTest : public CimSystemTest {
 protected:
  void SetUp() override {
    if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    if (runCommand("command -v setpriv").status != 0) GTEST_SKIP() << "setpriv is needed";
    // What another user plants in the directory the agent is started from.
    ASSERT_TRUE(writeFile(kVictim, "root only\n"));
    ASSERT_EQ(0, symlink(kVictim, "temp.txt"));
    CimSystemTest::SetUp();
  }
  void TearDown() override {
    unlink("temp.txt");
    CimSystemTest::TearDown();
  }
};

TEST_F(SecuritySystemTest, StrangersRefusedChangesAuditedAndStopLeavesNoDhcpd) {
  const std::string tcp = "http://127.0.0.1:5988/cimom", unix = std::string("--unix-socket ") + kSocket;
  struct {
    const char* what;
    std::string prefix, options, status;
  } cases[] = {
      {"TCP, no credentials", kNobody, tcp, "401"},
      {"TCP, wrong password", kNobody, tcp + " -u " + kCimUser + ":guess", "401"},
      {"TCP, right credentials, empty request", kNobody, tcp + " -u " + kCimUser + ":" + kCimPassword, "400"},
      {"Unix socket, unprivileged", kNobody, unix + " http://localhost/cimom", "000"},
      {"Unix socket, root", "", unix + " http://localhost/cimom", "400"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.status, answerOf(c.options, c.prefix).first);
  }

  // Nesting deeper than any request is refused, and the agent serves on.
  std::string deep;
  for (int i = 0; i < 37000; ++i) deep += "<VALUE.ARRAY>";
  for (int i = 0; i < 37000; ++i) deep += "</VALUE.ARRAY>";
  CIMError e = m_agent->call("CreateInstance",
                             "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"ZPX_DHCPSettingData\">"
                             "<PROPERTY.ARRAY NAME=\"x\" TYPE=\"string\">" +
                                 deep + "</PROPERTY.ARRAY></INSTANCE></IPARAMVALUE>");
  EXPECT_EQ(-1, e.code) << "an HTTP refusal expected: " << e.description;
  EXPECT_THAT(e.description, HasSubstr("request-not-valid"));

  // Values at the CIM edge: each refused with its code, over the wire.
  const struct {
    const char* property;
    const char* value;
    int code;
    const char* tag;  // "" an HTTP refusal
  } values[] = {
      {"s1IPAddress", "192.168.001.061", 1, "#DHC_ERROR_320#"},
      {"primaryDNSIPAddress", "1.2.3", 1, "#DHC_ERROR_320#"},
      {"primaryDNSIPAddress", "192.168.1.63&#10;", 1, "#DHC_ERROR_320#"},
      {"secondaryDNSIPAddress", "1.2.3.4 5.6.7.8", 1, "#DHC_ERROR_320#"},
      {"domainName", "lab&#0;.example", -1, ""},
  };
  for (const auto& v : values) {
    SCOPED_TRACE(v.value);
    CIMError refused = m_agent->modifySettingData(property(v.property, "string", v.value));
    EXPECT_EQ(v.code, refused.code) << refused.description;
    EXPECT_THAT(refused.description, HasSubstr(v.code < 0 ? "request-not-well-formed" : v.tag));
  }
  ok("ci", "ZPX_DHCPReservedAddress.InstanceID=\"0\"",
     "IPv4Address=\"192.168.1.20\",reservedMACAddr=\"0a0b0c0d0e0f\",reservedClientName=\"desk\"");
  for (const auto& r :
       {std::make_pair("IPv4Address=\"192.168.1.255\",reservedMACAddr=\"0a0b0c0d0e01\"", "320"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"ff:ff:ff:ff:ff:ff\"", "327"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"000000000000\"", "327"),
        std::make_pair("IPv4Address=\"192.168.1.21\",reservedMACAddr=\"0A:0B:0C:0D:0E:0F\"", "327")}) {
    SCOPED_TRACE(r.first);
    EXPECT_THAT(m_agent->wbemcli("ci", "ZPX_DHCPReservedAddress.InstanceID=\"1\"", r.first).err,
                HasSubstr(std::string("#DHC_ERROR_") + r.second + "#"));
  }

  // Start-up and an IP change run commands whose output the agent reads.
  ASSERT_TRUE(writeFile("/pq/etc/ipchnged.tmp", ""));
  EXPECT_TRUE(waitUntil([] { return !fileExists("/pq/etc/ipchnged.tmp"); }, std::chrono::seconds(15)));
  EXPECT_EQ("root only\n", readFile(kVictim));
  char target[64] = "";
  EXPECT_GT(readlink("temp.txt", target, sizeof(target) - 1), 0) << "the planted link is gone";
  struct stat st;
  ASSERT_EQ(0, lstat("/var/run/TavrelAgent", &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(0700u, st.st_mode & 0777);
  EXPECT_EQ(0u, st.st_uid);

  // Audit trail.
  const std::string who = "by user \"cimadmin\" at 127.0.0.1 (HTTP)";
  ok("mi", kSettingDataPath, "leaseTime=7200");
  ok("ci", "ZPX_DHCPRangeOfIPAddresses.InstanceID=\"1\"",
     "InstanceID=\"1\",StartAddress=\"192.168.1.200\",EndAddress=\"192.168.1.220\"");
  m_agent->wbemcli("cm", kServicePath, "renewDynamicIPAddress");
  // wbemcli shows a refusal with its status and error tag.
  EXPECT_THAT(m_agent->wbemcli("mi", kSettingDataPath, "s2OtherPort=10000").err,
              AllOf(HasSubstr("CIM_ERR_INVALID_PARAMETER"),
                    HasSubstr("#CFG_000_0003,MOF_Props_ZPX_DHCPSettingData_s2OtherPort,9999#")));
  // Root's object manager on the Unix socket, identified by its uid and pid.
  CIMError deleted =
      m_agent->call("DeleteInstance",
                    "<IPARAMVALUE NAME=\"InstanceName\">" +
                        instanceName("ZPX_DHCPRangeOfIPAddresses", {{"InstanceID", "1"}}) + "</IPARAMVALUE>",
                    nullptr, true);
  EXPECT_EQ(0, deleted.code) << deleted.description;
  for (const std::string& line :
       {"audit: ModifyInstance " + who +
            ": class ZPX_DHCPSettingData key {InstanceID=\"Zelkor:ZPX_DHCPSettingData\"}; "
            "leaseTime: \"3600\" -> \"7200\"",
        std::string("audit: DeleteInstance by uid 0 pid "),
        "audit: CreateInstance " + who + ": class ZPX_DHCPRangeOfIPAddresses key {InstanceID=",
        "audit: InvokeMethod renewDynamicIPAddress " + who,
        "audit: ModifyInstance " + who + " refused with CIM status 4"})
    EXPECT_THAT(m_agent->log(), HasSubstr(line));

  // An unprivileged program named dhcpd, recorded in dhcpd's PID file.
  runCommand("kill $(cat /var/run/dhcpd.pid); cp /bin/sleep /tmp/dhcpd; chmod 755 /tmp/dhcpd");
  std::string pid = runCommand(std::string(kNobody) + "/tmp/dhcpd 600 >/dev/null 2>&1 & echo $!").output;
  pid.erase(pid.find_last_not_of('\n') + 1);
  ASSERT_FALSE(pid.empty());
  ASSERT_TRUE(writeFile(kDhcpdPidFile, pid + "\n"));
  // A change commits: the server is stopped through its PID file and started.
  ok("mi", kSettingDataPath, "leaseTime=7300");
  EXPECT_EQ(0, runCommand("grep -q '^State:.*[RS]' /proc/" + pid + "/status").status)
      << "another user's dhcpd was signalled";
  runCommand("kill " + pid);

  // Changes that restart dhcpd keep arriving while the agent stops.
  std::string modify = "while :; do wbemcli mi '" + cimUrl() + "/root/cimv2:" + kSettingDataPath +
                       "' leaseTime=$((RANDOM % 1000 + 600)) >/dev/null 2>&1; done";
  runCommand("for i in 1 2 3; do (" + modify + ") >/dev/null 2>&1 & echo $! >> clients.pid; done");
  const size_t audited = m_agent->log().rfind("audit: ModifyInstance");
  ASSERT_TRUE(waitUntil([&] { return m_agent->log().rfind("audit: ModifyInstance") != audited; }));
  EXPECT_TRUE(m_agent->stop());
  runCommand("kill $(cat clients.pid) 2>/dev/null; rm -f clients.pid");
  EXPECT_EQ("", runCommand("pgrep -x dhcpd").output) << "dhcpd runs after the agent ended\n"
                                                     << m_agent->log();
}

}  // namespace

namespace {

TEST_F(SecuritySystemTest, HostilePeersLockOutNoOneGuessSlowlyAndMeetStrongTlsOnly) {
  const std::string right = std::string(" -u ") + kCimUser + ":" + kCimPassword,
                    tcp = " http://127.0.0.1:5988/cimom";
  // Idle connections, and connections that never start TLS, from several
  // addresses: 4 per address and 16 in all are served at once.
  struct {
    const char* what;
    int first, sources, port, each;
    size_t closed;  // by the agent, to stay within its quotas
  } holds[] = {
      {"two addresses idle on HTTP", 2, 2, 5988, 8, 8},
      {"five addresses never starting TLS", 4, 5, 5989, 4, 4},
  };
  for (const auto& h : holds) {
    SCOPED_TRACE(h.what);
    std::vector<int> fds;
    for (int i = 0; i < h.sources; ++i) holdConnections(h.first + i, h.port, h.each, fds);
    ASSERT_EQ(static_cast<size_t>(h.sources * h.each), fds.size());
    EXPECT_TRUE(waitUntil([&] { return closedBy(fds) >= h.closed; }, std::chrono::seconds(4)));
    for (const std::string& url : {tcp, std::string(" https://127.0.0.1:5989/cimom")}) {
      auto served = answerOf(right + url);
      EXPECT_EQ("400", served.first) << url;
      EXPECT_LT(served.second, 6) << url;
    }
    for (int fd : fds) close(fd);
  }

  // TLS 1.2 only with forward-secret AEAD suites; TLS 1.3.
  const std::pair<std::string, bool> suites[] = {{"-tls1_2 -cipher AES128-GCM-SHA256", false},
                                                 {"-tls1_2 -cipher ECDHE-RSA-AES128-SHA256", false},
                                                 {"-tls1_2 -cipher ECDHE-RSA-AES128-GCM-SHA256", true},
                                                 {"-tls1_3", true}};
  for (const auto& [options, served] : suites)
    EXPECT_EQ(served, runCommand("timeout 10 openssl s_client -connect 127.0.0.1:5989 " + options +
                                 " </dev/null >/dev/null 2>&1")
                              .status == 0)
        << options;

  // The credentials file changes: a costly hash for a new user, and a DES
  // line that is skipped.
  struct crypt_data data = {};
  const std::string slow = crypt_r("Second-pw-2", "$6$rounds=100000$tavrelslow$", &data);
  ASSERT_TRUE(writeFile("/pq/etc/new.passwd", "old:abhWCwoTZY2c6\noperator:" + slow + "\n"));
  ASSERT_EQ(0, chmod("/pq/etc/new.passwd", 0600));
  ASSERT_EQ(0, rename("/pq/etc/new.passwd", "/pq/etc/tavrel-cim.passwd"));
  EXPECT_TRUE(waitUntil([&] {
    answerOf(tcp);
    return contains(m_agent->log(), "Credentials re-read after a change: 1 users");
  }));
  EXPECT_THAT(m_agent->log(), HasSubstr("tavrel-cim.passwd: line 1 is skipped"));
  // The removed user, the DES line's user, the new user.
  const std::pair<std::string, std::string> logins[] = {
      {right, "401"}, {" -u old:s3cret", "401"}, {" -u operator:Second-pw-2", "400"}};
  for (const auto& [credentials, status] : logins)
    EXPECT_EQ(status, answerOf(credentials + tcp).first) << credentials;

  // An unknown user costs what a wrong password costs (each from its own
  // address, before any backoff).
  double unknown = 99, known = 99;
  for (int i = 0; i < 3; ++i) {
    unknown = std::min(unknown, answerOf("--interface 127.0.0.21 -u nobody:x" + tcp).second);
    known = std::min(known, answerOf("--interface 127.0.0.22 -u operator:x" + tcp).second);
  }
  std::printf("login refusal: unknown user %.3f s, wrong password %.3f s\n", unknown, known);
  EXPECT_GT(unknown, 0.5 * known);

  // Guesses from 10 addresses keep the TCP worker hashing; root's Unix
  // socket is served meanwhile.
  runCommand(
      "for i in $(seq 30 39); do (for k in 1 2 3; do curl -s -o /dev/null --interface 127.0.0.$i "
      "-u operator:guess -X POST http://127.0.0.1:5988/cimom; done) >/dev/null 2>&1 & "
      "echo $! >> flood.pid; done");
  double slowest = 0;
  for (int i = 0; i < 5; ++i)
    slowest = std::max(slowest,
                       answerOf(std::string("--unix-socket ") + kSocket + " http://localhost/cimom").second);
  std::printf("root's Unix socket during the guesses: slowest %.3f s\n", slowest);
  EXPECT_LT(slowest, std::max(1.0, 2 * known));
  EXPECT_TRUE(waitUntil([] { return runCommand("kill -0 $(cat flood.pid) 2>/dev/null").status != 0; },
                        std::chrono::seconds(60)));
  // One address: 3 free failures, then it waits (1 s after the fourth) and
  // is answered at once, until its wait is over.
  const std::string guess = "--interface 127.0.0.23 -u operator:guess" + tcp;
  const std::string good = "--interface 127.0.0.23 -u operator:Second-pw-2" + tcp;
  int checked = 0;
  std::pair<std::string, double> answer;
  while (checked < 7 && (answer = answerOf(guess)).first == "401") ++checked;
  EXPECT_EQ("429", answer.first);
  EXPECT_GE(checked, 4);
  EXPECT_LT(answer.second, known);
  EXPECT_TRUE(waitUntil([&] { return answerOf(good).first == "400"; }));
  runCommand("rm -f flood.pid");
  // About 50 refusals, a few lines a minute.
  EXPECT_LE(occurrences(m_agent->log(), "CIM request from "), 10u);

  // A key file others can read keeps HTTPS off.
  ASSERT_TRUE(m_agent->stop());
  ASSERT_EQ(0, chmod("/pq/etc/tavrel-cim.key", 0644));
  m_agent = std::make_unique<AgentUnderTest>(agentOptions());
  ASSERT_TRUE(m_agent->running()) << m_agent->log();
  EXPECT_THAT(m_agent->log(), AllOf(HasSubstr("HTTPS: key file /pq/etc/tavrel-cim.key: accessible to group"),
                                    HasSubstr("HTTPS listener kept off"),
                                    HasSubstr("HTTP listener on 127.0.0.1 port 5988 opened")));
  EXPECT_EQ("000", answerOf(right + " https://127.0.0.1:5989/cimom").first);
  EXPECT_EQ("400", answerOf(right + tcp).first);
}

}  // namespace
