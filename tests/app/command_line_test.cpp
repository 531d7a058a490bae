#include "app/command_line.h"

#include <gtest/gtest.h>

namespace app {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, OptionsComeFirstAndTheRestAreTheArguments) {
  struct Case {
    Words words;
    bool serve;
    Words arguments;
  };
  for (const Case& c : std::vector<Case>{
           {{}, false, {}},
           {{"--serve"}, true, {}},
           {{"--serve", "course/"}, true, {"course/"}},
           {{"course.vrn"}, false, {"course.vrn"}},
           {{"-1"}, false, {"-1"}},
           {{"--serve", "-1", "disc"}, true, {"-1", "disc"}},
           // After the first argument everything is an argument, "--serve" too.
           {{"-1", "--serve"}, false, {"-1", "--serve"}},
           {{"--", "--serve"}, false, {"--serve"}},
           {{"--serve", "--serve", ""}, true, {""}},
       }) {
    const TCommandLine line = ParseCommandLine(c.words);
    EXPECT_EQ(line.kind, TCommandLine::Kind::kRun) << testing::PrintToString(c.words);
    EXPECT_EQ(line.serve, c.serve) << testing::PrintToString(c.words);
    EXPECT_EQ(line.arguments, c.arguments) << testing::PrintToString(c.words);
  }
  const TCommandLine browser = ParseCommandLine({"--browser", "course/"});
  EXPECT_TRUE(browser.browser && !browser.serve && browser.arguments == Words{"course/"});
}

TEST(CommandLine, HelpAndUsageErrors) {
  struct Case {
    Words words;
    TCommandLine::Kind kind;
    std::string problem;
  };
  for (const Case& c : std::vector<Case>{
           {{"--help"}, TCommandLine::Kind::kHelp, ""},
           {{"-h"}, TCommandLine::Kind::kHelp, ""},
           {{"--serve", "-h", "course/"}, TCommandLine::Kind::kHelp, ""},
           // The player has no version of its own to tell.
           {{"--version"}, TCommandLine::Kind::kUsageError, "unrecognized option '--version'"},
           {{"--bogus"}, TCommandLine::Kind::kUsageError, "unrecognized option '--bogus'"},
           {{"-x", "course/"}, TCommandLine::Kind::kUsageError, "unrecognized option '-x'"},
           {{"--SERVE", "a"}, TCommandLine::Kind::kUsageError, "unrecognized option '--SERVE'"},
           {{"--serve", "--x", "a"}, TCommandLine::Kind::kUsageError, "unrecognized option '--x'"},
           {{"--bogus", "--help"}, TCommandLine::Kind::kUsageError, "unrecognized option '--bogus'"},
           {{"a", "b", "c"}, TCommandLine::Kind::kUsageError, "extra operand 'c'"},
           {{"--serve", "--browser"}, TCommandLine::Kind::kUsageError, "--serve and --browser cannot be used together"},
           {{"--browser", "--serve", "a"}, TCommandLine::Kind::kUsageError,
            "--serve and --browser cannot be used together"},
       }) {
    const TCommandLine line = ParseCommandLine(c.words);
    EXPECT_EQ(line.kind, c.kind) << testing::PrintToString(c.words);
    EXPECT_EQ(line.problem, c.problem) << testing::PrintToString(c.words);
  }
  // Once the arguments began, -h is the argument of -1 and "-" a path.
  EXPECT_EQ(ParseCommandLine({"-1", "-h"}).arguments, (Words{"-1", "-h"}));
  EXPECT_EQ(ParseCommandLine({"--", "-h"}).arguments, Words{"-h"});
  EXPECT_EQ(ParseCommandLine({"-"}).arguments, Words{"-"});
}

}  // namespace
}  // namespace app
