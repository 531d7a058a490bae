// The dataset component's answers to its connection, its SQL component,
// their macros, its update object and the SQL monitor: its own steps.
#include "dac/core/dataset/dataset_interfaces.h"

#include "dac/core/connection_component.h"
#include "dac/core/dataset/dataset_component.h"
#include "dac/core/server/connection.h"

namespace dac {

TCustomDADataSet& TDADataSetInterfaces::Self() { return static_cast<TCustomDADataSet&>(*this); }
const TCustomDADataSet& TDADataSetInterfaces::Self() const { return static_cast<const TCustomDADataSet&>(*this); }

// ---- IDAConnectionClient ----

TCustomDAConnection* TDADataSetInterfaces::ClientConnection() const { return Self().GetConnection(); }
void TDADataSetInterfaces::DetachFromConnection() { Self().SetConnection(nullptr); }
bool TDADataSetInterfaces::ClientIsQuery() const { return Self().GetIsQuery(); }
bool TDADataSetInterfaces::ClientPrepared() const { return Self().GetPrepared(); }
bool TDADataSetInterfaces::ClientExecuting() const { return Self().Executing(); }
bool TDADataSetInterfaces::ClientFetchAll() const { return Self().GetFetchAll(); }
bool TDADataSetInterfaces::ClientFetched() const { return Self().Fetched(); }
bool TDADataSetInterfaces::ClientActive() const { return Self().GetActive(); }
bool TDADataSetInterfaces::ClientCachedUpdates() const { return Self().GetCachedUpdates(); }
void TDADataSetInterfaces::ClientApplyUpdates() { Self().ApplyUpdates(); }
void TDADataSetInterfaces::ClientCommitUpdates() { Self().CommitUpdates(); }

// ---- IDASQLOwner ----

bool TDADataSetInterfaces::OwnerActive() const { return Self().GetActive(); }
std::string TDADataSetInterfaces::OwnerSQLText() const { return Self().SQL().Text(); }
char TDADataSetInterfaces::OwnerLeftQuote() const { return Self().LeftQuote(); }
char TDADataSetInterfaces::OwnerRightQuote() const { return Self().RightQuote(); }
TCustomDASQL* TDADataSetInterfaces::OwnerCommand() const { return Self().GetCommand(); }
std::string TDADataSetInterfaces::OwnerFinalSQL() { return Self().GetFinalSQL(); }
void TDADataSetInterfaces::OwnerScanMacros() { Self().ScanMacros(&Self()); }
void TDADataSetInterfaces::OwnerAssembleSQL() { Self().AssembleSQL(); }
void TDADataSetInterfaces::OwnerDisconnect() { Self().Disconnect(); }
TCustomDAUpdateSQL* TDADataSetInterfaces::OwnerUpdateObject() const { return Self().GetUpdateObject(); }
void TDADataSetInterfaces::ClearOwnerUpdateObject() { Self().SetUpdateObject(nullptr); }

bool TDADataSetInterfaces::OwnerPerformSQL(const std::string& sql, TStatementTypes statement_types) {
  return Self().PerformSQL(sql, statement_types);
}

// ---- ITracedComponent ----

TComponent* TDADataSetInterfaces::GetTraceParent() const { return Self().UsedConnection(); }
bool TDADataSetInterfaces::GetTraceDebug() const { return Self().GetDebug(); }
int32_t TDADataSetInterfaces::GetTraceRowsAffected() const { return Self().RowsAffected(); }

}  // namespace dac
