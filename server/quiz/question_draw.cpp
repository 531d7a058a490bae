#include "server/quiz/question_draw.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "content/text_lines.h"

namespace server {
namespace {

// Which of n places are still taken, finding the k-th taken one and freeing
// one in logarithmic time (a binary indexed tree of counts).
class TakenPlaces {
 public:
  explicit TakenPlaces(int n) : counts_(static_cast<size_t>(n) + 1, 0) {
    for (int i = 1; i <= n; ++i) {
      counts_[static_cast<size_t>(i)] += 1;
      const int parent = i + (i & -i);
      if (parent <= n) counts_[static_cast<size_t>(parent)] += counts_[static_cast<size_t>(i)];
    }
  }

  // The place (from 0) of the k-th taken place (from 0).
  int Find(int k) const {
    int place = 0;
    const int n = static_cast<int>(counts_.size()) - 1;
    for (int step = std::bit_floor(static_cast<unsigned>(n)); step > 0; step >>= 1) {
      const int next = place + step;
      if (next <= n && counts_[static_cast<size_t>(next)] <= k) {
        place = next;
        k -= counts_[static_cast<size_t>(next)];
      }
    }
    return place;
  }

  void Free(int place) {
    for (int i = place + 1; i < static_cast<int>(counts_.size()); i += i & -i) counts_[static_cast<size_t>(i)] -= 1;
  }

 private:
  std::vector<int> counts_;
};

// Which of count places the cut down to max_questions drops: the draws of
// deleting one at a time, without moving the rest of the list at each one.
std::vector<bool> DroppedPlaces(int count, int32_t max_questions, plat::RandomSource& random) {
  std::vector<bool> dropped(static_cast<size_t>(count), false);
  const int keep = std::max(0, max_questions);
  if (count <= keep) return dropped;
  TakenPlaces taken(count);
  for (int left = count; left > keep; --left) {
    const int place = taken.Find(plat::RandomBelow(random, left));
    taken.Free(place);
    dropped[static_cast<size_t>(place)] = true;
  }
  return dropped;
}

// As many times as questions remain, two random places are exchanged.
void Shuffle(content::TQuestionsList& questions, plat::RandomSource& random) {
  const int count = questions.Count();
  for (int i = 0; i < count; ++i) {
    const int a = plat::RandomBelow(random, count);
    const int b = plat::RandomBelow(random, count);
    questions.Exchange(a, b);
  }
}

}  // namespace

void DrawQuestions(content::TQuestionsList& questions, int32_t max_questions, plat::RandomSource& random) {
  if (questions.Count() > std::max(0, max_questions)) {
    questions.DeleteMarked(DroppedPlaces(questions.Count(), max_questions, random));
    questions.SetModified(true);
  }
  Shuffle(questions, random);
}

void DrawQuestionsFromIndex(std::string_view index_text, content::TQuestionsList& questions, int32_t max_questions,
                            plat::RandomSource& random) {
  const content::TStringList rows = content::NonEmptyLines(index_text);
  const std::vector<bool> dropped = DroppedPlaces(static_cast<int>(rows.size()), max_questions, random);
  for (size_t i = 0; i < rows.size(); ++i)
    if (!dropped[i]) questions.AddNew()->LoadFromIndexRow(rows[i]);
  if (rows.size() > static_cast<size_t>(std::max(0, max_questions))) questions.SetModified(true);
  Shuffle(questions, random);
}

int32_t QuestionMaxScore(const content::TQuestion& question) {
  int32_t max_score = 0;
  for (int i = 0; i < content::TQuestion::kAnswerCount; ++i)
    if (!question.GetAnswerText(i).empty() && question.GetAnswerScore(i) > max_score)
      max_score = question.GetAnswerScore(i);
  return max_score;
}

}  // namespace server
