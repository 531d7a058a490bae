#include "dac/mysql/provider/my_connection_pool.h"

#include "dac/mysql/client/api/mysql_api_objects.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/critical_section.h"

namespace dac {

DAC_DEFINE_CLASS(TMyConnectionParameters, TDKConnectionParameters, ::dac::TMetaClassOf<TMyConnectionParameters>)
DAC_DEFINE_CLASS(TMyLocalConnectionPool, TDKLocalConnectionPool, ::dac::TMetaClass)
DAC_DEFINE_CLASS(TMyConnectionPoolManager, TDKConnectionPoolManager, ::dac::TMetaClass)

namespace {

// The process's manager and the lock that makes it once. The client API
// objects are made first, so they outlive the manager, whose last idle
// connections close through them when the process ends.
struct ManagerSlot {
  ManagerSlot() { MakeMySQLAPIs(); }
  plat::CriticalSection lock;
  std::unique_ptr<TMyConnectionPoolManager> manager;
};

ManagerSlot& Slot() {
  static ManagerSlot slot;
  return slot;
}

}  // namespace

// ---- parameters ----

bool TMyConnectionParameters::Equals(const TDKConnectionParameters* other) const {
  if (!TDKConnectionParameters::Equals(other)) return false;
  const auto* my = dynamic_cast<const TMyConnectionParameters*>(other);
  if (!my) return true;
  // The database as written: the server tells names apart by case.
  const bool same = Database == my->Database && Port == my->Port && IOHandler == my->IOHandler &&
                    ConnectionTimeout == my->ConnectionTimeout && IsolationLevel == my->IsolationLevel &&
                    Compress == my->Compress && UseUnicode == my->UseUnicode && Charset == my->Charset &&
                    Protocol == my->Protocol && Embedded == my->Embedded && NumericType == my->NumericType &&
                    Direct == my->Direct;
  if (!same || Protocol != TMyProtocol::mpSSL) return same;
  return SSLCipher == my->SSLCipher && SSLCA == my->SSLCA && SSLKey == my->SSLKey && SSLCert == my->SSLCert;
}

void TMyConnectionParameters::AssignTo(TPersistent* dest) const {
  if (auto* target = dynamic_cast<TMyConnectionParameters*>(dest)) {
    target->Database = Database;
    target->Port = Port;
    target->IOHandler = IOHandler;
    target->ConnectionTimeout = ConnectionTimeout;
    target->IsolationLevel = IsolationLevel;
    target->Compress = Compress;
    target->UseUnicode = UseUnicode;
    target->Charset = Charset;
    target->Protocol = Protocol;
    target->Embedded = Embedded;
    target->NumericType = NumericType;
    target->Direct = Direct;
    target->SSLCipher = SSLCipher;
    target->SSLCA = SSLCA;
    target->SSLKey = SSLKey;
    target->SSLCert = SSLCert;
  }
  TDKConnectionParameters::AssignTo(dest);
}

// ---- pool ----

TMyLocalConnectionPool::TMyLocalConnectionPool(TDKConnectionPoolManager* manager,
                                               const TDKConnectionParameters& parameters)
    : TDKLocalConnectionPool(manager, parameters) {}

std::unique_ptr<TDKConnection> TMyLocalConnectionPool::CreateNewConnector() {
  // A pool made for plain parameters connects with the MySQL defaults.
  const auto* given = dynamic_cast<const TMyConnectionParameters*>(&ConnectionParameters());
  const TMyConnectionParameters defaults;
  const TMyConnectionParameters& p = given ? *given : defaults;

  auto connection = std::make_unique<TMySQLConnection>();
  connection->SetProp(prMyDatabase, Variant(p.Database));
  connection->SetProp(prMyConnectionTimeout, Variant(p.ConnectionTimeout));
  connection->SetProp(prMyPort, Variant(p.Port));
  connection->SetProp(prMyIsolationLevel, Variant(static_cast<int32_t>(p.IsolationLevel)));
  connection->SetIOHandler(p.IOHandler);
  connection->SetAPI(MySQLAPIFor(p.Embedded, p.Direct));
  connection->SetProp(prMyCompress, Variant(p.Compress));
  connection->SetProp(prMyUseUnicode, Variant(p.UseUnicode));
  connection->SetProp(prMyCharset, Variant(p.Charset));
  connection->SetProp(prMyProtocol, Variant(static_cast<int32_t>(p.Protocol)));
  connection->SetProp(prMyNumericType, Variant(static_cast<int32_t>(p.NumericType)));
  connection->SetProp(prMySSLCipher, Variant(p.SSLCipher));
  connection->SetProp(prMySSLCA, Variant(p.SSLCA));
  connection->SetProp(prMySSLKey, Variant(p.SSLKey));
  connection->SetProp(prMySSLCert, Variant(p.SSLCert));

  const TDKConnectionParameters& login = ConnectionParameters();
  StartWait();
  try {
    connection->SetUsername(login.Username);
    connection->SetPassword(login.Password);
    connection->SetServer(login.Server);
    connection->Connect("");
  } catch (...) {
    StopWait();
    throw;
  }
  StopWait();
  return connection;
}

// ---- manager ----

TMyConnectionPoolManager::~TMyConnectionPoolManager() { Shutdown(); }

std::shared_ptr<TDKConnectionPool> TMyConnectionPoolManager::CreateDKConnectionPool(
    const TDKConnectionParameters& parameters) {
  return std::make_shared<TMyLocalConnectionPool>(this, parameters);
}

TDKConnection* TMyConnectionPoolManager::GetConnection(const TDKConnectionParameters& parameters) {
  ManagerSlot& slot = Slot();
  TMyConnectionPoolManager* manager;
  {
    plat::CriticalSectionGuard guard(slot.lock);
    if (!slot.manager) {
      auto made = std::make_unique<TMyConnectionPoolManager>();
      made->Init();
      slot.manager = std::move(made);
    }
    manager = slot.manager.get();
  }
  return manager->InternalGetConnection(parameters);
}

// The manager, once made, lives until the process ends: no lock is needed
// while it clears.
void TMyConnectionPoolManager::Clear() {
  ManagerSlot& slot = Slot();
  TMyConnectionPoolManager* manager;
  {
    plat::CriticalSectionGuard guard(slot.lock);
    manager = slot.manager.get();
  }
  if (manager) manager->InternalClear();
}

}  // namespace dac
