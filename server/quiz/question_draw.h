// Turning a subject's question index into a test: a random cut down to the
// test's size, a shuffle, and each question's maximum score.
#pragma once

#include <cstdint>
#include <string_view>

#include "content/question.h"
#include "content/questions_list.h"
#include "platform/random.h"

namespace server {

// Removes random questions until at most max_questions remain (none for 0 or
// less), then shuffles the order: as many times as questions remain, two
// random positions are drawn and exchanged. Answers keep their order inside
// each question. Stored tests depend on this exact use of the draws.
void DrawQuestions(content::TQuestionsList& questions, int32_t max_questions, plat::RandomSource& random);
// Loads a question index's rows into the empty list and draws them as
// DrawQuestions does, with the same draws and the same result, building only
// the questions the draw keeps.
void DrawQuestionsFromIndex(std::string_view index_text, content::TQuestionsList& questions, int32_t max_questions,
                            plat::RandomSource& random);

// The highest score among the answers that have a text; 0 when none scores
// above 0. An answer without text is absent, whatever its score.
int32_t QuestionMaxScore(const content::TQuestion& question);

}  // namespace server
