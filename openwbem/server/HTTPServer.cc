#include "HTTPServer.h"

#include "HTTPBasicAuth.h"

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/basic_stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <fcntl.h>
#include <malloc.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace OpenWBEM {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using local = asio::local::stream_protocol;
namespace ssl = asio::ssl;

namespace {

// Largest request header block accepted; CIM-XML headers are short.
constexpr std::uint32_t kHeaderLimit = 16 * 1024;
// After refusing a request we read and discard what the client still sends
// (so it sees our answer rather than a reset), but no more than this.
constexpr std::size_t kDrainLimit = 8 * 1024 * 1024;
constexpr std::size_t kDrainChunk = 16 * 1024;
constexpr std::chrono::seconds kDrainTimeout{2};
constexpr std::chrono::milliseconds kAcceptRetryDelay{100};
// Largest answer buffer a connection keeps for its next answer.
constexpr std::size_t kKeptBodyCapacity = 256 * 1024;
// First read of a request on a kept-alive connection, before its head
// deadline starts.
constexpr std::size_t kFirstReadBytes = 4096;
// A PEM private key is a few kilobytes.
constexpr std::size_t kMaxKeyBytes = 64 * 1024;
// TLS 1.2 only with forward secrecy and authenticated encryption; every TLS
// 1.3 suite has both.
const char kTls12Ciphers[] = "ECDHE+AESGCM:ECDHE+CHACHA20:!aNULL";

// Frees an answer too large to keep and gives the freed heap back to the
// system: a listing of megabytes leaves no resident memory behind in a
// long-running server.
void releaseLargeBody(std::string& body) {
  std::string().swap(body);
  malloc_trim(0);
}

// What the server knows of every open connection: its quotas, its age, and
// whether it may be closed to make room for a new one.
class SessionBase {
 public:
  SessionBase(std::vector<std::string> quotas, std::uint64_t serial)
      : m_quotas(std::move(quotas)), m_serial(serial) {}
  virtual ~SessionBase() = default;
  virtual void close() = 0;
  // Closes the connection and gives back its quotas.
  virtual void finish() = 0;
  // Not authenticated yet, or idle between requests.
  virtual bool evictable() const = 0;
  virtual bool authenticated() const = 0;

  const std::vector<std::string>& quotas() const { return m_quotas; }
  std::uint64_t serial() const { return m_serial; }

 private:
  std::vector<std::string> m_quotas;
  std::uint64_t m_serial;
};

// Quota names: one per transport group, one per TCP peer address.
const std::string kUnixQuota = "unix";
const std::string kTcpQuota = "tcp";

struct ServerCore {
  asio::io_context& ioc;
  asio::thread_pool& unixWorker;
  asio::thread_pool& tcpWorker;
  HTTPHandler handler;
  HTTPServerOptions options;
  std::set<std::shared_ptr<SessionBase>> sessions;  // touched on the I/O thread only
  std::map<std::string, std::size_t> inUse;         // connections per quota name, I/O thread only
  std::uint64_t accepted = 0;                       // I/O thread only
  std::mutex tlsMutex;
  std::shared_ptr<ssl::context> tls;  // under tlsMutex: replaced by loadTls

  std::shared_ptr<ssl::context> currentTls() {
    std::lock_guard<std::mutex> lock(tlsMutex);
    return tls;
  }

  std::chrono::milliseconds headTimeout() const { return std::min(options.headTimeout, options.timeout); }

  // Takes a connection from each quota. A quota used up first loses its
  // oldest connection that has not authenticated, or else its oldest idle
  // one; false (nothing taken) when it has neither.
  bool takeQuota(const std::vector<std::string>& quotas) {
    for (const std::string& q : quotas)
      while (used(q) >= limitOf(q)) {
        std::shared_ptr<SessionBase> victim;
        for (const auto& s : sessions) {
          const auto& held = s->quotas();
          if (!s->evictable() || std::find(held.begin(), held.end(), q) == held.end()) continue;
          if (!victim || std::make_pair(s->authenticated(), s->serial()) <
                             std::make_pair(victim->authenticated(), victim->serial()))
            victim = s;
        }
        if (!victim) return false;
        victim->finish();
      }
    for (const std::string& q : quotas) ++inUse[q];
    return true;
  }

  std::size_t used(const std::string& quota) const {
    auto it = inUse.find(quota);
    return it == inUse.end() ? 0 : it->second;
  }

  void releaseQuota(const std::vector<std::string>& quotas) {
    for (const std::string& q : quotas)
      if (--inUse[q] == 0) inUse.erase(q);
  }

  std::size_t limitOf(const std::string& quota) const {
    if (quota == kUnixQuota) return options.maxUnixConnections;
    if (quota == kTcpQuota) return options.maxConnections;
    return options.maxConnectionsPerClient;
  }
};

template <class Protocol, bool Tls>
struct StreamOf {
  using type = beast::basic_stream<Protocol>;
};

template <>
struct StreamOf<tcp, true> {
  using type = beast::ssl_stream<beast::basic_stream<tcp>>;
};

template <class Protocol, bool Tls>
class Session : public SessionBase, public std::enable_shared_from_this<Session<Protocol, Tls>> {
 public:
  using Stream = typename StreamOf<Protocol, Tls>::type;

  Session(ServerCore& core, typename Protocol::socket socket, HTTPPeer peer, std::vector<std::string> quotas)
      : SessionBase(std::move(quotas), ++core.accepted),
        m_core(core),
        m_tls(Tls ? core.currentTls() : nullptr),
        m_stream(makeStream(m_tls, std::move(socket))),
        m_peer(std::move(peer)),
        m_authenticated(m_peer.authenticated) {}

  void start() {
    if constexpr (Tls) {
      lowest().expires_after(m_core.headTimeout());
      m_stream.async_handshake(ssl::stream_base::server,
                               [self = this->shared_from_this()](beast::error_code ec) {
                                 if (ec)
                                   self->finish();
                                 else
                                   self->readHeader();
                               });
    } else
      readHeader();
  }

  void close() override {
    beast::error_code ignored;
    lowest().socket().close(ignored);
  }

  void finish() override {
    close();
    if (m_core.sessions.erase(this->shared_from_this())) m_core.releaseQuota(quotas());
  }

  bool evictable() const override { return !m_authenticated || m_phase == Phase::Idle; }
  bool authenticated() const override { return m_authenticated; }

 private:
  enum class Phase { Head, Idle, Busy };

  static Stream makeStream(const std::shared_ptr<ssl::context>& tls, typename Protocol::socket socket) {
    if constexpr (Tls)
      return Stream(std::move(socket), *tls);
    else
      return Stream(std::move(socket));
  }

  auto& lowest() { return beast::get_lowest_layer(m_stream); }

  // Between two requests the client may stay idle for the timeout; once
  // the next one begins, its head must arrive within the head timeout.
  void awaitRequest() {
    if (m_buffer.size() > 0) {
      readHeader();
      return;
    }
    m_phase = Phase::Idle;
    lowest().expires_after(m_core.options.timeout);
    m_stream.async_read_some(m_buffer.prepare(kFirstReadBytes),
                             [self = this->shared_from_this()](beast::error_code ec, std::size_t n) {
                               self->m_buffer.commit(n);
                               if (ec)
                                 self->finish();
                               else
                                 self->readHeader();
                             });
  }

  void readHeader() {
    m_phase = Phase::Head;
    m_parser.emplace();
    m_parser->header_limit(kHeaderLimit);
    m_parser->body_limit(m_core.options.maxBodyBytes);
    lowest().expires_after(m_core.headTimeout());
    http::async_read_header(
        m_stream, m_buffer, *m_parser,
        [self = this->shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
  }

  void onHeader(beast::error_code ec) {
    if (ec) {
      refuseOrClose(ec);
      return;
    }
    m_phase = Phase::Busy;
    auto& req = m_parser->get();
    auto expect = req[http::field::expect];
    if (beast::iequals(expect, "100-continue")) {
      // Tell the client to go on sending; the body limit was already
      // checked against Content-Length while reading the header.
      auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_, req.version());
      lowest().expires_after(m_core.options.timeout);
      http::async_write(m_stream, *cont,
                        [self = this->shared_from_this(), cont](beast::error_code wec, std::size_t) {
                          if (wec)
                            self->finish();
                          else
                            self->readBody();
                        });
      return;
    }
    readBody();
  }

  void readBody() {
    lowest().expires_after(m_core.options.timeout);
    http::async_read(
        m_stream, m_buffer, *m_parser,
        [self = this->shared_from_this()](beast::error_code ec, std::size_t) { self->onBody(ec); });
  }

  void onBody(beast::error_code ec) {
    if (ec) {
      refuseOrClose(ec);
      return;
    }
    lowest().expires_never();
    auto request = std::make_shared<HTTPRequest>(m_parser->release());
    // Handlers run on a worker so that a slow provider never holds up I/O
    // of the other connections.
    auto& worker = std::is_same_v<Protocol, local> ? m_core.unixWorker : m_core.tcpWorker;
    asio::post(worker, [self = this->shared_from_this(), request]() {
      auto response = std::make_shared<HTTPResponse>();
      // The body reuses the previous answer's buffer: no allocation
      // (and no trimming of the heap) per request in steady state.
      response->body().swap(self->m_bodyBuffer);
      response->body().clear();
      response->version(request->version());
      try {
        self->m_core.handler(*request, self->m_peer, *response);
      } catch (...) {
        response->result(http::status::internal_server_error);
        response->body().clear();
      }
      response->keep_alive(request->keep_alive());
      response->prepare_payload();
      bool authenticated = self->m_peer.authenticated;
      asio::post(self->m_core.ioc, [self, response, authenticated]() {
        self->m_authenticated = authenticated;
        self->write(response, response->keep_alive());
      });
    });
  }

  // A read failed: either the peer went away or timed out (just close), or
  // the request was unacceptable (answer, then close).
  void refuseOrClose(beast::error_code ec) {
    http::status status;
    if (ec == http::error::body_limit)
      status = http::status::payload_too_large;
    else if (ec == http::error::header_limit)
      status = http::status::request_header_fields_too_large;
    else if (ec.category() == http::make_error_code(http::error::bad_method).category() &&
             ec != http::error::end_of_stream && ec != http::error::partial_message)
      status = http::status::bad_request;
    else {
      finish();
      return;
    }
    auto response = std::make_shared<HTTPResponse>(status, 11);
    response->set(http::field::content_type, "text/plain");
    response->body() = std::string(http::obsolete_reason(status)) + "\n";
    response->keep_alive(false);
    response->prepare_payload();
    write(response, false);
  }

  void write(const std::shared_ptr<HTTPResponse>& response, bool keepAlive) {
    lowest().expires_after(m_core.options.timeout);
    http::async_write(
        m_stream, *response,
        [self = this->shared_from_this(), response, keepAlive](beast::error_code ec, std::size_t) {
          if (response->body().capacity() <= kKeptBodyCapacity)
            self->m_bodyBuffer.swap(response->body());
          else
            releaseLargeBody(response->body());
          if (ec)
            self->finish();
          else if (keepAlive)
            self->awaitRequest();
          else
            self->drain();
        });
  }

  // Half-close, then swallow what the client still sends until it closes.
  void drain() {
    if constexpr (Tls) {
      // A TLS close: notify the peer, then let the connection go.
      lowest().expires_after(kDrainTimeout);
      m_stream.async_shutdown([self = this->shared_from_this()](beast::error_code) { self->finish(); });
      return;
    }
    beast::error_code ignored;
    lowest().socket().shutdown(Protocol::socket::shutdown_send, ignored);
    m_drainBuffer.resize(kDrainChunk);
    lowest().expires_after(std::min<std::chrono::milliseconds>(m_core.options.timeout, kDrainTimeout));
    drainMore();
  }

  void drainMore() {
    m_stream.async_read_some(asio::buffer(m_drainBuffer),
                             [self = this->shared_from_this()](beast::error_code ec, std::size_t n) {
                               self->m_drained += n;
                               if (ec || self->m_drained > kDrainLimit)
                                 self->finish();
                               else
                                 self->drainMore();
                             });
  }

  ServerCore& m_core;
  std::shared_ptr<ssl::context> m_tls;  // kept while the connection uses it
  Stream m_stream;
  HTTPPeer m_peer;  // the worker's while a request is handled
  Phase m_phase = Phase::Head;
  bool m_authenticated;
  beast::flat_buffer m_buffer;
  std::optional<http::request_parser<http::string_body>> m_parser;
  std::vector<char> m_drainBuffer;
  std::size_t m_drained = 0;
  std::string m_bodyBuffer;
};

// A listening socket, created close-on-exec; accepted connections are made
// close-on-exec atomically by accept4, so no program the host starts can
// inherit a client connection or the listening port.
template <class Protocol, bool Tls>
class Listener : public std::enable_shared_from_this<Listener<Protocol, Tls>> {
 public:
  Listener(ServerCore& core, typename Protocol::acceptor acceptor, Protocol protocol)
      : m_core(core), m_acceptor(std::move(acceptor)), m_protocol(protocol), m_retry(core.ioc) {}

  void start() { accept(); }

  void close() {
    beast::error_code ignored;
    m_acceptor.close(ignored);
    m_retry.cancel();
  }

  typename Protocol::endpoint endpoint() const { return m_acceptor.local_endpoint(); }

 private:
  void accept() {
    m_acceptor.async_wait(Protocol::acceptor::wait_read,
                          [self = this->shared_from_this()](beast::error_code ec) {
                            if (ec == asio::error::operation_aborted || !self->m_acceptor.is_open()) return;
                            self->acceptReady();
                          });
  }

  void acceptReady() {
    int fd = ::accept4(m_acceptor.native_handle(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      // EWOULDBLOCK is EAGAIN on Linux.
      if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED)
        accept();
      else {
        // Out of descriptors or memory: retry shortly instead of
        // spinning on the failing accept.
        m_retry.expires_after(kAcceptRetryDelay);
        m_retry.async_wait([self = this->shared_from_this()](beast::error_code wec) {
          if (!wec && self->m_acceptor.is_open()) self->accept();
        });
      }
      return;
    }
    typename Protocol::socket socket(m_core.ioc);
    beast::error_code ec;
    socket.assign(m_protocol, fd, ec);
    if (ec)
      ::close(fd);
    else
      admit(std::move(socket));
    accept();
  }

  void admit(typename Protocol::socket socket) {
    HTTPPeer peer;
    std::vector<std::string> quotas;
    if constexpr (std::is_same_v<Protocol, local>) {
      struct ucred cred = {};
      socklen_t len = sizeof cred;
      if (::getsockopt(socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0) {
        peer.uid = cred.uid;
        peer.pid = cred.pid;
      }
      // Only the socket file's owner can connect, and the kernel names it.
      peer.authenticated = true;
      quotas = {kUnixQuota};
    } else {
      beast::error_code ec;
      auto remote = socket.remote_endpoint(ec);
      if (ec) return;
      peer.transport = Tls ? HTTPPeer::Tls : HTTPPeer::Tcp;
      peer.address = remote.address().to_string();
      quotas = {kTcpQuota, kTcpQuota + ":" + peer.address};
    }
    if (!m_core.takeQuota(quotas)) return;  // the socket closes as it goes out of scope
    auto session = std::make_shared<Session<Protocol, Tls>>(m_core, std::move(socket), std::move(peer),
                                                            std::move(quotas));
    m_core.sessions.insert(session);
    session->start();
  }

  ServerCore& m_core;
  typename Protocol::acceptor m_acceptor;
  Protocol m_protocol;
  asio::steady_timer m_retry;
};

// A stream socket of the protocol's family, close-on-exec from the start.
template <class Protocol>
typename Protocol::acceptor openAcceptor(asio::io_context& ioc, const Protocol& protocol,
                                         beast::error_code& ec) {
  typename Protocol::acceptor acceptor(ioc);
  int fd = ::socket(protocol.family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ec.assign(errno, boost::system::generic_category());
    return acceptor;
  }
  acceptor.assign(protocol, fd, ec);
  if (ec) ::close(fd);
  return acceptor;
}

}  // namespace

struct HTTPServer::Impl {
  asio::io_context ioc{1};
  // Keeps the I/O thread running while no listener is open yet.
  asio::executor_work_guard<asio::io_context::executor_type> keepRunning = asio::make_work_guard(ioc);
  asio::thread_pool unixWorker{1};
  asio::thread_pool tcpWorker{1};
  ServerCore core;
  std::vector<std::shared_ptr<Listener<tcp, false>>> tcpListeners;
  std::shared_ptr<Listener<local, false>> udsListener;
  std::vector<unsigned short> ports;
  std::mutex tlsListenersMutex;  // loadTls may run on any thread
  std::vector<std::shared_ptr<Listener<tcp, true>>> tlsListeners;
  std::vector<unsigned short> tlsPorts;
  std::thread ioThread;

  Impl(const HTTPServerOptions& options, HTTPHandler handler)
      : core{ioc, unixWorker, tcpWorker, std::move(handler), options, {}, {}, 0, {}, {}} {}

  void bindUnixSocket(const std::string& path) {
    struct stat st;
    // A socket left by an earlier run would make bind fail; anything else
    // at that path is not ours to remove.
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
    beast::error_code ec;
    local::acceptor acceptor = openAcceptor(ioc, local(), ec);
    if (!ec) {
      // The socket file takes the socket's mode at bind: make it 0600
      // before it appears, and again after in case the kernel ignored it.
      ::fchmod(acceptor.native_handle(), S_IRUSR | S_IWUSR);
      acceptor.bind(local::endpoint(path), ec);
    }
    if (!ec && ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0)
      ec.assign(errno, boost::system::generic_category());
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) throw std::runtime_error("cannot listen on Unix socket " + path + ": " + ec.message());
    udsListener = std::make_shared<Listener<local, false>>(core, std::move(acceptor), local());
  }

  template <bool Tls>
  void bindTcp(const std::string& address, int port) {
    beast::error_code ec;
    auto ip = asio::ip::make_address(address, ec);
    if (ec) throw std::runtime_error("invalid listen address \"" + address + "\"");
    tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    tcp::acceptor acceptor = openAcceptor(ioc, endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
      throw std::runtime_error("cannot listen on " + address + " port " + std::to_string(port) + ": " +
                               ec.message());
    acceptor.set_option(tcp::no_delay(true), ec);
    auto protocol = endpoint.protocol();
    if constexpr (Tls) {
      tlsPorts.push_back(acceptor.local_endpoint().port());
      tlsListeners.push_back(std::make_shared<Listener<tcp, true>>(core, std::move(acceptor), protocol));
    } else {
      ports.push_back(acceptor.local_endpoint().port());
      tcpListeners.push_back(std::make_shared<Listener<tcp, false>>(core, std::move(acceptor), protocol));
    }
  }

  // TLS 1.2 with forward-secret AEAD suites, and TLS 1.3, without
  // renegotiation. Returns "" or why the files were refused.
  std::string makeTlsContext(std::shared_ptr<ssl::context>& out) {
    const HTTPServerOptions& o = core.options;
    auto ctx = std::make_shared<ssl::context>(ssl::context::tls_server);
    SSL_CTX* native = ctx->native_handle();
    ctx->set_options(ssl::context::default_workarounds | ssl::context::single_dh_use);
    SSL_CTX_set_options(native, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_cipher_list(native, kTls12Ciphers) != 1)
      return "cannot restrict the TLS versions and suites";
    beast::error_code ec;
    ctx->use_certificate_chain_file(o.tlsCertificateFile, ec);
    if (ec) return "cannot read the certificate " + o.tlsCertificateFile + ": " + ec.message();
    std::string key;
    std::string refused = httpReadPrivateFile(o.tlsKeyFile, kMaxKeyBytes, key);
    if (refused.empty()) ctx->use_private_key(asio::buffer(key), ssl::context::pem, ec);
    OPENSSL_cleanse(key.data(), key.size());
    if (!refused.empty()) return "key file " + refused;
    if (ec) return "cannot read the key " + o.tlsKeyFile + ": " + ec.message();
    if (SSL_CTX_check_private_key(native) != 1)
      return "the key " + o.tlsKeyFile + " does not belong to the certificate " + o.tlsCertificateFile;
    out = std::move(ctx);
    return std::string();
  }

  std::string loadTls() {
    if (core.options.tlsPort < 0) return "no HTTPS port configured";
    std::shared_ptr<ssl::context> ctx;
    std::string refused = makeTlsContext(ctx);
    if (!refused.empty()) return refused;
    {
      std::lock_guard<std::mutex> lock(core.tlsMutex);
      core.tls.swap(ctx);
    }
    std::lock_guard<std::mutex> lock(tlsListenersMutex);
    if (tlsListeners.empty()) {
      for (const auto& address : core.options.tlsListenAddresses)
        bindTcp<true>(address, core.options.tlsPort);
      for (auto& listener : tlsListeners) listener->start();
    }
    return std::string();
  }

  void removeSocketFile() {
    if (!core.options.udsPath.empty() && udsListener) ::unlink(core.options.udsPath.c_str());
  }
};

HTTPServer::HTTPServer(const HTTPServerOptions& options, HTTPHandler handler)
    : m_impl(std::make_unique<Impl>(options, std::move(handler))) {
  if (options.tcpPort > 65535 || options.tlsPort > 65535)
    throw std::runtime_error("invalid TCP port " +
                             std::to_string(std::max(options.tcpPort, options.tlsPort)));
  try {
    if (!options.udsPath.empty()) m_impl->bindUnixSocket(options.udsPath);
    if (options.tcpPort >= 0)
      for (const auto& address : options.listenAddresses) m_impl->bindTcp<false>(address, options.tcpPort);
  } catch (...) {
    m_impl->removeSocketFile();
    throw;
  }
  if (m_impl->udsListener) m_impl->udsListener->start();
  for (auto& listener : m_impl->tcpListeners) listener->start();
  Impl* impl = m_impl.get();
  m_impl->ioThread = std::thread([impl]() { impl->ioc.run(); });
}

HTTPServer::~HTTPServer() {
  Impl* impl = m_impl.get();
  impl->unixWorker.stop();
  impl->tcpWorker.stop();
  impl->unixWorker.join();
  impl->tcpWorker.join();
  impl->ioc.stop();
  if (impl->ioThread.joinable()) impl->ioThread.join();
  // All threads are gone: close everything from here. Handlers still
  // queued in the io_context release their sessions when it is destroyed.
  if (impl->udsListener) impl->udsListener->close();
  for (auto& listener : impl->tcpListeners) listener->close();
  {
    std::lock_guard<std::mutex> lock(impl->tlsListenersMutex);
    for (auto& listener : impl->tlsListeners) listener->close();
  }
  for (auto& session : impl->core.sessions) session->close();
  impl->core.sessions.clear();
  impl->removeSocketFile();
}

std::vector<unsigned short> HTTPServer::tcpPorts() const {
  return m_impl->ports;
}

std::vector<unsigned short> HTTPServer::tlsPorts() const {
  std::lock_guard<std::mutex> lock(m_impl->tlsListenersMutex);
  return m_impl->tlsPorts;
}

std::string HTTPServer::loadTls() {
  return m_impl->loadTls();
}

bool httpIsLoopbackAddress(const std::string& address) {
  beast::error_code ec;
  auto ip = asio::ip::make_address(address, ec);
  return !ec && ip.is_loopback();
}

std::vector<std::string> httpSplitAddressList(const std::string& text) {
  std::vector<std::string> out;
  std::string current;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!current.empty()) out.push_back(current);
      current.clear();
    } else
      current += c;
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

}  // namespace OpenWBEM
