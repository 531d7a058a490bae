// A terminal that records what the player writes and answers from a script.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "app/terminal.h"

namespace app {

class FakeTerminal : public TTerminal {
 public:
  // Not interactive: no user to answer.
  FakeTerminal() = default;
  // Interactive, with these lines as the user's answers, then the end of input.
  explicit FakeTerminal(std::deque<std::string> answers) : interactive_(true), answers_(std::move(answers)) {}

  void Write(std::string_view text) override { output_ += text; }
  bool IsInteractive() const override { return interactive_; }
  std::optional<std::string> ReadLine() override {
    if (answers_.empty()) return std::nullopt;
    std::string line = answers_.front();
    answers_.pop_front();
    return line;
  }
  const std::string& Output() const { return output_; }

 private:
  bool interactive_ = false;
  std::deque<std::string> answers_;
  std::string output_;
};

}  // namespace app
