#include "app/player_shell.h"

#include <stdexcept>

#include "app/launcher.h"
#include "app/restore_prompt.h"
#include "app/shutdown.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "server/http/http_server.h"
#include "server/quiz_session.h"

namespace app {
namespace {

constexpr char kCaption[] = "Varnel Player - ";

std::string ServerUrl(const server::TQuizSession& server) {
  return "http://127.0.0.1:" + std::to_string(server.GetPort()) + "/";
}

void SelectContent(const std::string& path, server::TQuizSession& server) {
  if (server.SetPath(path)) return;
  // Another player holds the data folder: its text says which and what to do.
  if (server.IsDataFolderHeldElsewhere()) throw std::runtime_error(server.GetContentError());
  throw std::runtime_error("Cannot open the content " + path + ": " + server.GetContentError());
}

// Shows the URL in the default browser when there is a display and serving
// is not headless; otherwise, or when that fails, prints it. A person who
// reads it on a terminal also learns what to do with it.
void ShowUrl(const std::string& url, bool headless, const TUrlOutput& output, TBrowserLauncher& launcher,
             TTerminal& terminal) {
  std::ostream& out = output.out;
  auto print = [&out, url] { out << url << std::endl; };
  if (headless) return print();
  if (!HasDisplay()) {
    if (!output.out_is_terminal) return print();
    out << "Open " << url << " in a browser. Ctrl+C stops the player." << std::endl;
    return;
  }
  const bool started = launcher.Open(url, [&terminal, print](const std::string& reason) {
    terminal.Write("Could not open the default browser (" + reason + "). Open this URL in a browser:\n");
    print();
  });
  if (started) terminal.Write("Opening " + url + " in the default browser. Ctrl+C stops the player.\n");
}

}  // namespace

std::string CaptionTitle(const server::TQuizSession& server, const std::string& path) {
  if (!server.GetProjectTitle().empty()) return server.GetProjectTitle();
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return plat::NamePart(name);
}

std::string NoFreePortText() {
  return "No free port between " + std::to_string(server::THttpServer::kFirstScanPort) + " and " +
         std::to_string(server::THttpServer::kLastScanPort);
}

int RunPlayer(const TCommandLine& line, const TContentPlaces& places, TTerminal& terminal, TUrlOutput output) {
  const TContentLocation location = LocateContent(line.arguments, places);
  if (location.path.empty()) {
    terminal.Write(NothingFoundMessage(location));
    return 1;
  }

  plat::EventLoop loop;
  server::TQuizSession server(loop, 0);
  if (server.GetPort() == 0) throw std::runtime_error(NoFreePortText());

  OfferRestore(location.path, server, terminal);
  SelectContent(location.path, server);
  terminal.Write(kCaption + TerminalText(CaptionTitle(server, location.path)) + "\n");
  // From here a signal stores the session and closes; before, there is
  // nothing to store and the default action ends the player.
  TShutdown shutdown(loop, server, terminal);
  if (!server.Open()) throw std::runtime_error(NoFreePortText());

  TBrowserLauncher launcher(loop);
  ShowUrl(ServerUrl(server), line.serve, output, launcher, terminal);
  loop.Run();
  return 0;
}

}  // namespace app
