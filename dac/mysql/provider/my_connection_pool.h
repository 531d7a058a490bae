// Pooled MySQL connections: the parameters that carry every setting of a
// TMySQLConnection, the local pool that makes and connects such connections,
// and the one pool manager of the process, made on first use.
//
// A connection component fills a TMyConnectionParameters and asks
// TMyConnectionPoolManager::GetConnection for a connection; it gives the
// connection back with ReturnToPool.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dac/core/pool/connection_pool_manager.h"
#include "dac/core/pool/local_connection_pool.h"
#include "dac/mysql/provider/my_connection.h"
#include "dac/store/record/record_set_types.h"

namespace dac {

class TMyIOHandler;

class TMyConnectionParameters : public TDKConnectionParameters {
  DAC_DECLARE_CLASS();

 public:
  TMyConnectionParameters() = default;

  // The inherited comparison, then (for MySQL parameters) the database and
  // the character set exactly, the other settings equal, and the four TLS
  // settings only under the TLS protocol (no other protocol uses them).
  bool Equals(const TDKConnectionParameters* other) const override;

  std::string Database;
  int32_t Port = 0;                   // 0: the client API's default
  TMyIOHandler* IOHandler = nullptr;  // not owned; compared by identity
  int32_t ConnectionTimeout = 15;     // seconds
  TMyIsolationLevel IsolationLevel = TMyIsolationLevel::ilReadCommitted;
  bool Compress = false;
  bool UseUnicode = false;
  std::string Charset;
  TMyProtocol Protocol = TMyProtocol::mpDefault;
  bool Embedded = false;  // the embedded server; before Direct
  TDANumericType NumericType = ntFloat;
  bool Direct = true;  // the built-in protocol, else the client library
  std::string SSLCipher;
  std::string SSLCA;
  std::string SSLKey;
  std::string SSLCert;

 protected:
  // Copies the MySQL settings into other MySQL parameters, then the
  // inherited ones.
  void AssignTo(TPersistent* dest) const override;
};

class TMyLocalConnectionPool : public TDKLocalConnectionPool {
  DAC_DECLARE_CLASS();

 public:
  TMyLocalConnectionPool(TDKConnectionPoolManager* manager, const TDKConnectionParameters& parameters);

 protected:
  // A TMySQLConnection with the pool's settings, connected; raises the
  // server's error when it cannot connect.
  std::unique_ptr<TDKConnection> CreateNewConnector() override;
};

class TMyConnectionPoolManager : public TDKConnectionPoolManager {
  DAC_DECLARE_CLASS();

 public:
  TMyConnectionPoolManager() = default;
  ~TMyConnectionPoolManager() override;

  std::shared_ptr<TDKConnectionPool> CreateDKConnectionPool(const TDKConnectionParameters& parameters) override;

  // A connection from the process's manager, which is made (and starts
  // validating) on the first call. The caller gives it back with
  // ReturnToPool.
  static TDKConnection* GetConnection(const TDKConnectionParameters& parameters);
  // Clears the process's manager when there is one; nothing otherwise.
  static void Clear();
};

}  // namespace dac
