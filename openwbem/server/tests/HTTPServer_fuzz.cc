// Fuzz target of the HTTP framing: any bytes sent on one TCP connection to a
// running HTTPServer (small body limit, short timeout) and the connection
// half-closed; the server must answer or close, and the sanitizers watch its
// threads. With clang's -fsanitize=fuzzer this drives libFuzzer; the seeds
// run as a unit test.
#include "HTTPServer.h"
#include "fuzz_target.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <memory>

using namespace OpenWBEM;

namespace {

const std::size_t kMaxBodyBytes = 4096;
const std::chrono::milliseconds kServerTimeout{200};
const int kClientTimeoutMs = 2000;

HTTPServer& server() {
  static std::unique_ptr<HTTPServer> s = [] {
    HTTPServerOptions options;
    options.tcpPort = 0;
    options.maxBodyBytes = kMaxBodyBytes;
    options.timeout = kServerTimeout;
    return std::make_unique<HTTPServer>(options,
                                        [](const HTTPRequest& request, HTTPPeer&, HTTPResponse& response) {
                                          response.result(boost::beast::http::status::ok);
                                          response.body() = request.body();
                                        });
  }();
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unsigned short port = server().tcpPorts().at(0);
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  timeval tv = {kClientTimeoutMs / 1000, (kClientTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
    size_t sent = 0;
    while (sent < size) {
      ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    char buffer[4096];
    while (recv(fd, buffer, sizeof(buffer), 0) > 0) {}
  }
  close(fd);
  return 0;
}
