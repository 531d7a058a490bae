// TDKCommand: one SQL statement bound to a server connection, with the
// parameters handed to it. A provider executes it and keeps its cursor
// state; the base only stores what the components set.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dac/core/server/param_desc.h"
#include "dac/core/server/server_types.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TComponent;
class TDKConnection;

// Called by the provider after each execution with whether it succeeded.
using TAfterExecuteProc = std::function<void(bool result)>;

class TDKCommand : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TDKCommand() = default;
  TDKCommand(const TDKCommand&) = delete;
  TDKCommand& operator=(const TDKCommand&) = delete;

  // The base moves the cursor state to csPrepared, and back to csInactive.
  virtual void Prepare() { SetCursorState(csPrepared); }
  virtual void Unprepare() { SetCursorState(csInactive); }
  virtual bool GetPrepared() const = 0;
  // Runs the statement iters times (1 for a plain execution).
  virtual void Execute(int iters) = 0;
  virtual void SetConnection(TDKConnection* value) { connection_ = value; }
  virtual void SetSQL(const std::string& value) { sql_ = value; }
  virtual TCursorState GetCursorState() const = 0;
  virtual void SetCursorState(TCursorState value) = 0;
  // The class of the parameter descriptors (TParamDesc in the base).
  virtual const TMetaClass& GetParamDescType() const { return TParamDesc::ClassInfo(); }
  // A new descriptor of that class, appended to the parameters.
  virtual TParamDesc* AddParam();
  // True for a handled code; an unknown code is an assertion failure.
  virtual bool SetProp(int prop, const Variant& value);
  virtual bool GetProp(int prop, Variant& value);

  TParamDescs& Params() { return params_; }
  void ClearParams() { params_.Clear(); }
  void DeleteParam(int index) { params_.Delete(index); }
  int GetParamCount() const { return params_.Count(); }
  TParamDesc* GetParam(int index) const { return params_.Items(index); }
  TParamDesc* FindParam(std::string_view name) const { return params_.FindParam(name); }

  // The component the statement works for; named in every error it raises.
  TComponent* GetComponent() const { return component_; }
  void SetComponent(TComponent* component) { component_ = component; }
  TDKConnection* GetConnection() const { return connection_; }
  const std::string& GetSQL() const { return sql_; }
  bool GetAutoCommit() const { return auto_commit_; }
  bool GetExecuting() const { return executing_.load(); }
  void SetAfterExecute(TAfterExecuteProc hook) { after_execute_ = std::move(hook); }
  TCompressBlobMode GetCompressBlobMode() const { return compress_blob_mode_; }
  void SetCompressBlobMode(TCompressBlobMode value) { compress_blob_mode_ = value; }

 protected:
  TComponent* component_ = nullptr;
  TDKConnection* connection_ = nullptr;
  std::string sql_;
  TParamDescs params_;
  bool auto_commit_ = false;
  // Read by other threads waiting for the statement.
  std::atomic<bool> executing_ = false;
  TAfterExecuteProc after_execute_;
  TCompressBlobMode compress_blob_mode_ = cbNone;
};

}  // namespace dac
