#include "dac/core/server/connection.h"

#include "dac/core/pool/connection_pool.h"
#include "dac/core/server/da_errors.h"
#include "platform/clock.h"

namespace dac {

DAC_DEFINE_CLASS(TDKConnection, TObject, TMetaClass)

namespace {

// Marks the error loop busy for one scope, also when the scope raises.
class ProcessingError {
 public:
  explicit ProcessingError(bool& flag) : flag_(flag) { flag_ = true; }
  ~ProcessingError() { flag_ = false; }
  ProcessingError(const ProcessingError&) = delete;
  ProcessingError& operator=(const ProcessingError&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TDKConnection::Enlist(IDKTransactionSC*) { throw Exception("MS DTC transactions not supported"); }

void TDKConnection::UnEnlist(IDKTransactionSC*) { throw Exception("MS DTC transactions not supported"); }

void TDKConnection::DoError(Exception& error, bool& fail) {
  TConnLostCause cause = clUnknown;
  for (int32_t attempt = 0;;) {
    if (in_process_error_) return;
    bool reconnect = attempt > 0;
    bool reexecute = false;
    if (on_error_) {
      ProcessingError busy(in_process_error_);
      on_error_(error, fail, reconnect, reexecute, attempt, cause);
    }
    if (!reconnect) {
      // The hook gave up: tell the component the session is gone.
      if (attempt > 0 && !reconnected_ && on_disconnect_) NotifyDisconnect();
      return;
    }
    TryReconnect(attempt);
    if (reconnected_ && reexecute) throw EFailOver(cause);
    if (reconnected_) return;
    ++attempt;
  }
}

void TDKConnection::TryReconnect(int32_t attempt) {
  reconnected_ = false;
  ProcessingError busy(in_process_error_);
  if (attempt == 0) {
    try {
      Disconnect();
    } catch (const std::exception&) {
    }
  }
  try {
    Connect("");
    reconnected_ = true;
    if (on_reconnect_) on_reconnect_();
  } catch (const std::exception&) {
  }
}

void TDKConnection::NotifyDisconnect() {
  ProcessingError busy(in_process_error_);
  // The component's disconnect only closes what it believes is open.
  connected_ = true;
  try {
    on_disconnect_();
  } catch (const std::exception&) {
  }
  connected_ = false;
}

void TDKConnection::Connect(const std::string&) {
  connect_time_ = plat::ProcessClock().TickCount64();
  is_valid_ = true;
}

void TDKConnection::ReturnToPool() {
  DAC_ASSERT(pool_ != nullptr, "Connection has no pool");
  on_error_ = nullptr;
  component_ = nullptr;
  // The pool may drop its last other owner, or this connection, while it takes it back.
  const std::shared_ptr<TDKConnectionPool> pool = pool_;
  pool->PutConnection(this);
}

bool TDKConnection::SetProp(int prop, const Variant& value) {
  switch (prop) {
    case prAutoCommit:
      auto_commit_ = value.AsBoolean();
      return true;
    case prConvertEOL:
      convert_eol_ = value.AsBoolean();
      return true;
    case prDisconnectedMode:
      disconnected_mode_ = value.AsBoolean();
      return true;
    default:
      DAC_UNKNOWN_PROP(prop);
  }
}

bool TDKConnection::GetProp(int prop, Variant& value) {
  if (prop != prUsername) DAC_UNKNOWN_PROP(prop);
  value = username_;
  return true;
}

void TDKConnection::SetConnected(bool value) {
  if (value)
    Connect("");
  else
    Disconnect();
}

}  // namespace dac
