#include "HTTPClient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/core/basic_stream.hpp>
#include <boost/beast/core/detail/base64.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <openssl/ssl.h>

#include <cctype>
#include <cstdlib>

namespace OpenWBEM {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace {

using Request = http::request<http::string_body>;

std::string base64(const std::string& text) {
  std::string out(beast::detail::base64::encoded_size(text.size()), '\0');
  out.resize(beast::detail::base64::encode(&out[0], text.data(), text.size()));
  return out;
}

Request makeRequest(const HTTPClientTarget& target, const std::string& path,
                    const std::map<std::string, std::string>& headers, const std::string& body) {
  Request req(http::verb::post, path, 11);
  req.set(http::field::host, target.host.empty() ? std::string("localhost") : target.host);
  for (const auto& h : headers) req.set(h.first, h.second);
  if (!target.user.empty())
    req.set(http::field::authorization, "Basic " + base64(target.user + ":" + target.password));
  req.body() = body;
  req.prepare_payload();
  return req;
}

template <class Stream>
HTTPClientResponse exchange(Stream& stream, const Request& req, std::size_t maxBody) {
  http::write(stream, req);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(maxBody);
  http::read(stream, buffer, parser);
  const auto& res = parser.get();
  HTTPClientResponse out;
  out.status = res.result_int();
  for (const auto& field : res) {
    std::string name(field.name_string());
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.headers[name] = std::string(field.value());
  }
  out.body = res.body();
  return out;
}

template <class Protocol>
void connectWithin(beast::basic_stream<Protocol>& stream, const typename Protocol::endpoint& endpoint,
                   std::chrono::milliseconds timeout) {
  stream.expires_after(timeout);
  stream.connect(endpoint);
}

}  // namespace

bool httpParseURL(const std::string& url, HTTPClientTarget& target, std::string& why) {
  std::size_t colon = url.find("://");
  if (colon == std::string::npos) {
    why = "the URL needs http:// or https://";
    return false;
  }
  target.scheme = url.substr(0, colon);
  if (target.scheme != "http" && target.scheme != "https") {
    why = "unknown scheme \"" + target.scheme + "\" (http or https)";
    return false;
  }
  std::string rest = url.substr(colon + 3);
  rest = rest.substr(0, rest.find('/'));
  std::size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    target.user = rest.substr(0, at);
    rest = rest.substr(at + 1);
    if (target.user.find(':') != std::string::npos) {
      why = "give the password with --password-file or at the prompt, not in the URL";
      return false;
    }
  }
  target.port = target.scheme == "https" ? 5989 : 5988;
  std::size_t portAt = rest.rfind(':');
  if (portAt != std::string::npos && rest.find(']') == std::string::npos) {
    std::string port = rest.substr(portAt + 1);
    rest = rest.substr(0, portAt);
    char* end = nullptr;
    unsigned long n = std::strtoul(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || n == 0 || n > 65535) {
      why = "port \"" + port + "\" is not a number from 1 to 65535";
      return false;
    }
    target.port = static_cast<unsigned short>(n);
  }
  if (rest.size() > 2 && rest.front() == '[' && rest.back() == ']') rest = rest.substr(1, rest.size() - 2);
  if (rest.empty()) {
    why = "the URL names no host";
    return false;
  }
  target.host = rest;
  return true;
}

HTTPClientResponse httpPost(const HTTPClientTarget& target, const std::string& path,
                            const std::map<std::string, std::string>& headers, const std::string& body) {
  Request req = makeRequest(target, path, headers, body);
  try {
    asio::io_context io;
    if (!target.udsPath.empty()) {
      beast::basic_stream<asio::local::stream_protocol> stream(io);
      connectWithin(stream, asio::local::stream_protocol::endpoint(target.udsPath), target.timeout);
      return exchange(stream, req, target.maxBodyBytes);
    }
    asio::ip::tcp::resolver resolver(io);
    auto endpoints = resolver.resolve(target.host, std::to_string(target.port));
    if (target.scheme == "http") {
      beast::tcp_stream stream(io);
      stream.expires_after(target.timeout);
      stream.connect(endpoints);
      return exchange(stream, req, target.maxBodyBytes);
    }
    asio::ssl::context tls(asio::ssl::context::tls_client);
    tls.set_default_verify_paths();
    tls.set_verify_mode(target.verifyPeer ? asio::ssl::verify_peer : asio::ssl::verify_none);
    beast::ssl_stream<beast::tcp_stream> stream(io, tls);
    if (target.verifyPeer) stream.set_verify_callback(asio::ssl::host_name_verification(target.host));
    SSL_set_tlsext_host_name(stream.native_handle(), target.host.c_str());
    beast::get_lowest_layer(stream).expires_after(target.timeout);
    beast::get_lowest_layer(stream).connect(endpoints);
    stream.handshake(asio::ssl::stream_base::client);
    return exchange(stream, req, target.maxBodyBytes);
  } catch (const boost::system::system_error& e) {
    throw HTTPClientUnreachable(e.code().message());
  }
}

}  // namespace OpenWBEM
