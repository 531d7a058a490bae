#include "platform/program_usage.h"

#include <cstdio>

namespace plat {

bool IsHelpOption(std::string_view word) { return word == "-h" || word == "--help"; }

bool LooksLikeOption(std::string_view word) { return word.size() > 1 && word[0] == '-'; }

std::string UsageErrorText(std::string_view program, std::string_view problem) {
  std::string text;
  text.append(program).append(": ").append(problem).append("\n");
  text.append("Try '").append(program).append(" --help' for more information.\n");
  return text;
}

std::optional<int> AnswerHelpOrProblem(std::string_view program, std::string_view usage, bool help,
                                       std::string_view problem) {
  if (help) {
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return 0;
  }
  if (problem.empty()) return std::nullopt;
  const std::string text = UsageErrorText(program, problem);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return kUsageErrorStatus;
}

TOperands ReadOperands(const std::vector<std::string>& words, const std::vector<std::string_view>& names) {
  TOperands line;
  bool options_ended = false;
  for (const std::string& word : words) {
    if (options_ended || !LooksLikeOption(word)) {
      line.words.push_back(word);
    } else if (word == "--") {
      options_ended = true;
    } else if (IsHelpOption(word)) {
      line.help = true;
      return line;
    } else {
      line.problem = "unrecognized option '" + word + "'";
      return line;
    }
  }
  if (line.words.size() < names.size()) {
    line.problem = "missing operand " + std::string(names[line.words.size()]);
  } else if (line.words.size() > names.size()) {
    line.problem = "extra operand '" + line.words[names.size()] + "'";
  }
  return line;
}

}  // namespace plat
