#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OnlyServeWithContentServes) {
  const TCommandLine serve = ParseCommandLine({"--serve", "course/"});
  EXPECT_EQ(serve.kind, TCommandLine::Kind::kServe);
  EXPECT_EQ(serve.content, "course/");
  for (const std::vector<std::string>& other : std::vector<std::vector<std::string>>{
           {}, {"--serve"}, {"--serve", ""}, {"course/"}, {"--serve", "a", "b"}, {"--SERVE", "a"}})
    EXPECT_EQ(ParseCommandLine(other).kind, TCommandLine::Kind::kUsage);
}

}  // namespace
