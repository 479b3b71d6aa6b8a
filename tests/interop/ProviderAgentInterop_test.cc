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
#include <sstream>
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

  static std::string param(const std::string& name, const std::string& xml) {
    return "<IPARAMVALUE NAME=\"" + name + "\">" + xml + "</IPARAMVALUE>";
  }
  static std::string value(const std::string& name, const std::string& text) {
    return param(name, "<VALUE>" + text + "</VALUE>");
  }
  static std::string classParam(const std::string& name, const std::string& cls) {
    return param(name, "<CLASSNAME NAME=\"" + cls + "\"/>");
  }

  // The EnumerationContext an open or pull answer gives.
  std::string contextOf(const HTTPResult& r) {
    m_doc.load_string(r.body.c_str());
    return m_doc.select_node("//PARAMVALUE[@NAME='EnumerationContext']/VALUE").node().child_value();
  }
  bool ended(const HTTPResult& r) {
    m_doc.load_string(r.body.c_str());
    return std::string(m_doc.select_node("//PARAMVALUE[@NAME='EndOfSequence']/VALUE").node().child_value()) ==
           "TRUE";
  }
  HTTPResult pull(const std::string& context, int max, const char* op = "PullInstancesWithPath") const {
    return call(op, value("EnumerationContext", context) + value("MaxObjectCount", std::to_string(max)));
  }

  // The INSTANCE elements of an answer, as text.
  static std::vector<std::string> instancesOf(const std::string& body) {
    pugi::xml_document doc;
    doc.load_string(body.c_str());
    std::vector<std::string> out;
    for (pugi::xpath_node n : doc.select_nodes("//INSTANCE")) {
      std::ostringstream text;
      n.node().print(text, "", pugi::format_raw);
      out.push_back(text.str());
    }
    return out;
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
      {"ain", svc, "", true, "item2"},  // no association class: every one that links the object
      {"ri", item2, "", true, "Dependent"},
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

// What clients other than wbemcli send: association calls without a class
// filter, other namespaces, class origins, CIM type names as key types, and
// pull enumerations with their limits.
TEST_F(ProviderAgentInteropTest, RequestsOfOtherClients) {
  m_config["testprov.items"] = "10000";
  start();
  const std::string svcName = sb::instanceName("Test_Service", {{"Name", "svc"}});
  const std::string svc = param("ObjectName", svcName);
  const std::string item =
      param("ObjectName", sb::instanceName("Test_Item", {{"Name", "item7"}, {"Id", "7"}}));
  const std::string typedKey =
      "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Item\">"
      "<KEYBINDING NAME=\"Name\"><KEYVALUE>item9</KEYVALUE></KEYBINDING>"
      "<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"uint16\">9</KEYVALUE>"
      "</KEYBINDING></INSTANCENAME></IPARAMVALUE>";
  const std::string origin = value("IncludeClassOrigin", "TRUE");
  const std::string inherited = "<PROPERTY NAME=\"Name\" TYPE=\"string\" CLASSORIGIN=\"Test_Base\"";
  // Open through the whole test (slow under the sanitizers).
  const std::string opened = contextOf(call(
      "OpenEnumerateInstances", classParam("ClassName", "Test_Item") + value("OperationTimeout", "600")));
  const HTTPResult refs =
      call("OpenReferenceInstancePaths", param("InstanceName", svcName) + value("MaxObjectCount", "3"));
  std::string names;
  for (int i = 0; i < 1000; ++i) names += "<VALUE>Name</VALUE>";
  struct {
    const char* what;
    HTTPResult result;
    int code;
    std::string expected;  // in the answer
    std::size_t count;     // of INSTANCEPATH or INSTANCENAME elements, when not 0
  } cases[] = {
      {"associator names of the service", call("AssociatorNames", svc), 0, "item10000", 10000},
      {"associators of an item", call("Associators", item), 0, "<PROPERTY NAME=\"Motto\"", 1},
      {"reference names of an item", call("ReferenceNames", item), 0, "Test_ItemInService", 1},
      {"references of an item, by role", call("References", item + value("Role", "Dependent")), 0,
       "Antecedent", 1},
      {"role the item does not play", call("References", item + value("Role", "Antecedent")), 0,
       "<IRETURNVALUE></IRETURNVALUE>", 0},
      {"result class of the other end's superclass",
       call("AssociatorNames", item + classParam("ResultClass", "Test_Base")), 0, "svc", 1},
      {"result class no association leads to",
       call("AssociatorNames", item + classParam("ResultClass", "Test_Thrower")), 0,
       "<IRETURNVALUE></IRETURNVALUE>", 0},
      {"object no association references",
       call("Associators", param("ObjectName", sb::instanceName("Test_Thrower", {{"Name", "t"}}))), 0,
       "<IRETURNVALUE></IRETURNVALUE>", 0},
      {"class origin, inherited",
       call("GetClass", classParam("ClassName", "Test_Item") + origin + value("LocalOnly", "FALSE")), 0,
       inherited + " PROPAGATED=\"true\">", 0},
      {"class origin, local", call("EnumerateClasses", origin + value("DeepInheritance", "TRUE")), 0,
       "<PROPERTY NAME=\"Id\" TYPE=\"uint16\" CLASSORIGIN=\"Test_Item\">", 0},
      {"class origin of an instance", call("GetInstance", itemName("item1", "1") + origin), 0,
       inherited + ">", 0},
      {"key typed by a CIM type name", call("GetInstance", typedKey), 0, "text of item 9", 0},
      {"filter query",
       call("OpenEnumerateInstances",
            classParam("ClassName", "Test_Item") + value("FilterQuery", "select *")),
       25, "", 0},
      {"continue on error",
       call("OpenEnumerateInstances",
            classParam("ClassName", "Test_Item") + value("ContinueOnError", "TRUE")),
       26, "", 0},
      {"request too large to keep open",
       call("OpenEnumerateInstances", classParam("ClassName", "Test_Item") +
                                          param("PropertyList", "<VALUE.ARRAY>" + names + "</VALUE.ARRAY>")),
       27, "", 0},
      {"timeout 0",
       call("OpenEnumerateInstances", classParam("ClassName", "Test_Item") + value("OperationTimeout", "0")),
       22, "", 0},
      {"paths of references", refs, 0, "<VALUE>FALSE</VALUE>", 3},
      {"remaining objects", call("EnumerationCount", value("EnumerationContext", opened)), 0,
       "<VALUE>10000</VALUE>", 0},
      {"instances from a paths enumeration", pull(opened, 1, "PullInstancePaths"), 21, "", 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result.code, 200);
    EXPECT_EQ(sb::cimErrorOf(c.result.body).code, c.code) << c.result.body;
    EXPECT_NE(c.result.body.find(c.expected), std::string::npos) << c.result.body;
    EXPECT_TRUE(!c.count || sb::occurrences(c.result.body, "<INSTANCEPATH>") == c.count);
  }

  // Every kind of operation in a namespace not served.
  const std::string named = "<VALUE.NAMEDINSTANCE>" +
                            sb::instanceName("Test_Item", {{"Name", "item1"}, {"Id", "1"}}) +
                            "<INSTANCE CLASSNAME=\"Test_Item\"/></VALUE.NAMEDINSTANCE>";
  const std::pair<const char*, std::string> elsewhere[] = {
      {"GetInstance", itemName("item1", "1")},
      {"EnumerateInstances", classParam("ClassName", "Test_Item")},
      {"EnumerateInstanceNames", classParam("ClassName", "Test_Item")},
      {"CreateInstance", param("NewInstance", "<INSTANCE CLASSNAME=\"Test_Item\"/>")},
      {"ModifyInstance", param("ModifiedInstance", named)},
      {"DeleteInstance", itemName("item1", "1")},
      {"Associators", svc},
      {"AssociatorNames", svc},
      {"References", svc},
      {"ReferenceNames", svc},
      {"GetClass", classParam("ClassName", "Test_Item")},
      {"EnumerateClassNames", ""},
      {"EnumerateClasses", ""},
      {"OpenEnumerateInstances", classParam("ClassName", "Test_Item")},
      {"OpenEnumerateInstancePaths", classParam("ClassName", "Test_Item")},
      {"OpenAssociatorInstances", param("InstanceName", svcName)},
      {"PullInstancesWithPath", value("EnumerationContext", opened) + value("MaxObjectCount", "1")},
      {"EnumerationCount", value("EnumerationContext", opened)},
      {"CloseEnumeration", value("EnumerationContext", opened)},
  };
  auto nothere = [](std::string body) { return body.replace(body.find("\"cimv2\""), 7, "\"nothere\""); };
  for (const auto& [op, params] : elsewhere) {
    SCOPED_TRACE(op);
    EXPECT_EQ(sb::cimErrorOf(post(nothere(sb::cimRequest(op, params)), cimHeaders(op)).body).code, 3);
  }
  std::string method = sb::cimRequest("Echo", "");
  method.replace(method.find("<IMETHODCALL NAME=\"Echo\">"), 25,
                 "<METHODCALL NAME=\"Echo\"><LOCALINSTANCEPATH>");
  method.replace(method.find("</IMETHODCALL>"), 14,
                 sb::instanceName("Test_Service", {{"Name", "svc"}}) + "</LOCALINSTANCEPATH></METHODCALL>");
  EXPECT_EQ(sb::cimErrorOf(post(nothere(method), cimHeaders("Echo")).body).code, 3);
  EXPECT_EQ(sb::cimErrorOf(post(method, cimHeaders("Echo")).body).code, 0);

  // 10,000 items in pages of 500 are the instances EnumerateInstances gives.
  HTTPResult all = call("EnumerateInstances", classParam("ClassName", "Test_Item"));
  HTTPResult page =
      call("OpenEnumerateInstances", classParam("ClassName", "Test_Item") + value("MaxObjectCount", "500"));
  std::vector<std::string> pulled = instancesOf(page.body);
  const std::string context = contextOf(page);
  while (!ended(page) && pulled.size() < 10000) {
    page = pull(context, 500);
    std::vector<std::string> more = instancesOf(page.body);
    EXPECT_EQ(more.size(), 500u) << page.body.substr(0, 500);
    pulled.insert(pulled.end(), more.begin(), more.end());
  }
  EXPECT_TRUE(ended(page));
  EXPECT_EQ(pulled, instancesOf(all.body));
  EXPECT_EQ(pulled.size(), 10000u);
  EXPECT_EQ(sb::cimErrorOf(pull(context, 1).body).code, 21) << "ended with its last page";

  // A context closed early, one timed out, and the limits: 16 open ones per
  // client (curl over TCP), 64 in all (each curl on the Unix socket is a
  // client of its own).
  auto open = [&](const std::string& timeout = "600", bool uds = false) {
    return call("OpenEnumerateInstancePaths",
                classParam("ClassName", "Test_Item") + value("OperationTimeout", timeout) +
                    value("MaxObjectCount", "1"),
                uds);
  };
  std::string early = contextOf(open());
  EXPECT_EQ(sb::cimErrorOf(call("CloseEnumeration", value("EnumerationContext", early)).body).code, 0);
  EXPECT_EQ(sb::cimErrorOf(call("CloseEnumeration", value("EnumerationContext", contextOf(refs))).body).code,
            0);
  EXPECT_EQ(sb::cimErrorOf(pull(early, 1, "PullInstancePaths").body).code, 21);
  std::string brief = contextOf(open("1"));
  EXPECT_EQ(sb::cimErrorOf(pull(brief, 1, "PullInstancePaths").body).code, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(sb::cimErrorOf(pull(brief, 1, "PullInstancePaths").body).code, 21) << "timed out";
  for (int i = 1; i < 16; ++i) ASSERT_EQ(sb::cimErrorOf(open().body).code, 0) << i;  // with "opened"
  EXPECT_EQ(sb::cimErrorOf(open().body).code, 27);
  for (int i = 16; i < 64; ++i) ASSERT_EQ(sb::cimErrorOf(open("600", true).body).code, 0) << i;
  EXPECT_EQ(sb::cimErrorOf(open("600", true).body).code, 27);
  EXPECT_EQ(sb::cimErrorOf(call("CloseEnumeration", value("EnumerationContext", opened)).body).code, 0);
  EXPECT_EQ(sb::cimErrorOf(open().body).code, 0) << "a slot freed";
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
      {"unknown VALUETYPE", changed("VALUETYPE=\"string\">1<", "VALUETYPE=\"colour\">1<"), 400,
       "request-not-valid"},
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
