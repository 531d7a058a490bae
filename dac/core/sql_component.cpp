// The SQL command component's life: its command and connection, its SQL
// text with the parameters and macros made from it, its settings and filing.
#include "dac/core/sql_component.h"

#include <exception>

#include "dac/core/connection_component.h"
#include "dac/core/da_param.h"
#include "dac/core/macros.h"
#include "dac/core/server/command.h"
#include "dac/core/server/connection.h"
#include "dac/core/server/messages.h"
#include "dac/core/sql_owner.h"
#include "dac/core/update_sql.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/data/filer.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomDASQL, TComponent, TComponentClassOf<TCustomDASQL>)

TCustomDASQL::TCustomDASQL(TComponent* owner) : TComponent(owner), sql_(std::make_unique<TStringList>()) {}

TCustomDASQL::~TCustomDASQL() = default;

void TCustomDASQL::Init() {
  TComponent::Init();
  sql_->SetOnChange([this](TObject* sender) { SQLChanged(sender); });
  params_ = CreateParamsObject();
  const bool served = SQLOwnerOf(Owner()) != nullptr;
  macros_ = std::make_unique<TMacros>(served ? Owner() : this);
  design_create_ = Designing();
  if (!served) CreateICommand();
}

void TCustomDASQL::BeforeDestruction() {
  std::exception_ptr failed;
  try {
    UnPrepare();
  } catch (...) {
    failed = std::current_exception();
  }
  // Whatever happened, the connection must not keep a pointer to us.
  registration_.MoveTo(nullptr);
  TComponent::BeforeDestruction();
  if (failed) std::rethrow_exception(failed);
}

std::unique_ptr<TDAParams> TCustomDASQL::CreateParamsObject() { return std::make_unique<TDAParams>(this); }

// ---- the command ----

void TCustomDASQL::CreateICommand() {
  TCustomDAConnection* used = UsedConnection();
  std::unique_ptr<TDKCommand> old = std::move(owned_command_);
  owned_command_ = used ? used->CreateICommand() : nullptr;
  SetICommand(owned_command_.get());
}

void TCustomDASQL::FreeICommand() {
  SetICommand(nullptr);
  owned_command_.reset();
}

void TCustomDASQL::SetICommand(TDKCommand* value) {
  icommand_ = value;
  if (!value) return;
  TCustomDAConnection* used = UsedConnection();
  value->SetConnection(used ? used->GetIConnection() : nullptr);
  value->SetSQL(final_sql_);
  value->SetProp(prAutoCommit, auto_commit_);
  value->SetAfterExecute([this](bool result) { DoAfterExecute(result); });
  TComponent* owner = Owner();
  const bool for_data_set = SQLOwnerOf(owner) || dynamic_cast<TCustomDAUpdateSQL*>(owner);
  value->SetComponent(for_data_set ? owner : this);
  if (!CommandMakesParams()) WriteParams(false);
}

void TCustomDASQL::CheckICommand() {
  // A dataset's command belongs to its record set.
  if (SQLOwnerOf(Owner())) return;
  TCustomDAConnection* used = UsedConnection();
  if (icommand_ && used && icommand_->InheritsFrom(used->GetICommandClass())) return;
  FreeICommand();
  CreateICommand();
}

bool TCustomDASQL::CommandMakesParams() const {
  Variant answer;
  return icommand_ && icommand_->GetProp(prParamCheck, answer) && answer.AsBoolean();
}

void TCustomDASQL::BindServerConnection(TDKConnection* connection) {
  if (connection && !icommand_) CheckICommand();
  if (icommand_) icommand_->SetConnection(connection);
}

// ---- the connection ----

void TCustomDASQL::SetConnection(TCustomDAConnection* value) {
  if (value == connection_ && value == UsedConnection()) return;
  if (UsedConnection()) Disconnect();
  connection_ = value;
  registration_.MoveTo(value);
  CheckICommand();
  TCustomDAConnection* used = UsedConnection();
  if (icommand_) icommand_->SetConnection(used ? used->GetIConnection() : nullptr);
}

void TCustomDASQL::CheckConnection() { BeginConnection(false); }

void TCustomDASQL::BeginConnection(bool no_connect_check) {
  TCustomDAConnection* used = UsedConnection();
  TakeClientConnection(used, this, no_connect_check, [&] {
    // A connection the provider chose rather than the user's.
    if (!connection_ && registration_.Connection() != used) registration_.MoveTo(used);
    CheckICommand();
    if (icommand_) icommand_->SetConnection(used->GetIConnection());
  });
}

void TCustomDASQL::EndConnection() {
  if (TCustomDAConnection* used = UsedConnection()) used->InternalDisconnect();
}

void TCustomDASQL::Disconnect() {
  if (data_set_) return data_set_->OwnerDisconnect();
  UnPrepare();
}

void TCustomDASQL::ConnectChange(TObject* /*sender*/, bool connecting) {
  if (!connecting) Disconnect();
}

TComponent* TCustomDASQL::GetTraceParent() const { return UsedConnection(); }

// ---- SQL text ----

void TCustomDASQL::SetSQL(const TStrings& value) {
  if (sql_->Text() == value.Text()) return;
  WithinUpdate(*sql_, [&] { sql_->Assign(&value); });
}

void TCustomDASQL::SQLChanged(TObject* /*sender*/) {
  if (data_set_) {
    data_set_->OwnerSQLChanged();
  } else {
    UnPrepare();
  }
  if (!no_macro_scan_) ScanMacros();
  if (!raw_text_) return AssembleSQL();
  final_sql_ = sql_->Text();
  if (icommand_) icommand_->SetSQL(final_sql_);
}

void TCustomDASQL::MacrosChanged() {
  no_macro_scan_ = true;
  try {
    SQLChanged(this);
  } catch (...) {
    no_macro_scan_ = false;
    throw;
  }
  no_macro_scan_ = false;
}

void TCustomDASQL::ScanMacros() {
  if (data_set_) return data_set_->OwnerScanMacros();
  macros_->Scan(sql_->Text());
}

std::string TCustomDASQL::GetFinalSQL() {
  std::string text = sql_->Text();
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  text.resize(end);
  if (macros_->Count() > 0) macros_->Expand(text);
  return text;
}

void TCustomDASQL::AssembleSQL() {
  final_sql_ = data_set_ ? data_set_->OwnerFinalSQL() : GetFinalSQL();
  if (param_check_ || Designing()) return AssembleParams();
  if (icommand_) icommand_->SetSQL(final_sql_);
}

void TCustomDASQL::AssembleParams() {
  std::unique_ptr<TDAParams> fresh = CreateParamsObject();
  if (CommandMakesParams()) {
    fresh->Assign(params_.get());
    icommand_->SetSQL(final_sql_);
    CreateParams();
    params_->AssignValues(*fresh);
    return;
  }
  fresh->SetNeedUpdate(false);
  final_sql_ = ParseSQL(final_sql_, fresh.get(), "");
  fresh->AssignValues(*params_);
  // Moved rather than copied: parameters of one name go on sharing their value.
  WithinUpdate(*params_, [&] {
    params_->Clear();
    while (fresh->Count() > 0) fresh->Items(0)->SetCollection(params_.get());
  });
  if (!icommand_) return;
  icommand_->SetSQL(final_sql_);
  WriteParams(false);
}

// ---- parameters and macros ----

void TCustomDASQL::SetParams(const TDAParams& value) { params_->AssignValues(value); }

int TCustomDASQL::ParamCount() const { return params_->Count(); }

TDAParam* TCustomDASQL::FindParam(const std::string& name) const { return params_->FindParam(name); }

TDAParam* TCustomDASQL::ParamByName(const std::string& name) const { return params_->ParamByName(name); }

Variant TCustomDASQL::GetParamValues(const std::string& names) const { return params_->GetParamValues(names); }

void TCustomDASQL::SetParamValues(const std::string& names, const Variant& values) {
  params_->SetParamValues(names, values);
}

void TCustomDASQL::SetMacros(const TMacros& value) { macros_->Assign(&value); }

int TCustomDASQL::MacroCount() const { return macros_->Count(); }

TMacro* TCustomDASQL::FindMacro(const std::string& name) const { return macros_->FindMacro(name); }

TMacro* TCustomDASQL::MacroByName(const std::string& name) const { return macros_->MacroByName(name); }

void TCustomDASQL::SetParamCheck(bool value) {
  param_check_ = value;
  const bool check = value || Designing();
  if (icommand_) icommand_->SetProp(prParamCheck, check);
  if (check) AssembleSQL();
}

// ---- settings and filing ----

void TCustomDASQL::SetAutoCommit(bool value) {
  auto_commit_ = value;
  // A command made later takes the value when it is bound.
  if (icommand_) icommand_->SetProp(prAutoCommit, value);
}

void TCustomDASQL::Loaded() {
  TComponent::Loaded();
  design_create_ = false;
}

void DefineParamsAndMacros(TFiler& filer, TDAParams& params, TMacros& macros, const TDAParams* ancestor_params,
                           const TMacros* ancestor_macros) {
  // Macros first: reading them reassembles the SQL and its parameters, which
  // would drop parameters read before that its text does not name.
  filer.DefineBinaryProperty(
      "MacroData", [&macros](TStream& stream) { TReader(stream).ReadCollection(macros); },
      [&macros](TStream& stream) { TWriter(stream).WriteCollection(macros); },
      ancestor_macros ? !macros.IsEqual(*ancestor_macros) : macros.Count() > 0);
  filer.DefineBinaryProperty(
      "ParamData", [&params](TStream& stream) { TReader(stream).ReadCollection(params); },
      [&params](TStream& stream) { TWriter(stream).WriteCollection(params); },
      ancestor_params ? !params.IsEqual(*ancestor_params) : params.Count() > 0);
}

void TCustomDASQL::DefineProperties(TFiler& filer) {
  TComponent::DefineProperties(filer);
  const auto* ancestor = dynamic_cast<const TCustomDASQL*>(filer.Ancestor());
  DefineParamsAndMacros(filer, *params_, *macros_, ancestor ? ancestor->params_.get() : nullptr,
                        ancestor ? ancestor->macros_.get() : nullptr);
}

void TCustomDASQL::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TCustomDASQL*>(dest);
  if (!other) return TComponent::AssignTo(dest);
  other->SetConnection(connection_);
  other->SetParamCheck(param_check_);
  other->SQL().SetText(sql_->Text());
  other->SetMacros(*macros_);
  other->SetParams(*params_);
  other->SetDebug(debug_);
  other->SetAutoCommit(auto_commit_);
}

}  // namespace dac
