#include "tools/sample_history.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "content/percent_codec.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/random.h"
#include "platform/removal.h"
#include "server/http/reply_sink.h"
#include "server/quiz/answers_record.h"

namespace tools {
namespace {

constexpr int kMonths = 4;
constexpr int kNoTest = -1;

struct SampleLearner {
  std::string_view login;
  std::string_view password;
  // The score aimed at in each month, oldest first, per subject (1, 2);
  // kNoTest: no test that month.
  std::array<std::array<int, kMonths>, 2> aims;
  int tests_per_month;
};

// Sam climbs steadily; Kim is strong throughout; Ann is up and down; Ben
// slips; Cara starts late.
constexpr std::array<SampleLearner, 5> kLearners = {{
    {"sam", "bowline", {{{35, 50, 65, 85}, {40, 45, 60, 75}}}, 2},
    {"kim", "halyard", {{{80, 85, 90, 100}, {70, 80, 85, 90}}}, 2},
    {"ann", "reef", {{{50, 90, 40, 80}, {60, kNoTest, 50, 70}}}, 1},
    {"ben", "hitch", {{{75, 65, 55, 45}, {70, 60, 60, 50}}}, 1},
    {"cara", "splice", {{{kNoTest, kNoTest, 55, 75}, {kNoTest, kNoTest, 40, 70}}}, 3},
}};

std::string AttributeOf(const std::string& reply, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t start = reply.find(key);
  if (start == std::string::npos) return "";
  const size_t from = start + key.size();
  return reply.substr(from, reply.find('"', from) - from);
}

// Installs a generator for the question draws of one seeding, so a seed
// gives the same tests, and puts the earlier one back.
class ScopedDrawRandom {
 public:
  explicit ScopedDrawRandom(uint64_t seed) : random_(seed), previous_(&plat::ProcessRandom()) {
    plat::SetProcessRandom(&random_);
  }
  ~ScopedDrawRandom() { plat::SetProcessRandom(previous_); }
  ScopedDrawRandom(const ScopedDrawRandom&) = delete;
  ScopedDrawRandom& operator=(const ScopedDrawRandom&) = delete;

 private:
  plat::LcgRandom random_;
  plat::RandomSource* previous_;
};

class Seeder {
 public:
  Seeder(server::TQuizSession& server, plat::ManualClock& clock, const plat::LocalTime& today, uint64_t seed)
      : server_(server), clock_(clock), today_(today), random_(seed) {}

  SeedReport Run() {
    // Module titles and grades come only with a package.
    if (!server_.GetPackedMode()) throw SeedError("the sample history needs the packed course");
    SeedReport report;
    for (const SampleLearner& learner : kLearners)
      if (plat::FileExists(server::AnswersFilePath(server_.GetDataFolder(), learner.login))) return report;
    report.seeded = true;
    ScopedDrawRandom draws(random_.Next31());
    for (int month = 0; month < kMonths; ++month)
      for (const SampleLearner& learner : kLearners) TakeTests(learner, month, report);
    // The history stays in answers.xml; a learner who logs in starts afresh
    // rather than inside the last test seeded.
    {
      server::TSessionsLock lock(server_.GetSessions());
      server_.GetSessions().Clear();
    }
    for (const SampleLearner& learner : kLearners)
      plat::RemoveFile(server_.StoredSessionPath(std::string(learner.login)));
    clock_.SetNow(today_);
    return report;
  }

 private:
  // The reply's body.
  std::string Ask(const std::string& query) {
    server::TReplySink sink;
    server::TNetStream channel(sink);
    if (!server_.ProcessRequest(&channel, query)) throw SeedError("refused: " + query);
    const std::string& bytes = sink.Bytes();
    const size_t body = bytes.find("\r\n\r\n");
    return body == std::string::npos ? bytes : bytes.substr(body + 4);
  }

  // Month m of the four (0 the oldest), on the given day or the nearest
  // earlier one the month has (and not after today).
  void SetDay(int month, int day, int hour) {
    int year = today_.year;
    int month_number = today_.month - (kMonths - 1 - month);
    while (month_number < 1) {
      month_number += 12;
      --year;
    }
    day = std::min(day, plat::DaysInMonth(year, month_number));
    if (month == kMonths - 1) day = std::min(day, today_.day);
    clock_.SetNow(plat::LocalTime{year, month_number, std::max(day, 1), hour, 15, 0, 0, 0});
  }

  void TakeTests(const SampleLearner& learner, int month, SeedReport& report) {
    const size_t m = static_cast<size_t>(month);
    if (learner.aims[0][m] == kNoTest && learner.aims[1][m] == kNoTest) return;
    SetDay(month, 2, 9);
    const std::string session = AttributeOf(Ask("action=login&username=" + content::PercentEncode(learner.login) +
                                                "&password=" + content::PercentEncode(learner.password)),
                                            "sessionid");
    if (session.empty()) throw SeedError("the course has no learner \"" + std::string(learner.login) + "\"");
    for (int attempt = 0; attempt < learner.tests_per_month; ++attempt) {
      SetDay(month, 4 + attempt * 9 + plat::RandomBelow(random_, 4), 10 + attempt);
      for (int subject = 1; subject <= 2; ++subject) {
        const int target = learner.aims[static_cast<size_t>(subject - 1)][m];
        if (target == kNoTest) continue;
        // Scores wander a little around the month's aim.
        const int aim = std::clamp(target + plat::RandomBelow(random_, 21) - 10, 0, 100);
        report.answers_given += TakeTest(session, subject, aim);
        ++report.tests_taken;
      }
    }
  }

  // One fresh test answered to come near the aim; the number of answers.
  int TakeTest(const std::string& session, int subject, int aim) {
    const std::string slot = "&sessionid=" + session + "&subject=" + std::to_string(subject);
    // A look at the subject first counts one use; then a fresh draw.
    Ask("action=genquestions" + slot);
    const std::string reply = Ask("action=regenquestions" + slot);
    if (AttributeOf(reply, "generated") != "1") throw SeedError("no test drawn: " + reply);
    const std::vector<int> answers = ChooseAnswers(session, subject, aim);
    for (size_t q = 0; q < answers.size(); ++q)
      Ask("action=putanswer" + slot + "&qindex=" + std::to_string(q + 1) + "&answer=" + std::to_string(answers[q]));
    return static_cast<int>(answers.size());
  }

  // Answer numbers (from 1) for the drawn questions: the best answer for a
  // share of them that matches the aim, another answer for the rest.
  std::vector<int> ChooseAnswers(const std::string& session_id, int subject, int aim) {
    server::TSessionsLock lock(server_.GetSessions());
    const server::TQuizSessionParams* session = server_.GetSessions().FindById(session_id);
    const server::TSessionQuestions* test = session != nullptr ? session->GetTest(subject) : nullptr;
    if (test == nullptr) throw SeedError("the drawn test is missing");
    const content::TQuestionsList& questions = test->GetQuestions();
    const int count = questions.Count();
    int right = (aim * count + 50) / 100;
    std::vector<int> answers;
    for (int q = 0; q < count; ++q) {
      const content::TQuestion& question = *questions.GetQuestion(q);
      std::vector<int> best, other;
      for (int a = 0; a < 5; ++a) {
        if (question.GetAnswerText(a).empty()) continue;
        (question.GetAnswerScore(a) == question.GetMaxScore() ? best : other).push_back(a + 1);
      }
      // Right answers fall on random questions, as many as the aim asks.
      const bool answer_right = plat::RandomBelow(random_, count - q) < right;
      if (answer_right) --right;
      const std::vector<int>* pool = answer_right ? &best : &other;
      if (pool->empty()) pool = answer_right ? &other : &best;
      const int32_t pick = plat::RandomBelow(random_, static_cast<int32_t>(pool->size()));
      answers.push_back(pool->empty() ? 1 : (*pool)[static_cast<size_t>(pick)]);
    }
    return answers;
  }

  server::TQuizSession& server_;
  plat::ManualClock& clock_;
  plat::LocalTime today_;
  plat::LcgRandom random_;
};

}  // namespace

SeedReport SeedSampleHistory(server::TQuizSession& server, plat::ManualClock& clock, const plat::LocalTime& today,
                             uint64_t seed) {
  return Seeder(server, clock, today, seed).Run();
}

}  // namespace tools
