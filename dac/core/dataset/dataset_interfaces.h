// TDADataSetInterfaces: the dataset component as the connection, the SQL
// component, its macros, the update object and the SQL monitor reach it.
// Each answer is the dataset's own step (dataset_interfaces.cpp); only
// TCustomDADataSet derives from it.
#pragma once

#include <cstdint>
#include <string>

#include "dac/core/connection_client.h"
#include "dac/core/server/server_types.h"
#include "dac/core/sql_owner.h"
#include "dac/core/trace/traced_component.h"

namespace dac {

class TCustomDADataSet;

class TDADataSetInterfaces : public IDAConnectionClient, public IDASQLOwner, public ITracedComponent {
 protected:
  TDADataSetInterfaces() = default;
  ~TDADataSetInterfaces() = default;

 private:
  TCustomDADataSet& Self();
  const TCustomDADataSet& Self() const;

  // ---- IDAConnectionClient ----
  TDAClientKind ClientKind() const override { return dckDataSet; }
  TCustomDAConnection* ClientConnection() const override;
  void BindServerConnection(TDKConnection* connection) override;
  void DetachFromConnection() override;
  bool ClientIsQuery() const override;
  bool ClientPrepared() const override;
  bool ClientExecuting() const override;
  bool ClientFetchAll() const override;
  bool ClientFetched() const override;
  bool ClientActive() const override;
  bool ClientCachedUpdates() const override;
  void ClientApplyUpdates() override;
  void ClientCommitUpdates() override;
  // The rows applied in the transaction stay applied, or count as pending again.
  void ClientTransactionEnded(bool committed) override;

  // ---- IDASQLOwner ----
  bool OwnerActive() const override;
  std::string OwnerSQLText() const override;
  std::string OwnerSavedSQL() const override;
  void SetOwnerSavedSQL(const std::string& value) override;
  char OwnerLeftQuote() const override;
  char OwnerRightQuote() const override;
  TCustomDASQL* OwnerCommand() const override;
  std::string OwnerFinalSQL() override;
  void OwnerScanMacros() override;
  void OwnerAssembleSQL() override;
  void OwnerDisconnect() override;
  // The SQL text changed: closed, unprepared, its field definitions, tables
  // and saved SQL forgotten.
  void OwnerSQLChanged() override;
  bool OwnerPerformSQL(const std::string& sql, TStatementTypes statement_types) override;
  TCustomDAUpdateSQL* OwnerUpdateObject() const override;
  void ClearOwnerUpdateObject() override;

  // ---- ITracedComponent ----
  TComponent* GetTraceParent() const override;
  bool GetTraceDebug() const override;
  int32_t GetTraceRowsAffected() const override;
};

}  // namespace dac
