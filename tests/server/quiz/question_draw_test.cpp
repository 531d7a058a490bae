// The draw keeps the questions, and the order, that deleting one random
// question at a time gave, whatever the index's size and the seed.
#include "server/quiz/question_draw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace server {
namespace {

std::vector<std::string> Texts(const content::TQuestionsList& questions) {
  std::vector<std::string> texts;
  for (int i = 0; i < questions.Count(); ++i) texts.push_back(questions.GetQuestion(i)->GetQuestionText());
  return texts;
}

// The draw as it was first written: a deletion per draw, then the swaps.
std::vector<std::string> OneAtATime(std::vector<std::string> texts, int max_questions, plat::RandomSource& random) {
  while (static_cast<int>(texts.size()) > std::max(0, max_questions))
    texts.erase(texts.begin() + plat::RandomBelow(random, static_cast<int32_t>(texts.size())));
  const int count = static_cast<int>(texts.size());
  for (int i = 0; i < count; ++i) {
    const int a = plat::RandomBelow(random, count);
    const int b = plat::RandomBelow(random, count);
    std::swap(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)]);
  }
  return texts;
}

TEST(QuestionDraw, KeepsTheResultOfDeletingOneQuestionAtATime) {
  for (int rows : {0, 1, 2, 7, 64, 1000}) {
    for (int max_questions : {-1, 0, 1, 5, 20, 1000}) {
      for (uint64_t seed : {1u, 12345u, 987654321u}) {
        std::string index;
        std::vector<std::string> texts;
        for (int i = 0; i < rows; ++i) {
          texts.push_back("Q" + std::to_string(i));
          index += texts.back() + ";A;;;;;1;0;0;0;0\r\n\r\n";  // blank rows hold no question
        }
        plat::LcgRandom expected_random(seed);
        const std::vector<std::string> expected = OneAtATime(texts, max_questions, expected_random);

        plat::LcgRandom from_index_random(seed);
        content::TQuestionsList from_index;
        DrawQuestionsFromIndex(index, from_index, max_questions, from_index_random);
        plat::LcgRandom in_list_random(seed);
        content::TQuestionsList in_list;
        in_list.LoadFromIndexText(index);
        DrawQuestions(in_list, max_questions, in_list_random);

        const std::string where = std::to_string(rows) + " rows, at most " + std::to_string(max_questions);
        EXPECT_EQ(Texts(from_index), expected) << where;
        EXPECT_EQ(Texts(in_list), expected) << where;
        EXPECT_EQ(from_index_random.State(), expected_random.State()) << where;
        EXPECT_EQ(in_list_random.State(), expected_random.State()) << where;
        EXPECT_EQ(from_index.GetModified(), rows > std::max(0, max_questions)) << where;
      }
    }
  }
}

}  // namespace
}  // namespace server
