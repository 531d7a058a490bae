// A reply collected in memory instead of sent over a socket: the channel's
// second mode, in place of a web-server extension's client connection. Tests
// see a handler's exact bytes through it.
#pragma once

#include <string>
#include <string_view>

namespace server {

class TReplySink {
 public:
  // Appends the bytes; false (nothing kept) once the sink fails or is closed.
  bool Write(std::string_view bytes);
  void Close() { closed_ = true; }

  // Makes every later write fail, as a client connection that broke.
  void FailWrites() { failing_ = true; }

  const std::string& Bytes() const { return bytes_; }
  bool IsClosed() const { return closed_; }

 private:
  std::string bytes_;
  bool closed_ = false;
  bool failing_ = false;
};

}  // namespace server
