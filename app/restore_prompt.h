// The offer, at start-up, to go on with the last session of skip-start-page
// content: its state file lies in the user's application-data folder.
#pragma once

#include <optional>
#include <string>

#include "app/terminal.h"

namespace server {
class TQuizSession;
}  // namespace server

namespace app {

struct TRestoreOffer {
  std::string state_path;
  // The state file's ".name" companion, or "<Not entered before>" when that
  // is empty or cannot be read.
  std::string name;
};

// An offer only for a content path that is an existing file (a package)
// in skip-start-page mode whose state file exists and holds a session.
std::optional<TRestoreOffer> FindRestoreOffer(const std::string& content_path);

// "Do you want to restore a previous session for <name>?"
std::string RestoreQuestion(const std::string& name);

// Sets the server's restore flag, restored user name and state file path.
void AcceptRestoreOffer(const TRestoreOffer& offer, server::TQuizSession& server);

// Asks when there is an offer; Yes sets the server's restore flag, restored
// user name and state file path. True when the session is to be restored.
bool OfferRestore(const std::string& content_path, server::TQuizSession& server, TTerminal& terminal);

}  // namespace app
