// Provider agent latency, throughput and idle memory: the agent serves the
// test provider (64 items) on a loopback port; clients in this process send
// CIM-XML over keep-alive connections. Prints its figures; goals on the
// appliance-class 2-core machine: GetInstance p50 <= 0.3 ms,
// EnumerateInstances(64) p50 <= 1 ms, >= 5000 GetInstance/s, < 4 MB resident
// added by the agent when idle.
#include "openwbem/BinaryRequestHandler.h"
#include "openwbem/CppProviderIFC.h"
#include "openwbem/NonAuthenticatingAuthenticator.h"
#include "openwbem/ProviderAgent.h"
#include "openwbem/XMLExecute.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <unistd.h>
#include <time.h>

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

namespace {

constexpr int kWarmup = 200;
constexpr int kGetInstanceRuns = 5000;
constexpr int kEnumRuns = 2000;
constexpr int kThroughputClients = 2;
constexpr std::chrono::seconds kThroughputTime{2};

long residentKiB()
{
	std::ifstream statm("/proc/self/statm");
	long pages = 0;
	long resident = 0;
	statm >> pages >> resident;
	return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string request(const char* method, const std::string& params)
{
	return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
					   "<MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ><IMETHODCALL NAME=\"")
		   + method
		   + "\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>" + params
		   + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
}

class Client
{
public:
	Client(unsigned short port, const char* method, const std::string& body) : m_socket(m_ioc)
	{
		m_socket.connect(asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
		m_socket.set_option(asio::ip::tcp::no_delay(true));
		m_request = http::request<http::string_body>(http::verb::post, "/cimom", 11);
		m_request.set(http::field::host, "localhost");
		m_request.set(http::field::content_type, "application/xml; charset=\"utf-8\"");
		m_request.set("CIMOperation", "MethodCall");
		m_request.set("CIMMethod", method);
		m_request.set("CIMObject", "root%2Fcimv2");
		m_request.body() = body;
		m_request.prepare_payload();
	}

	// One round trip; returns the response body size (0 on an HTTP error).
	std::size_t once()
	{
		http::write(m_socket, m_request);
		http::response<http::string_body> res;
		http::read(m_socket, m_buffer, res);
		return res.result() == http::status::ok ? res.body().size() : 0;
	}

private:
	asio::io_context m_ioc;
	asio::ip::tcp::socket m_socket;
	boost::beast::flat_buffer m_buffer;
	http::request<http::string_body> m_request;
};

struct Latency
{
	double p50;
	double p99;
	double perSecond;
	double cpuMs;  // process CPU time (client and server) per request
};

double processCpuMs()
{
	timespec ts;
	clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
	return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

Latency measure(Client& client, int runs, std::size_t& bytes)
{
	for (int i = 0; i < kWarmup; ++i)
		bytes = client.once();
	std::vector<double> ms;
	ms.reserve(runs);
	Clock::time_point begin = Clock::now();
	double cpuBegin = processCpuMs();
	for (int i = 0; i < runs; ++i)
	{
		Clock::time_point t = Clock::now();
		if (client.once() == 0)
			bytes = 0;
		ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
	}
	double total = std::chrono::duration<double>(Clock::now() - begin).count();
	double cpu = (processCpuMs() - cpuBegin) / runs;
	std::sort(ms.begin(), ms.end());
	return Latency{ms[ms.size() / 2], ms[ms.size() * 99 / 100], runs / total, cpu};
}

} // namespace

int main()
{
	LoggerRef logger = Logger::createLogger("null", false);
	Array<CppProviderBaseIFCRef> providers;
	providers.push_back(CppProviderIFC::loadProvider(TESTPROV_LIBRARY, logger));
	if (!providers[0])
	{
		std::fprintf(stderr, "cannot load %s\n", TESTPROV_LIBRARY);
		return 1;
	}
	Array<RequestHandlerIFCRef> handlers;
	handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new XMLExecute));
	handlers.push_back(RequestHandlerIFCRef(SharedLibraryRef(), new BinaryRequestHandler));
	AuthenticatorIFCRef auth(SharedLibraryRef(), new NonAuthenticatingAuthenticator);
	ConfigFile::ConfigMap config;
	config[ProviderAgent::HTTP_SERVER_HTTP_PORT_opt] = "0";
	config[ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt] = TESTPROV_MOF;
	config["testprov.items"] = "64";

	long before = residentKiB();
	ProviderAgent agent(config, providers, Array<CIMClass>(), handlers, auth, logger, String(),
		ProviderAgentLockerIFCRef());
	unsigned short port = agent.getTCPPorts()[0];
	{
		// One request of each kind, then idle: what the agent keeps resident.
		Client client(port, "EnumerateInstances",
			request("EnumerateInstances", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Item\"/></IPARAMVALUE>"));
		client.once();
	}
	std::this_thread::sleep_for(std::chrono::milliseconds(200));
	long idle = residentKiB();

	std::size_t bytes = 0;
	Latency get;
	Latency enumerate;
	{
		Client getClient(port, "GetInstance",
			request("GetInstance",
				"<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Item\">"
				"<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">item7</KEYVALUE></KEYBINDING>"
				"<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">7</KEYVALUE></KEYBINDING>"
				"</INSTANCENAME></IPARAMVALUE>"));
		get = measure(getClient, kGetInstanceRuns, bytes);
		std::printf("GetInstance:              p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu bytes\n",
			get.p50, get.p99, get.perSecond, get.cpuMs, bytes);

		Client enumClient(port, "EnumerateInstances",
			request("EnumerateInstances",
				"<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Test_Item\"/></IPARAMVALUE>"));
		enumerate = measure(enumClient, kEnumRuns, bytes);
		std::printf("EnumerateInstances(64):   p50 %.3f ms  p99 %.3f ms  %.0f req/s (one client)  %.3f ms CPU  %zu bytes\n",
			enumerate.p50, enumerate.p99, enumerate.perSecond, enumerate.cpuMs, bytes);
	}

	// Throughput with several keep-alive clients at once.
	std::vector<std::thread> threads;
	std::vector<long> counts(kThroughputClients, 0);
	Clock::time_point end = Clock::now() + kThroughputTime;
	for (int c = 0; c < kThroughputClients; ++c)
		threads.emplace_back([&, c] {
			Client client(port, "GetInstance",
				request("GetInstance",
					"<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"Test_Item\">"
					"<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">item3</KEYVALUE></KEYBINDING>"
					"<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">3</KEYVALUE></KEYBINDING>"
					"</INSTANCENAME></IPARAMVALUE>"));
			while (Clock::now() < end)
			{
				client.once();
				++counts[c];
			}
		});
	for (std::thread& t : threads)
		t.join();
	long total = 0;
	for (long n : counts)
		total += n;
	double throughput = total / std::chrono::duration<double>(kThroughputTime).count();
	std::printf("GetInstance throughput:   %.0f req/s (%d clients)\n", throughput, kThroughputClients);

	std::printf("Resident memory:          %ld KiB before the agent, %ld KiB with the agent idle: %ld KiB added\n",
		before, idle, idle - before);
	std::printf("                          %ld KiB after the runs (bench clients included)\n", residentKiB());

	bool ok = bytes > 0 && get.p50 <= 0.3 && enumerate.p50 <= 1.0 && std::max(throughput, get.perSecond) >= 5000
			  && idle - before < 4 * 1024;
	std::printf("Goals %s\n", ok ? "met" : "NOT met");
	return 0;
}
