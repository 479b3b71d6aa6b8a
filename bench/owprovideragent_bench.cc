// Provider agent latency, throughput and idle memory: the agent serves the
// test provider (64 items) on a loopback port with HTTP Basic credentials,
// on HTTPS and on a Unix socket (no credentials); clients in this process
// send CIM-XML over keep-alive connections. Prints its figures; goals on the
// appliance-class 2-core machine: GetInstance p50 <= 0.3 ms,
// EnumerateInstances(64) p50 <= 1 ms, >= 5000 GetInstance/s, < 4 MB resident
// added by the agent when idle (apart from OpenSSL's initialisation);
// GetInstance with Basic credentials at most
// 1.2 times the p50 without (Unix socket), over HTTPS p50 < 0.3 ms.
#include "openwbem/BinaryRequestHandler.h"
#include "openwbem/CppProviderIFC.h"
#include "openwbem/NonAuthenticatingAuthenticator.h"
#include "openwbem/ProviderAgent.h"
#include "openwbem/XMLExecute.h"

#include "test_support.h"

#include <openssl/ssl.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <filesystem>
#include <system_error>

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

using namespace OpenWBEM;
namespace asio = boost::asio;
namespace http = boost::beast::http;
using Clock = std::chrono::steady_clock;
using tavrel::test::basicAuthorization;
using tavrel::test::cimRequest;

namespace {

constexpr int kWarmup = 200;
constexpr int kGetInstanceRuns = 5000;
constexpr int kEnumRuns = 2000;
constexpr int kThroughputClients = 2;
constexpr std::chrono::seconds kThroughputTime{2};

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A keep-alive client over a connected stream (TCP, Unix socket or TLS).
template <class Stream>
class Client {
 public:
  Client(Stream& stream, const char* method, const std::string& body, const std::string& authorization)
      : m_stream(stream) {
    m_request = http::request<http::string_body>(http::verb::post, "/cimom", 11);
    m_request.set(http::field::host, "localhost");
    m_request.set(http::field::content_type, "application/xml; charset=\"utf-8\"");
    m_request.set("CIMOperation", "MethodCall");
    m_request.set("CIMMethod", method);
    m_request.set("CIMObject", "root%2Fcimv2");
    if (!authorization.empty()) m_request.set(http::field::authorization, authorization);
    m_request.body() = body;
    m_request.prepare_payload();
  }

  // One round trip; returns the response body size (0 on an HTTP error).
  std::size_t once() {
    http::write(m_stream, m_request);
    http::response<http::string_body> res;
    http::read(m_stream, m_buffer, res);
    return res.result() == http::status::ok ? res.body().size() : 0;
  }

 private:
  Stream& m_stream;
  boost::beast::flat_buffer m_buffer;
  http::request<http::string_body> m_request;
};

asio::ip::tcp::socket connectTcp(asio::io_context& ioc, unsigned short port) {
  asio::ip::tcp::socket socket(ioc);
  socket.connect(asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  socket.set_option(asio::ip::tcp::no_delay(true));
  return socket;
}

struct Latency {
  double p50;
  double p99;
  double perSecond;
  double cpuMs;  // process CPU time (client and server) per request
};

double processCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

template <class C>
Latency measure(C& client, int runs, std::size_t& bytes) {
  for (int i = 0; i < kWarmup; ++i) bytes = client.once();
  std::vector<double> ms;
  ms.reserve(runs);
  Clock::time_point begin = Clock::now();
  double cpuBegin = processCpuMs();
  for (int i = 0; i < runs; ++i) {
    Clock::time_point t = Clock::now();
    if (client.once() == 0) bytes = 0;
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  double total = std::chrono::duration<double>(Clock::now() - begin).count();
  double cpu = (processCpuMs() - cpuBegin) / runs;
  std::sort(ms.begin(), ms.end());
  return Latency{ms[ms.size() / 2], ms[ms.size() * 99 / 100], runs / total, cpu};
}

}  // namespace

int main() {
  LoggerRef logger = Logger::createLogger("null", false);
  Array<CppProviderBaseIFCRef> providers;
  providers.push_back(CppProviderIFC::loadProvider(TESTPROV_LIBRARY, logger));
  if (!providers[0]) {
    std::fprintf(stderr, "cannot load %s\n", TESTPROV_LIBRARY);
    return 1;
  }
  Array<RequestHandlerIFCRef> handlers;
  handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new XMLExecute));
  handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new BinaryRequestHandler));
  AuthenticatorIFCRef auth(SharedLibraryRef(), new NonAuthenticatingAuthenticator);
  char dirTemplate[] = "/tmp/owbenchXXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  const std::string dir = dirTemplate;
  if (!tavrel::test::writeCredentialsFile(dir + "/credentials") ||
      !tavrel::test::writeTestCertificate(dir + "/cert.pem", dir + "/key.pem")) {
    std::fprintf(stderr, "cannot write the credentials or the test certificate (openssl) in %s\n",
                 dir.c_str());
    return 1;
  }
  ConfigFile::ConfigMap config;
  config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "0";
  config[ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt] = "0";
  config[ProviderAgent::HTTP_SERVER_SSL_CERT_opt] = String(dir + "/cert.pem");
  config[ProviderAgent::HTTP_SERVER_SSL_KEY_opt] = String(dir + "/key.pem");
  config[ProviderAgent::HTTP_SERVER_BASIC_PASSWORD_FILE_opt] = String(dir + "/credentials");
  config[ProviderAgent::HTTP_SERVER_UDS_FILENAME_opt] = String(dir + "/agent.sock");
  config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = TESTPROV_MOF;
  config["testprov.items"] = "64";

  // OpenSSL's one-time initialisation (about 2.5 MB, paid only when HTTPS
  // is on) is reported apart from what the agent itself keeps.
  long beforeTls = residentKiB();
  OPENSSL_init_ssl(0, nullptr);
  long before = residentKiB();
  ProviderAgent agent(config, providers, Array<CIMClass>(), handlers, auth, logger, String(),
                      ProviderAgentLockerIFCRef());
  const unsigned short port = agent.getTCPPorts()[0];
  const unsigned short httpsPort = agent.getHTTPSPorts()[0];
  const std::string authorization = basicAuthorization();
  asio::io_context ioc;
  {
    // One request of each kind, then idle: what the agent keeps resident.
    auto socket = connectTcp(ioc, port);
    Client<asio::ip::tcp::socket> client(
        socket, "EnumerateInstances",
        cimRequest("EnumerateInstances",
                   "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Item\"/></IPARAMVALUE>"),
        authorization);
    client.once();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  long idle = residentKiB();

  std::size_t bytes = 0;
  Latency get;
  Latency unauthenticated;
  Latency tls;
  Latency enumerate;
  const std::string getItem =
      cimRequest("GetInstance",
                 "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Item\">"
                 "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">item7</KEYVALUE></KEYBINDING>"
                 "<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">7</KEYVALUE></KEYBINDING>"
                 "</INSTANCENAME></IPARAMVALUE>");
  {
    asio::local::stream_protocol::socket uds(ioc);
    uds.connect(asio::local::stream_protocol::endpoint(dir + "/agent.sock"));
    Client<asio::local::stream_protocol::socket> udsClient(uds, "GetInstance", getItem, std::string());
    unauthenticated = measure(udsClient, kGetInstanceRuns, bytes);
    std::printf(
        "GetInstance, Unix socket: p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu "
        "bytes\n",
        unauthenticated.p50, unauthenticated.p99, unauthenticated.perSecond, unauthenticated.cpuMs, bytes);

    auto socket = connectTcp(ioc, port);
    Client<asio::ip::tcp::socket> getClient(socket, "GetInstance", getItem, authorization);
    get = measure(getClient, kGetInstanceRuns, bytes);
    std::printf(
        "GetInstance, HTTP Basic:  p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu bytes"
        "  (%.2f x Unix socket)\n",
        get.p50, get.p99, get.perSecond, get.cpuMs, bytes, get.p50 / unauthenticated.p50);

    asio::ssl::context ctx(asio::ssl::context::tls_client);
    ctx.set_verify_mode(asio::ssl::verify_none);
    boost::beast::ssl_stream<asio::ip::tcp::socket> tlsStream(connectTcp(ioc, httpsPort), ctx);
    tlsStream.handshake(asio::ssl::stream_base::client);
    Client<boost::beast::ssl_stream<asio::ip::tcp::socket>> tlsClient(tlsStream, "GetInstance", getItem,
                                                                      authorization);
    tls = measure(tlsClient, kGetInstanceRuns, bytes);
    std::printf(
        "GetInstance, HTTPS Basic: p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu "
        "bytes\n",
        tls.p50, tls.p99, tls.perSecond, tls.cpuMs, bytes);

    auto enumSocket = connectTcp(ioc, port);
    Client<asio::ip::tcp::socket> enumClient(
        enumSocket, "EnumerateInstances",
        cimRequest("EnumerateInstances",
                   "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Item\"/></IPARAMVALUE>"),
        authorization);
    enumerate = measure(enumClient, kEnumRuns, bytes);
    std::printf(
        "EnumerateInstances(64):   p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu "
        "bytes\n",
        enumerate.p50, enumerate.p99, enumerate.perSecond, enumerate.cpuMs, bytes);
  }

  // Throughput with several keep-alive clients at once.
  std::vector<std::thread> threads;
  std::vector<long> counts(kThroughputClients, 0);
  Clock::time_point end = Clock::now() + kThroughputTime;
  for (int c = 0; c < kThroughputClients; ++c)
    threads.emplace_back([&, c] {
      asio::io_context clientIoc;
      auto socket = connectTcp(clientIoc, port);
      Client<asio::ip::tcp::socket> client(socket, "GetInstance", getItem, authorization);
      while (Clock::now() < end) {
        client.once();
        ++counts[c];
      }
    });
  for (std::thread& t : threads) t.join();
  long total = 0;
  for (long n : counts) total += n;
  double throughput = total / std::chrono::duration<double>(kThroughputTime).count();
  std::printf("GetInstance throughput:   %.0f req/s (%d clients)\n", throughput, kThroughputClients);

  std::printf("Resident memory:          %ld KiB for OpenSSL's initialisation (HTTPS on)\n",
              before - beforeTls);
  std::printf(
      "                          %ld KiB before the agent, %ld KiB with the agent idle: %ld KiB added\n",
      before, idle, idle - before);
  std::printf("                          %ld KiB after the runs (bench clients included)\n", residentKiB());

  bool ok = bytes > 0 && get.p50 <= 0.3 && enumerate.p50 <= 1.0 &&
            std::max(throughput, get.perSecond) >= 5000 && idle - before < 4 * 1024 &&
            get.p50 <= 1.2 * unauthenticated.p50 && tls.p50 < 0.3;
  std::error_code removeError;
  std::filesystem::remove_all(dir, removeError);
  std::printf("Goals %s\n", ok ? "met" : "NOT met");
  return 0;
}
