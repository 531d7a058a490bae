// The packets of the wire protocol as plain values, apart from any I/O.
// Parse functions read one received payload through the bounds-checked
// PacketReader: short or inconsistent data raise EMySqlException 2027
// "Malformed packet". Build functions append what the client sends to a
// packet being staged. Nothing here touches a transport or a session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dac/framework/values/bytes.h"
#include "dac/mysql/client/wire/client_records.h"
#include "dac/mysql/client/wire/packet_writer.h"

namespace dac {

// Client capability flags.
constexpr uint32_t kClientLongPassword = 0x1;
constexpr uint32_t kClientLongFlag = 0x4;
constexpr uint32_t kClientConnectWithDb = 0x8;
constexpr uint32_t kClientCompress = 0x20;
constexpr uint32_t kClientLocalFiles = 0x80;
constexpr uint32_t kClientProtocol41 = 0x200;
constexpr uint32_t kClientSsl = 0x800;
constexpr uint32_t kClientTransactions = 0x2000;
constexpr uint32_t kClientSecureConnection = 0x8000;
constexpr uint32_t kClientMultiStatements = 0x10000;
constexpr uint32_t kClientMultiResults = 0x20000;

// Server status flags.
constexpr uint32_t kServerStatusInTrans = 0x1;
constexpr uint32_t kServerStatusAutocommit = 0x2;
constexpr uint32_t kServerMoreResultsExists = 0x8;
// sql_mode holds NO_BACKSLASH_ESCAPES: a backslash in a string literal is a plain character.
constexpr uint32_t kServerStatusNoBackslashEscapes = 0x200;

constexpr uint8_t kProtocolVersion = 10;
constexpr size_t kScrambleLength = 20;
// A result has at most this many columns (the binary protocol counts them in 2 bytes).
constexpr int kMaxColumns = 0xFFFF;
// An end packet starts with 0xFE and is shorter than this: 8 where rows are
// buffered, 9 where they are read one by one or drained.
constexpr size_t kStoreEndLimit = 8;
constexpr size_t kUseEndLimit = 9;

// ---- what the server sends ----

struct ServerGreeting {
  std::string server_version;
  uint32_t thread_id = 0;
  // The salt, zero-filled where a short greeting leaves it out.
  TBytes scramble = TBytes(kScrambleLength, 0);
  // All 20 salt bytes came: the server can check the 4.1 scramble (a
  // server with secure connection always sends them).
  bool scramble_complete = false;
  uint32_t capabilities = 0;
  // The character set and status are present.
  bool has_status = false;
  uint8_t charset = 0;
  uint16_t status = 0;
};
// 2007 "Protocol mismatch" when the version byte is not 10; 2027 for a
// greeting cut short, one claiming secure connection among them.
ServerGreeting ParseGreeting(const uint8_t* data, size_t length);

struct OkPacket {
  uint64_t affected_rows = 0;
  uint64_t insert_id = 0;
  bool has_status = false;
  uint16_t server_status = 0;
  bool has_warnings = false;
  uint16_t warning_count = 0;
  std::string info;
};
// From the leading 0. The status comes with the 4.1 protocol or the
// server's transactions flag, the warnings with the 4.1 protocol; either is
// left out when the packet ends first. The message is length-coded (one
// byte, as servers send it); a first byte that cannot be its length leaves
// the rest as the message.
OkPacket ParseOkPacket(const uint8_t* data, size_t length, bool protocol41, bool transactions);

inline bool IsEndPacket(const uint8_t* data, size_t length, size_t limit) {
  return length > 0 && length < limit && data[0] == 0xFE;
}
struct EndPacket {
  bool has_status = false;
  uint16_t warning_count = 0;
  uint16_t server_status = 0;
};
// The end of rows or definitions: 0xFE alone (a pre-4.1 server), or with
// warnings and status (at least 5 bytes).
EndPacket ParseEndPacket(const uint8_t* data, size_t length);

inline bool IsErrorPacket(const uint8_t* data, size_t length) { return length > 0 && data[0] == 0xFF; }
struct ErrorPacket {
  int32_t code = 0;
  // As sent: a 4.1 server's "#" and state code stay at its start.
  std::string message;
};
// 0xFF, a 16-bit code and the message up to a 0 byte or the end. A code
// that is 0 or negative as a signed 16-bit number is no server error: 2027.
ErrorPacket ParseErrorPacket(const uint8_t* data, size_t length);
// EMySqlException with the packet's code and message.
[[noreturn]] void RaiseErrorPacket(const uint8_t* data, size_t length);

// The reply to a query or execute, told by its first byte.
enum class QueryReply { kOk, kResultSet, kLocalFile };
// An empty reply is malformed; 0xFF never reaches here (the packet layer raises it).
QueryReply ClassifyQueryReply(const uint8_t* data, size_t length);

struct ResultSetHeader {
  int field_count = 0;
  bool has_extra = false;
  int64_t extra = 0;  // the optional length-coded value after the count
};
// A column count of 1 to kMaxColumns.
ResultSetHeader ParseResultSetHeader(const uint8_t* data, size_t length);

// A LOAD DATA LOCAL request: the file name after the 0xFB byte.
std::string ParseLocalFileRequest(const uint8_t* data, size_t length);

// One column definition: the 4.1 layout (catalog, db, table, org_table,
// name, org_name, then the fixed block) or the older one (table, name,
// length, type, flags and decimals: 2-byte flags with the server's long-flag
// capability, else 1).
TMySqlFieldInfo ParseColumnDefinition(const uint8_t* data, size_t length, bool protocol41, bool long_flag);

// The server's answer to the handshake response.
enum class AuthReply {
  kOk,                  // 0: logged in
  kOldScrambleRequest,  // 0xFE alone: wants the pre-4.1 scramble
  kAuthSwitch,          // 0xFE, a method name and its data
  kMoreData,            // 0x01 and data for the current method
  kPreRelease41,        // 24 bytes, first not 0: the 4.1.0 pre-release exchange
  kUnknown,
};
struct AuthReplyPacket {
  AuthReply kind = AuthReply::kUnknown;
  std::string method;  // kAuthSwitch
  TBytes data;         // kAuthSwitch, kMoreData, kPreRelease41 (the 24 bytes)
};
// The old-scramble request and the pre-release exchange exist only towards
// a server with secure connection; without it such packets are told by
// their first byte like any other.
AuthReplyPacket ParseAuthReply(const uint8_t* data, size_t length, bool secure_connection);

// ---- what the client sends ----

// The head of the handshake response: flags, maximum packet and character
// set with 23 zero bytes (4.1 layout), else 2-byte flags and the low 24 bits
// of the maximum packet. Alone it is the TLS request.
void BuildHandshakeHead(PacketWriter& out, uint32_t flags, int32_t max_packet);

struct HandshakeResponse {
  uint32_t flags = 0;
  int32_t max_packet = 0;
  std::string user;
  TBytes auth;  // the password field as it goes out
  // The server has kClientConnectWithDb: the name follows, without its 0
  // byte unless it is empty.
  bool with_database = false;
  std::string database;
};
void BuildHandshakeResponse(PacketWriter& out, const HandshakeResponse& response);

// The password field of the handshake response. Towards a server with
// secure connection: one 0 byte for no password, else byte 20 and the 4.1
// scramble, or, when the salt was short, eight 'x' and a 0 byte (the server
// then asks for the pre-4.1 scramble). Without secure connection: the
// pre-4.1 scramble and a 0 byte, or one 0 byte.
TBytes HandshakeAuthField(uint32_t server_capabilities, const TBytes& salt, bool salt_complete,
                          const std::string& password);
// True when a login with this password leads to the pre-4.1 scramble
// whatever the server answers: the server lacks secure connection, or its
// salt is too short for the 4.1 scramble.
bool LoginNeedsOldScramble(uint32_t server_capabilities, bool salt_complete, const std::string& password);

// The pre-4.1 scramble of the password with the first 8 salt bytes, and a 0 byte.
void BuildOldScrambleAnswer(PacketWriter& out, const std::string& password, const TBytes& salt);

// A command: its byte and the argument bytes.
void BuildCommand(PacketWriter& out, TServerCommand command, const uint8_t* argument, size_t length);

}  // namespace dac
