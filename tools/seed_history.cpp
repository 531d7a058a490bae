// vrn-seed-history PACKAGE: gives the packed sample course a learner history
// (four months of tests up to today) in the data folder the player uses for
// that package. Run it after packing: a package with a new time stamp clears
// its data folder when the player opens it. A course that already has a
// history is left alone.
#include <cstdio>
#include <exception>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "server/quiz_session.h"
#include "tools/sample_history.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vrn-seed-history PACKAGE\n");
    return 2;
  }
  const plat::LocalTime today = plat::SystemClock().Now();
  plat::ManualClock clock;
  clock.SetNow(today);
  clock.SetUtcSeconds(plat::SystemClock().UtcSeconds());
  plat::ScopedProcessClock scope(clock);
  try {
    plat::EventLoop loop;
    // Port 1 is only remembered: this server never listens.
    server::TQuizSession server(loop, 1);
    if (!server.SetPath(argv[1])) {
      std::fprintf(stderr, "vrn-seed-history: cannot open %s: %s\n", argv[1], server.GetContentError().c_str());
      return 1;
    }
    const tools::SeedReport report = tools::SeedSampleHistory(server, clock, today);
    if (!report.seeded) {
      std::printf("%s already has a learner history; nothing added\n", argv[1]);
      return 0;
    }
    std::printf("%s: %d tests taken with %d answers\n", argv[1], report.tests_taken, report.answers_given);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vrn-seed-history: %s\n", e.what());
    return 1;
  }
}
