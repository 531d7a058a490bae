// TCustomDASQLMonitor: the component that traces what the data-access
// components do (statements prepared, unprepared and executed with their
// parameters, connects, disconnects, transactions, errors and messages of
// one's own) to four outputs: the debug dialog hook, the development
// environment's SQL monitor, the Tracedesk application and the OnSQL event.
//
// Components report through the class procedures of the monitor's
// metaclass (TDASQLMonitorClass), which find the class's current monitor,
// so that they need no monitor of their own. The base class has none; a
// provider's monitor class answers its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dac/core/trace/tracedesk_interface.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/small_set.h"

namespace dac {

class EDAError;
class ISQLMonitorClient;
class TParam;
class TParams;
class TCustomDASQLMonitor;

enum TMonitorOption : uint8_t { moDialog, moSQLMonitor, moTracedesk, moCustom, moHandled };
using TMonitorOptions = TSet<TMonitorOption>;

enum TDATraceFlag : uint8_t {
  tfQPrepare,
  tfQExecute,
  tfQFetch,
  tfError,
  tfStmt,
  tfConnect,
  tfTransact,
  tfBlob,
  tfService,
  tfMisc,
  tfParams,
};
using TDATraceFlags = TSet<TDATraceFlag>;

using TOnSQLEvent = std::function<void(TObject* sender, const std::string& text, TDATraceFlag flag)>;

// The debug dialog: shown with the component, its SQL, its parameters and a caption.
using TShowDebugFormProc =
    std::function<void(TComponent* component, const std::string& sql, TParams* params, const std::string& caption)>;
// Unset unless a dialog unit or the application sets it.
extern TShowDebugFormProc ShowDebugFormProc;
// Calls the hook when it is set.
void ShowDebug(TComponent* component, const std::string& sql, TParams* params, const std::string& caption);

// The low 32 bits of the component's address; for a traced component XOR
// the byte-reversed id of its connection. 0 for none.
uint32_t GetComponentID(const TComponent* component);
// The component's name, or for an unnamed one its class name + " ($" + the
// id in 8 hexadecimal digits + ")".
std::string GetComponentName(const TComponent* component);

// The monitor's metaclass: the class operations and the class procedures
// the other components call.
class TDASQLMonitorClass : public TComponentClass {
 public:
  using TComponentClass::TComponentClass;

  // ---- class operations a provider's monitor class may change ----
  // The class's current monitor; none here.
  virtual TCustomDASQLMonitor* GetMonitor() const { return nullptr; }
  virtual std::string GetCaption() const { return "DataAccess"; }
  // The connection of a traced component, else none.
  virtual TComponent* GetParent(TComponent* component, int index) const;
  virtual int GetParentCount(TComponent* component) const;
  // The field type's name; string types add "[" + the value's length + "]".
  virtual std::string GetParamDataType(TParam& param) const;
  // "IN", "OUT", "IN/OUT", "RESULT", or "" for an unknown direction.
  virtual std::string GetParamParamType(TParam& param) const;
  // "<NULL>", quoted text, dates in the format settings, "<BLOB:n>",
  // "<CURSOR>", else the value as text.
  virtual std::string GetParamValue(TParam& param) const;
  virtual void TRStart(TComponent* connection, int32_t& message_id, bool before) const;
  virtual void TRCommit(TComponent* connection, int32_t& message_id, bool before) const;
  virtual void TRRollback(TComponent* connection, int32_t& message_id, bool before) const;

  // ---- class procedures ----
  bool HasMonitor() const { return GetMonitor() != nullptr; }
  // Without a monitor a before event goes to the debug dialog hook alone.
  void SQLPrepare(TComponent* component, const std::string& sql, TParams* params, int32_t& message_id,
                  bool before) const;
  void SQLUnprepare(TComponent* component, const std::string& sql, TParams* params, int32_t& message_id,
                    bool before) const;
  void SQLExecute(TComponent* component, const std::string& sql, TParams* params, const std::string& caption,
                  int32_t& message_id, bool before) const;
  void DBConnect(TComponent* connection, int32_t& message_id, bool before) const;
  void DBDisconnect(TComponent* connection, int32_t& message_id, bool before) const;
  void DBError(const EDAError& error) const;
  void CustomMessage(TComponent* connection, const std::string& text, int32_t& message_id) const;

  // ":" name "(" type and direction joined by "," ")" and "=" value when
  // there is one.
  std::string ParamLine(const TSQLParam& param) const;
  TSQLParam GetParam(TParam& param) const;
  // One line per parameter, each ended by " \r\n"; the records beside.
  std::string GetParams(TParams* params, TSQLParams& records) const;
};

template <typename T>
class TDASQLMonitorClassOf : public TDASQLMonitorClass {
 public:
  using TComponentClass::Create;
  using TDASQLMonitorClass::TDASQLMonitorClass;
  TComponent* Create(TComponent* owner) const override { return MakeComponent<T>(owner); }
};

// The monitor metaclass of a monitor class T.
template <typename T>
const TDASQLMonitorClass& SQLMonitorClassOf() {
  return static_cast<const TDASQLMonitorClass&>(T::ClassInfo());
}

class TCustomDASQLMonitor : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  static constexpr TDATraceFlags kDefaultTraceFlags =
      TDATraceFlags::FromBits(0x066B);  // prepare, execute, error, connect, transact, misc, params
  static constexpr TMonitorOptions kDefaultOptions = {moDialog, moSQLMonitor, moTracedesk, moCustom};

  explicit TCustomDASQLMonitor(TComponent* owner);
  // Activates, unless the owner is being read (Loaded activates then).
  void Init() override;
  void Loaded() override;

  bool GetActive() const { return active_; }
  // Attaches the outputs the options ask for, or detaches them. While
  // loading it only remembers the value.
  void SetActive(bool value);
  TDATraceFlags GetTraceFlags() const { return trace_flags_; }
  void SetTraceFlags(TDATraceFlags value) { trace_flags_ = value; }
  TMonitorOptions GetOptions() const { return options_; }
  void SetOptions(TMonitorOptions value);
  const TOnSQLEvent& GetOnSQL() const { return on_sql_; }
  void SetOnSQL(TOnSQLEvent handler) { on_sql_ = std::move(handler); }

  const TDASQLMonitorClass& MonitorClass() const { return static_cast<const TDASQLMonitorClass&>(ClassType()); }

  // What the class procedures call on the current monitor.
  virtual void InternalSQLExecute(TComponent* component, const std::string& sql, TParams* params,
                                  const std::string& caption, TTracePoint point, int32_t& message_id);
  void InternalSQLPrepare(TComponent* component, const std::string& sql, TParams* params, TTracePoint point,
                          int32_t& message_id);
  void InternalSQLUnprepare(TComponent* component, const std::string& sql, TParams* params, TTracePoint point,
                            int32_t& message_id);
  virtual void InternalDBConnect(TComponent* connection, TTracePoint point, int32_t& message_id);
  virtual void InternalDBDisconnect(TComponent* connection, TTracePoint point, int32_t& message_id);
  virtual void InternalTRStart(TComponent* connection, TTracePoint point, int32_t& message_id);
  virtual void InternalTRCommit(TComponent* connection, TTracePoint point, int32_t& message_id);
  virtual void InternalTRRollback(TComponent* connection, TTracePoint point, int32_t& message_id);
  void InternalDBError(const EDAError& error);
  void InternalCustomMessage(TComponent* connection, const std::string& text, int32_t& message_id);

 protected:
  ~TCustomDASQLMonitor() override;
  void BeforeDestruction() override;
  // Registers with the development environment's SQL monitor once, and only
  // as the class's current monitor.
  virtual void RegisterClient();
  virtual void UnRegisterClient();
  // Applies the last value given to SetActive.
  void CheckActive();
  void AddStatement(const std::string& text);
  // The SQL monitor's signal: the trace flags become the low 16 bits of data.
  void SMClientSignal(TObject* sender, int32_t data);

  // ---- the Tracedesk senders; each acts only while an object is held ----
  void OnConnect(const std::string& username, const std::string& server, const std::string& message,
                 TComponent* component, TTracePoint point, int32_t& message_id);
  void OnDisconnect(const std::string& username, const std::string& server, const std::string& message,
                    TComponent* component, TTracePoint point, int32_t& message_id);
  // kind 1 start, 2 commit, 3 rollback: one event per parent of the component.
  void OnTransact(const std::string& message, TComponent* component, int kind, TTracePoint point, int32_t& message_id);
  void OnError(const std::string& message);
  void OnCustomMessage(const std::string& text, TComponent* component, TTracePoint point, int32_t& message_id);
  void OnExecute(const std::string& sql, const TSQLParams& params, const std::string& message, TComponent* component,
                 TTracePoint point, int32_t& message_id);
  void OnPrepare(const std::string& sql, const TSQLParams& params, const std::string& message, TComponent* component,
                 TTracePoint point, int32_t& message_id);
  void OnUnprepare(const std::string& sql, const TSQLParams& params, const std::string& message, TComponent* component,
                   TTracePoint point, int32_t& message_id);
  void PrepareExecuteMessage(const std::string& sql, const TSQLParams& params, const std::string& message,
                             TComponent* component, TTracePoint point, int32_t& message_id);

 private:
  struct SQLEventKind;
  struct LogInEventKind;
  static const SQLEventKind kExecute, kPrepare, kUnprepare;
  static const LogInEventKind kConnect, kDisconnect, kStart, kCommit, kRollback;
  void TraceSQL(const SQLEventKind& kind, TComponent* component, const std::string& sql, TParams* params,
                const std::string& caption, TTracePoint point, int32_t& message_id);
  void TraceLogIn(const LogInEventKind& kind, TComponent* connection, TTracePoint point, int32_t& message_id);
  // Active (after CheckActive) and tracing events of the flag.
  bool Traces(TDATraceFlag flag);
  bool ShowsDialog(TComponent* component) const;
  // " [" name "$" id ("; " parent name "$" parent id) "] " with moHandled, else "".
  std::string GetCompHandle(TComponent* component) const;
  void AttachTracedesk();
  // The event record of a component under a parent (or none).
  TMonitorMessage MessageOf(TEventType type, TComponent* component, TComponent* parent, const std::string& description,
                            TTracePoint point, int32_t message_id) const;
  // Sends an event; a before event hands the id the object gave back to the caller.
  void SendEvent(TMonitorMessage message, const std::optional<std::string>& extra, int32_t& message_id);
  void Notify(const std::string& text, TDATraceFlag flag);

  bool active_ = false;
  TDATraceFlags trace_flags_ = kDefaultTraceFlags;
  TMonitorOptions options_ = kDefaultOptions;
  bool requested_active_ = true;
  // Set while registered.
  std::unique_ptr<ISQLMonitorClient> sql_monitor_client_;
  std::shared_ptr<ITracedesk> tracedesk_;
  TOnSQLEvent on_sql_;
};

}  // namespace dac
