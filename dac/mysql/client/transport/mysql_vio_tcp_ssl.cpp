#include "dac/mysql/client/transport/mysql_vio_tcp_ssl.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "platform/clock.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVioTcpSSL, TMySqlVioTcp, TMetaClass)

namespace {

long BioControl(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;  // writes are never held back
}

// The BIO kind that hands OpenSSL's I/O to a transport; made once.
class TransportBio {
 public:
  TransportBio(int (*read)(BIO*, char*, int), int (*write)(BIO*, const char*, int))
      : method_(BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "mysql transport")) {
    if (!method_) return;
    BIO_meth_set_read(method_, read);
    BIO_meth_set_write(method_, write);
    BIO_meth_set_ctrl(method_, BioControl);
  }
  ~TransportBio() { BIO_meth_free(method_); }
  TransportBio(const TransportBio&) = delete;
  TransportBio& operator=(const TransportBio&) = delete;

  const BIO_METHOD* method() const { return method_; }

 private:
  BIO_METHOD* method_;
};

}  // namespace

void TMySqlVioTcpSSL::SslFree::operator()(ssl_st* connection) const { SSL_free(connection); }

TMySqlVioTcpSSL::TMySqlVioTcpSSL(std::string host, int port, TlsSettings settings)
    : TMySqlVioTcp(std::move(host), port), settings_(std::move(settings)) {}

TMySqlVioTcpSSL::~TMySqlVioTcpSSL() = default;

void TMySqlVioTcpSSL::SetIsSecure(bool value) {
  DAC_ASSERT(value, "a TLS transport cannot turn back to plain text");
  DAC_ASSERT(IsConnected() && !connection_, "TLS starts once, on a connected socket");
  try {
    InitTlsLibrary();
    context_ = CreateClientContext(settings_);
    Handshake();
  } catch (...) {
    broken_ = true;
    Close();
    throw;
  }
  secure_ = true;
}

void TMySqlVioTcpSSL::Handshake() {
  static const TransportBio transport_bio(BioRead, BioWrite);
  ERR_clear_error();
  connection_.reset(SSL_new(context_.get()));
  BIO* bio = connection_ && transport_bio.method() ? BIO_new(transport_bio.method()) : nullptr;
  if (!bio) throw EMySqlException(kCrSslConnectionError, "cannot create a TLS connection: " + TakeOpenSslErrors());
  BIO_set_data(bio, this);
  BIO_set_init(bio, 1);
  SSL_set_bio(connection_.get(), bio, bio);
  SSL_set_connect_state(connection_.get());
  RecordVerifyFailures(connection_.get(), &verify_failure_);

  in_handshake_ = true;
  handshake_deadline_ = plat::ProcessClock().TickCount() + static_cast<uint32_t>(GetTimeout()) * 1000u;
  const int result = SSL_do_handshake(connection_.get());
  const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(connection_.get(), result);
  in_handshake_ = false;
  Socket().SetTimeouts(GetTimeout());
  if (result != 1) throw EMySqlException(kCrSslConnectionError, HandshakeFailure(result, error));
  CheckServerName();
}

void TMySqlVioTcpSSL::CheckServerName() {
  // A certificate the authority signed for another name proves nothing about this server.
  if (!VerifiesServer(settings_)) return;
  X509* certificate = SSL_get1_peer_certificate(connection_.get());
  const std::string mismatch = ServerNameMismatch(certificate, GetHost());
  X509_free(certificate);
  if (!mismatch.empty()) throw EMySqlException(kCrSslConnectionError, mismatch);
}

std::string TMySqlVioTcpSSL::HandshakeFailure(int result, int error) {
  const std::string r = std::to_string(result);
  std::string reason = TakeOpenSslErrors();
  if (!verify_failure_.empty()) reason += (reason.empty() ? "" : ": ") + verify_failure_;
  if (!GetLastError().empty()) reason += (reason.empty() ? "" : "; ") + GetLastError();
  if (reason.empty()) reason = "the server ended the connection";
  return "SSL_do_handshake = " + r + "\r\nSSL_get_error(..., r2) = " + std::to_string(error) + "\r\nr2 = " + r +
         "\r\n" + reason;
}

bool TMySqlVioTcpSSL::WithinHandshakeTime() {
  if (!in_handshake_ || GetTimeout() <= 0) return true;
  // Tick counts wrap: the signed difference is right for any time-out below 24 days.
  const int64_t left = static_cast<int32_t>(handshake_deadline_ - plat::ProcessClock().TickCount());
  if (left <= 0) {
    SetLastError("the TLS handshake took longer than the connect time-out");
    return false;
  }
  Socket().SetTimeoutMilliseconds(left);
  return true;
}

int TMySqlVioTcpSSL::BioRead(bio_st* bio, char* buffer, int count) {
  auto* self = static_cast<TMySqlVioTcpSSL*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (!self->WithinHandshakeTime()) return -1;
  return static_cast<int>(self->SocketReceive(reinterpret_cast<uint8_t*>(buffer), count));
}

int TMySqlVioTcpSSL::BioWrite(bio_st* bio, const char* buffer, int count) {
  auto* self = static_cast<TMySqlVioTcpSSL*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (!self->WithinHandshakeTime()) return -1;
  return static_cast<int>(self->SocketSend(reinterpret_cast<const uint8_t*>(buffer), count, !self->closing_));
}

int TMySqlVioTcpSSL::Failed(int result) {
  if (SSL_get_error(connection_.get(), result) != SSL_ERROR_ZERO_RETURN) broken_ = true;
  const std::string reason = TakeOpenSslErrors();
  if (GetLastError().empty()) SetLastError(reason.empty() ? "the server ended the TLS connection" : reason);
  return 0;
}

int TMySqlVioTcpSSL::ReadNoWait(uint8_t* buffer, int offset, int count) {
  if (!secure_) return TMySqlVioTcp::ReadNoWait(buffer, offset, count);
  SetLastError(std::string());
  if (broken_ || !connection_) return 0;
  ERR_clear_error();
  const int n = SSL_read(connection_.get(), buffer + offset, count);
  return n > 0 ? n : Failed(n);
}

int TMySqlVioTcpSSL::WriteNoWait(const uint8_t* buffer, int offset, int count) {
  if (!secure_) return TMySqlVioTcp::WriteNoWait(buffer, offset, count);
  SetLastError(std::string());
  if (broken_ || !connection_) return 0;
  ERR_clear_error();
  const int n = SSL_write(connection_.get(), buffer + offset, count);
  return n > 0 ? n : Failed(n);
}

void TMySqlVioTcpSSL::Close() {
  if (secure_ && !broken_ && connection_) {
    // close_notify goes out if the socket takes it at once; the server's
    // own is not waited for.
    closing_ = true;
    SSL_shutdown(connection_.get());
    closing_ = false;
    ERR_clear_error();
  }
  connection_.reset();
  context_.reset();
  secure_ = false;
  TMySqlVioTcp::Close();
}

}  // namespace dac
