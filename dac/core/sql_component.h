// TCustomDASQL: the SQL command component. It runs one statement that
// returns no rows on a connection component through the provider's command.
// It owns the SQL text, the parameters parsed out of it (":name" becomes
// "?") and the macros referenced in it ("&name" is expanded), assembles the
// final SQL, prepares and executes the command (reporting to the SQL monitor
// and running again after a restored connection), and reads output
// parameters back when the command reports that it has finished.
//
// Every dataset keeps one such component for its SQL, parameters and
// macros; the dataset then owns the command and several steps are its own
// (IDASQLOwner).
//
//   sql->SetConnection(connection);
//   sql->SQL().SetText("UPDATE t SET a = :a WHERE id = :id");
//   sql->ParamByName("a")->SetAsInteger(1);
//   sql->ParamByName("id")->SetAsInteger(7);
//   sql->Execute();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "dac/core/connection_client.h"
#include "dac/core/trace/traced_component.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TCustomDAConnection;
class TDAParam;
class TDAParams;
class TDKCommand;
class TFiler;
class TMacro;
class TMacros;
class TParser;
class IDASQLOwner;

using TAfterExecuteEvent = std::function<void(TObject* sender, bool result)>;

class TCustomDASQL : public TComponent, public IDAConnectionClient, public ITracedComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomDASQL(TComponent* owner);
  ~TCustomDASQL() override;
  // The parameters, the macros and (unless a dataset owns the component)
  // the command.
  void Init() override;

  // ---- the command ----
  // A command of the used connection's class, or none without a connection.
  virtual void CreateICommand();
  // Binds the command: its server connection, SQL, AutoCommit, after-execute
  // hook and component; the parameter descriptions unless the command makes
  // its own. A dataset hands its record set's command here (not owned).
  virtual void SetICommand(TDKCommand* value);
  TDKCommand* GetICommand() const { return icommand_; }
  // Keeps an owned command of the used connection's class; replaces any other.
  void CheckICommand();

  // ---- the connection ----
  virtual TCustomDAConnection* UsedConnection() const { return connection_; }
  TCustomDAConnection* GetConnection() const { return connection_; }
  // Unprepares and leaves the old connection, registers at the new one.
  void SetConnection(TCustomDAConnection* value);
  virtual void CheckConnection();
  // Takes the connection into use: "Connection is not defined" without one;
  // no_connect_check counts a user (InternalConnect), else only connects.
  virtual void BeginConnection(bool no_connect_check);
  // Gives the connection back.
  virtual void EndConnection();
  // The owning dataset's disconnect, else UnPrepare.
  virtual void Disconnect();

  // ---- SQL text ----
  TStrings& SQL() { return *sql_; }
  const TStrings& SQL() const { return *sql_; }
  // Assigns only a different text (one change).
  void SetSQL(const TStrings& value);
  // The SQL text without trailing blanks and breaks, its macros expanded.
  virtual std::string GetFinalSQL();
  // Makes the final SQL and, with ParamCheck, the parameters of its
  // references (keeping the values of the names that stay); hands both to the command.
  virtual void AssembleSQL();
  // The SQL handed to the command last.
  const std::string& FinalSQL() const { return final_sql_; }
  // Each ":name" becomes "?" and a new parameter in params (one per
  // reference), or rename_prefix + name without params. Colons in strings
  // and comments, "::", ":=" and a colon before a blank stay.
  virtual std::string ParseSQL(const std::string& sql, TDAParams* params, const std::string& rename_prefix);
  std::string ParseSQL(TDAParams* params) { return ParseSQL(final_sql_, params, ""); }
  // A macro's value or activity changed: the SQL is assembled again without a new macro scan.
  void MacrosChanged();

  // ---- parameters and macros ----
  TDAParams& Params() const { return *params_; }
  // Takes the values of the parameters of the same names.
  void SetParams(const TDAParams& value);
  int ParamCount() const;
  TDAParam* FindParam(const std::string& name) const;
  TDAParam* ParamByName(const std::string& name) const;
  Variant GetParamValues(const std::string& names) const;
  void SetParamValues(const std::string& names, const Variant& values);
  TMacros& Macros() const { return *macros_; }
  void SetMacros(const TMacros& value);
  int MacroCount() const;
  TMacro* FindMacro(const std::string& name) const;
  TMacro* MacroByName(const std::string& name) const;
  bool GetParamCheck() const { return param_check_; }
  // True also reassembles the SQL.
  void SetParamCheck(bool value);
  // Rebuilds the parameters from the command's descriptions.
  virtual void CreateParams();
  // The parameters to the command's descriptions, with their values when
  // write_value; surplus descriptions go.
  virtual void WriteParams(bool write_value);
  // Output values back from the command's descriptions.
  virtual void ReadParams();

  // ---- running ----
  bool GetPrepared() const;
  void SetPrepared(bool value);
  virtual void Prepare();
  virtual void UnPrepare();
  void Execute() { Execute(1); }
  // Runs the statement iters times; nothing while it is executing.
  virtual void Execute(int iters);
  bool Executing() const;
  // Waits while the command executes, at most timeout_seconds (0: no
  // limit); true when it is done. For another thread than the executing one.
  bool WaitExecuting(int timeout_seconds = 0) const;
  int32_t RowsAffected() const;

  // ---- settings ----
  bool GetDebug() const { return debug_; }
  void SetDebug(bool value) { debug_ = value; }
  bool GetAutoCommit() const { return auto_commit_; }
  void SetAutoCommit(bool value);
  const TAfterExecuteEvent& GetAfterExecute() const { return after_execute_; }
  void SetAfterExecute(TAfterExecuteEvent handler) { after_execute_ = std::move(handler); }
  // Keeps the statements of this component away from the SQL monitor.
  bool GetLockDebug() const { return lock_debug_; }
  void SetLockDebug(bool value) { lock_debug_ = value; }
  bool GetDesignCreate() const { return design_create_; }
  void SetDesignCreate(bool value) { design_create_ = value; }
  // While set, an SQL change hands the text to the command unparsed, or
  // does not scan the macros again.
  void SetRawText(bool value) { raw_text_ = value; }
  void SetNoMacroScan(bool value) { no_macro_scan_ = value; }
  // The dataset this component serves, or none.
  IDASQLOwner* GetDataSet() const { return data_set_; }
  void SetDataSet(IDASQLOwner* value) { data_set_ = value; }
  // A new, empty parameter collection of this component's class.
  virtual std::unique_ptr<TDAParams> CreateParamsObject();

  void Loaded() override;
  // "ParamData" and "MacroData": the collections, filed whole.
  void DefineProperties(TFiler& filer) override;

  // ---- IDAConnectionClient ----
  TDAClientKind ClientKind() const override { return dckSQL; }
  TCustomDAConnection* ClientConnection() const override { return connection_; }
  void BindServerConnection(TDKConnection* connection) override;
  void DetachFromConnection() override { SetConnection(nullptr); }
  bool ClientIsQuery() const override { return true; }
  bool ClientPrepared() const override { return GetPrepared(); }
  bool ClientExecuting() const override { return Executing(); }
  bool ClientFetchAll() const override { return true; }
  bool ClientFetched() const override { return true; }
  bool ClientActive() const override { return false; }
  bool ClientCachedUpdates() const override { return false; }
  void ClientApplyUpdates() override {}
  void ClientCommitUpdates() override {}
  void ClientTransactionEnded(bool) override {}

  // ---- ITracedComponent ----
  TComponent* GetTraceParent() const override;
  bool GetTraceDebug() const override { return debug_; }
  int32_t GetTraceRowsAffected() const override { return RowsAffected(); }

 protected:
  // Unprepares and leaves the connection.
  void BeforeDestruction() override;
  // To another SQL component: connection, ParamCheck, SQL, macros,
  // parameter values, Debug, AutoCommit.
  void AssignTo(TPersistent* dest) const override;

  virtual void ConnectChange(TObject* sender, bool connecting);
  virtual void InternalPrepare();
  virtual void InternalUnPrepare();
  // The command's run, once more after a lost connection was restored for it.
  virtual void InternalExecute(int iters);
  // The command's report: output parameters, the connection's implicit
  // transaction in disconnected mode, the connection given back, AfterExecute.
  virtual void DoAfterExecute(bool result);
  // Consumes what follows a colon (the lexeme just read) and writes its
  // replacement: "?", rename_prefix + name, or the text as it is.
  virtual void ParseSQLParam(std::string& builder, TParser& parser, TDAParams* params, char left_quote,
                             char right_quote, const std::string& rename_prefix);
  // The lexer for ParseSQL; a provider makes its own.
  virtual std::unique_ptr<TParser> CreateParser(const std::string& sql);
  virtual void SQLChanged(TObject* sender);
  virtual void ScanMacros();

 private:
  void FreeICommand();
  // Whether the command describes its parameters itself.
  bool CommandMakesParams() const;
  bool Traced() const;
  void AssembleParams();
  bool Designing() const { return ComponentState().Contains(csDesigning); }

  TCustomDAConnection* connection_ = nullptr;
  std::unique_ptr<TStringList> sql_;
  std::unique_ptr<TDAParams> params_;
  bool param_check_ = true;
  std::unique_ptr<TMacros> macros_;
  bool debug_ = false;
  TAfterExecuteEvent after_execute_;
  bool auto_commit_ = false;
  TDKCommand* icommand_ = nullptr;
  IDASQLOwner* data_set_ = nullptr;
  bool design_create_ = false;
  bool raw_text_ = false;
  bool no_macro_scan_ = false;
  std::string final_sql_;
  bool lock_debug_ = false;
  // Where this component registered.
  TClientRegistration registration_{this, [this](TObject* sender, bool connecting) { ConnectChange(sender, connecting); }};
  // Set when the command reports during an Execute.
  bool reported_ = false;
  // Last: the command goes before the parameters whose objects it refers to.
  std::unique_ptr<TDKCommand> owned_command_;
};

// The filed properties "MacroData" and "ParamData", in that order, written
// when they differ from the ancestor's (without one: when not empty).
void DefineParamsAndMacros(TFiler& filer, TDAParams& params, TMacros& macros, const TDAParams* ancestor_params,
                           const TMacros* ancestor_macros);

}  // namespace dac
