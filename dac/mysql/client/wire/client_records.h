// The shared vocabulary of the MySQL layer: the date-time record, result
// column descriptions with their flag tests, command codes, client options,
// protocol kinds and version decoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

namespace dac {

struct MYSQL_TIME {
  uint32_t year = 0;
  uint32_t month = 0;
  uint32_t day = 0;
  uint32_t hour = 0;
  uint32_t minute = 0;
  uint32_t second = 0;
  uint32_t second_part = 0;  // microseconds
  bool neg = false;
  int32_t time_type = 0;  // 0 date, 1 date and time, 2 time
};

// Column flag bits.
enum : uint32_t {
  kNotNullFlag = 0x1,
  kPriKeyFlag = 0x2,
  kUniqueKeyFlag = 0x4,
  kMultipleKeyFlag = 0x8,
  kUnsignedFlag = 0x20,
  kZeroFillFlag = 0x40,
  kBinaryFlag = 0x80,
  kAutoIncrementFlag = 0x200,
  kNumFlag = 0x8000,  // added by MySqlFieldInfo for numeric types
};

// Column type codes of the client API.
enum TMySqlFieldType : uint8_t {
  mftDecimal = 0,
  mftTiny = 1,
  mftShort = 2,
  mftLong = 3,
  mftFloat = 4,
  mftDouble = 5,
  mftNull = 6,
  mftTimestamp = 7,
  mftLongLong = 8,
  mftInt24 = 9,
  mftDate = 10,
  mftTime = 11,
  mftDateTime = 12,
  mftYear = 13,
  mftNewDate = 14,
  mftVarChar = 15,
  mftBit = 16,
  mftNewDecimal = 246,
  mftEnum = 247,
  mftSet = 248,
  mftTinyBlob = 249,
  mftMediumBlob = 250,
  mftLongBlob = 251,
  mftBlob = 252,
  mftVarString = 253,
  mftString = 254,
  mftGeometry = 255,
};

// The description of one result column.
struct TMySqlFieldInfo {
  std::string name;       // column name (alias)
  std::string org_name;   // column name before aliasing; empty from pre-4.1 servers
  std::string table;      // table name (alias)
  std::string org_table;  // table name before aliasing
  std::string db;
  std::string def;
  int32_t length = 0;
  int32_t decimals = 0;
  int32_t max_length = 0;
  uint32_t flags = 0;
  int32_t charsetnr = 0;
  uint8_t type = 0;

  bool IsNotNull() const { return (flags & kNotNullFlag) != 0; }
  bool IsPrimaryKey() const { return (flags & kPriKeyFlag) != 0; }
  bool IsUniqueKey() const { return (flags & kUniqueKeyFlag) != 0; }
  bool IsMultipleKey() const { return (flags & kMultipleKeyFlag) != 0; }
  bool IsUnsigned() const { return (flags & kUnsignedFlag) != 0; }
  bool IsZeroFill() const { return (flags & kZeroFillFlag) != 0; }
  bool IsBinary() const { return (flags & kBinaryFlag) != 0; }
  bool IsAutoIncrement() const { return (flags & kAutoIncrementFlag) != 0; }
};

using TMySqlFieldInfos = std::vector<TMySqlFieldInfo>;

// The protocol's command byte.
enum TServerCommand : uint8_t {
  scSleep = 0,
  scQuit = 1,
  scInitDb = 2,
  scQuery = 3,
  scFieldList = 4,
  scCreateDb = 5,
  scDropDb = 6,
  scRefresh = 7,
  scShutdown = 8,
  scStatistics = 9,
  scProcessInfo = 10,
  scConnect = 11,
  scProcessKill = 12,
  scDebug = 13,
  scPing = 14,
  scTime = 15,
  scDelayedInsert = 16,
  scChangeUser = 17,
  scBunLogDump = 18,
  scTableDump = 19,
  scConnectOut = 20,
  scRegisterSlave = 21,
  scPrepare = 22,
  scExecute = 23,
  scLongData = 24,
  scCloseStmt = 25,
};

// The client API's option numbers.
enum TMySqlOption : int32_t {
  MYSQL_OPT_CONNECT_TIMEOUT = 0,
  MYSQL_OPT_COMPRESS = 1,
  MYSQL_OPT_NAMED_PIPE = 2,
  MYSQL_INIT_COMMAND = 3,
  MYSQL_READ_DEFAULT_FILE = 4,
  MYSQL_READ_DEFAULT_GROUP = 5,
  MYSQL_SET_CHARSET_DIR = 6,
  MYSQL_SET_CHARSET_NAME = 7,
  MYSQL_OPT_LOCAL_INFILE = 8,
  MYSQL_OPT_PROTOCOL = 9,
  MYSQL_SHARED_MEMORY_BASE_NAME = 10,
  MYSQL_OPT_READ_TIMEOUT = 11,
  MYSQL_OPT_WRITE_TIMEOUT = 12,
  MYSQL_OPT_USE_RESULT = 13,
  MYSQL_OPT_USE_REMOTE_CONNECTION = 14,
  MYSQL_OPT_USE_EMBEDDED_CONNECTION = 15,
  MYSQL_OPT_GUESS_CONNECTION = 16,
  MYSQL_SET_CLIENT_IP = 17,
  MYSQL_SECURE_AUTH = 18,
};

enum MYSQL_PROTOCOL_TYPE : uint8_t {
  MYSQL_PROTOCOL_DEFAULT = 0,
  MYSQL_PROTOCOL_TCP = 1,
  MYSQL_PROTOCOL_SOCKET = 2,
  MYSQL_PROTOCOL_PIPE = 3,
  MYSQL_PROTOCOL_MEMORY = 4,
  MYSQL_PROTOCOL_SSL = 5,  // this library's own value for TLS over TCP
};

// Command state of a session.
enum TMySqlStatus : uint8_t { msReady = 0, msGetResult = 1, msUseResult = 2 };
enum TPrepStmtState : uint8_t { psUnknown = 0, psPrepare = 1, psExecute = 2 };
// Layout variant of the client library's structures.
enum TClientStructVer : uint8_t { cvDirect = 0, cv3 = 1, cv4 = 2, cv410 = 3, cv411 = 4 };

constexpr int kPacketError = -1;

// What a statement fetch answers besides 0 (a row) and 1 (an error): no more
// rows, and a row some of whose values did not fit their binds.
constexpr int kMySqlNoData = 100;
constexpr int kMySqlDataTruncated = 101;

// "5.0.22-nt" -> 5, 0, 22: the number before the first "."; the digits after
// it; the digits that start one character after those. An empty part raises
// the strict integer conversion's EConvertError.
void DecodeVersion(std::string_view version, int& major, int& minor, int& release);

// Numeric column types: up to 9 except timestamps, timestamps of length 14
// or 8, and years.
bool IsNumField(uint8_t type, int32_t length);

// The record in argument order, with kNumFlag added for numeric types.
TMySqlFieldInfo MySqlFieldInfo(std::string name, std::string org_name, std::string table, std::string org_table,
                               std::string db, std::string def, int32_t length, int32_t decimals,
                               int32_t max_length, uint32_t flags, int32_t charsetnr, uint8_t type);

// Date and time parts of the value; second_part = milliseconds x 1000, time_type 1.
MYSQL_TIME DateTimeToMYSQL_TIME(plat::DateTime value);

}  // namespace dac
