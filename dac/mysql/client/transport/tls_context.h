// TLS set-up for a client connection: the library, started once per
// process, and a client context built from the session's settings. Every
// setting that cannot be used is EMySqlException 2026 "SSL connection
// error" naming it, with OpenSSL's reason; nothing falls back to other
// authorities or to plain text.
#pragma once

#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;
struct x509_st;

namespace dac {

struct TlsSettings {
  std::string key;   // private key file; empty: the certificate file
  std::string cert;  // client certificate file; empty: none is offered
  std::string ca;    // CA file the server is verified against
  std::string ca_path;
  // OpenSSL cipher names; names of TLS 1.3 suites ("TLS_...") go to the
  // TLS 1.3 list, and a list without any holds the connection to TLS 1.2.
  std::string cipher;
};

struct SslContextFree {
  void operator()(ssl_ctx_st* context) const;
};
using SslContextPtr = std::unique_ptr<ssl_ctx_st, SslContextFree>;

// Starts the library once, thread-safe; 2026 "SSL library initialization
// failed" when it cannot.
void InitTlsLibrary();

// A context for TLS 1.2 or later. With a CA file or path the server's chain
// and dates are verified against it (its name by ServerNameMismatch, once
// the handshake is done); without either the connection is encrypted but
// unverified.
SslContextPtr CreateClientContext(const TlsSettings& settings);
bool VerifiesServer(const TlsSettings& settings);

// Empty when the certificate names the host the client connected to: an IP
// address among the certificate's IP address names, a host name among its
// DNS names (a leading "*." standing for one label); a certificate without
// such names is matched by its common name. Else why not, naming what the
// certificate is for.
std::string ServerNameMismatch(x509_st* certificate, const std::string& host);

// While the connection verifies its server, the subject and issuer of a
// certificate that fails are written to failure.
void RecordVerifyFailures(ssl_st* connection, std::string* failure);

// OpenSSL's reasons queued on this thread, joined by "; ", and the queue
// emptied; empty when nothing is queued.
std::string TakeOpenSslErrors();

}  // namespace dac
