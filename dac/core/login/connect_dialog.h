// TCustomConnectDialog: the base of the log-in dialog a connection shows
// before it connects. It edits the connection's user name, password and
// server, remembers the user name and server per application in the
// settings store (never the password), and keeps the list of servers used
// before. The visual dialog itself is a hook that nothing in this library
// sets; without it Execute answers false and leaves the connection as it was.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "dac/framework/classes/component.h"
#include "dac/framework/classes/string_list.h"

namespace dac {

class IConnectionCredentials;
class TCustomConnectDialog;

enum TLabelSet : uint8_t {
  lsCustom,
  lsEnglish,
  lsFrench,
  lsGerman,
  lsItalian,
  lsPolish,
  lsPortuguese,
  lsRussian,
  lsSpanish,
};

// Shows the dialog; true when the user confirmed.
using TShowConnectFormProc = std::function<bool(TCustomConnectDialog& dialog)>;
extern TShowConnectFormProc ShowConnectFormProc;

// The dialog texts by identifier: a label set's base + 0 caption, 1 user
// name, 2 password, 3 server, 4 connect button, 5 cancel button. At most 49
// characters (UTF-8); "" for an identifier the table lacks.
std::string LoadLabelText(int identifier);

class TCustomConnectDialog : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit TCustomConnectDialog(TComponent* owner);
  // Loads the English texts.
  void Init() override;

  TComponent* GetConnection() const { return connection_; }
  // The connection must carry IConnectionCredentials (assertion otherwise).
  void SetConnection(TComponent* connection);
  bool GetSavePassword() const { return save_password_; }
  void SetSavePassword(bool value) { save_password_ = value; }
  bool GetStoreLogInfo() const { return store_log_info_; }
  void SetStoreLogInfo(bool value) { store_log_info_ = value; }
  TLabelSet GetLabelSet() const { return label_set_; }
  // Any set but lsCustom loads its six texts.
  virtual void SetLabelSet(TLabelSet value);

  // Setting a text outside loading switches the label set to lsCustom.
  const std::string& GetCaption() const { return labels_[0]; }
  void SetCaption(const std::string& value) { SetLabel(0, value); }
  const std::string& GetUsernameLabel() const { return labels_[1]; }
  void SetUsernameLabel(const std::string& value) { SetLabel(1, value); }
  const std::string& GetPasswordLabel() const { return labels_[2]; }
  void SetPasswordLabel(const std::string& value) { SetLabel(2, value); }
  const std::string& GetServerLabel() const { return labels_[3]; }
  void SetServerLabel(const std::string& value) { SetLabel(3, value); }
  const std::string& GetConnectButton() const { return labels_[4]; }
  void SetConnectButton(const std::string& value) { SetLabel(4, value); }
  const std::string& GetCancelButton() const { return labels_[5]; }
  void SetCancelButton(const std::string& value) { SetLabel(5, value); }

  // The visual dialog's class; none here.
  virtual const TMetaClass* DefDialogClass() const { return nullptr; }
  // Prefix of the settings keys ("" here, so "Connect\<application title>").
  virtual std::string GetKeyPath() const { return ""; }
  virtual std::string GetServerStoreName() const { return "Server"; }
  // Writes "Username" and the server; never the password.
  virtual void SaveInfoToRegistry(const std::string& key);
  // Reads each of the two values that exists.
  virtual void LoadInfoFromRegistry(const std::string& key);
  // Loads the stored log-in, shows the dialog and stores what was
  // confirmed; restores the connection's log-in when not confirmed.
  // "Connection is not defined" without a connection.
  virtual bool Execute();
  // The servers to offer; none here.
  virtual void GetServerList(TStrings& /*list*/) {}

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  friend class TDBAccessUtils;
  // "<store name> 1" = the connection's server, then the listed servers that
  // differ from it, numbered on, in the existing key GetKeyPath() + "Connect".
  void SaveServerListToRegistry();

 private:
  void SetLabel(size_t index, const std::string& value);
  IConnectionCredentials& Credentials() const;

  TComponent* connection_ = nullptr;
  bool save_password_ = false;
  bool store_log_info_ = true;
  TLabelSet label_set_ = lsEnglish;
  std::array<std::string, 6> labels_;
};

}  // namespace dac
