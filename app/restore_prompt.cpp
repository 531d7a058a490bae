#include "app/restore_prompt.h"

#include "content/content_paths.h"
#include "content/debug_log.h"
#include "platform/files.h"
#include "server/quiz_session.h"
#include "server/sessions/session_file.h"

namespace app {
namespace {

constexpr char kUnnamed[] = "<Not entered before>";

// A missing or unreadable companion reads as empty: the offer still stands.
std::string ReadCompanionName(const std::string& state_path) {
  try {
    return plat::ReadWholeFile(state_path + ".name");
  } catch (const plat::FileError& e) {
    content::LogMessage("no session name: %s", e.what());
    return "";
  }
}

}  // namespace

std::optional<TRestoreOffer> FindRestoreOffer(const std::string& content_path) {
  if (!plat::FileExists(content_path)) return std::nullopt;
  const std::string state = content::GetLastSessionStatePath(content_path);
  if (state.empty() || !plat::FileExists(state)) return std::nullopt;
  if (!content::IsSkipStartPage(content_path) || !server::IsSessionState(state)) return std::nullopt;
  TRestoreOffer offer{state, ReadCompanionName(state)};
  if (offer.name.empty()) offer.name = kUnnamed;
  return offer;
}

std::string RestoreQuestion(const std::string& name) {
  return "Do you want to restore a previous session for " + name + "?";
}

bool OfferRestore(const std::string& content_path, server::TQuizSession& server, TTerminal& terminal) {
  const std::optional<TRestoreOffer> offer = FindRestoreOffer(content_path);
  if (!offer) return false;
  if (!AskYesNo(terminal, RestoreQuestion(TerminalText(offer->name)), true)) return false;
  AcceptRestoreOffer(*offer, server);
  return true;
}

void AcceptRestoreOffer(const TRestoreOffer& offer, server::TQuizSession& server) {
  server.SetRestoreFlag(true);
  server.SetRestoredUserName(offer.name);
  server.SetStateFilePath(offer.state_path);
}

}  // namespace app
