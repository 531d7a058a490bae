// The property codes of the MySQL provider's server objects (1000 and up;
// the generic ones are in dac/core/server/server_types.h).
#pragma once

namespace dac {

enum : int {
  prMyDatabase = 1000,           // connection: current database (string)
  prMyConnectionTimeout = 1001,  // connection: seconds
  prMyPort = 1002,               // connection
  prMyLastInsertId = 1004,       // connection, get: 64-bit
  prMyFieldsAsString = 1005,     // record set: every column but blobs read as text
  prMyNullForZeroDate = 1006,    // record set: a zero or impossible date reads as null
  prMyCompress = 1007,           // connection: compressed protocol
  prMyIsolationLevel = 1008,     // connection: TMyIsolationLevel ordinal
  prMyCharset = 1009,            // connection, set
  prMyAPI = 1010,                // connection, set: the TMySQLAPI object
  prMyProtocol = 1011,           // connection, set: TMyProtocol ordinal
  prMyStoredProc = 1012,         // record set, set: the text is a built procedure call
  prMyNumericType = 1013,        // connection, set: TDANumericType ordinal
  prMyEnableBoolean = 1014,      // record set: TINYINT(1) reads as a boolean
  prMyCreateConnection = 1015,   // record set: stream a partly read result on a second connection
  prMyCommandTimeout = 1016,     // command and record set, set: seconds
  prMyOpenNext = 1017,           // record set: keep further results for the next open
  prMyUseUnicode = 1018,         // connection
  prMyEmbParams = 1019,          // connection, set: embedded-server parameters, one a line
  prMySSLCipher = 1020,          // connection, set
  prMySSLCA = 1021,              // connection, set
  prMySSLKey = 1022,             // connection, set
  prMySSLCert = 1023,            // connection, set
  prMyMoreResults = 1025,        // record set, get: another result follows
  prMyPrevCount = 1026,          // command: rows affected reports the count before the last execution
  prMyParamPosition = 1027,      // command, set: appends a placeholder's 1-based position
  prMyKeepParamPositions = 1028, // command, set: positions survive a new text (true empties them)
  prMyUseHandler = 1029,         // record set: HANDLER statements
};

}  // namespace dac
