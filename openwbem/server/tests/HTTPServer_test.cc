#include "HTTPServer.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

namespace OpenWBEM {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// Echoes the method and body size; "/throw" fails, "/slow" takes its time.
class HTTPServerTest : public ::testing::Test {
 protected:
  HTTPServerTest() {
    m_options.tcpPort = 0;
    m_options.udsPath = m_dir.file("ow.sock");
    m_options.timeout = std::chrono::milliseconds(500);
  }

  void start() {
    m_server =
        std::make_unique<HTTPServer>(m_options, [this](const HTTPRequest& req, HTTPPeer&, HTTPResponse& res) {
          ++m_calls;
          if (req.target() == "/slow") {
            m_slowStarted = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
          if (req.target() == "/throw") throw std::runtime_error("boom");
          res.body() = std::string(req.method_string()) + " " + std::to_string(req.body().size());
        });
  }

  tcp::socket connectTcp() {
    tcp::socket s(m_ioc);
    s.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), m_server->tcpPorts().at(0)));
    // Never let a test hang on a silent server.
    timeval tv{5, 0};
    setsockopt(s.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return s;
  }

  // Sends a POST (or raw text) and reads the answer.
  template <class Socket>
  static http::response<http::string_body> post(Socket& s, const std::string& target, std::string body,
                                                bool chunked = false) {
    http::request<http::string_body> req(http::verb::post, target, 11);
    req.body() = std::move(body);
    req.prepare_payload();
    if (chunked) req.chunked(true);
    http::write(s, req);
    return send(s, "");
  }
  template <class Socket>
  static http::response<http::string_body> send(Socket& s, const std::string& raw) {
    asio::write(s, asio::buffer(raw));
    beast::flat_buffer buffer;
    http::response<http::string_body> res;
    http::read(s, buffer, res);
    return res;
  }

  tavrel::test::TempDir m_dir;
  HTTPServerOptions m_options;
  std::unique_ptr<HTTPServer> m_server;
  asio::io_context m_ioc;
  std::atomic<int> m_calls{0};
  std::atomic<bool> m_slowStarted{false};
};

// Stopping waits for a handler at work, closes idle connections and removes
// the socket file.
TEST_F(HTTPServerTest, KeepAliveOverTcpAndUnixSocketUntilStopped) {
  start();
  auto s = connectTcp();
  auto res = post(s, "/cimom", "abc");
  EXPECT_EQ(res.result(), http::status::ok);
  EXPECT_EQ(res.body(), "POST 3");
  EXPECT_TRUE(res.keep_alive());
  struct stat st;
  ASSERT_EQ(stat(m_options.udsPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  asio::local::stream_protocol::socket u(m_ioc);
  u.connect(asio::local::stream_protocol::endpoint(m_options.udsPath));
  EXPECT_EQ(post(u, "/cimom", "").body(), "POST 0");
  EXPECT_EQ(post(u, "/cimom", "xy").body(), "POST 2");

  auto busy = connectTcp();
  asio::write(busy, asio::buffer(std::string("POST /slow HTTP/1.1\r\nContent-Length: 0\r\n\r\n")));
  while (!m_slowStarted) std::this_thread::yield();
  m_server.reset();
  char c;
  beast::error_code ec;
  s.read_some(asio::buffer(&c, 1), ec);
  EXPECT_TRUE(ec) << "idle connection still open after the server stopped";
  EXPECT_NE(stat(m_options.udsPath.c_str(), &st), 0) << "socket file left behind";
}

TEST_F(HTTPServerTest, OversizedAndMalformedRequestsAreRefused) {
  m_options.maxBodyBytes = 1024;
  start();
  auto s = connectTcp();
  EXPECT_EQ(post(s, "/throw", "").result(), http::status::internal_server_error);
  EXPECT_EQ(post(s, "/cimom", std::string(1024, 'x')).body(), "POST 1024") << "at the limit";
  const std::string head = "POST /cimom HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: ";
  asio::write(s, asio::buffer(head + "3\r\n\r\n"));
  beast::flat_buffer buffer;
  http::response<http::empty_body> interim;
  http::read(s, buffer, interim);
  EXPECT_EQ(interim.result(), http::status::continue_);
  EXPECT_EQ(send(s, "abc").body(), "POST 3");
  // Too large: refused at once, the client need not send the body.
  EXPECT_EQ(send(s, head + "4096\r\n\r\n").result(), http::status::payload_too_large);
  s = connectTcp();
  EXPECT_EQ(post(s, "/cimom", std::string(4096, 'x'), true).result(), http::status::payload_too_large)
      << "chunked";
  s = connectTcp();
  EXPECT_EQ(send(s, "GARBAGE LINE\r\n\r\n").result(), http::status::bad_request);
  EXPECT_EQ(m_calls, 3);
}

// The server gives up on a stalled request after its timeout and closes the
// connection (the read ends with EOF, not our 5 s guard); others are served
// meanwhile. The connection limits are checked with the provider agent.
TEST_F(HTTPServerTest, StalledConnectionIsClosed) {
  start();
  auto stalled = connectTcp();
  asio::write(stalled, asio::buffer(std::string("POST /cimom HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc")));
  auto other = connectTcp();
  EXPECT_EQ(post(other, "/cimom", "abc").body(), "POST 3");
  auto begin = std::chrono::steady_clock::now();
  char c;
  beast::error_code ec;
  stalled.read_some(asio::buffer(&c, 1), ec);
  EXPECT_EQ(ec, asio::error::eof);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  EXPECT_EQ(m_calls, 1);
}

TEST_F(HTTPServerTest, BindFailuresAreReported) {
  m_options.listenAddresses = {"not-an-address"};
  EXPECT_THROW(start(), std::runtime_error);
  m_options.listenAddresses = {"127.0.0.1"};
  m_options.udsPath = m_dir.file("missing/ow.sock");
  EXPECT_THROW(start(), std::runtime_error);
  EXPECT_EQ(httpSplitAddressList(" 127.0.0.1,::1  10.0.0.1 "),
            (std::vector<std::string>{"127.0.0.1", "::1", "10.0.0.1"}));
}

}  // namespace
}  // namespace OpenWBEM
