// The provider agent with the test provider, driven by real clients on
// loopback: the Debian wbemcli for the CIM operations, curl for raw HTTP
// (over TCP and over the Unix socket).
#include "openwbem/BinaryRequestHandler.h"
#include "openwbem/CppProviderIFC.h"
#include "openwbem/NonAuthenticatingAuthenticator.h"
#include "openwbem/ProviderAgent.h"
#include "openwbem/XMLExecute.h"

#include "test_support.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <boost/asio/ip/tcp.hpp>

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace OpenWBEM {
namespace {

namespace sb = tavrel::test;

struct HTTPResult {
  int code = 0;
  std::string headers;
  std::string body;
};

// Counts how often the agent takes the host's lock, and lets the test hold it.
class CountingLocker : public ProviderAgentLockerIFC {
 public:
  std::atomic<int> attempts{0};
  std::mutex mutex;

 protected:
  void doLock() override {
    ++attempts;
    mutex.lock();
  }
  void doUnlock() override { mutex.unlock(); }
};

class ProviderAgentInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v wbemcli >/dev/null && command -v curl >/dev/null") != 0)
      GTEST_SKIP() << "wbemcli (sblim-wbemcli) and curl are needed";
    m_config[ProviderAgent::HTTP_SERVER_UDS_FILENAME_opt] = String(m_dir + "/agent.sock");
    m_config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "0";
    m_config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = String(OWSERVER_TEST_MOF);
    ASSERT_TRUE(sb::writeCredentialsFile(m_dir + "/credentials"));
    m_config[ProviderAgent::HTTP_SERVER_BASIC_PASSWORD_FILE_opt] = String(m_dir + "/credentials");
  }

  void start(const ProviderAgentLockerIFCRef& locker = ProviderAgentLockerIFCRef(), int providerCount = 1) {
    LoggerRef logger = Logger::createLogger(String(m_dir + "/agent.log"), false);
    Array<CppProviderBaseIFCRef> providers;
    for (int i = 0; i < providerCount; ++i) {
      providers.push_back(CppProviderIFC::loadProvider(TESTPROV_LIBRARY, logger));
      ASSERT_TRUE(providers.back()) << sb::readFile(m_dir + "/agent.log");
    }
    Array<RequestHandlerIFCRef> handlers;
    handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new XMLExecute));
    handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new BinaryRequestHandler));
    AuthenticatorIFCRef auth(SharedLibraryRef(), new NonAuthenticatingAuthenticator);
    m_agent = std::make_unique<ProviderAgent>(m_config, providers, Array<CIMClass>(), handlers, auth, logger,
                                              String("http://localhost:5988"), locker);
    Array<UInt16> ports = m_agent->getTCPPorts();
    m_port = ports.empty() ? 0 : ports[0];
  }

  // wbemcli's exit status and its output with its error text.
  sb::CommandResult wbemcli(const std::string& op, const std::string& path, const std::string& extra = "",
                            const std::string& base = "") const {
    return sb::runCommand("wbemcli " + op + " '" + (base.empty() ? sb::cimUrl(m_port) : base) +
                          "/root/cimv2:" + path + "'" + (extra.empty() ? "" : " '" + extra + "'") + " 2>&1");
  }

  // POSTs body with the given headers (each "Name: value"); over the Unix
  // socket when uds.
  HTTPResult post(const std::string& body, const std::vector<std::string>& headers, bool uds = false,
                  const char* method = "POST") const {
    sb::writeFile(m_dir + "/body", body);
    std::string cmd = "curl -s -X " + std::string(method) + " --data-binary @" + m_dir + "/body -D " + m_dir +
                      "/headers -o " + m_dir + "/response -w '%{http_code}' -H 'Expect:'" + m_curlAuth;
    for (const std::string& h : headers) cmd += " -H '" + h + "'";
    cmd += uds ? " --unix-socket " + m_dir + "/agent.sock http://localhost/cimom"
               : " http://127.0.0.1:" + std::to_string(m_port) + "/cimom";
    // A braced list runs in order: curl first, then its files are read.
    return {std::atoi(sb::runCommand(cmd).output.c_str()), sb::readFile(m_dir + "/headers"),
            sb::readFile(m_dir + "/response")};
  }

  static std::vector<std::string> cimHeaders(const std::string& method) {
    return {"Content-Type: application/xml; charset=\"utf-8\"", "CIMOperation: MethodCall",
            "CIMMethod: " + method, "CIMObject: root%2Fcimv2", "CIMProtocolVersion: 1.0"};
  }

  static std::string itemName(const std::string& name, const std::string& id) {
    return "<IPARAMVALUE NAME=\"InstanceName\">" +
           sb::instanceName("Test_Item", {{"Name", name}, {"Id", id}}) + "</IPARAMVALUE>";
  }

  HTTPResult call(const std::string& name, const std::string& params, bool uds = false) const {
    return post(sb::cimRequest(name, params), cimHeaders(name), uds);
  }

  sb::TempDir m_tmp;
  const std::string m_dir = m_tmp.path();
  std::string m_curlAuth = std::string(" -u ") + sb::kCimUser + ":" + sb::kCimPassword;  // curl's, for TCP
  ConfigFile::ConfigMap m_config;
  std::unique_ptr<ProviderAgent> m_agent;
  unsigned short m_port = 0;
  pugi::xml_document m_doc;
};

// Provider calls only under the host's lock; every intrinsic operation the
// agent serves, and the errors clients see, with two providers loaded (each
// class goes to the one its Provider qualifier names).
TEST_F(ProviderAgentInteropTest, WbemcliOperationsAndErrors) {
  IntrusiveReference<CountingLocker> locker(new CountingLocker);
  start(ProviderAgentLockerIFCRef(locker), 2);
  EXPECT_GE(locker->attempts, 1) << "initialize runs under the lock";
  locker->lock();
  const int held = locker->attempts;
  std::atomic<bool> done{false};
  sb::CommandResult result;
  std::thread client([&] {
    result = wbemcli("ein", "Test_Item");
    done = true;
  });
  // The request reaches the provider only through the host's lock: wait
  // until the agent asks for it, while the test still holds it.
  while (locker->attempts == held) std::this_thread::yield();
  EXPECT_FALSE(done);
  locker->unlock();
  client.join();
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("item1"), std::string::npos);
  const char* const item2 = "Test_Item.Name=\"item2\",Id=2";
  const char* const svc = "Test_Service.Name=\"svc\"";
  struct {
    std::string op;
    const char* path;
    const char* extra;
    bool ok;
    const char* expected;  // in wbemcli's output
  } cases[] = {
      {"ei", "Test_Item", "", true, "When=20240102030405.000000+000"},
      {"ein", "Test_Item", "", true, "Test_Item.Name=\"item3\",Id=3"},
      {"gi", item2, "", true, "Delta=-2"},
      {"gi", "Test_Item.Name=\"item9\",Id=9", "", false, "CIM_ERR_NOT_FOUND"},
      {"ci", "Test_Item.Name=\"new\",Id=40000", "Name=\"new\",Id=40000,Small=7,Flag=true", true, ""},
      {"gi", "Test_Item.Name=\"new\",Id=40000", "", true, "Flag=TRUE"},
      {"mi", "Test_Item.Name=\"item1\",Id=1", "Text=\"changed\",Count=5", true, ""},
      {"gi", "Test_Item.Name=\"item1\",Id=1", "", true, "Text=\"changed\""},
      {"di", "Test_Item.Name=\"item3\",Id=3", "", true, ""},
      {"gi", "Test_Item.Name=\"item3\",Id=3", "", false, "CIM_ERR_NOT_FOUND"},
      {"cm", svc, "Echo.Text=\"ab\",Times=3", true, "ababab"},
      {"cm", svc, "Fail.Code=0", false, "#CFG_000_0001,Code#"},
      {"ai -ac Test_ItemInService", svc, "", true, "item2"},
      {"ain -ac Test_ItemInService", item2, "", true, svc},
      {"ri -arc Test_ItemInService", item2, "", true, "Antecedent"},
      {"rin -arc Test_ItemInService", svc, "", true, "Test_ItemInService"},
      {"ai -ac Test_Other", svc, "", false, "CIM_ERR_INVALID_CLASS"},
      {"gc", "Test_Item", "", true, "Small"},
      {"gc", "Test_Nothing", "", false, "CIM_ERR_NOT_FOUND"},
      {"ecn", "", "", true, "Test_Base"},
      {"ei", "Test_Thrower", "", false, "CIM_ERR_FAILED"},
      {"gi", "Test_Thrower.Name=\"t\"", "", false, "CIM_ERR_FAILED"},  // not even a std::exception
      {"ein", "Test_Base", "", false, "no provider serves class Test_Base"},
      // What a provider returns that XML cannot carry arrives as U+FFFD.
      {"gi", svc, "", true, "Motto=\"bad \xEF\xBF\xBD byte \xEF\xBF\xBD end\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op + " " + c.path);
    sb::CommandResult r = wbemcli(c.op, c.path, c.extra);
    EXPECT_EQ(c.ok, r.status == 0) << r.output;
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
  }
  EXPECT_NE(sb::readFile(m_dir + "/agent.log").find("thrower: enumeration failed"), std::string::npos);
}

TEST_F(ProviderAgentInteropTest, MalformedRequestsGetDSP0200Answers) {
  start();
  const std::string getItem = sb::cimRequest("GetInstance", itemName("item1", "1"));
  // The GetInstance request with one text in it changed.
  auto changed = [&](const char* from, const char* to) {
    std::string text = getItem;
    return post(text.replace(text.find(from), std::strlen(from), to), cimHeaders("GetInstance"));
  };
  struct {
    const char* what;
    HTTPResult result;
    int code;
    const char* error;  // CIMError header, or CIM error code in the body
  } cases[] = {
      {"not XML", post("<CIM><MESSAGE", cimHeaders("GetInstance")), 400, "request-not-well-formed"},
      {"not CIM", post("<HTML/>", cimHeaders("GetInstance")), 400, "request-not-valid"},
      {"invalid UTF-8", call("GetInstance", itemName("bad\xFF", "1")), 400, "request-not-well-formed"},
      {"forbidden character reference", call("GetInstance", itemName("item&#1;", "1")), 400,
       "request-not-well-formed"},
      {"reference to NUL, which would cut the value", call("GetInstance", itemName("item&#x00;", "1")), 400,
       "request-not-well-formed"},
      {"CIMMethod mismatch", post(getItem, cimHeaders("DeleteInstance")), 400, "header-mismatch"},
      {"CIMMethod missing", post(getItem, {"Content-Type: application/xml", "CIMOperation: MethodCall"}), 400,
       "header-mismatch"},
      {"not a method call",
       post(getItem, {"Content-Type: application/xml", "CIMOperation: Nonsense", "CIMMethod: GetInstance"}),
       400, "unsupported-operation"},
      {"CIM version", changed("CIMVERSION=\"2.0", "CIMVERSION=\"3.0"), 501, "unsupported-cim-version"},
      {"DTD version", changed("DTDVERSION=\"2.0", "DTDVERSION=\"3"), 501, "unsupported-dtd-version"},
      {"message protocol version", changed("PROTOCOLVERSION=\"1.0", "PROTOCOLVERSION=\"2.0"), 501,
       "unsupported-protocol-version"},
      {"call without NAME", changed(" NAME=\"GetInstance\"", ""), 400, "request-not-valid"},
      {"protocol version",
       post(getItem, {"Content-Type: text/xml", "CIMOperation: MethodCall", "CIMMethod: GetInstance",
                      "CIMProtocolVersion: 2.0"}),
       501, "unsupported-protocol-version"},
      {"unknown operation", call("FlyToTheMoon", ""), 200, "7"},
      {"unknown parameter",
       call("GetInstance", "<IPARAMVALUE NAME=\"Colour\"><VALUE>red</VALUE></IPARAMVALUE>"), 200, "4"},
      {"missing parameter", call("GetInstance", ""), 200, "4"},
      {"bad boolean",
       call("GetInstance",
            itemName("item1", "1") + "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>perhaps</VALUE></IPARAMVALUE>"),
       200, "4"},
      {"key out of range", call("GetInstance", itemName("item1", "70000")), 200, "4"},
      {"no Content-Type",
       post(getItem, {"Content-Type:", "CIMOperation: MethodCall", "CIMMethod: GetInstance"}), 406, ""},
      {"unknown Content-Type", post(getItem, {"Content-Type: application/json"}), 415, ""},
      {"binary protocol", post("x", {"Content-Type: application/x-owbinary"}), 501, ""},
      {"M-POST", post(getItem, cimHeaders("GetInstance"), false, "M-POST"), 501, ""},
      {"GET", post("", {}, false, "GET"), 405, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result.code, c.code) << c.result.headers << c.result.body;
    if (c.code == 200) {
      EXPECT_EQ(std::to_string(sb::cimErrorOf(c.result.body).code), c.error) << c.result.body;
    } else if (*c.error) {
      EXPECT_TRUE(sb::contains(c.result.headers, "CIMError: " + std::string(c.error))) << c.result.headers;
    }
  }
  HTTPResult big = post(std::string(1024 * 1024 + 1, ' ') + getItem, cimHeaders("GetInstance"));
  EXPECT_EQ(big.code, 413);
  EXPECT_TRUE(sb::contains(big.headers, "Connection: close")) << big.headers;
  // Still serving (the Unix socket is checked with the access rules); the
  // answer echoes the message ID.
  HTTPResult ok = post(getItem, cimHeaders("GetInstance"));
  EXPECT_EQ(ok.code, 200);
  EXPECT_NE(ok.headers.find("CIMOperation: MethodResponse"), std::string::npos) << ok.headers;
  ASSERT_TRUE(m_doc.load_string(ok.body.c_str())) << ok.body;
  EXPECT_STREQ(m_doc.select_node("//PROPERTY[@NAME='Id']").node().child_value("VALUE"), "1");
  EXPECT_STREQ(m_doc.select_node("//MESSAGE").node().attribute("ID").value(), "1");
}

// Configurations the agent cannot serve are refused at start. Only the right
// credentials reach a provider over TCP and HTTPS; a credentials file others
// could read keeps TCP off, a key others could read HTTPS; the Unix socket
// needs none. TCP clients holding every TCP slot lock out neither the Unix
// socket nor a client that comes later: the oldest idle one makes room.
TEST_F(ProviderAgentInteropTest, StartChecksAccessAndConnectionLimits) {
  auto refused = [&](const char* option, const std::string& bad, const std::string& good) {
    m_config[option] = String(bad);
    EXPECT_THROW(start(), ProviderAgentException) << option << "=" << bad;
    m_config[option] = String(good);
  };
  refused(ProviderAgent::HTTP_SERVER_TIMEOUT_opt, "0", "5");
  refused(ProviderAgent::HTTP_SERVER_HTTP_PORT_opt, "eighty", "0");
  refused(ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt, m_dir + "/missing.mof", OWSERVER_TEST_MOF);
  m_config[ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt] = "0";
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/missing.pem");
  start();
  EXPECT_TRUE(m_agent->getHTTPSPorts().empty()) << "HTTPS without a certificate";
  m_agent.reset();
  ASSERT_TRUE(sb::writeTestCertificate(m_dir + "/cert.pem", m_dir + "/key.pem"));
  m_config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(m_dir + "/cert.pem");
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/key.pem");
  start();
  EXPECT_TRUE(m_agent->getHTTPSPorts().empty()) << "certificate and key exchanged";
  m_agent.reset();
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/cert.pem");
  m_config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(m_dir + "/key.pem");
  refused(ProviderAgent::HTTP_SERVER_LISTEN_ADDRESSES_opt, "192.0.2.1", "");
  m_config[ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_opt] = "3";
  m_config[ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt] = "3";
  start();
  ASSERT_EQ(m_agent->getHTTPSPorts().size(), 1u);
  const unsigned short httpsPort = m_agent->getHTTPSPorts()[0];
  const std::string getItem = itemName("item1", "1"), rightAuth = m_curlAuth;
  for (const std::string& auth : {std::string(), " -u " + std::string(sb::kCimUser) + ":wrong"}) {
    SCOPED_TRACE(auth);
    m_curlAuth = auth;
    HTTPResult r = call("GetInstance", getItem);
    EXPECT_EQ(r.code, 401) << r.headers;
    EXPECT_NE(r.headers.find("WWW-Authenticate: Basic realm="), std::string::npos) << r.headers;
    EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
  }
  m_curlAuth = rightAuth;
  sb::CommandResult https = wbemcli("-noverify ei", "Test_Item", "", sb::cimUrl(httpsPort, "https"));
  EXPECT_NE(https.output.find("item2"), std::string::npos) << https.output;
  EXPECT_EQ(sb::runCommand("curl -sk -o /dev/null -w '%{http_code}' -X POST https://127.0.0.1:" +
                           std::to_string(httpsPort) + "/cimom")
                .output,
            "401");

  boost::asio::io_context ioc;
  std::vector<boost::asio::ip::tcp::socket> held;
  for (int i = 0; i < 3; ++i)
    held.emplace_back(ioc).connect({boost::asio::ip::address_v4::loopback(), m_port});
  EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
  EXPECT_EQ(call("GetInstance", getItem).code, 200) << "a fourth TCP connection was refused";
  held.clear();

  m_agent.reset();
  ASSERT_EQ(chmod((m_dir + "/credentials").c_str(), 0640), 0);
  start();
  EXPECT_TRUE(m_agent->getTCPPorts().empty());
  EXPECT_TRUE(m_agent->getHTTPSPorts().empty());
  EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
}

}  // namespace
}  // namespace OpenWBEM
