// Session files: the magic, then one stored session (session_params.h).
// A learner's last session lies in the data folder's
// "Sessions/<safe login name>/lastsession.session"; in skip-start-page mode
// the session goes to the per-user state file instead, beside a ".name"
// companion that holds the session's name for the start-up prompt.
#pragma once

#include <cstdint>
#include <string>

#include "server/sessions/session_params.h"

namespace server {

// The bytes "7Y(g" at offset 0.
inline constexpr uint32_t kSessionMagic = 0x67285937;

// The whole file: the magic and the stored session.
std::string SessionFileBytes(const TQuizSessionParams& session);
// Writes the file through a temporary name, creating missing folders.
// Throws plat::FileError; the old file then stays.
void WriteSessionFile(const std::string& path, const TQuizSessionParams& session);

// The file begins with the magic. False for a shorter file or one that
// cannot be read.
bool IsSessionState(const std::string& path);

// Fills the session from the file (see TQuizSessionParams::LoadFromStream).
// False, with the session unchanged and the reason logged, when the file
// lacks the magic or does not hold a whole session. Throws plat::FileError
// when the file cannot be read.
bool LoadSessionFile(const std::string& path, TQuizSessionParams& session);

}  // namespace server
