#include "openwbem/ProviderAgent.h"

#include "ClassRepository.h"
#include "HTTPBasicAuth.h"
#include "HTTPServer.h"
#include "ProviderDispatcher.h"

#include "openwbem/MOFReader.h"
#include "openwbem/ProviderEnvironmentIFC.h"

#include <boost/beast/core/string.hpp>

#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace OpenWBEM {

const char* const ProviderAgent::HTTP_SERVER_UDS_FILENAME_opt = "http_server.uds_filename";
const char* const ProviderAgent::HTTP_SERVER_HTTP_PORT_opt = "http_server.http_port";
const char* const ProviderAgent::HTTP_SERVER_LISTEN_ADDRESSES_opt = "http_server.listen_addresses";
const char* const ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_opt = "http_server.max_connections";
const char* const ProviderAgent::HTTP_SERVER_TIMEOUT_opt = "http_server.timeout";
const char* const ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt = "http_server.https_port";
const char* const ProviderAgent::HTTP_SERVER_SSL_CERT_opt = "http_server.SSL_cert";
const char* const ProviderAgent::HTTP_SERVER_SSL_KEY_opt = "http_server.SSL_key";
const char* const ProviderAgent::HTTP_SERVER_BASIC_PASSWORD_FILE_opt = "http_server.basic_password_file";
const char* const ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt =
    "http_server.max_connections_per_client";
const char* const ProviderAgent::HTTP_SERVER_MAX_UDS_CONNECTIONS_opt = "http_server.max_uds_connections";
const char* const ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt = "provider_agent.mof_file";
const char* const ProviderAgent::PROVIDER_AGENT_NAMESPACES_opt = ProviderDispatcher::kNamespacesConfigItem;

namespace {

namespace http = boost::beast::http;

// Defaults of the configuration items.
constexpr long kDefaultTimeoutSeconds = 30;
constexpr long kDefaultMaxConnections = 64;
constexpr long kDefaultMaxConnectionsPerClient = 4;
constexpr long kDefaultMaxUdsConnections = 16;
constexpr long kMaxTimeoutSeconds = 24 * 3600;
constexpr long kMaxConnectionsLimit = 4096;

// What providers see of their host.
class AgentEnvironment : public ProviderEnvironmentIFC {
 public:
  using ProviderEnvironmentIFC::getLogger;
  AgentEnvironment(const ConfigFile::ConfigMap& config, const LoggerRef& logger)
      : m_config(config), m_logger(logger) {}
  LoggerRef getLogger() const override { return m_logger; }
  String getConfigItem(const String& name, const String& defRetVal) const override {
    return ConfigFile::getConfigItem(m_config, name, defRetVal);
  }

 private:
  ConfigFile::ConfigMap m_config;
  LoggerRef m_logger;
};

[[noreturn]] void fail(const std::string& msg) {
  OW_THROW(ProviderAgentException, msg.c_str());
}

// An integer configuration item within [min, max], or def when unset.
long configNumber(const ConfigFile::ConfigMap& config, const char* name, long def, long min, long max) {
  String text = ConfigFile::getConfigItem(config, name, "");
  text.trim();
  if (text.empty()) return def;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max)
    fail(std::string("invalid value \"") + text.c_str() + "\" of " + name);
  return v;
}

// Media type of a Content-Type value, lower case, without parameters.
String mediaType(const String& contentType) {
  std::size_t semi = contentType.indexOf(';');
  String type = semi == String::npos ? contentType : contentType.substring(0, semi);
  type.trim();
  type.toLowerCase();
  return type;
}

void plainAnswer(HTTPResponse& res, http::status status, const std::string& text) {
  res.result(status);
  res.set(http::field::content_type, "text/plain; charset=\"utf-8\"");
  res.body() = text + "\n";
}

// What a connection remembers of its credentials: the Authorization value
// verified last, its user and the reading of the credentials file it was
// verified against, so that a keep-alive client pays the hash once per
// reading.
struct VerifiedCredential {
  std::string authorization;
  std::string user;
  unsigned generation;
};

using Clock = std::chrono::steady_clock;

// Failed logins per peer address: after kFreeFailures, each further one
// makes the address wait, doubling from kFirstWait up to kLongestWait. A
// waiting address is refused without checking its password. An address is
// forgotten on success, or kForgetAfter after its last failure.
class LoginBackoff {
 public:
  // How long the address must still wait; zero when it may try.
  Clock::duration wait(const std::string& address, Clock::time_point now) const {
    auto it = m_peers.find(address);
    return it == m_peers.end() || it->second.until <= now ? Clock::duration::zero() : it->second.until - now;
  }

  void failed(const std::string& address, Clock::time_point now) {
    if (m_peers.size() >= kMaxPeers) forget(now);
    Peer& p = m_peers[address];
    if (now - p.last > kForgetAfter) p.failures = 0;
    p.last = now;
    if (++p.failures > kFreeFailures)
      p.until = now + std::min<Clock::duration>(
                          kLongestWait, kFirstWait * (1u << std::min(p.failures - kFreeFailures - 1, 8u)));
  }

  void succeeded(const std::string& address) { m_peers.erase(address); }

 private:
  static constexpr unsigned kFreeFailures = 3;
  static constexpr std::chrono::seconds kFirstWait{1};
  static constexpr std::chrono::seconds kLongestWait{8};
  static constexpr std::chrono::minutes kForgetAfter{10};
  static constexpr std::size_t kMaxPeers = 4096;

  struct Peer {
    unsigned failures = 0;
    Clock::time_point last, until;
  };

  // Makes room: addresses not waiting go first, then all.
  void forget(Clock::time_point now) {
    for (auto it = m_peers.begin(); it != m_peers.end();)
      it = it->second.until <= now ? m_peers.erase(it) : std::next(it);
    if (m_peers.size() >= kMaxPeers) m_peers.clear();
  }

  std::unordered_map<std::string, Peer> m_peers;
};

// Warnings of refused logins: at most kBurst lines per kWindow; the first
// attempt after a window in which lines were dropped logs how many.
class RefusalLog {
 public:
  void warn(const std::string& line, Clock::time_point now) {
    tick(now);
    if (m_lines < kBurst) {
      ++m_lines;
      syslog(LOG_WARNING, "%s", line.c_str());
    } else
      ++m_suppressed;
  }

  void tick(Clock::time_point now) {
    if (now - m_windowStart < kWindow) return;
    if (m_suppressed > 0)
      syslog(LOG_WARNING, "CIM login refusals: %zu more in the last %lld s were not logged", m_suppressed,
             static_cast<long long>(
                 std::chrono::duration_cast<std::chrono::seconds>(now - m_windowStart).count()));
    m_windowStart = now;
    m_lines = m_suppressed = 0;
  }

 private:
  static constexpr std::size_t kBurst = 5;
  static constexpr std::chrono::seconds kWindow{60};
  Clock::time_point m_windowStart;
  std::size_t m_lines = 0, m_suppressed = 0;
};

// Outcome of a TCP client's credentials.
enum class Login { Accepted, Refused, Waiting };

// The caller as the audit trail names it.
std::string callerOf(const HTTPPeer& peer, const std::string& user) {
  if (peer.transport == HTTPPeer::UnixSocket)
    return "uid " + std::to_string(peer.uid) + " pid " + std::to_string(peer.pid) + " (Unix socket)";
  return "user \"" + user + "\" at " + peer.address +
         (peer.transport == HTTPPeer::Tls ? " (HTTPS)" : " (HTTP)");
}

}  // namespace

struct ProviderAgent::Impl {
  ClassRepository classes;
  LoggerRef logger;
  String callbackURL;
  Array<RequestHandlerIFCRef> handlers;
  AuthenticatorIFCRef authenticator;
  HTTPBasicAuth basicAuth;
  std::string credentialsFile;  // empty: TCP and HTTPS are off
  bool tlsWanted = false;
  // TCP worker only:
  LoginBackoff backoff;
  RefusalLog refusals;
  // The two workers (Unix socket, TCP) reach the dispatcher one at a time.
  std::mutex dispatchMutex;
  std::unique_ptr<ProviderDispatcher> dispatcher;
  std::unique_ptr<HTTPServer> server;

  void serve(const HTTPRequest& req, HTTPPeer& peer, HTTPResponse& res);
  Login authenticateTcp(const HTTPRequestData& data, HTTPPeer& peer, std::string& user,
                        Clock::duration& wait);
  bool loadCredentials();
  void logCredentials(const HTTPBasicAuth::LoadResult& result, const char* reading);
  void loadTls();
};

void ProviderAgent::Impl::logCredentials(const HTTPBasicAuth::LoadResult& result, const char* reading) {
  for (const std::string& line : result.skipped) syslog(LOG_WARNING, "%s", line.c_str());
  if (!result.error.empty())
    syslog(LOG_ERR, "Credentials %s refused, no CIM login over HTTP or HTTPS is accepted: %s (%s)", reading,
           result.error.c_str(), HTTP_SERVER_BASIC_PASSWORD_FILE_opt);
  else
    syslog(LOG_NOTICE, "Credentials %s: %zu users from %s", reading, result.users, credentialsFile.c_str());
}

bool ProviderAgent::Impl::loadCredentials() {
  HTTPBasicAuth::LoadResult result = basicAuth.load(credentialsFile);
  logCredentials(result, "read");
  return result.error.empty();
}

// Logs why HTTPS keeps what it had; an address that cannot be bound throws.
void ProviderAgent::Impl::loadTls() {
  std::string refused = server->loadTls();
  if (!refused.empty()) {
    syslog(LOG_ERR, "HTTPS: %s (%s, %s)", refused.c_str(), HTTP_SERVER_SSL_CERT_opt, HTTP_SERVER_SSL_KEY_opt);
    logger->logError(String("ProviderAgent: HTTPS: ") + refused.c_str());
  }
}

// TCP clients authenticate with Basic credentials of the credentials file,
// read again when it changed. An address that failed too often waits.
Login ProviderAgent::Impl::authenticateTcp(const HTTPRequestData& data, HTTPPeer& peer, std::string& user,
                                           Clock::duration& wait) {
  HTTPBasicAuth::LoadResult reread;
  if (basicAuth.reloadIfChanged(reread)) logCredentials(reread, "re-read after a change");
  const Clock::time_point now = Clock::now();
  refusals.tick(now);
  std::string authorization = data.getHeader("authorization").toStdString();
  auto* cached = static_cast<VerifiedCredential*>(peer.state.get());
  if (cached && !authorization.empty() && cached->authorization == authorization &&
      cached->generation == basicAuth.generation()) {
    user = cached->user;
    return Login::Accepted;
  }
  peer.authenticated = false;
  peer.state.reset();
  if (authorization.empty()) return Login::Refused;
  wait = backoff.wait(peer.address, now);
  if (wait > Clock::duration::zero()) {
    refusals.warn("CIM request from " + peer.address + " refused: too many failed logins, not checked", now);
    return Login::Waiting;
  }
  // A password just written (tavrelctl passwd) counts at once.
  if (basicAuth.reloadIfChanged(reread, true)) logCredentials(reread, "re-read after a change");
  unsigned generation = basicAuth.generation();
  if (!basicAuth.verify(authorization, user)) {
    backoff.failed(peer.address, now);
    refusals.warn("CIM request from " + peer.address + " refused: wrong credentials", now);
    return Login::Refused;
  }
  backoff.succeeded(peer.address);
  peer.state = std::make_shared<VerifiedCredential>(VerifiedCredential{authorization, user, generation});
  peer.authenticated = true;
  return Login::Accepted;
}

// Front door of every request: method, credentials and content type decide
// which request handler (if any) answers it.
void ProviderAgent::Impl::serve(const HTTPRequest& req, HTTPPeer& peer, HTTPResponse& res) {
  if (req.method_string() == "M-POST") {
    // Extension-framework requests are not served; DSP0200 clients
    // retry with a plain POST.
    plainAnswer(res, http::status::not_implemented, "M-POST is not supported; use POST");
    return;
  }
  if (req.method() != http::verb::post) {
    res.set(http::field::allow, "POST");
    plainAnswer(res, http::status::method_not_allowed, "only POST is served");
    return;
  }
  HTTPRequestData data;
  data.method = String(std::string(req.method_string()));
  data.target = String(std::string(req.target()));
  for (const auto& field : req) {
    std::string name(field.name_string());
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    data.headers.push_back(std::make_pair(String(name), String(std::string(field.value()))));
  }
  if (peer.transport != HTTPPeer::UnixSocket) {
    std::string user;
    Clock::duration wait{};
    Login login = authenticateTcp(data, peer, user, wait);
    if (login == Login::Waiting) {
      res.set(http::field::retry_after,
              std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count() + 1));
      plainAnswer(res, http::status::too_many_requests, "too many failed logins; try again later");
      return;
    }
    if (login == Login::Refused) {
      res.set(http::field::www_authenticate, HTTPBasicAuth::challenge());
      plainAnswer(res, http::status::unauthorized, "authentication required");
      return;
    }
    data.userName = String(user);
  } else if (authenticator) {
    String challenge;
    if (!authenticator->authenticate(data.getHeader("authorization"), data.userName, challenge)) {
      if (!challenge.empty()) res.set(http::field::www_authenticate, challenge.c_str());
      plainAnswer(res, http::status::unauthorized, "authentication required");
      return;
    }
  }
  std::lock_guard<std::mutex> lock(dispatchMutex);
  dispatcher->setCaller(callerOf(peer, data.userName.toStdString()));
  if (!data.hasHeader("content-type")) {
    plainAnswer(res, http::status::not_acceptable, "Content-Type missing");
    return;
  }
  String type = mediaType(data.getHeader("content-type"));
  RequestHandlerIFC* handler = nullptr;
  for (const RequestHandlerIFCRef& h : handlers)
    for (const String& t : h->getSupportedContentTypes())
      if (!handler && t.equalsIgnoreCase(type)) handler = h.get();
  if (!handler) {
    plainAnswer(res, http::status::unsupported_media_type, "unsupported Content-Type " + type.toStdString());
    return;
  }
  data.body = req.body();
  HTTPResponseData out;
  out.body.swap(res.body());  // the connection's reusable buffer
  try {
    handler->process(data, *dispatcher, out);
  } catch (const std::exception& e) {
    logger->logError(String("ProviderAgent: request handler failed: ") + e.what());
    plainAnswer(res, http::status::internal_server_error, "internal error");
    return;
  }
  res.result(static_cast<unsigned>(out.status));
  for (const auto& h : out.headers) res.set(h.first.toStdString(), h.second.toStdString());
  res.body().swap(out.body);
}

ProviderAgent::ProviderAgent(const ConfigFile::ConfigMap& configMap,
                             const Array<CppProviderBaseIFCRef>& providers, const Array<CIMClass>& classes,
                             const Array<RequestHandlerIFCRef>& requestHandlers,
                             const AuthenticatorIFCRef& authenticator, const LoggerRef& logger,
                             const String& callbackURL, const ProviderAgentLockerIFCRef& locker)
    : m_impl(std::make_unique<Impl>()) {
  Impl& impl = *m_impl;
  impl.logger = logger ? logger : Logger::createLogger("null", false);
  impl.callbackURL = callbackURL;
  impl.authenticator = authenticator;
  for (const RequestHandlerIFCRef& h : requestHandlers)
    if (h) impl.handlers.push_back(h);

  HTTPServerOptions options;
  options.udsPath = ConfigFile::getConfigItem(configMap, HTTP_SERVER_UDS_FILENAME_opt, "").toStdString();
  options.tcpPort = static_cast<int>(
      configNumber(configMap, HTTP_SERVER_HTTP_PORT_opt, -1, std::numeric_limits<int>::min(), 65535));
  String addresses = ConfigFile::getConfigItem(configMap, HTTP_SERVER_LISTEN_ADDRESSES_opt, "");
  if (!addresses.trim().empty()) options.listenAddresses = httpSplitAddressList(addresses.toStdString());
  options.timeout = std::chrono::seconds(
      configNumber(configMap, HTTP_SERVER_TIMEOUT_opt, kDefaultTimeoutSeconds, 1, kMaxTimeoutSeconds));
  options.maxConnections = static_cast<std::size_t>(configNumber(
      configMap, HTTP_SERVER_MAX_CONNECTIONS_opt, kDefaultMaxConnections, 1, kMaxConnectionsLimit));
  options.maxConnectionsPerClient =
      static_cast<std::size_t>(configNumber(configMap, HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt,
                                            kDefaultMaxConnectionsPerClient, 1, kMaxConnectionsLimit));
  options.maxUnixConnections = static_cast<std::size_t>(configNumber(
      configMap, HTTP_SERVER_MAX_UDS_CONNECTIONS_opt, kDefaultMaxUdsConnections, 1, kMaxConnectionsLimit));
  options.tlsPort = static_cast<int>(
      configNumber(configMap, HTTP_SERVER_HTTPS_PORT_opt, -1, std::numeric_limits<int>::min(), 65535));
  options.tlsCertificateFile =
      ConfigFile::getConfigItem(configMap, HTTP_SERVER_SSL_CERT_opt, "").toStdString();
  options.tlsKeyFile = ConfigFile::getConfigItem(configMap, HTTP_SERVER_SSL_KEY_opt, "").toStdString();
  options.tlsListenAddresses = options.listenAddresses;
  if (options.udsPath.empty())
    syslog(LOG_NOTICE, "Unix socket listener kept off: %s unset", HTTP_SERVER_UDS_FILENAME_opt);
  if (options.tcpPort < 0) syslog(LOG_NOTICE, "HTTP listener kept off: %s unset", HTTP_SERVER_HTTP_PORT_opt);
  if (options.tlsPort < 0)
    syslog(LOG_NOTICE, "HTTPS listener kept off: %s unset", HTTP_SERVER_HTTPS_PORT_opt);
  // Plain HTTP carries credentials in the clear: loopback only.
  std::vector<std::string> loopback;
  for (const std::string& a : options.listenAddresses)
    if (httpIsLoopbackAddress(a))
      loopback.push_back(a);
    else if (options.tcpPort >= 0)
      syslog(LOG_ERR, "HTTP listener on %s kept off: not a loopback address; use HTTPS", a.c_str());
  options.listenAddresses = loopback;
  if (loopback.empty()) options.tcpPort = -1;
  if (options.tcpPort >= 0 || options.tlsPort >= 0) {
    impl.credentialsFile =
        ConfigFile::getConfigItem(configMap, HTTP_SERVER_BASIC_PASSWORD_FILE_opt, "").toStdString();
    if (!impl.loadCredentials()) {
      syslog(LOG_ERR, "HTTP and HTTPS listeners kept off: no credentials");
      impl.logger->logError("ProviderAgent: HTTP and HTTPS listeners kept off: no credentials");
      impl.credentialsFile.clear();
      options.tcpPort = -1;
      options.tlsPort = -1;
    }
  }
  impl.tlsWanted = options.tlsPort >= 0;

  try {
    String mofFile = ConfigFile::getConfigItem(configMap, PROVIDER_AGENT_MOF_FILE_opt, "");
    if (!mofFile.trim().empty()) impl.classes.add(MOFReader::readFile(mofFile));
    impl.classes.add(classes);
  } catch (const Exception& e) {
    fail(std::string("cannot load class definitions: ") + e.getMessage());
  }

  ProviderEnvironmentIFCRef env(new AgentEnvironment(configMap, impl.logger));
  impl.dispatcher = std::make_unique<ProviderDispatcher>(providers, impl.classes, env, impl.logger, locker);
  try {
    impl.dispatcher->initializeProviders();
    impl.server = std::make_unique<HTTPServer>(
        options,
        [&impl](const HTTPRequest& req, HTTPPeer& peer, HTTPResponse& res) { impl.serve(req, peer, res); });
    if (!options.udsPath.empty())
      syslog(LOG_NOTICE, "Unix socket listener on %s opened (root only, no credentials)",
             options.udsPath.c_str());
    std::vector<unsigned short> ports = impl.server->tcpPorts();
    for (std::size_t i = 0; i < ports.size(); ++i)
      syslog(LOG_NOTICE, "HTTP listener on %s port %u opened", options.listenAddresses[i].c_str(), ports[i]);
    if (impl.tlsWanted) {
      impl.loadTls();
      ports = impl.server->tlsPorts();
      for (std::size_t i = 0; i < ports.size(); ++i)
        syslog(LOG_NOTICE, "HTTPS listener on %s port %u opened", options.tlsListenAddresses[i].c_str(),
               ports[i]);
      if (ports.empty())
        syslog(LOG_ERR, "HTTPS listener kept off until the certificate and key are fixed and reloaded");
    }
  } catch (const std::runtime_error& e) {
    impl.logger->logError(String("ProviderAgent: ") + e.what());
    fail(e.what());
  }
}

ProviderAgent::~ProviderAgent() {
  // The server goes first: no request may reach a provider being released.
  m_impl->server.reset();
}

void ProviderAgent::reload() {
  Impl& impl = *m_impl;
  if (!impl.credentialsFile.empty()) {
    HTTPBasicAuth::LoadResult result = impl.basicAuth.load(impl.credentialsFile);
    impl.logCredentials(result, "re-read");
  }
  if (impl.tlsWanted) {
    bool wasOff = impl.server->tlsPorts().empty();
    try {
      impl.loadTls();
    } catch (const std::runtime_error& e) {
      syslog(LOG_ERR, "HTTPS listener kept off: %s", e.what());
    }
    if (wasOff)
      for (unsigned short p : impl.server->tlsPorts())
        syslog(LOG_NOTICE, "HTTPS listener on port %u opened", p);
  }
}

Array<UInt16> ProviderAgent::getTCPPorts() const {
  Array<UInt16> ports;
  for (unsigned short p : m_impl->server->tcpPorts()) ports.push_back(p);
  return ports;
}

Array<UInt16> ProviderAgent::getHTTPSPorts() const {
  Array<UInt16> ports;
  for (unsigned short p : m_impl->server->tlsPorts()) ports.push_back(p);
  return ports;
}

}  // namespace OpenWBEM
