// vrn-seed-history PACKAGE: gives the packed sample course a learner history
// (four months of tests up to today) in the data folder the player uses for
// that package. Run it after packing: a package with a new time stamp clears
// its data folder when the player opens it. A course that already has a
// history is left alone.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/program_usage.h"
#include "server/quiz_session.h"
#include "tools/sample_history.h"

namespace tools {
namespace {

constexpr char kUsage[] =
    "Usage: vrn-seed-history [OPTION]... PACKAGE\n"
    "Gives the packed sample course PACKAGE a learner history: its learners take\n"
    "tests in the four months up to today, in the data folder the player uses for\n"
    "that package. A course that already has a history is left alone. Run it after\n"
    "packing: the player clears the data folder of a package with a new time stamp.\n"
    "\n"
    "  -h, --help  print this help and exit\n"
    "\n"
    "Exit status: 0 when seeded or left alone, 1 when PACKAGE cannot be opened or\n"
    "seeded, 2 for a usage error.\n";

}  // namespace
}  // namespace tools

int main(int argc, char** argv) {
  const plat::TOperands line = plat::ReadOperands({argv + 1, argv + argc}, {"PACKAGE"});
  if (const auto status = plat::AnswerHelpOrProblem("vrn-seed-history", tools::kUsage, line.help, line.problem))
    return *status;
  const std::string& package = line.words[0];
  const plat::LocalTime today = plat::SystemClock().Now();
  plat::ManualClock clock;
  clock.SetNow(today);
  clock.SetUtcSeconds(plat::SystemClock().UtcSeconds());
  plat::ScopedProcessClock scope(clock);
  try {
    plat::EventLoop loop;
    // Port 1 is only remembered: this server never listens.
    server::TQuizSession server(loop, 1);
    if (!server.SetPath(package)) {
      std::fprintf(stderr, "vrn-seed-history: cannot open %s: %s\n", package.c_str(), server.GetContentError().c_str());
      return 1;
    }
    const tools::SeedReport report = tools::SeedSampleHistory(server, clock, today);
    if (!report.seeded) {
      std::printf("%s already has a learner history; nothing added\n", package.c_str());
      return 0;
    }
    std::printf("%s: %d tests taken with %d answers\n", package.c_str(), report.tests_taken, report.answers_given);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrn-seed-history: %s\n", e.what());
    return 1;
  }
}
