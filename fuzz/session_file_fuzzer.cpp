// A stored session or state file as the player finds it on disk: the magic
// check of the start-up offer, then the whole load. A session that loads must
// store and load again to the same bytes, so no store-and-restore cycle can
// change what a learner had; and every learner reply built from its tests
// must stay well-formed XML, whatever the file held.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/xml_document.h"
#include "server/quiz/learner_replies.h"
#include "server/sessions/session_file.h"
#include "server/sessions/session_params.h"
#include "server/sessions/test_score.h"

namespace fuzz {
namespace {

// Well-formed for the browser's parser too, which, unlike ours, refuses the
// control characters no XML document may hold.
void RequireXml(const std::string& reply) {
  for (char c : reply)
    Require(static_cast<unsigned char>(c) >= ' ' || c == '\t' || c == '\n' || c == '\r',
            "a learner reply holds a character XML cannot carry");
  try {
    plat::XmlDocument::Parse(reply);
  } catch (const plat::XmlError&) {
    Require(false, "a learner reply is not well-formed XML");
  }
}

void RequireWellFormedReplies(const server::TQuizSessionParams& session) {
  for (int32_t subject = 0; subject < server::TQuizSessionParams::kTestSlots; ++subject) {
    const server::TSessionQuestions* test = session.GetTest(subject);
    if (test == nullptr) continue;
    RequireXml(server::GenerationReply(*test));
    RequireXml(server::FeedbackIndexReply(*test, subject));
    const content::TQuestionsList& questions = test->GetQuestions();
    for (int i = 0; i < questions.Count(); ++i) {
      RequireXml(server::QuestionReply(*test, *questions.GetQuestion(i), subject));
      RequireXml(server::IndividualFeedbackReply(*questions.GetQuestion(i), i + 1, questions.Count()));
    }
    const server::TTestScore score = server::ScoreTest(*test);
    if (score.HasBand()) RequireXml(server::OverallPerformanceReply(*test, score, std::to_string(subject), "<p/>"));
  }
}

}  // namespace
}  // namespace fuzz

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
  fuzz::RequireWellFormedReplies(session);
  return 0;
}
