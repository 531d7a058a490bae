// What the server keeps about one accepted connection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace server {

// Room for one request, its terminating NUL included: a request may hold at
// most kRequestBufferSize - 2 bytes, since a read must leave a byte spare.
inline constexpr size_t kRequestBufferSize = 4096;

struct TSessionSocketData {
  // Only the terminating NUL needs setting: every connection makes one.
  TSessionSocketData() { buffer[0] = '\0'; }

  // Request bytes received so far, always NUL-terminated after the last one.
  std::array<char, kRequestBufferSize> buffer;
  size_t length = 0;
  // Set once a socket error was reported, or a write to the client failed.
  bool error = false;
  // The request has come whole; any further input is discarded, so a
  // connection is answered once.
  bool complete = false;
  // Input came after the request: the client may still be sending.
  bool input_after_request = false;
  // Tick count at accept, for the idle timeout of unfinished requests.
  uint32_t accepted_tick = 0;

  std::string_view Received() const { return std::string_view(buffer.data(), length); }
};

}  // namespace server
