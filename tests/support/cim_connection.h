// A keep-alive CIM-XML client of the agent: HTTP/1.1 on loopback TCP with
// the test credentials (Basic), or on root's Unix socket without any.
#pragma once

#include <memory>
#include <string>

namespace tavrel::test {

// root's Unix socket of the agent.
extern const char kAgentSocket[];

class CimConnection {
 public:
  // To 127.0.0.1:port with kCimUser and kCimPassword.
  explicit CimConnection(unsigned short port = 5988);
  // To a Unix socket (kAgentSocket: root's), without credentials.
  explicit CimConnection(const char* unixSocket);
  ~CimConnection();
  CimConnection(const CimConnection&) = delete;
  CimConnection& operator=(const CimConnection&) = delete;

  // Posts one CIM-XML message whose CIMMethod header is method; the HTTP
  // status and the body in *answer (may be null). 0 when the connection
  // failed or broke; the next request connects again.
  int post(const std::string& method, const std::string& message, std::string* answer);
  // One intrinsic call in root/cimv2 (cimRequest(method, params)).
  int call(const std::string& method, const std::string& params, std::string* answer);

 private:
  struct Stream;
  bool connect();

  unsigned short m_port = 0;
  std::string m_unixSocket;
  std::string m_authorization;
  std::unique_ptr<Stream> m_stream;
};

}  // namespace tavrel::test
