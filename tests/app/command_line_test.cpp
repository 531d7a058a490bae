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

TEST(CommandLine, UnknownOptionsAndExtraArgumentsAskForUsage) {
  for (const Words& words : std::vector<Words>{{"--bogus"}, {"--SERVE", "a"}, {"--serve", "--x", "a"}, {"a", "b", "c"},
                                                {"--serve", "--browser"}, {"--browser", "--serve", "a"}})
    EXPECT_EQ(ParseCommandLine(words).kind, TCommandLine::Kind::kUsage) << testing::PrintToString(words);
}

}  // namespace
}  // namespace app
