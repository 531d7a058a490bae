#include "dac/core/server/transaction.h"

#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/server/new_instance.h"
#include "dac/core/server/transaction_coordinator.h"
#include "dac/framework/classes/application.h"
#include "dac/framework/classes/exceptions.h"

namespace dac {

DAC_DEFINE_CLASS(TDKTransactionLink, TObject, TMetaClassOf<TDKTransactionLink>)
DAC_DEFINE_CLASS(TDKTransactionLinks, TObject, TMetaClassOf<TDKTransactionLinks>)
DAC_DEFINE_CLASS(TDKTransaction, TObject, TMetaClassOf<TDKTransaction>)

namespace {

void CheckResult(HResult result, const char* call) {
  if (Failed(result))
    throw EOleSysError(Format("%s failed (0x%08X)", call, static_cast<uint32_t>(result)),
                       static_cast<uint32_t>(result));
}

}  // namespace

int TDKTransactionLinks::IndexOfConnection(const TDKConnection* connection) const {
  for (size_t i = 0; i < links_.size(); ++i)
    if (links_[i]->GetConnection() == connection) return static_cast<int>(i);
  return -1;
}

int TDKTransactionLinks::AddConnection(TDKConnection* connection) {
  const int index = IndexOfConnection(connection);
  if (index >= 0) return index;
  std::unique_ptr<TDKTransactionLink> link = NewInstance<TDKTransactionLink>(GetTransactionLinkClass());
  link->SetConnection(connection);
  links_.push_back(std::move(link));
  return Count() - 1;
}

bool TDKTransactionLinks::RemoveConnection(TDKConnection* connection) {
  const int index = IndexOfConnection(connection);
  if (index < 0) return false;
  links_.erase(links_.begin() + index);
  return true;
}

TDKTransactionLink* TDKTransactionLinks::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return links_[static_cast<size_t>(index)].get();
}

TDKTransaction::~TDKTransaction() {
  try {
    Close();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  if (!links_) return;
  for (int i = 0; i < links_->Count(); ++i) {
    TDKConnection* connection = links_->Items(i)->GetConnection();
    if (connection && connection->GetTransaction() == this) connection->SetTransaction(nullptr);
  }
}

void TDKTransaction::Close() {
  if (!active_) return;
  // The derived parts are gone: the base's own steps end the transaction.
  if (default_close_action_ == taCommit)
    TDKTransaction::Commit();
  else
    TDKTransaction::Rollback();
}

TDKTransactionLinks& TDKTransaction::TransactionLinks() {
  if (!links_) links_ = NewInstance<TDKTransactionLinks>(GetTransactionLinksClass());
  return *links_;
}

void TDKTransaction::CheckState(bool must_be_active) const {
  if (active_ == must_be_active) return;
  throw Exception(LoadResString(must_be_active ? STransactionMustBeActive : SInvalidTransactionState));
}

void TDKTransaction::StartTransaction() {
  CheckState(false);
  TDKTransactionLinks& links = TransactionLinks();
  for (int i = 0; i < links.Count(); ++i)
    if (!links.Items(i)->GetConnection()->GetConnected())
      throw Exception(LoadResString(SConnectionInTransactionNotActive));
  StartMTSTransaction();
  active_ = true;
  try {
    for (int i = 0; i < links.Count(); ++i) EnlistLink(links.Items(i));
  } catch (...) {
    RollbackAfterFailedEnlistment();
    throw;
  }
}

void TDKTransaction::RollbackAfterFailedEnlistment() {
  // The enlistment's error is the one the caller needs; a failing rollback
  // must not hide it.
  try {
    Rollback();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
}

void TDKTransaction::Commit() {
  CheckState(true);
  CompleteMTSTransaction(true);
}

void TDKTransaction::Rollback() {
  CheckState(true);
  CompleteMTSTransaction(false);
}

void TDKTransaction::StartMTSTransaction() {
  InitMSDTC();
  if (!dispenser_) {
    std::shared_ptr<ITransactionDispenser> dispenser;
    CheckResult(DtcGetTransactionManagerEx(dispenser), "DtcGetTransactionManagerEx");
    DAC_ASSERT(dispenser != nullptr, "The coordinator gave no dispenser");
    dispenser_ = std::move(dispenser);
  }
  int32_t level = 0;
  switch (isolation_level_) {
    case ilReadCommitted:
      level = kIsolationReadCommitted;
      break;
    case ilSerializable:
      level = kIsolationSerializable;
      break;
    default:
      AssertionFailed("Unknown isolation level", __FILE__, __LINE__);
  }
  std::shared_ptr<ITransaction> transaction;
  CheckResult(dispenser_->BeginTransaction(level, transaction), "BeginTransaction");
  DAC_ASSERT(transaction != nullptr, "The coordinator began no transaction");
  transaction_ = std::move(transaction);
}

void TDKTransaction::CompleteMTSTransaction(bool commit) {
  DAC_ASSERT(transaction_ != nullptr, "No coordinator transaction");
  active_ = false;
  // Released also when ending it fails: the coordinator has dropped it either way.
  const std::shared_ptr<ITransaction> transaction = std::move(transaction_);
  if (commit)
    CheckResult(transaction->Commit(), "Commit");
  else
    CheckResult(transaction->Abort(), "Abort");
}

void TDKTransaction::EnlistLink(TDKTransactionLink* link) {
  link->GetConnection()->SetTransaction(this);
  link->GetConnection()->Enlist(transaction_.get());
}

void TDKTransaction::UnEnlistLink(TDKTransactionLink* link) {
  link->GetConnection()->UnEnlist(transaction_.get());
  link->GetConnection()->SetTransaction(nullptr);
}

bool TDKTransaction::AddConnection(TDKConnection* connection) {
  DAC_ASSERT(connection != nullptr, "No connection to add");
  TDKTransactionLinks& links = TransactionLinks();
  TDKTransactionLink* link = links.Items(links.AddConnection(connection));
  if (active_) EnlistLink(link);
  return true;
}

bool TDKTransaction::RemoveConnection(TDKConnection* connection) {
  TDKTransactionLinks& links = TransactionLinks();
  const int index = links.IndexOfConnection(connection);
  if (index < 0) return false;
  if (active_) UnEnlistLink(links.Items(index));
  // A member of a finished transaction still points here; a removed one must not.
  if (connection->GetTransaction() == this) connection->SetTransaction(nullptr);
  return links.RemoveConnection(connection);
}

bool TDKTransaction::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prIsolationLevel:
      CheckState(false);
      isolation_level_ = static_cast<TDKIsolationLevel>(value.AsUInt8());
      return true;
    case prDefaultCloseAction:
      default_close_action_ = value.AsUInt8();
      return true;
    default:
      DAC_UNKNOWN_PROP(prop);
  }
}

bool TDKTransaction::GetProp(int prop, Variant& value) {
  if (prop != prIsolationLevel) DAC_UNKNOWN_PROP(prop);
  value = static_cast<int32_t>(isolation_level_);
  return true;
}

}  // namespace dac
