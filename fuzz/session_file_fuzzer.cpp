// A stored session or state file as the player finds it on disk: the magic
// check of the start-up offer, then the whole load. A session that loads must
// store and load again to the same bytes, so no store-and-restore cycle can
// change what a learner had.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "server/sessions/session_file.h"
#include "server/sessions/session_params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::PutScratchFile("lastsession.session", fuzz::AsText(data, size));
  const bool state = server::IsSessionState(path);
  server::TQuizSessionParams session(false);
  const bool loaded = server::LoadSessionFile(path, session);
  fuzz::Require(!loaded || state, "a file without the magic loaded");
  if (!loaded) return 0;
  const std::string stored = server::SessionFileBytes(session);
  fuzz::Require(server::LoadSessionFile(fuzz::PutScratchFile("again.session", stored), session),
                "a stored session does not load");
  fuzz::Require(server::SessionFileBytes(session) == stored, "a stored session changes when loaded again");
  return 0;
}
