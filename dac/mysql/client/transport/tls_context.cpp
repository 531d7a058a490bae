#include "dac/mysql/client/transport/tls_context.h"

#include <algorithm>
#include <system_error>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "dac/mysql/client/wire/client_errors.h"
#include "platform/files.h"

namespace dac {

namespace {

[[noreturn]] void Refuse(const std::string& what) {
  const std::string reason = TakeOpenSslErrors();
  throw EMySqlException(kCrSslConnectionError, reason.empty() ? what : what + ": " + reason);
}

std::string Quoted(const char* what, const std::string& path) { return std::string(what) + " '" + path + "'"; }

std::string NameOf(X509_NAME* name) {
  char text[256] = {};
  if (name) X509_NAME_oneline(name, text, sizeof text);
  return text;
}

// Records the first failure for the error text; the verdict stays OpenSSL's.
int RecordFailure(int ok, X509_STORE_CTX* store) {
  if (ok) return ok;
  auto* connection = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* failure = connection ? static_cast<std::string*>(SSL_get_app_data(connection)) : nullptr;
  if (!failure || !failure->empty()) return ok;
  X509* certificate = X509_STORE_CTX_get_current_cert(store);
  *failure = std::string(X509_verify_cert_error_string(X509_STORE_CTX_get_error(store))) + " at depth " +
             std::to_string(X509_STORE_CTX_get_error_depth(store));
  if (certificate)
    *failure += ": certificate '" + NameOf(X509_get_subject_name(certificate)) + "' issued by '" +
                NameOf(X509_get_issuer_name(certificate)) + "'";
  return ok;
}

void UseCiphers(SSL_CTX* context, const std::string& list) {
  std::string older, tls13;
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = std::min(list.find_first_of(": ,\t\r\n", start), list.size());
    const std::string name = list.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    std::string& into = name.rfind("TLS_", 0) == 0 ? tls13 : older;
    into += (into.empty() ? "" : ":") + name;
  }
  if (older.empty() && tls13.empty()) return;
  if (!older.empty() && SSL_CTX_set_cipher_list(context, older.c_str()) != 1) Refuse(Quoted("cipher list", list));
  if (!tls13.empty() && SSL_CTX_set_ciphersuites(context, tls13.c_str()) != 1) Refuse(Quoted("cipher list", list));
  // TLS 1.3 suites are chosen apart from the list: without one named, the
  // list is honoured only under TLS 1.2, and a list of TLS 1.3 suites alone
  // asks for TLS 1.3.
  if (tls13.empty()) SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
  if (older.empty()) SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION);
}

void UseClientCertificate(SSL_CTX* context, const TlsSettings& settings) {
  if (settings.cert.empty()) return;
  const std::string& key = settings.key.empty() ? settings.cert : settings.key;
  if (SSL_CTX_use_certificate_chain_file(context, settings.cert.c_str()) != 1)
    Refuse(Quoted("certificate file", settings.cert));
  if (SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1) Refuse(Quoted("key file", key));
  if (SSL_CTX_check_private_key(context) != 1)
    Refuse(Quoted("key file", key) + " does not match " + Quoted("certificate file", settings.cert));
}

void UseAuthorities(SSL_CTX* context, const TlsSettings& settings) {
  if (settings.ca.empty() && settings.ca_path.empty()) {
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    return;
  }
  if (!settings.ca.empty() && SSL_CTX_load_verify_file(context, settings.ca.c_str()) != 1)
    Refuse(Quoted("CA file", settings.ca));
  if (!settings.ca_path.empty()) {
    // OpenSSL reads the folder only while verifying; a wrong one is named now.
    if (!plat::FolderExists(settings.ca_path)) Refuse(Quoted("CA path", settings.ca_path) + ": not a folder");
    if (SSL_CTX_load_verify_dir(context, settings.ca_path.c_str()) != 1) Refuse(Quoted("CA path", settings.ca_path));
  }
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, RecordFailure);
}

std::string Text(const ASN1_STRING* text) {
  return text ? std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                            static_cast<size_t>(ASN1_STRING_length(text)))
              : std::string();
}

std::string IpAddressText(const ASN1_OCTET_STRING* address) {
  const unsigned char* b = ASN1_STRING_get0_data(address);
  const int length = ASN1_STRING_length(address);
  std::string text;
  if (length == 4) {
    for (int i = 0; i < 4; ++i) text += (i ? "." : "") + std::to_string(b[i]);
  } else if (length == 16) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 16; i += 2) {
      if (i) text += ':';
      text += {kHex[b[i] >> 4], kHex[b[i] & 15], kHex[b[i + 1] >> 4], kHex[b[i + 1] & 15]};
    }
  }
  return text;
}

// The certificate's DNS and IP address names, as "DNS:name, IP:address".
std::string AlternativeNames(X509* certificate, bool& any) {
  auto* names = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  std::string text;
  any = false;
  for (int i = 0; names && i < sk_GENERAL_NAME_num(names); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
    std::string one;
    if (name->type == GEN_DNS) one = "DNS:" + Text(name->d.dNSName);
    if (name->type == GEN_IPADD) one = "IP:" + IpAddressText(name->d.iPAddress);
    if (one.empty()) continue;
    any = true;
    text += (text.empty() ? "" : ", ") + one;
  }
  GENERAL_NAMES_free(names);
  return text;
}

std::string CommonName(X509* certificate) {
  X509_NAME* subject = X509_get_subject_name(certificate);
  const int at = subject ? X509_NAME_get_index_by_NID(subject, NID_commonName, -1) : -1;
  return at < 0 ? std::string() : Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
}

}  // namespace

bool VerifiesServer(const TlsSettings& settings) { return !settings.ca.empty() || !settings.ca_path.empty(); }

std::string ServerNameMismatch(x509_st* certificate, const std::string& host) {
  if (!certificate) return "the server sent no certificate";
  bool has_names = false;
  const std::string names = AlternativeNames(certificate, has_names);
  const std::string common_name = CommonName(certificate);
  const int as_address = X509_check_ip_asc(certificate, host.c_str(), 0);
  if (as_address == 1) return std::string();
  if (as_address == 0) {
    // An IP address: only a certificate without alternative names may name it as its common name.
    if (!has_names && common_name == host) return std::string();
  } else if (X509_check_host(certificate, host.data(), host.size(), 0, nullptr) == 1) {
    return std::string();
  }
  ERR_clear_error();
  return "the server's certificate is not for '" + host + "': it names " +
         (has_names ? names : "no alternative names") + " (common name '" + common_name + "')";
}

void SslContextFree::operator()(ssl_ctx_st* context) const { SSL_CTX_free(context); }

void InitTlsLibrary() {
  static const bool started =
      OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr) == 1;
  if (!started) throw EMySqlException(kCrSslConnectionError, "SSL library initialization failed");
}

SslContextPtr CreateClientContext(const TlsSettings& settings) {
  ERR_clear_error();
  SslContextPtr context(SSL_CTX_new(TLS_client_method()));
  if (!context) Refuse("cannot create a TLS context");
  if (SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1) Refuse("cannot require TLS 1.2");
  UseCiphers(context.get(), settings.cipher);
  UseClientCertificate(context.get(), settings);
  UseAuthorities(context.get(), settings);
  return context;
}

void RecordVerifyFailures(ssl_st* connection, std::string* failure) { SSL_set_app_data(connection, failure); }

std::string TakeOpenSslErrors() {
  std::string text;
  const char* data = nullptr;
  int flags = 0;
  while (const unsigned long error = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags)) {
    // A failed system call reads as the system words it; the mere note
    // that one failed adds nothing.
    if (!ERR_SYSTEM_ERROR(error) && ERR_GET_REASON(error) == ERR_R_SYS_LIB) continue;
    const char* reason = ERR_reason_error_string(error);
    std::string one = ERR_SYSTEM_ERROR(error) ? std::generic_category().message(ERR_GET_REASON(error))
                      : reason                ? reason
                                              : "error " + std::to_string(error);
    if (data && *data && (flags & ERR_TXT_STRING)) one += " (" + std::string(data) + ")";
    if (text.find(one) != std::string::npos) continue;
    text += (text.empty() ? "" : "; ") + one;
  }
  return text;
}

}  // namespace dac
