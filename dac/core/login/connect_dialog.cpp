#include "dac/core/login/connect_dialog.h"

#include "dac/core/server/messages.h"
#include "dac/core/trace/connection_credentials.h"
#include "dac/framework/classes/database_error.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/ascii.h"
#include "platform/settings_store.h"

namespace dac {

DAC_DEFINE_CLASS(TCustomConnectDialog, TComponent, TComponentClassOf<TCustomConnectDialog>)

TShowConnectFormProc ShowConnectFormProc;

namespace {

int LabelBase(TLabelSet set) {
  switch (set) {
    case lsFrench:
      return 200;
    case lsGerman:
      return 300;
    case lsItalian:
      return 400;
    case lsPolish:
      return 500;
    case lsPortuguese:
      return 600;
    case lsRussian:
      return 0;
    case lsSpanish:
      return 700;
    default:
      return 100;
  }
}

// The log-in of a connection, to put back when the dialog was not confirmed.
struct LogIn {
  std::string username;
  std::string password;
  std::string server;

  static LogIn Of(const IConnectionCredentials& credentials) {
    return {credentials.GetUsername(), credentials.GetPassword(), credentials.GetServer()};
  }
  void RestoreInto(IConnectionCredentials& credentials) const {
    credentials.SetUsername(username);
    credentials.SetPassword(password);
    credentials.SetServer(server);
  }
};

}  // namespace

TCustomConnectDialog::TCustomConnectDialog(TComponent* owner) : TComponent(owner) {}

void TCustomConnectDialog::Init() {
  TComponent::Init();
  SetLabelSet(lsEnglish);
}

void TCustomConnectDialog::SetConnection(TComponent* connection) {
  if (connection == connection_) return;
  DAC_ASSERT(!connection || CredentialsOf(connection), "The connection of a connect dialog has no log-in");
  // The link to the old connection stays: it may still name this dialog
  // as its own and must hear when the dialog goes.
  connection_ = connection;
  if (connection_) connection_->FreeNotification(this);
}

void TCustomConnectDialog::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == connection_) connection_ = nullptr;
}

void TCustomConnectDialog::SetLabelSet(TLabelSet value) {
  label_set_ = value;
  if (value == lsCustom) return;
  const int base = LabelBase(value);
  for (size_t i = 0; i < labels_.size(); ++i) labels_[i] = LoadLabelText(base + static_cast<int>(i));
}

void TCustomConnectDialog::SetLabel(size_t index, const std::string& value) {
  if (!ComponentState().Contains(csLoading)) label_set_ = lsCustom;
  labels_[index] = value;
}

IConnectionCredentials& TCustomConnectDialog::Credentials() const { return *CredentialsOf(connection_); }

void TCustomConnectDialog::SaveInfoToRegistry(const std::string& key) {
  plat::WriteSettingString(key, "Username", Credentials().GetUsername());
  plat::WriteSettingString(key, GetServerStoreName(), Credentials().GetServer());
}

void TCustomConnectDialog::LoadInfoFromRegistry(const std::string& key) {
  if (const auto username = plat::ReadSettingString(key, "Username")) Credentials().SetUsername(*username);
  if (const auto server = plat::ReadSettingString(key, GetServerStoreName())) Credentials().SetServer(*server);
}

bool TCustomConnectDialog::Execute() {
  if (!connection_) DatabaseError(LoadResString(SConnectionNotDefined));
  IConnectionCredentials& credentials = Credentials();
  const LogIn before = LogIn::Of(credentials);
  const std::string title = ApplicationTitle();
  const std::string key = GetKeyPath() + "Connect\\" + title;
  const bool in_designer = title.starts_with("Delphi") || title.starts_with("C++Builder");
  bool confirmed = false;
  try {
    if (store_log_info_ && plat::SettingsKeyExists(key)) {
      if (!in_designer || credentials.GetUsername().empty()) LoadInfoFromRegistry(key);
      if (!((save_password_ || in_designer) && plat::SameText(credentials.GetUsername(), before.username)))
        credentials.SetPassword("");
    }
    confirmed = ShowConnectFormProc && ShowConnectFormProc(*this);
    if (confirmed && store_log_info_) {
      SaveInfoToRegistry(key);
      SaveServerListToRegistry();
    }
  } catch (...) {
    // A failed dialog or store leaves the connection's log-in as it was.
    before.RestoreInto(credentials);
    throw;
  }
  if (!confirmed) before.RestoreInto(credentials);
  return confirmed;
}

void TCustomConnectDialog::SaveServerListToRegistry() {
  const std::string key = GetKeyPath() + "Connect";
  if (!plat::SettingsKeyExists(key)) return;
  TStringList servers;
  GetServerList(servers);
  const std::string server = Credentials().GetServer();
  const std::string store_name = GetServerStoreName();
  plat::WriteSettingString(key, store_name + " 1", server);
  int number = 2;
  for (int i = 0; i < servers.Count(); ++i) {
    if (plat::SameText(servers.Strings(i), server)) continue;
    plat::WriteSettingString(key, store_name + " " + std::to_string(number++), servers.Strings(i));
  }
}

}  // namespace dac
