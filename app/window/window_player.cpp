#include "app/window/window_player.h"

#include <gtk/gtk.h>

#include <memory>

#include "app/player_shell.h"
#include "app/restore_prompt.h"
#include "app/window/address_policy.h"
#include "app/window/artwork.h"
#include "app/window/browser.h"
#include "app/window/dialogs.h"
#include "app/window/main_thread.h"
#include "app/window/main_window.h"
#include "app/window/server_thread.h"
#include "app/window/splash.h"
#include "platform/files.h"
#include "platform/settings_store.h"
#include "server/quiz_session.h"

namespace app {
namespace {

// Where the open dialog starts: the folder of the package chosen last.
constexpr char kPlayerKey[] = "Software\\Ostrand Consultants\\QelPlayer";
constexpr char kLastQuiz[] = "LastQuiz";
constexpr char kPackageExtension[] = ".vrn";
constexpr int kIconSize = 64;

// What the server made of the content handed to it.
struct TOpenedContent {
  bool opened = false;
  // Another player holds the data folder: this one must not start.
  bool held_elsewhere = false;
  std::string error;
  std::string project_title;
  uint16_t port = 0;  // 0 when it could not listen again
};

std::string ReadLastQuiz(TTerminal& terminal) {
  try {
    return plat::ReadSettingString(kPlayerKey, kLastQuiz).value_or("");
  } catch (const std::exception& e) {
    terminal.Write(std::string("Cannot read the last content folder: ") + e.what() + "\n");
    return "";
  }
}

void WriteLastQuiz(const std::string& folder, TTerminal& terminal) {
  try {
    plat::WriteSettingString(kPlayerKey, kLastQuiz, folder);
  } catch (const std::exception& e) {
    terminal.Write(std::string("Cannot store the last content folder: ") + e.what() + "\n");
  }
}

// The chosen file, with the package extension added to a name that has none
// when only that names a file; nullopt when no file exists.
std::optional<std::string> ExistingChoice(const std::string& file) {
  if (plat::FileExists(file)) return file;
  const std::string with_extension = file + kPackageExtension;
  const bool has_extension = file.find('.', file.rfind('/') + 1) != std::string::npos;
  if (!has_extension && plat::FileExists(with_extension)) return with_extension;
  return std::nullopt;
}

class TWindowPlayer {
 public:
  TWindowPlayer(const std::vector<std::string>& arguments, const TContentPlaces& places, TTerminal& terminal);
  int Run();

 private:
  void OpenContent(const std::string& path);
  void AskForContent();
  void HandToServer(const std::string& path, std::optional<TRestoreOffer> restore);
  void ShowContent(const std::string& path, const TOpenedContent& opened);
  void Fail(const std::string& text);
  void Close();
  void ServerEnded();

  TTerminal& terminal_;
  TSplash splash_;
  TBrowser browser_;
  TMainWindow main_window_;
  std::unique_ptr<TServerThread> server_;
  bool closing_ = false;
  int status_ = 0;
};

TWindowPlayer::TWindowPlayer(const std::vector<std::string>& arguments, const TContentPlaces& places,
                             TTerminal& terminal)
    : terminal_(terminal), browser_(terminal), main_window_(browser_, [this] { Close(); }) {
  splash_.Raise();
  server_ = std::make_unique<TServerThread>(terminal_, [this] { PostToMainThread([this] { ServerEnded(); }); });
  if (server_->Port() == 0) {
    Fail(server_->StartError());
    return;
  }
  const TContentLocation location = LocateContent(arguments, places);
  if (location.path.empty()) {
    // Once the window is up.
    PostToMainThread([this] { AskForContent(); });
  } else {
    OpenContent(location.path);
  }
}

int TWindowPlayer::Run() {
  gtk_main();
  return status_;
}

void TWindowPlayer::OpenContent(const std::string& path) {
  std::optional<TRestoreOffer> offer = FindRestoreOffer(path);
  if (!offer) return HandToServer(path, std::nullopt);
  AskYesNo(main_window_.Window(), "Question", RestoreQuestion(TerminalText(offer->name)),
           [this, path, offer](bool yes) { HandToServer(path, yes ? offer : std::nullopt); });
}

void TWindowPlayer::AskForContent() {
  ChoosePackage(main_window_.Window(), ReadLastQuiz(terminal_), [this](std::optional<std::string> file) {
    // Cancelled: the window stays empty and the server without content.
    if (!file || closing_) return;
    const std::optional<std::string> chosen = ExistingChoice(*file);
    if (!chosen) return;
    WriteLastQuiz(plat::FolderPart(*chosen), terminal_);
    OpenContent(*chosen);
  });
}

void TWindowPlayer::HandToServer(const std::string& path, std::optional<TRestoreOffer> restore) {
  server_->Post([this, path, restore](server::TQuizSession& server) {
    if (restore) AcceptRestoreOffer(*restore, server);
    TOpenedContent opened;
    opened.opened = server.SetPath(path);
    opened.held_elsewhere = server.IsDataFolderHeldElsewhere();
    opened.error = server.GetContentError();
    opened.project_title = CaptionTitle(server, path);
    if (!opened.held_elsewhere && server.Open()) opened.port = server.GetPort();
    PostToMainThread([this, path, opened] { ShowContent(path, opened); });
  });
}

void TWindowPlayer::ShowContent(const std::string& path, const TOpenedContent& opened) {
  if (closing_) return;
  if (opened.held_elsewhere) return Fail(opened.error);
  main_window_.ShowProjectTitle(opened.project_title);
  if (opened.port == 0) return Fail(NoFreePortText());
  // Content that did not open still shows the server, which answers with its
  // error pages; the reason is told once.
  browser_.ShowServer(opened.port);
  terminal_.Write("Showing " + PlayerAddress(opened.port) + " in the player's window.\n");
  if (opened.opened) return;
  const std::string text = "Cannot open the content " + path + ": " + opened.error;
  terminal_.Write(text + "\n");
  ShowError(main_window_.Window(), TerminalText(text));
}

void TWindowPlayer::Fail(const std::string& text) {
  terminal_.Write("Error: " + text + "\n");
  status_ = 1;
  ShowError(main_window_.Window(), TerminalText(text), [this] { Close(); });
}

void TWindowPlayer::Close() {
  if (closing_) return;
  closing_ = true;
  browser_.CloseOpenedWindows();
  main_window_.Hide();
  server_->Close();
}

void TWindowPlayer::ServerEnded() {
  closing_ = true;
  browser_.CloseOpenedWindows();
  gtk_main_quit();
}

}  // namespace

std::optional<int> RunWindowPlayer(const std::vector<std::string>& arguments, const TContentPlaces& places,
                                   TTerminal& terminal) {
  if (!gtk_init_check(nullptr, nullptr)) return std::nullopt;
  g_set_application_name("Varnel Player");
  GdkPixbuf* icon = NewPlayerIcon(kIconSize);
  gtk_window_set_default_icon(icon);
  g_object_unref(icon);
  TWindowPlayer player(arguments, places, terminal);
  return player.Run();
}

}  // namespace app
