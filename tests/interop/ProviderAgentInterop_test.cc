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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace OpenWBEM {
namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Command {
  int status = -1;
  std::string out;
  std::string err;
};

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
    char tmpl[] = "/tmp/owinteropXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    m_config[ProviderAgent::HTTP_SERVER_UDS_FILENAME_opt] = String(m_dir + "/agent.sock");
    m_config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "0";
    m_config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = String(OWSERVER_TEST_MOF);
    ASSERT_TRUE(tavrel::test::writeCredentialsFile(m_dir + "/credentials"));
    m_config[ProviderAgent::HTTP_SERVER_BASIC_PASSWORD_FILE_opt] = String(m_dir + "/credentials");
    m_curlAuth = std::string(" -u ") + tavrel::test::kCimUser + ":" + tavrel::test::kCimPassword;
    m_config["testprov.items"] = "3";
  }

  void TearDown() override {
    m_agent.reset();
    if (!m_dir.empty()) std::system(("rm -rf " + m_dir).c_str());
  }

  void start(const ProviderAgentLockerIFCRef& locker = ProviderAgentLockerIFCRef(), int providerCount = 1) {
    LoggerRef logger = Logger::createLogger(String(m_dir + "/agent.log"), false);
    Array<CppProviderBaseIFCRef> providers;
    for (int i = 0; i < providerCount; ++i) {
      providers.push_back(CppProviderIFC::loadProvider(TESTPROV_LIBRARY, logger));
      ASSERT_TRUE(providers.back()) << readWhole(m_dir + "/agent.log");
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

  std::string url(const std::string& path) const {
    return "'" + tavrel::test::cimUrl(m_port) + "/root/cimv2:" + path + "'";
  }

  Command run(const std::string& command) const {
    Command r;
    std::string outFile = m_dir + "/out";
    std::string errFile = m_dir + "/err";
    int rc = std::system((command + " >" + outFile + " 2>" + errFile).c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = readWhole(outFile);
    r.err = readWhole(errFile);
    return r;
  }

  Command wbemcli(const std::string& op, const std::string& path, const std::string& extra = "") const {
    return run("wbemcli " + op + " " + url(path) + (extra.empty() ? "" : " '" + extra + "'"));
  }

  // POSTs body with the given headers (each "Name: value"); over the Unix
  // socket when uds.
  HTTPResult post(const std::string& body, const std::vector<std::string>& headers, bool uds = false,
                  const char* method = "POST") const {
    std::ofstream(m_dir + "/body", std::ios::binary) << body;
    std::string cmd = "curl -s -X " + std::string(method) + " --data-binary @" + m_dir + "/body -D " + m_dir +
                      "/headers -o " + m_dir + "/response -w '%{http_code}' -H 'Expect:'" + m_curlAuth;
    for (const std::string& h : headers) cmd += " -H '" + h + "'";
    if (uds)
      cmd += " --unix-socket " + m_dir + "/agent.sock http://localhost/cimom";
    else
      cmd += " http://127.0.0.1:" + std::to_string(m_port) + "/cimom";
    Command r = run(cmd);
    HTTPResult h;
    h.code = std::atoi(r.out.c_str());
    h.headers = readWhole(m_dir + "/headers");
    h.body = readWhole(m_dir + "/response");
    return h;
  }

  static std::vector<std::string> cimHeaders(const std::string& method) {
    return {"Content-Type: application/xml; charset=\"utf-8\"", "CIMOperation: MethodCall",
            "CIMMethod: " + method, "CIMObject: root%2Fcimv2", "CIMProtocolVersion: 1.0"};
  }

  static std::string intrinsic(const std::string& name, const std::string& params) {
    return tavrel::test::cimRequest(name, params);
  }

  static std::string itemName(const std::string& name, int id) {
    return "<INSTANCENAME CLASSNAME=\"Test_Item\"><KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">" +
           name + "</KEYVALUE></KEYBINDING><KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">" +
           std::to_string(id) + "</KEYVALUE></KEYBINDING></INSTANCENAME>";
  }

  HTTPResult call(const std::string& name, const std::string& params, bool uds = false) const {
    return post(intrinsic(name, params), cimHeaders(name), uds);
  }

  // The ERROR element of a CIM-XML response (null when none); fails the
  // test when the body is not XML.
  pugi::xml_node errorOf(const HTTPResult& r) {
    pugi::xml_parse_result parsed = m_doc.load_string(r.body.c_str());
    EXPECT_TRUE(parsed) << r.body;
    return m_doc.select_node("//ERROR").node();
  }

  std::string m_dir;
  std::string m_curlAuth;  // curl's credential options for TCP
  ConfigFile::ConfigMap m_config;
  std::unique_ptr<ProviderAgent> m_agent;
  unsigned short m_port = 0;
  pugi::xml_document m_doc;
};

TEST_F(ProviderAgentInteropTest, WbemcliInstanceOperations) {
  start();
  Command r = wbemcli("ei", "Test_Item");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Name=\"item1\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Text=\"text of item 2\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Delta=-3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("When=20240102030405.000000+000"), std::string::npos) << r.out;

  r = wbemcli("ein", "Test_Item");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Test_Item.Name=\"item3\",Id=3"), std::string::npos) << r.out;

  r = wbemcli("gi", "Test_Item.Name=\"item2\",Id=2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Count=2000"), std::string::npos) << r.out;

  r = wbemcli("gi", "Test_Item.Name=\"item9\",Id=9");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("CIM_ERR_NOT_FOUND"), std::string::npos) << r.err;

  r = wbemcli("ci", "Test_Item.Name=\"new\",Id=40000",
              "Name=\"new\",Id=40000,Small=7,Text=\"hello\",Flag=true");
  ASSERT_EQ(r.status, 0) << r.err;
  r = wbemcli("gi", "Test_Item.Name=\"new\",Id=40000");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Small=7"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Flag=TRUE"), std::string::npos) << r.out;

  // Out of range for the uint8 the class declares.
  r = wbemcli("ci", "Test_Item.Name=\"big\",Id=5", "Name=\"big\",Id=5,Small=300");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("CIM_ERR_INVALID_PARAMETER"), std::string::npos) << r.err;

  r = wbemcli("mi", "Test_Item.Name=\"item1\",Id=1", "Text=\"changed\",Count=5");
  ASSERT_EQ(r.status, 0) << r.err;
  r = wbemcli("gi", "Test_Item.Name=\"item1\",Id=1");
  EXPECT_NE(r.out.find("Text=\"changed\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Count=5"), std::string::npos) << r.out;

  r = wbemcli("di", "Test_Item.Name=\"item3\",Id=3");
  ASSERT_EQ(r.status, 0) << r.err;
  r = wbemcli("ein", "Test_Item");
  EXPECT_EQ(r.out.find("item3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("item2"), std::string::npos) << r.out;
}

TEST_F(ProviderAgentInteropTest, WbemcliMethodsAssociationsAndClasses) {
  start();
  Command r = wbemcli("cm", "Test_Service.Name=\"svc\"", "Echo.Text=\"ab\",Times=3");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("ababab"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3"), std::string::npos) << r.out;

  r = wbemcli("cm", "Test_Service.Name=\"svc\"", "Fail.Code=0");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("#CFG_000_0001,Code#"), std::string::npos) << r.err;

  r = wbemcli("ai", "Test_Service.Name=\"svc\"");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("item1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("item3"), std::string::npos) << r.out;

  r = run("wbemcli ain -ac Test_ItemInService " + url("Test_Item.Name=\"item2\",Id=2"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Test_Service.Name=\"svc\""), std::string::npos) << r.out;

  r = run("wbemcli ri -arc Test_ItemInService " + url("Test_Item.Name=\"item2\",Id=2"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Antecedent"), std::string::npos) << r.out;

  r = wbemcli("rin", "Test_Service.Name=\"svc\"");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Test_ItemInService"), std::string::npos) << r.out;

  r = run("wbemcli ai -ac Test_Other " + url("Test_Service.Name=\"svc\""));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("CIM_ERR_INVALID_CLASS"), std::string::npos) << r.err;

  r = wbemcli("gc", "Test_Item");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Test_Item"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Small"), std::string::npos) << r.out;

  r = wbemcli("gc", "Test_Nothing");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("CIM_ERR_NOT_FOUND"), std::string::npos) << r.err;

  r = wbemcli("ecn", "");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Test_Base"), std::string::npos) << r.out;
}

TEST_F(ProviderAgentInteropTest, FailingProvidersAndTheServerGoesOn) {
  start();
  Command r = wbemcli("ei", "Test_Thrower");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("CIM_ERR_FAILED"), std::string::npos) << r.err;

  struct {
    const char* what;
    HTTPResult result;
    const char* code;
  } failures[] = {
      {"non-standard throw",
       call("GetInstance",
            "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Thrower\">"
            "<KEYBINDING NAME=\"Name\"><KEYVALUE>t</KEYVALUE></KEYBINDING></INSTANCENAME></IPARAMVALUE>"),
       "1"},
      {"std::exception",
       call("EnumerateInstances",
            "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Thrower\"/></IPARAMVALUE>"),
       "1"},
      {"unknown class",
       call("EnumerateInstances", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Nope\"/></IPARAMVALUE>"),
       "5"},
  };
  for (auto& f : failures) {
    SCOPED_TRACE(f.what);
    EXPECT_EQ(f.result.code, 200);
    pugi::xml_node error = errorOf(f.result);
    ASSERT_TRUE(error) << f.result.body;
    EXPECT_STREQ(error.attribute("CODE").value(), f.code);
  }
  r = wbemcli("ein", "Test_Item");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(readWhole(m_dir + "/agent.log").find("thrower: enumeration failed"), std::string::npos);
}

TEST_F(ProviderAgentInteropTest, RawRequestsOverTcpAndUnixSocket) {
  start();
  struct stat st;
  ASSERT_EQ(stat((m_dir + "/agent.sock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  for (bool uds : {false, true}) {
    SCOPED_TRACE(uds ? "Unix socket" : "TCP");
    HTTPResult r = call("GetInstance",
                        "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) + "</IPARAMVALUE>", uds);
    EXPECT_EQ(r.code, 200);
    EXPECT_NE(r.headers.find("CIMOperation: MethodResponse"), std::string::npos) << r.headers;
    EXPECT_NE(r.headers.find("Content-Type: application/xml"), std::string::npos) << r.headers;
    EXPECT_FALSE(errorOf(r));
    EXPECT_STREQ(m_doc.select_node("//PROPERTY[@NAME='Id']").node().child_value("VALUE"), "1");
    EXPECT_STREQ(m_doc.select_node("//MESSAGE").node().attribute("ID").value(), "1");
  }
}

TEST_F(ProviderAgentInteropTest, SpecialCharactersRoundTrip) {
  start();
  // XML-escaped markup, quotes, a line break, a CR and UTF-8 text.
  const std::string escaped =
      "a &lt;b&gt; &amp; &quot;c&quot; &apos;d&apos;\nline2&#13; caf\xC3\xA9 \xE2\x82\xAC";
  const std::string plain = "a <b> & \"c\" 'd'\nline2\r caf\xC3\xA9 \xE2\x82\xAC";
  HTTPResult r = call("CreateInstance",
                      "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"Test_Item\">"
                      "<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>x&amp;y</VALUE></PROPERTY>"
                      "<PROPERTY NAME=\"Id\" TYPE=\"uint16\"><VALUE>77</VALUE></PROPERTY>"
                      "<PROPERTY NAME=\"Text\" TYPE=\"string\"><VALUE>" +
                          escaped +
                          "</VALUE></PROPERTY>"
                          "</INSTANCE></IPARAMVALUE>");
  ASSERT_EQ(r.code, 200);
  ASSERT_FALSE(errorOf(r)) << r.body;
  EXPECT_STREQ(m_doc.select_node("//KEYBINDING[@NAME='Name']").node().child_value("KEYVALUE"), "x&y");

  r = call("GetInstance", "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("x&amp;y", 77) + "</IPARAMVALUE>");
  ASSERT_FALSE(errorOf(r)) << r.body;
  EXPECT_EQ(std::string(m_doc.select_node("//PROPERTY[@NAME='Text']").node().child_value("VALUE")), plain);

  // The error tag and the message's markup reach the client unchanged.
  r = post(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
      "<MESSAGE ID=\"7\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ><METHODCALL NAME=\"Fail\"><LOCALINSTANCEPATH>"
      "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>"
      "<INSTANCENAME CLASSNAME=\"Test_Service\"><KEYBINDING "
      "NAME=\"Name\"><KEYVALUE>svc</KEYVALUE></KEYBINDING>"
      "</INSTANCENAME></LOCALINSTANCEPATH><PARAMVALUE NAME=\"Code\"><VALUE>0</VALUE></PARAMVALUE>"
      "</METHODCALL></SIMPLEREQ></MESSAGE></CIM>",
      cimHeaders("Fail"));
  pugi::xml_node error = errorOf(r);
  ASSERT_TRUE(error) << r.body;
  EXPECT_STREQ(error.attribute("CODE").value(), "4");
  EXPECT_STREQ(error.attribute("DESCRIPTION").value(),
               "Rejected <value> & \"quoted\"\nsecond line #CFG_000_0001,Code#");
  EXPECT_NE(r.body.find("#CFG_000_0001,Code#"), std::string::npos);

  // What a provider returns that XML cannot carry arrives as U+FFFD.
  r = call("GetInstance",
           "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Service\">"
           "<KEYBINDING NAME=\"Name\"><KEYVALUE>svc</KEYVALUE></KEYBINDING></INSTANCENAME></IPARAMVALUE>");
  ASSERT_FALSE(errorOf(r)) << r.body;
  EXPECT_STREQ(m_doc.select_node("//PROPERTY[@NAME='Motto']").node().child_value("VALUE"),
               "bad \xEF\xBF\xBD byte \xEF\xBF\xBD end");
  Command gi = wbemcli("gi", "Test_Service.Name=\"svc\"");
  EXPECT_EQ(gi.status, 0) << gi.err;
  EXPECT_NE(gi.out.find("Motto=\"bad \xEF\xBF\xBD byte"), std::string::npos) << gi.out;

  // Invalid UTF-8 is refused before any provider sees it.
  r = call("CreateInstance",
           "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"Test_Item\">"
           "<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>bad\xFF</VALUE></PROPERTY>"
           "<PROPERTY NAME=\"Id\" TYPE=\"uint16\"><VALUE>78</VALUE></PROPERTY></INSTANCE></IPARAMVALUE>");
  EXPECT_EQ(r.code, 400);
  EXPECT_NE(r.headers.find("CIMError: request-not-well-formed"), std::string::npos) << r.headers;
  Command ein = wbemcli("ein", "Test_Item");
  EXPECT_EQ(ein.out.find("Id=78"), std::string::npos) << ein.out;
}

TEST_F(ProviderAgentInteropTest, MalformedRequestsGetDSP0200Answers) {
  start();
  const std::string getItem = intrinsic(
      "GetInstance", "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) + "</IPARAMVALUE>");
  struct {
    const char* what;
    HTTPResult result;
    int code;
    const char* header;  // expected header line, or CIM error code in the body
  } cases[] = {
      {"not XML", post("<CIM><MESSAGE", cimHeaders("GetInstance")), 400, "CIMError: request-not-well-formed"},
      {"not CIM", post("<HTML/>", cimHeaders("GetInstance")), 400, "CIMError: request-not-valid"},
      {"forbidden character reference",
       call("GetInstance",
            "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item&#1;", 1) + "</IPARAMVALUE>"),
       400, "CIMError: request-not-well-formed"},
      {"CIMMethod mismatch", post(getItem, cimHeaders("DeleteInstance")), 400, "CIMError: header-mismatch"},
      {"CIMMethod missing", post(getItem, {"Content-Type: application/xml", "CIMOperation: MethodCall"}), 400,
       "CIMError: header-mismatch"},
      {"not a method call",
       post(getItem, {"Content-Type: application/xml", "CIMOperation: Nonsense", "CIMMethod: GetInstance"}),
       400, "CIMError: unsupported-operation"},
      {"protocol version",
       post(getItem, {"Content-Type: text/xml", "CIMOperation: MethodCall", "CIMMethod: GetInstance",
                      "CIMProtocolVersion: 2.0"}),
       501, "CIMError: unsupported-protocol-version"},
      {"unknown operation", call("FlyToTheMoon", ""), 200, "7"},
      {"unknown parameter",
       call("GetInstance", "<IPARAMVALUE NAME=\"Colour\"><VALUE>red</VALUE></IPARAMVALUE>"), 200, "4"},
      {"missing parameter", call("GetInstance", ""), 200, "4"},
      {"bad boolean",
       call("GetInstance",
            "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) +
                "</IPARAMVALUE><IPARAMVALUE NAME=\"LocalOnly\"><VALUE>perhaps</VALUE></IPARAMVALUE>"),
       200, "4"},
      {"key out of range",
       call("GetInstance",
            "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 70000) + "</IPARAMVALUE>"),
       200, "4"},
      {"no Content-Type",
       post(getItem, {"Content-Type:", "CIMOperation: MethodCall", "CIMMethod: GetInstance"}), 406, ""},
      {"unknown Content-Type", post(getItem, {"Content-Type: application/json"}), 415, ""},
      {"binary protocol", post("x", {"Content-Type: application/x-owbinary"}), 501, ""},
      {"M-POST", post(getItem, cimHeaders("GetInstance"), false, "M-POST"), 501, ""},
      {"GET", post("", {}, false, "GET"), 405, ""},
      {"over 1 MiB", post(std::string(1024 * 1024 + 1, ' ') + getItem, cimHeaders("GetInstance")), 413, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result.code, c.code) << c.result.headers << c.result.body;
    if (c.code == 200) {
      pugi::xml_node error = errorOf(c.result);
      ASSERT_TRUE(error) << c.result.body;
      EXPECT_STREQ(error.attribute("CODE").value(), c.header);
    } else if (*c.header) {
      EXPECT_NE(c.result.headers.find(c.header), std::string::npos) << c.result.headers;
    }
  }
  // Still serving.
  HTTPResult ok = post(getItem, cimHeaders("GetInstance"));
  EXPECT_EQ(ok.code, 200);
  EXPECT_FALSE(errorOf(ok));
}

TEST_F(ProviderAgentInteropTest, HostLockerSerialisesProviderCalls) {
  IntrusiveReference<CountingLocker> locker(new CountingLocker);
  start(ProviderAgentLockerIFCRef(locker));
  const int afterInitialize = locker->attempts;
  EXPECT_GE(afterInitialize, 1) << "initialize runs under the lock";

  locker->lock();
  const int held = locker->attempts;
  std::atomic<bool> done{false};
  Command result;
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
  EXPECT_TRUE(done);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("item1"), std::string::npos);
}

TEST_F(ProviderAgentInteropTest, SeveralProvidersAreChosenByTheProviderQualifier) {
  start(ProviderAgentLockerIFCRef(), 2);
  Command r = wbemcli("ein", "Test_Item");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("item1"), std::string::npos) << r.out;
  // Test_Base names no provider: no provider serves it.
  HTTPResult h = call("EnumerateInstanceNames",
                      "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Base\"/></IPARAMVALUE>");
  pugi::xml_node error = errorOf(h);
  ASSERT_TRUE(error) << h.body;
  EXPECT_STREQ(error.attribute("CODE").value(), "5");
  EXPECT_STREQ(error.attribute("DESCRIPTION").value(), "no provider serves class Test_Base");
}

TEST_F(ProviderAgentInteropTest, StartFailuresAreReported) {
  m_config[ProviderAgent::HTTP_SERVER_TIMEOUT_opt] = "0";
  EXPECT_THROW(start(), ProviderAgentException);
  m_config[ProviderAgent::HTTP_SERVER_TIMEOUT_opt] = "5";
  m_config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "eighty";
  EXPECT_THROW(start(), ProviderAgentException);
  m_config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "0";
  m_config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = String(m_dir + "/missing.mof");
  EXPECT_THROW(start(), ProviderAgentException);
  m_config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = "";
  m_config[ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt] = "0";
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/missing.pem");
  start();
  EXPECT_TRUE(m_agent->getHTTPSPorts().empty()) << "HTTPS without a certificate";
  m_agent.reset();
  ASSERT_TRUE(tavrel::test::writeTestCertificate(m_dir + "/cert.pem", m_dir + "/key.pem"));
  m_config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(m_dir + "/cert.pem");
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/key.pem");
  EXPECT_THROW(start(), ProviderAgentException) << "certificate and key exchanged";
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/cert.pem");
  m_config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(m_dir + "/key.pem");
  m_config[ProviderAgent::HTTP_SERVER_LISTEN_ADDRESSES_opt] = "192.0.2.1";
  EXPECT_THROW(start(), ProviderAgentException);
}

// Only the right credentials reach a provider over TCP and HTTPS; a
// credentials file others could read keeps TCP off; the Unix socket needs
// none.
TEST_F(ProviderAgentInteropTest, TcpAndHttpsNeedCredentials) {
  ASSERT_TRUE(tavrel::test::writeTestCertificate(m_dir + "/cert.pem", m_dir + "/key.pem"));
  m_config[ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt] = "0";
  m_config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(m_dir + "/cert.pem");
  m_config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(m_dir + "/key.pem");
  start();
  ASSERT_EQ(m_agent->getHTTPSPorts().size(), 1u);
  const unsigned short httpsPort = m_agent->getHTTPSPorts()[0];
  const std::string getItem = "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) + "</IPARAMVALUE>";
  const std::string user = tavrel::test::kCimUser;
  struct {
    const char* what;
    std::string auth;
    int code;
  } cases[] = {
      {"no credentials", "", 401},
      {"wrong password", " -u " + user + ":wrong", 401},
      {"unknown user", " -u nobody:" + std::string(tavrel::test::kCimPassword), 401},
      {"not Basic", " -H 'Authorization: Digest x'", 401},
      {"right credentials", m_curlAuth, 200},
  };
  const std::string rightAuth = m_curlAuth;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_curlAuth = c.auth;
    HTTPResult r = call("GetInstance", getItem);
    EXPECT_EQ(r.code, c.code) << r.headers;
    if (c.code == 401) {
      EXPECT_NE(r.headers.find("WWW-Authenticate: Basic realm="), std::string::npos) << r.headers;
    }
    EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
  }
  m_curlAuth = rightAuth;

  Command https =
      run("wbemcli -noverify ei '" + tavrel::test::cimUrl(httpsPort, "https") + "/root/cimv2:Test_Item'");
  EXPECT_EQ(https.status, 0) << https.err;
  EXPECT_NE(https.out.find("item2"), std::string::npos) << https.out;
  Command plain =
      run("curl -sk -o /dev/null -w '%{http_code}' -X POST https://127.0.0.1:" + std::to_string(httpsPort) +
          "/cimom");
  EXPECT_EQ(plain.out, "401");

  m_agent.reset();
  ASSERT_EQ(chmod((m_dir + "/credentials").c_str(), 0640), 0);
  start();
  EXPECT_TRUE(m_agent->getTCPPorts().empty());
  EXPECT_TRUE(m_agent->getHTTPSPorts().empty());
  EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
}

// A request nested far beyond any real one is refused with 400, and the
// agent serves on.
TEST_F(ProviderAgentInteropTest, DeepNestingIsRefused) {
  start();
  std::string deep;
  for (int i = 0; i < 37000; ++i) deep += "<VALUE.ARRAY>";
  for (int i = 0; i < 37000; ++i) deep += "</VALUE.ARRAY>";
  const std::string instance =
      "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"Test_Item\">"
      "<PROPERTY.ARRAY NAME=\"Tags\" TYPE=\"string\">" +
      deep + "</PROPERTY.ARRAY></INSTANCE></IPARAMVALUE>";
  for (bool uds : {false, true}) {
    HTTPResult r = call("CreateInstance", instance, uds);
    EXPECT_EQ(r.code, 400);
    EXPECT_NE(r.headers.find("CIMError: request-not-valid"), std::string::npos) << r.headers;
  }
  EXPECT_EQ(
      call("GetInstance", "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) + "</IPARAMVALUE>")
          .code,
      200);
}

// TCP clients holding every TCP slot lock out neither the Unix socket nor,
// beyond their share, each other.
TEST_F(ProviderAgentInteropTest, UnixSocketServedWhileTcpSlotsAreHeld) {
  m_config[ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_opt] = "3";
  m_config[ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt] = "3";
  start();
  std::vector<int> held;
  for (int i = 0; i < 3; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(m_port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    held.push_back(fd);
  }
  const std::string getItem = "<IPARAMVALUE NAME=\"InstanceName\">" + itemName("item1", 1) + "</IPARAMVALUE>";
  EXPECT_EQ(call("GetInstance", getItem, true).code, 200);
  EXPECT_EQ(call("GetInstance", getItem).code, 0) << "a fourth TCP connection was served";
  for (int fd : held) ::close(fd);
  EXPECT_TRUE(tavrel::test::waitUntil([&] { return call("GetInstance", getItem).code == 200; }));
}

}  // namespace
}  // namespace OpenWBEM
