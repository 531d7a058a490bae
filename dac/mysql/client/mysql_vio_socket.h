// The part the stream-socket transports share: a blocking socket with send
// and receive timeouts, reads and writes that report failures as text.
#pragma once

#include <string>

#include "dac/mysql/client/mysql_vio.h"
#include "platform/client_socket.h"

namespace dac {

class TMySqlVioSocket : public TMySqlVio {
  DAC_DECLARE_CLASS();

 public:
  int GetTimeout() override { return timeout_; }
  // Seconds for the receive and send time-outs; 0 waits without limit.
  void SetTimeout(int seconds) override;
  int ReadNoWait(uint8_t* buffer, int offset, int count) override;
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
  void Close() override;
  int Write(const uint8_t* buffer, int offset, int count) override;

  bool IsConnected() const { return socket_.IsOpen(); }

 protected:
  TMySqlVioSocket() = default;

  // Connects the socket to the address within the timeout: 0, or the
  // system's error number (the socket then stays closed).
  int ConnectSocket(const plat::StreamAddress& address);
  plat::ClientSocket& Socket() { return socket_; }

 private:
  plat::ClientSocket socket_;
  int timeout_ = 30;
};

}  // namespace dac
