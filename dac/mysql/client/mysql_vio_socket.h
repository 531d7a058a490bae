// The part the stream-socket transports share: a blocking socket with send
// and receive timeouts, reads and writes that report failures as text.
#pragma once

#include <sys/socket.h>

#include <string>

#include "dac/mysql/client/mysql_vio.h"

namespace dac {

class TMySqlVioSocket : public TMySqlVio {
  DAC_DECLARE_CLASS();

 public:
  ~TMySqlVioSocket() override;

  int GetTimeout() override { return timeout_; }
  // Seconds for SO_RCVTIMEO and SO_SNDTIMEO; 0 waits without limit.
  void SetTimeout(int seconds) override;
  int ReadNoWait(uint8_t* buffer, int offset, int count) override;
  int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
  void Close() override;
  int Write(const uint8_t* buffer, int offset, int count) override;

  int GetSocket() const { return socket_; }
  bool IsConnected() const { return socket_ >= 0; }

 protected:
  TMySqlVioSocket() = default;

  // Connects a new socket of the family to the address within the timeout;
  // false with errno set when that fails (the socket is then closed).
  bool ConnectSocket(int family, const sockaddr* address, socklen_t length);
  void ApplyTimeouts();

 private:
  int socket_ = -1;
  int timeout_ = 30;
};

}  // namespace dac
