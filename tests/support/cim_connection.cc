#include "cim_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <boost/asio/generic/stream_protocol.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <cstring>

#include "test_support.h"

namespace tavrel::test {

namespace asio = boost::asio;
namespace http = boost::beast::http;

const char kAgentSocket[] = "/var/run/TavrelAgent.socket";

struct CimConnection::Stream {
  // Reads take what the buffer holds free (at least 512 bytes, at most
  // 64 kB): room for the largest read keeps large answers to few calls.
  explicit Stream(int fd) : socket(context, asio::generic::stream_protocol(familyOf(fd), 0), fd) {
    buffer.reserve(kReadSize);
  }
  static constexpr size_t kReadSize = 64 * 1024;
  static int familyOf(int fd) {
    sockaddr_storage address = {};
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return address.ss_family;
  }
  asio::io_context context;
  asio::generic::stream_protocol::socket socket;
  boost::beast::flat_buffer buffer;
};

CimConnection::CimConnection(unsigned short port) : m_port(port), m_authorization(basicAuthorization()) {}

CimConnection::CimConnection(const char* unixSocket) : m_unixSocket(unixSocket) {}

CimConnection::~CimConnection() = default;

bool CimConnection::connect() {
  int fd = -1;
  if (m_unixSocket.empty()) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (fd >= 0 && (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) != 0 ||
                    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)) {
      close(fd);
      fd = -1;
    }
  } else {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, m_unixSocket.c_str(), sizeof(address.sun_path) - 1);
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      close(fd);
      fd = -1;
    }
  }
  if (fd < 0) return false;
  m_stream = std::make_unique<Stream>(fd);
  return true;
}

int CimConnection::post(const std::string& method, const std::string& message, std::string* answer) {
  if (answer != nullptr) answer->clear();
  if (m_stream == nullptr && !connect()) return 0;
  http::request<http::string_body> request(http::verb::post, "/cimom", 11);
  request.set(http::field::host, m_unixSocket.empty() ? "127.0.0.1" : "localhost");
  request.set(http::field::content_type, "application/xml; charset=\"utf-8\"");
  request.set("CIMOperation", "MethodCall");
  request.set("CIMMethod", method);
  request.set("CIMObject", "root%2Fcimv2");
  if (!m_authorization.empty()) request.set(http::field::authorization, m_authorization);
  request.body() = message;
  request.prepare_payload();
  boost::system::error_code error;
  http::response<http::string_body> response;
  http::write(m_stream->socket, request, error);
  if (!error) http::read(m_stream->socket, m_stream->buffer, response, error);
  if (error) {
    m_stream.reset();
    return 0;
  }
  if (!response.keep_alive()) m_stream.reset();
  if (answer != nullptr) *answer = std::move(response.body());
  return static_cast<int>(response.result_int());
}

int CimConnection::call(const std::string& method, const std::string& params, std::string* answer) {
  return post(method, cimRequest(method, params), answer);
}

}  // namespace tavrel::test
