// HTTP/1.1 transport of the provider agent: listens on a Unix-domain socket
// and on TCP, reads requests with keep-alive, hands each complete request to
// one handler and writes its answer. Knows nothing of CIM.
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

namespace OpenWBEM
{

using HTTPRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HTTPResponse = boost::beast::http::response<boost::beast::http::string_body>;

// Called for every complete request on the server's single worker thread,
// so handlers never run concurrently. It fills status, headers and body;
// the server sets Content-Length and the keep-alive state.
using HTTPHandler = std::function<void(const HTTPRequest&, HTTPResponse&)>;

struct HTTPServerOptions
{
	std::string udsPath;                   // empty: no Unix-domain socket
	int tcpPort = -1;                      // negative: no TCP; 0: any free port
	std::vector<std::string> listenAddresses{"127.0.0.1"};
	std::size_t maxBodyBytes = 1024 * 1024;
	std::chrono::milliseconds timeout{30000};  // per read or write, and idle keep-alive
	std::size_t maxConnections = 64;
};

class HTTPServer
{
public:
	// Binds every listener (throws std::runtime_error naming the address on
	// failure) and starts serving on its own threads.
	HTTPServer(const HTTPServerOptions& options, HTTPHandler handler);
	// Stops accepting, closes every connection and joins the threads. A
	// request being handled finishes first; queued ones are dropped.
	~HTTPServer();

	HTTPServer(const HTTPServer&) = delete;
	HTTPServer& operator=(const HTTPServer&) = delete;

	// TCP ports actually bound, one per listen address (useful with port 0).
	std::vector<unsigned short> tcpPorts() const;

	struct Impl;

private:
	std::unique_ptr<Impl> m_impl;
};

// Splits a listen-address setting ("127.0.0.1, ::1" or blank-separated).
std::vector<std::string> httpSplitAddressList(const std::string& text);

} // namespace OpenWBEM

#endif
