// The sample course's learner history: four months of tests of its learners,
// made by driving the player's own request handlers in-process on the packed
// course, so the records are exactly what the server writes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/clock.h"
#include "server/quiz_session.h"

namespace tools {

struct SeedError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct SeedReport {
  // False when the course already had a history: nothing was added then.
  bool seeded = false;
  int tests_taken = 0;
  int answers_given = 0;
};

// Seeds the data folder of the server's open package with the tests of the
// sample learners ("sam", "kim", "ann", "ben" and "cara", with their
// passwords) in the four months that end with today's, taken on days up to
// today: logins, draws and answers as a learner's pages make them. `clock`
// must be the process clock; it is moved month by month and set back to
// `today` at the end. Choices and draws come from `seed`, so a seed gives the
// same history. The learners' sessions end and their stored sessions are
// removed, so each starts with no test drawn. Throws SeedError when no package is open, a learner
// cannot log in or a request is refused.
SeedReport SeedSampleHistory(server::TQuizSession& server, plat::ManualClock& clock, const plat::LocalTime& today,
                             uint64_t seed = 1);

}  // namespace tools
