// TDKTransaction: one transaction over several server connections, run by
// the distributed-transaction coordinator. The members are kept as links (at
// most one per connection); starting begins a coordinator transaction and
// enlists every member in it, commit and rollback end it as a whole.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"

namespace dac {

class ITransaction;
class ITransactionDispenser;
class TDKConnection;

class TDKTransactionLink : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // Not owned.
  TDKConnection* GetConnection() const { return connection_; }
  void SetConnection(TDKConnection* connection) { connection_ = connection; }

 private:
  TDKConnection* connection_ = nullptr;
};

// Owns its links.
class TDKTransactionLinks : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The class of a new link.
  virtual const TMetaClass& GetTransactionLinkClass() const { return TDKTransactionLink::ClassInfo(); }

  int IndexOfConnection(const TDKConnection* connection) const;
  // The index of the connection's link, made when there is none.
  int AddConnection(TDKConnection* connection);
  // Frees the connection's link; false when it had none.
  bool RemoveConnection(TDKConnection* connection);
  void Clear() { links_.clear(); }
  int Count() const { return static_cast<int>(links_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  TDKTransactionLink* Items(int index) const;

 private:
  std::vector<std::unique_ptr<TDKTransactionLink>> links_;
};

class TDKTransaction : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TDKTransaction() = default;
  // An active transaction is ended by DefaultCloseAction (a rollback for
  // anything but commit); an error there goes to the application's
  // exception hook. Members no longer point here afterwards.
  ~TDKTransaction() override;
  TDKTransaction(const TDKTransaction&) = delete;
  TDKTransaction& operator=(const TDKTransaction&) = delete;

  // The class of the link list, made on first use.
  virtual const TMetaClass& GetTransactionLinksClass() const { return TDKTransactionLinks::ClassInfo(); }
  // Every member must be connected ("One of the connections in the
  // transaction is not active"), checked before the coordinator is asked.
  // A failing enlistment rolls back and passes the enlistment's error on.
  virtual void StartTransaction();
  virtual void Commit();
  virtual void Rollback();

  // Adds a link unless the connection has one; an active transaction
  // enlists it at once.
  bool AddConnection(TDKConnection* connection);
  // An active transaction unenlists the member first.
  bool RemoveConnection(TDKConnection* connection);
  // 33 the isolation level (set only while inactive), 34 DefaultCloseAction
  // (set only); other codes are an assertion failure.
  bool SetProp(int prop, const Variant& value);
  bool GetProp(int prop, Variant& value);
  // "Transaction must be active to perform this operation" or "Cannot
  // perform operation when transaction is active" when the state differs.
  void CheckState(bool must_be_active) const;

  bool GetActive() const { return active_; }
  TDKTransactionLinks& TransactionLinks();
  TDKIsolationLevel GetIsolationLevel() const { return isolation_level_; }
  // The running coordinator transaction, or null.
  ITransaction* GetTransaction() const { return transaction_.get(); }

 protected:
  virtual void StartMTSTransaction();
  virtual void CompleteMTSTransaction(bool commit);
  virtual void EnlistLink(TDKTransactionLink* link);
  virtual void UnEnlistLink(TDKTransactionLink* link);

 private:
  void Close();
  void RollbackAfterFailedEnlistment();

  bool active_ = false;
  std::unique_ptr<TDKTransactionLinks> links_;
  TDKIsolationLevel isolation_level_ = ilReadCommitted;
  uint8_t default_close_action_ = taCommit;
  std::shared_ptr<ITransactionDispenser> dispenser_;
  std::shared_ptr<ITransaction> transaction_;
};

}  // namespace dac
