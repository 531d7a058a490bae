// The protocol layer's exception and the client error table (codes 2000-2047).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "dac/framework/exceptions.h"

namespace dac {

// Client error codes, as the client API numbers them.
enum : int32_t {
  CR_MIN_ERROR = 2000,
  CR_UNKNOWN_ERROR = 2000,
  CR_SOCKET_CREATE_ERROR = 2001,
  CR_CONNECTION_ERROR = 2002,
  CR_CONN_HOST_ERROR = 2003,
  CR_IPSOCK_ERROR = 2004,
  CR_UNKNOWN_HOST = 2005,
  CR_SERVER_GONE_ERROR = 2006,
  CR_VERSION_ERROR = 2007,
  CR_OUT_OF_MEMORY = 2008,
  CR_WRONG_HOST_INFO = 2009,
  CR_LOCALHOST_CONNECTION = 2010,
  CR_TCP_CONNECTION = 2011,
  CR_SERVER_HANDSHAKE_ERR = 2012,
  CR_SERVER_LOST = 2013,
  CR_COMMANDS_OUT_OF_SYNC = 2014,
  CR_NAMEDPIPE_CONNECTION = 2015,
  CR_NAMEDPIPEWAIT_ERROR = 2016,
  CR_NAMEDPIPEOPEN_ERROR = 2017,
  CR_NAMEDPIPESETSTATE_ERROR = 2018,
  CR_CANT_READ_CHARSET = 2019,
  CR_NET_PACKET_TOO_LARGE = 2020,
  CR_EMBEDDED_CONNECTION = 2021,
  CR_SSL_CONNECTION_ERROR = 2026,
  CR_MALFORMED_PACKET = 2027,
  CR_NULL_POINTER = 2028,
  CR_NO_PREPARE_STMT = 2029,
  CR_PARAMS_NOT_BOUND = 2030,
  CR_DATA_TRUNCATED = 2031,
  CR_NO_PARAMETERS_EXISTS = 2032,
  CR_INVALID_PARAMETER_NO = 2033,
  CR_INVALID_BUFFER_USE = 2034,
  CR_UNSUPPORTED_PARAM_TYPE = 2035,
  CR_WRONG_PROTOCOL = 2046,
  CR_INVALID_CONN_HANDLE = 2047,
  CR_MAX_ERROR = 2047,
};

// Server error codes the protocol layer raises itself.
enum : int32_t {
  ER_NET_PACKETS_OUT_OF_ORDER = 1156,
  ER_NET_UNCOMPRESS_ERROR = 1157,
};

// The 48 texts of codes 2000 to 2047, index = code - 2000.
extern const char* const ClientErrors[48];

// One argument of a table text: an integer or a text.
using ErrorArg = std::variant<int64_t, std::string>;
using ErrorArgs = std::vector<ErrorArg>;

// The table text of a client code; empty for any other code.
std::string GetError(int32_t code);
// The table text with its %d, %s, %x and %X directives (flags, width and
// precision as printf takes them) filled from the arguments in order. A
// directive without an argument stays as it stands; nothing here can fail.
std::string GetError(int32_t code, const ErrorArgs& args);
// The same formatting over any text.
std::string FormatErrorText(const std::string& format, const ErrorArgs& args);

// A client or server error of the protocol layer, with its code.
class EMySqlException : public Exception {
 public:
  // The table text as it stands.
  explicit EMySqlException(int32_t code);
  // The table text formatted with the arguments; then CR LF and the extra
  // text when that is not empty.
  EMySqlException(int32_t code, const ErrorArgs& args, const std::string& extra);
  // The table text unformatted; then CR LF and the extra text when that is
  // not empty. A server error (no table text) thus reads "\r\n" + its message.
  EMySqlException(int32_t code, const std::string& extra);

  int32_t ErrorCode() const { return error_code_; }

 private:
  int32_t error_code_;
};

}  // namespace dac
