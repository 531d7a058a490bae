#include "dac/core/login/connect_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "dac/store/runtime/host_hooks.h"
#include "platform/files.h"
#include "platform/settings_store.h"
#include "tests/dac/core/support/traced_components.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/test_folder.h"

namespace dac::test {
namespace {

constexpr const char* kKey = "Connect\\Quiz App";

// A dialog whose server list is given.
class ListingDialog : public TCustomConnectDialog {
  DAC_DECLARE_CLASS();

 public:
  using TCustomConnectDialog::TCustomConnectDialog;
  void GetServerList(TStrings& list) override {
    for (const char* server : servers) list.Add(server);
  }
  std::vector<const char*> servers;
};

DAC_DEFINE_CLASS(ListingDialog, TCustomConnectDialog, TComponentClassOf<ListingDialog>)

class ConnectDialogTest : public ::testing::Test {
 protected:
  ConnectDialogTest() {
    ApplicationTitleProc = [] { return std::string("Quiz App"); };
    connection->username = "kim";
    connection->password = "halyard";
    connection->server = "db1";
    dialog->SetConnection(connection);
  }
  ~ConnectDialogTest() override {
    dialog->Free();
    if (connection) connection->Free();
    ApplicationTitleProc = nullptr;
    ShowConnectFormProc = nullptr;
  }
  // A user who types in new log-in data and confirms.
  void UserConfirms(const std::string& username, const std::string& password, const std::string& server) {
    ShowConnectFormProc = [=, this](TCustomConnectDialog&) {
      shown_password = connection->password;
      connection->SetUsername(username);
      connection->SetPassword(password);
      connection->SetServer(server);
      return true;
    };
  }
  std::string Stored(const char* key, const char* name) { return plat::ReadSettingString(key, name).value_or("-"); }

  plat::testing::TestFolder folder_;
  const std::string config_ = folder_.path() + "/config";
  plat::testing::ScopedEnv env_{"XDG_CONFIG_HOME", config_};
  TracedConnection* connection = MakeComponent<TracedConnection>(nullptr);
  ListingDialog* dialog = MakeComponent<ListingDialog>(nullptr);
  std::string shown_password;
};

TEST_F(ConnectDialogTest, UnconfirmedOrUnshownDialogRestoresTheLogIn) {
  plat::WriteSettingString(kKey, "Username", "sam");
  plat::WriteSettingString(kKey, "Server", "db9");
  std::string seen;
  for (bool with_hook : {false, true}) {
    ShowConnectFormProc = with_hook ? TShowConnectFormProc([&](TCustomConnectDialog&) {
      seen = connection->username + "/" + connection->password + "@" + connection->server;
      return false;
    })
                                    : nullptr;
    EXPECT_FALSE(dialog->Execute());
    EXPECT_EQ(connection->username + "/" + connection->password + "@" + connection->server, "kim/halyard@db1");
  }
  EXPECT_EQ(seen, "sam/@db9");  // loaded, and the password of another user dropped

  ShowConnectFormProc = [](TCustomConnectDialog&) -> bool { throw Exception("window failed"); };
  EXPECT_EQ(ErrorOf([&] { dialog->Execute(); }), "window failed");
  EXPECT_EQ(connection->password, "halyard");

  connection->Free();
  connection = nullptr;
  EXPECT_EQ(dialog->GetConnection(), nullptr);
  EXPECT_EQ(ErrorOf([&] { dialog->Execute(); }), "Connection is not defined");
}

TEST_F(ConnectDialogTest, ConfirmedLogInIsStoredWithoutPasswordAndServersListed) {
  UserConfirms("Sam", "bowline", "b");
  dialog->SetStoreLogInfo(false);
  EXPECT_TRUE(dialog->Execute());
  EXPECT_FALSE(plat::PathExists(config_));

  dialog->SetStoreLogInfo(true);
  dialog->servers = {"A", "B"};
  EXPECT_TRUE(dialog->Execute());
  EXPECT_EQ(Stored(kKey, "Username"), "Sam");
  EXPECT_EQ(Stored(kKey, "Server"), "b");
  EXPECT_EQ(plat::ReadWholeFile(*plat::SettingsFileOf(kKey)).find("bowline"), std::string::npos);
  EXPECT_EQ(Stored("Connect", "Server 1"), "b");
  EXPECT_EQ(Stored("Connect", "Server 2"), "A");
  EXPECT_EQ(Stored("Connect", "Server 3"), "-");

  // The same user keeps the password only when the dialog saves it.
  for (bool save : {false, true}) {
    connection->password = "bowline";
    dialog->SetSavePassword(save);
    UserConfirms("Sam", "bowline", "b");
    dialog->Execute();
    EXPECT_EQ(shown_password, save ? "bowline" : "");
  }
}

TEST_F(ConnectDialogTest, LabelSetsGiveTheirTextsAndOwnTextsMakeThemCustom) {
  EXPECT_EQ(dialog->GetLabelSet(), lsEnglish);
  EXPECT_EQ(dialog->GetCaption() + "|" + dialog->GetServerLabel() + "|" + dialog->GetCancelButton(),
            "Connect|Server|Cancel");
  dialog->SetLabelSet(lsRussian);
  EXPECT_EQ(dialog->GetConnectButton(), "Соединить");
  dialog->SetLabelSet(lsPolish);
  EXPECT_EQ(dialog->GetUsernameLabel(), "Uiytkowhik");
  EXPECT_EQ(LoadLabelText(605), "Cancelar");
  EXPECT_EQ(LoadLabelText(706), "");

  dialog->BeginLoading();
  dialog->SetCaption("Log in");
  EXPECT_EQ(dialog->GetLabelSet(), lsPolish);
  dialog->EndLoading();
  dialog->SetPasswordLabel("Secret");
  EXPECT_EQ(dialog->GetLabelSet(), lsCustom);
  EXPECT_EQ(dialog->GetCaption() + "|" + dialog->GetPasswordLabel(), "Log in|Secret");
}

}  // namespace
}  // namespace dac::test
