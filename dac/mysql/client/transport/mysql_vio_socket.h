// The part the stream-socket transports share: a blocking socket with send
// and receive timeouts, reads and writes that report failures as text.
#pragma once

#include <string>

#include "dac/mysql/client/transport/mysql_vio.h"
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
  // One receive or send call on the open socket: the bytes moved, 0 at the
  // end of the stream (receive), or -1 after a failure, whose text becomes
  // the last error. Without wait, a full send buffer is a failure.
  long SocketReceive(uint8_t* buffer, int count);
  long SocketSend(const uint8_t* buffer, int count, bool wait = true);

 private:
  bool WaitsOn(long result, int error_number) const;

  plat::ClientSocket socket_;
  // The time-out asked for, and the one the open socket has: they differ
  // only when no limit is asked for and the socket keeps its own.
  int timeout_ = 30;
  int socket_seconds_ = 0;
};

}  // namespace dac
