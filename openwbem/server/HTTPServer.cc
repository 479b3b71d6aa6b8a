#include "HTTPServer.h"

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/basic_stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>


// Programs the host starts (dhcpd, dhclient, shell commands) must not inherit
// the server's sockets: a daemon holding the listening port would keep the
// next host process from serving.
static void keepFromChildren(int fd)
{
	int flags = ::fcntl(fd, F_GETFD);
	if (flags >= 0)
		::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

namespace OpenWBEM
{

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using local = asio::local::stream_protocol;

namespace
{

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

// Frees an answer too large to keep and gives the freed heap back to the
// system: a listing of megabytes leaves no resident memory behind in a
// long-running server.
void releaseLargeBody(std::string& body)
{
	std::string().swap(body);
	malloc_trim(0);
}

// Common state of the sessions: the worker that runs handlers, the limits,
// and the open connections (so the server can close them when it stops).
class SessionBase
{
public:
	virtual ~SessionBase() = default;
	virtual void close() = 0;
};

struct ServerCore
{
	asio::io_context& ioc;
	asio::thread_pool& worker;
	HTTPHandler handler;
	HTTPServerOptions options;
	std::set<std::shared_ptr<SessionBase>> sessions;  // touched on the I/O thread only
};

template <class Protocol>
class Session : public SessionBase, public std::enable_shared_from_this<Session<Protocol>>
{
public:
	using Stream = beast::basic_stream<Protocol>;

	Session(ServerCore& core, typename Protocol::socket socket)
		: m_core(core), m_stream(std::move(socket))
	{
	}

	void start() { readHeader(); }

	void close() override
	{
		beast::error_code ignored;
		m_stream.socket().close(ignored);
	}

private:
	void readHeader()
	{
		m_parser.emplace();
		m_parser->header_limit(kHeaderLimit);
		m_parser->body_limit(m_core.options.maxBodyBytes);
		m_stream.expires_after(m_core.options.timeout);
		http::async_read_header(m_stream, m_buffer, *m_parser,
			[self = this->shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
	}

	void onHeader(beast::error_code ec)
	{
		if (ec)
		{
			refuseOrClose(ec);
			return;
		}
		auto& req = m_parser->get();
		auto expect = req[http::field::expect];
		if (beast::iequals(expect, "100-continue"))
		{
			// Tell the client to go on sending; the body limit was already
			// checked against Content-Length while reading the header.
			auto cont = std::make_shared<http::response<http::empty_body>>(http::status::continue_, req.version());
			m_stream.expires_after(m_core.options.timeout);
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

	void readBody()
	{
		m_stream.expires_after(m_core.options.timeout);
		http::async_read(m_stream, m_buffer, *m_parser,
			[self = this->shared_from_this()](beast::error_code ec, std::size_t) { self->onBody(ec); });
	}

	void onBody(beast::error_code ec)
	{
		if (ec)
		{
			refuseOrClose(ec);
			return;
		}
		m_stream.expires_never();
		auto request = std::make_shared<HTTPRequest>(m_parser->release());
		// Handlers run one at a time on the worker so that a slow provider
		// never holds up I/O of the other connections.
		asio::post(m_core.worker, [self = this->shared_from_this(), request]() {
			auto response = std::make_shared<HTTPResponse>();
			// The body reuses the previous answer's buffer: no allocation
			// (and no trimming of the heap) per request in steady state.
			response->body().swap(self->m_bodyBuffer);
			response->body().clear();
			response->version(request->version());
			try
			{
				self->m_core.handler(*request, *response);
			}
			catch (...)
			{
				response->result(http::status::internal_server_error);
				response->body().clear();
			}
			response->keep_alive(request->keep_alive());
			response->prepare_payload();
			asio::post(self->m_core.ioc, [self, response]() { self->write(response, response->keep_alive()); });
		});
	}

	// A read failed: either the peer went away or timed out (just close), or
	// the request was unacceptable (answer, then close).
	void refuseOrClose(beast::error_code ec)
	{
		http::status status;
		if (ec == http::error::body_limit)
			status = http::status::payload_too_large;
		else if (ec == http::error::header_limit)
			status = http::status::request_header_fields_too_large;
		else if (ec.category() == http::make_error_code(http::error::bad_method).category()
				 && ec != http::error::end_of_stream && ec != http::error::partial_message)
			status = http::status::bad_request;
		else
		{
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

	void write(const std::shared_ptr<HTTPResponse>& response, bool keepAlive)
	{
		m_stream.expires_after(m_core.options.timeout);
		http::async_write(m_stream, *response,
			[self = this->shared_from_this(), response, keepAlive](beast::error_code ec, std::size_t) {
				if (response->body().capacity() <= kKeptBodyCapacity)
					self->m_bodyBuffer.swap(response->body());
				else
					releaseLargeBody(response->body());
				if (ec)
					self->finish();
				else if (keepAlive)
					self->readHeader();
				else
					self->drain();
			});
	}

	// Half-close, then swallow what the client still sends until it closes.
	void drain()
	{
		beast::error_code ignored;
		m_stream.socket().shutdown(Protocol::socket::shutdown_send, ignored);
		m_drainBuffer.resize(kDrainChunk);
		m_stream.expires_after(std::min<std::chrono::milliseconds>(m_core.options.timeout, kDrainTimeout));
		drainMore();
	}

	void drainMore()
	{
		m_stream.async_read_some(asio::buffer(m_drainBuffer),
			[self = this->shared_from_this()](beast::error_code ec, std::size_t n) {
				self->m_drained += n;
				if (ec || self->m_drained > kDrainLimit)
					self->finish();
				else
					self->drainMore();
			});
	}

	void finish()
	{
		close();
		m_core.sessions.erase(this->shared_from_this());
	}

	ServerCore& m_core;
	Stream m_stream;
	beast::flat_buffer m_buffer;
	std::optional<http::request_parser<http::string_body>> m_parser;
	std::vector<char> m_drainBuffer;
	std::size_t m_drained = 0;
	std::string m_bodyBuffer;
};

template <class Protocol>
class Listener : public std::enable_shared_from_this<Listener<Protocol>>
{
public:
	Listener(ServerCore& core, typename Protocol::acceptor acceptor)
		: m_core(core), m_acceptor(std::move(acceptor)), m_retry(core.ioc)
	{
	}

	void start() { accept(); }

	void close()
	{
		beast::error_code ignored;
		m_acceptor.close(ignored);
		m_retry.cancel();
	}

	typename Protocol::endpoint endpoint() const { return m_acceptor.local_endpoint(); }

private:
	void accept()
	{
		m_acceptor.async_accept(m_core.ioc,
			[self = this->shared_from_this()](beast::error_code ec, typename Protocol::socket socket) {
				if (ec == asio::error::operation_aborted || !self->m_acceptor.is_open())
					return;
				if (ec)
				{
					// Out of descriptors or memory: retry shortly instead of
					// spinning on the failing accept.
					self->m_retry.expires_after(kAcceptRetryDelay);
					self->m_retry.async_wait([self](beast::error_code wec) {
						if (!wec && self->m_acceptor.is_open())
							self->accept();
					});
					return;
				}
				if (self->m_core.sessions.size() >= self->m_core.options.maxConnections)
				{
					beast::error_code ignored;
					socket.close(ignored);
				}
				else
				{
					keepFromChildren(socket.native_handle());
					auto session = std::make_shared<Session<Protocol>>(self->m_core, std::move(socket));
					self->m_core.sessions.insert(session);
					session->start();
				}
				self->accept();
			});
	}

	ServerCore& m_core;
	typename Protocol::acceptor m_acceptor;
	asio::steady_timer m_retry;
};

} // namespace

struct HTTPServer::Impl
{
	asio::io_context ioc{1};
	asio::thread_pool worker{1};
	ServerCore core;
	std::vector<std::shared_ptr<Listener<tcp>>> tcpListeners;
	std::shared_ptr<Listener<local>> udsListener;
	std::vector<unsigned short> ports;
	std::thread ioThread;

	Impl(const HTTPServerOptions& options, HTTPHandler handler)
		: core{ioc, worker, std::move(handler), options, {}}
	{
	}

	void bindUnixSocket(const std::string& path)
	{
		struct stat st;
		// A socket left by an earlier run would make bind fail; anything else
		// at that path is not ours to remove.
		if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
			::unlink(path.c_str());
		local::acceptor acceptor(ioc);
		beast::error_code ec;
		acceptor.open(local(), ec);
		if (!ec)
		{
			keepFromChildren(acceptor.native_handle());
			// The socket file takes the socket's mode at bind: make it 0600
			// before it appears, and again after in case the kernel ignored it.
			::fchmod(acceptor.native_handle(), S_IRUSR | S_IWUSR);
			acceptor.bind(local::endpoint(path), ec);
		}
		if (!ec && ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0)
			ec.assign(errno, boost::system::generic_category());
		if (!ec)
			acceptor.listen(asio::socket_base::max_listen_connections, ec);
		if (ec)
			throw std::runtime_error("cannot listen on Unix socket " + path + ": " + ec.message());
		udsListener = std::make_shared<Listener<local>>(core, std::move(acceptor));
	}

	void bindTcp(const std::string& address, int port)
	{
		beast::error_code ec;
		auto ip = asio::ip::make_address(address, ec);
		if (ec)
			throw std::runtime_error("invalid listen address \"" + address + "\"");
		tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
		tcp::acceptor acceptor(ioc);
		acceptor.open(endpoint.protocol(), ec);
		if (!ec)
		{
			keepFromChildren(acceptor.native_handle());
			acceptor.set_option(asio::socket_base::reuse_address(true), ec);
		}
		if (!ec)
			acceptor.bind(endpoint, ec);
		if (!ec)
			acceptor.listen(asio::socket_base::max_listen_connections, ec);
		if (ec)
			throw std::runtime_error("cannot listen on " + address + " port " + std::to_string(port) + ": "
									 + ec.message());
		acceptor.set_option(tcp::no_delay(true), ec);
		ports.push_back(acceptor.local_endpoint().port());
		tcpListeners.push_back(std::make_shared<Listener<tcp>>(core, std::move(acceptor)));
	}

	void removeSocketFile()
	{
		if (!core.options.udsPath.empty() && udsListener)
			::unlink(core.options.udsPath.c_str());
	}
};

HTTPServer::HTTPServer(const HTTPServerOptions& options, HTTPHandler handler)
	: m_impl(std::make_unique<Impl>(options, std::move(handler)))
{
	if (options.tcpPort > 65535)
		throw std::runtime_error("invalid TCP port " + std::to_string(options.tcpPort));
	try
	{
		if (!options.udsPath.empty())
			m_impl->bindUnixSocket(options.udsPath);
		if (options.tcpPort >= 0)
			for (const auto& address : options.listenAddresses)
				m_impl->bindTcp(address, options.tcpPort);
	}
	catch (...)
	{
		m_impl->removeSocketFile();
		throw;
	}
	if (m_impl->udsListener)
		m_impl->udsListener->start();
	for (auto& listener : m_impl->tcpListeners)
		listener->start();
	Impl* impl = m_impl.get();
	m_impl->ioThread = std::thread([impl]() { impl->ioc.run(); });
}

HTTPServer::~HTTPServer()
{
	Impl* impl = m_impl.get();
	impl->worker.stop();
	impl->worker.join();
	impl->ioc.stop();
	if (impl->ioThread.joinable())
		impl->ioThread.join();
	// Both threads are gone: close everything from here. Handlers still
	// queued in the io_context release their sessions when it is destroyed.
	if (impl->udsListener)
		impl->udsListener->close();
	for (auto& listener : impl->tcpListeners)
		listener->close();
	for (auto& session : impl->core.sessions)
		session->close();
	impl->core.sessions.clear();
	impl->removeSocketFile();
}

std::vector<unsigned short> HTTPServer::tcpPorts() const
{
	return m_impl->ports;
}

std::vector<std::string> httpSplitAddressList(const std::string& text)
{
	std::vector<std::string> out;
	std::string current;
	for (char c : text)
	{
		if (c == ',' || c == ' ' || c == '\t')
		{
			if (!current.empty())
				out.push_back(current);
			current.clear();
		}
		else
			current += c;
	}
	if (!current.empty())
		out.push_back(current);
	return out;
}

} // namespace OpenWBEM
