// HTTP/1.1 transport of a CIM-XML client: one POST at a time over a
// Unix-domain socket, TCP or TCP with TLS (Boost.Beast), with HTTP Basic
// credentials on TCP. Knows nothing of CIM.
#ifndef OW_CLIENT_HTTPCLIENT_H
#define OW_CLIENT_HTTPCLIENT_H

#include <chrono>
#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>

namespace OpenWBEM {

// Where and how to connect: udsPath, or scheme "http"/"https" with host
// and port.
struct HTTPClientTarget {
  std::string udsPath;
  std::string scheme;
  std::string host;
  unsigned short port = 0;
  std::string user;  // Basic credentials when not empty
  std::string password;
  bool verifyPeer = true;  // HTTPS: check the certificate and host name
  std::chrono::milliseconds timeout{60000};
  // Largest answer read; a larger one is refused.
  std::size_t maxBodyBytes = 16 * 1024 * 1024;
};

// Parses "http(s)://[user@]host[:port][/...]" into target (scheme, host,
// port, user; default ports 5988 and 5989). False with why for anything else.
bool httpParseURL(const std::string& url, HTTPClientTarget& target, std::string& why);

// The peer could not be reached or broke the exchange (connection refused,
// TLS failure, timeout, malformed or oversized answer).
class HTTPClientUnreachable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct HTTPClientResponse {
  unsigned status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// POSTs body to path with the given headers and returns the answer; throws
// HTTPClientUnreachable.
HTTPClientResponse httpPost(const HTTPClientTarget& target, const std::string& path,
                            const std::map<std::string, std::string>& headers, const std::string& body);

}  // namespace OpenWBEM

#endif
