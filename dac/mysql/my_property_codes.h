// The property codes of the MySQL provider's server objects (1000 and up;
// the generic ones are in dac/core/server_types.h).
#pragma once

namespace dac {

enum : int {
  prMyDatabase = 1000,           // connection: current database (string)
  prMyConnectionTimeout = 1001,  // connection: seconds
  prMyPort = 1002,               // connection
  prMyLastInsertId = 1004,       // connection, get: 64-bit
  prMyCompress = 1007,           // connection: compressed protocol
  prMyIsolationLevel = 1008,     // connection: TMyIsolationLevel ordinal
  prMyCharset = 1009,            // connection, set
  prMyAPI = 1010,                // connection, set: the TMySQLAPI object
  prMyProtocol = 1011,           // connection, set: TMyProtocol ordinal
  prMyNumericType = 1013,        // connection, set: TDANumericType ordinal
  prMyUseUnicode = 1018,         // connection
  prMyEmbParams = 1019,          // connection, set: embedded-server parameters, one a line
  prMySSLCipher = 1020,          // connection, set
  prMySSLCA = 1021,              // connection, set
  prMySSLKey = 1022,             // connection, set
  prMySSLCert = 1023,            // connection, set
};

}  // namespace dac
