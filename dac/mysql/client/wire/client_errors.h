// The protocol layer's exception and the client error table (codes 2000-2047).
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "dac/framework/classes/exceptions.h"

namespace dac {

// Client error codes, as the client API numbers them.
enum : int32_t {
  kCrMinError = 2000,
  kCrUnknownError = 2000,
  kCrSocketCreateError = 2001,
  kCrConnectionError = 2002,
  kCrConnHostError = 2003,
  kCrIpsockError = 2004,
  kCrUnknownHost = 2005,
  kCrServerGoneError = 2006,
  kCrVersionError = 2007,
  kCrOutOfMemory = 2008,
  kCrWrongHostInfo = 2009,
  kCrLocalhostConnection = 2010,
  kCrTcpConnection = 2011,
  kCrServerHandshakeErr = 2012,
  kCrServerLost = 2013,
  kCrCommandsOutOfSync = 2014,
  kCrNamedpipeConnection = 2015,
  kCrNamedpipewaitError = 2016,
  kCrNamedpipeopenError = 2017,
  kCrNamedpipesetstateError = 2018,
  kCrCantReadCharset = 2019,
  kCrNetPacketTooLarge = 2020,
  kCrEmbeddedConnection = 2021,
  kCrSslConnectionError = 2026,
  kCrMalformedPacket = 2027,
  kCrNullPointer = 2028,
  kCrNoPrepareStmt = 2029,
  kCrParamsNotBound = 2030,
  kCrDataTruncated = 2031,
  kCrNoParametersExists = 2032,
  kCrInvalidParameterNo = 2033,
  kCrInvalidBufferUse = 2034,
  kCrUnsupportedParamType = 2035,
  kCrWrongProtocol = 2046,
  kCrInvalidConnHandle = 2047,
  kCrMaxError = 2047,
};

// Server error codes the protocol layer raises itself.
enum : int32_t {
  kErNetPacketsOutOfOrder = 1156,
  kErNetUncompressError = 1157,
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

// Codes 2000 to 2999 are the client's own; the server's lie below and above.
inline bool IsClientError(int32_t code) { return code >= kCrMinError && code < 3000; }

// The SQLSTATE of an error as the protocol layer keeps it: "00000" for code
// 0; a server error's state from its message ("\r\n#" and five characters,
// as the 4.1 protocol sends it), else "HY000", as for every client error.
std::string SqlStateOf(int32_t code, const std::string& message);

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
