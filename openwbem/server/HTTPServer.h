// HTTP/1.1 transport of the provider agent: listens on a Unix-domain socket,
// on TCP and on TCP with TLS, reads requests with keep-alive, hands each
// complete request with the identity of its peer to one handler and writes
// its answer. Knows nothing of CIM.
#ifndef OW_SERVER_HTTPSERVER_H
#define OW_SERVER_HTTPSERVER_H

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace OpenWBEM {

using HTTPRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HTTPResponse = boost::beast::http::response<boost::beast::http::string_body>;

// Who sent a request: the transport, and for the Unix-domain socket the
// peer's credentials (SO_PEERCRED), for TCP the peer's address.
struct HTTPPeer {
  enum Transport { UnixSocket, Tcp, Tls };
  Transport transport = UnixSocket;
  unsigned uid = 0;
  int pid = 0;
  std::string address;
  // True from the start on the Unix-domain socket; on TCP set by the
  // handler once it verified the connection's credentials.
  // Until then, and while it is idle between requests, the connection may
  // be closed to make room for a new one when a quota is used up.
  bool authenticated = false;
  // Per-connection memory of the handler (for example the credentials
  // already verified on this connection); empty for a new connection.
  std::shared_ptr<void> state;
};

// Called for every complete request on one of the server's two worker
// threads: one serves the Unix-domain socket, the other TCP and TLS, so
// that no TCP request (nor the password hashing it costs) ever delays the
// local object manager. Handlers of one group never run concurrently, those
// of the two groups may. It fills status, headers and body;
// the server sets Content-Length and the keep-alive state.
using HTTPHandler = std::function<void(const HTTPRequest&, HTTPPeer&, HTTPResponse&)>;

struct HTTPServerOptions {
  std::string udsPath;  // empty: no Unix-domain socket
  int tcpPort = -1;     // negative: no TCP; 0: any free port
  std::vector<std::string> listenAddresses{"127.0.0.1"};
  int tlsPort = -1;  // negative: no TLS; 0: any free port
  std::vector<std::string> tlsListenAddresses{"127.0.0.1"};
  std::string tlsCertificateFile;  // PEM chain
  std::string tlsKeyFile;          // PEM private key
  std::size_t maxBodyBytes = 1024 * 1024;
  std::chrono::milliseconds timeout{30000};  // per read or write, and idle keep-alive
  // For the TLS handshake, and for a request head from its first byte (at
  // most timeout).
  std::chrono::milliseconds headTimeout{5000};
  // Separate quotas, so that TCP clients can never lock out the local
  // object manager on the Unix-domain socket: TCP and TLS together, one
  // peer address on TCP and TLS, the Unix-domain socket. When a quota is
  // used up, a new connection closes the oldest one that has not
  // authenticated (or else the oldest idle one) of that quota; only when
  // there is none is the new one refused.
  std::size_t maxConnections = 64;
  std::size_t maxConnectionsPerClient = 16;
  std::size_t maxUnixConnections = 16;
};

class HTTPServer {
 public:
  // Binds the Unix-domain and plain TCP listeners (throws
  // std::runtime_error naming the address on failure) and starts serving on
  // its own threads. HTTPS listens once loadTls() succeeded.
  HTTPServer(const HTTPServerOptions& options, HTTPHandler handler);
  // Stops accepting, closes every connection and joins the threads. A
  // request being handled finishes first; queued ones are dropped.
  ~HTTPServer();

  HTTPServer(const HTTPServer&) = delete;
  HTTPServer& operator=(const HTTPServer&) = delete;

  // TCP ports actually bound, one per listen address (useful with port 0).
  std::vector<unsigned short> tcpPorts() const;
  std::vector<unsigned short> tlsPorts() const;

  // Reads the certificate chain and the private key of HTTPS (the key as a
  // private file: see httpReadPrivateFile) for the connections accepted
  // from now on, and the first time binds the HTTPS listeners (throws
  // std::runtime_error when one cannot be bound). Returns "" or why the
  // files were refused; HTTPS then keeps what it had. Safe from any thread.
  std::string loadTls();

  struct Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

// True for 127.0.0.0/8 and ::1.
bool httpIsLoopbackAddress(const std::string& address);

// Splits a listen-address setting ("127.0.0.1, ::1" or blank-separated).
std::vector<std::string> httpSplitAddressList(const std::string& text);

}  // namespace OpenWBEM

#endif
