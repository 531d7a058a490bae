// The command-line conventions every program here follows, after the GNU
// tools: "-h" and "--help" print the usage on standard output and exit 0;
// an unknown option, a missing or an extra operand is named in one line on
// standard error, followed by a pointer to --help, and exits 2.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

constexpr int kUsageErrorStatus = 2;

bool IsHelpOption(std::string_view word);
// "-" followed by anything; "-" alone is an operand.
bool LooksLikeOption(std::string_view word);

// "NAME: PROBLEM" and "Try 'NAME --help' for more information.", each line
// ended.
std::string UsageErrorText(std::string_view program, std::string_view problem);

// What a program does first with a line that asks for help or is wrong:
// prints the usage on standard output, or the problem on standard error,
// and gives the exit status (0 or kUsageErrorStatus); nullopt for a line
// to run.
std::optional<int> AnswerHelpOrProblem(std::string_view program, std::string_view usage, bool help,
                                       std::string_view problem);

// A command line of operands, with -h and --help as its only options.
struct TOperands {
  bool help = false;
  // What is wrong with the line; empty when it is good.
  std::string problem;
  std::vector<std::string> words;
};

// Options may stand anywhere before "--", which ends them. Every name in
// `names` is an operand the program needs, named in the problem when it is
// missing; more are extra.
TOperands ReadOperands(const std::vector<std::string>& words, const std::vector<std::string_view>& names);

}  // namespace plat
