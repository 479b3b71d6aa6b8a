// Serves CIM operations for a set of providers over HTTP, on threads of its
// own, from construction until destruction.
//
// Configuration items read from the map:
//   http_server.uds_filename      Unix-domain socket to listen on (mode 0600);
//                                 empty: none
//   http_server.http_port         TCP port; unset or negative: no TCP; 0: any
//   http_server.https_port        TCP port of HTTPS; unset or negative: none
//   http_server.listen_addresses  TCP addresses, blank- or comma-separated
//                                 (default 127.0.0.1); plain HTTP listens
//                                 only on the loopback ones among them
//   http_server.SSL_cert          PEM certificate chain of HTTPS
//   http_server.SSL_key           PEM private key of HTTPS, a private file
//                                 as the credentials file; when either is
//                                 refused HTTPS stays off (logged). TLS 1.2
//                                 with ECDHE AEAD suites, and TLS 1.3
//   http_server.basic_password_file
//                                 credentials of TCP clients ("user:hash"
//                                 lines, yescrypt, SHA-512 or SHA-256 crypt
//                                 hashes; other lines are skipped and
//                                 logged); the file must belong to the
//                                 agent's user (root) with no access for
//                                 others, else HTTP and HTTPS stay off. It
//                                 is read again when it changes (looked at
//                                 once a second at most, on a request)
//   http_server.max_connections   open TCP and HTTPS connections at most
//                                 (default 64)
//   http_server.max_connections_per_client
//                                 of those, from one address (default 4)
//   http_server.max_uds_connections
//                                 open Unix-socket connections (default 16)
//   http_server.timeout           seconds a client may stall a read or write,
//                                 or stay idle between requests (default 30);
//                                 the TLS handshake and a request head have
//                                 5 s at most
// A full quota closes its oldest connection that has not authenticated (or
// else its oldest idle one) to make room. After 3 failed logins an address
// waits 1 s, then 2, 4 and 8 s per further failure, and is refused (429)
// without a password check meanwhile; refusals are logged 5 a minute at
// most. The Unix socket has a worker thread of its own.
//   provider_agent.mof_file       MOF file with the class definitions served
//                                 (GetClass, EnumerateClassNames, typing of
//                                 incoming values); optional
// Providers see every configuration item through their environment.
#ifndef OPENWBEM_PROVIDERAGENT_H
#define OPENWBEM_PROVIDERAGENT_H

#include "openwbem/Array.h"
#include "openwbem/AuthenticatorIFC.h"
#include "openwbem/CIMClass.h"
#include "openwbem/ConfigFile.h"
#include "openwbem/CppProviderBaseIFC.h"
#include "openwbem/Exception.h"
#include "openwbem/Logger.h"
#include "openwbem/ProviderAgentLockerIFC.h"
#include "openwbem/RequestHandlerIFC.h"
#include "openwbem/String.h"
#include "openwbem/Types.h"

#include <memory>

namespace OpenWBEM {

// The agent could not start: a bad configuration item, an unreadable MOF
// file, an address that cannot be bound, or a provider whose initialize
// failed. The message says which.
OW_DECLARE_EXCEPTION(ProviderAgent);

class ProviderAgent {
 public:
  static const char* const HTTP_SERVER_UDS_FILENAME_opt;
  static const char* const HTTP_SERVER_HTTP_PORT_opt;
  static const char* const HTTP_SERVER_LISTEN_ADDRESSES_opt;
  static const char* const HTTP_SERVER_MAX_CONNECTIONS_opt;
  static const char* const HTTP_SERVER_HTTPS_PORT_opt;
  static const char* const HTTP_SERVER_SSL_CERT_opt;
  static const char* const HTTP_SERVER_SSL_KEY_opt;
  static const char* const HTTP_SERVER_BASIC_PASSWORD_FILE_opt;
  static const char* const HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt;
  static const char* const HTTP_SERVER_MAX_UDS_CONNECTIONS_opt;
  static const char* const HTTP_SERVER_TIMEOUT_opt;
  static const char* const PROVIDER_AGENT_MOF_FILE_opt;
  static const char* const PROVIDER_AGENT_NAMESPACES_opt;

  // Calls initialize() of each provider (null references are skipped and
  // logged), then listens and serves until destroyed. Requests on the
  // Unix-domain socket pass authenticator; requests over TCP and HTTPS
  // need HTTP Basic credentials of the credentials file. Every change a
  // request makes, and every refusal of one, is logged to syslog with the
  // caller. classes are served
  // in addition to those of the MOF file. Requests reach the providers one
  // at a time: between locker's lock() and unlock(), or under an internal
  // mutex when locker is null. With one provider every class goes to it;
  // with several, a class goes to the provider named by its "Provider"
  // qualifier ("c++::<id>" or "<id>", id as given by the library name).
  // Throws ProviderAgentException when it cannot start.
  ProviderAgent(const ConfigFile::ConfigMap& configMap, const Array<CppProviderBaseIFCRef>& providers,
                const Array<CIMClass>& classes, const Array<RequestHandlerIFCRef>& requestHandlers,
                const AuthenticatorIFCRef& authenticator, const LoggerRef& logger = LoggerRef(),
                const String& callbackURL = String(),
                const ProviderAgentLockerIFCRef& locker = ProviderAgentLockerIFCRef());
  // Stops listening, closes the connections and joins the threads; a
  // request in progress completes first, so the host must not hold the
  // locker while destroying the agent.
  ~ProviderAgent();

  ProviderAgent(const ProviderAgent&) = delete;
  ProviderAgent& operator=(const ProviderAgent&) = delete;

  // Reads the credentials file, and the certificate and key of HTTPS,
  // again; each result is logged. Credentials that are refused accept no
  // one; a refused certificate or key keeps the previous ones (HTTPS opens
  // now if it was kept off at start). Safe from any thread, for SIGHUP.
  void reload();

  // TCP ports listened on, one per listen address (useful with port 0).
  Array<UInt16> getTCPPorts() const;
  Array<UInt16> getHTTPSPorts() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace OpenWBEM

#endif
