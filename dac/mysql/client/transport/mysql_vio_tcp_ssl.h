// The TCP transport that turns to TLS in the middle of the handshake. OpenSSL
// reads and writes through the transport's own socket calls, so a vanished
// peer is a failed call (never SIGPIPE) and the time-outs hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/mysql/client/transport/mysql_vio_tcp.h"
#include "dac/mysql/client/transport/tls_context.h"

struct bio_st;

namespace dac {

class TMySqlVioTcpSSL : public TMySqlVioTcp {
  DAC_DECLARE_CLASS();

 public:
  TMySqlVioTcpSSL(std::string host, int port, TlsSettings settings);
  ~TMySqlVioTcpSSL() override;

  // The TLS handshake on the connected socket, bounded by the time-out set
  // now (the connect time-out); with a CA given, the certificate must name
  // the host connected to. A failure is 2026 with the reason (OpenSSL's, or
  // what the certificate names), and the transport is closed: nothing
  // follows in clear.
  void SetIsSecure(bool value) override;
  bool GetIsSecure() override { return secure_; }
  // Once secure, one TLS read or write; 0 on failure.
  int ReadNoWait(uint8_t* buffer, int offset, int count) override;
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
  // Sends close_notify when that costs no wait, frees the TLS state, closes.
  void Close() override;

 private:
  struct SslFree {
    void operator()(ssl_st* connection) const;
  };

  void Handshake();
  // With a CA given: 2026 unless the server's certificate names the host.
  void CheckServerName();
  std::string HandshakeFailure(int result, int error);
  // After a TLS call that moved nothing: 0, and the connection is given up
  // unless the peer merely ended it.
  int Failed(int result);
  // The calls OpenSSL makes through its BIO.
  static int BioRead(bio_st* bio, char* buffer, int count);
  static int BioWrite(bio_st* bio, const char* buffer, int count);
  // During the handshake, the socket time-outs shrink to what is left of it;
  // false once it is over.
  bool WithinHandshakeTime();

  TlsSettings settings_;
  SslContextPtr context_;
  std::unique_ptr<ssl_st, SslFree> connection_;
  bool secure_ = false;
  bool broken_ = false;
  bool closing_ = false;
  bool in_handshake_ = false;
  uint32_t handshake_deadline_ = 0;  // the process clock's tick count
  std::string verify_failure_;
};

}  // namespace dac
