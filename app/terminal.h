// The terminal stands in for message boxes: questions and messages go to
// standard error (standard output carries only the URL line), answers come
// from standard input when it is a terminal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace app {

class TTerminal {
 public:
  virtual ~TTerminal() = default;
  virtual void Write(std::string_view text) = 0;
  // Whether the user can answer: standard input is a terminal.
  virtual bool IsInteractive() const = 0;
  // One line without its line end; nullopt at the end of input.
  virtual std::optional<std::string> ReadLine() = 0;
};

// Standard error and standard input of the process.
class TConsoleTerminal : public TTerminal {
 public:
  void Write(std::string_view text) override;
  bool IsInteractive() const override;
  std::optional<std::string> ReadLine() override;
};

// Asks the question with the answers Yes and No. Without a user to answer,
// or at the end of input, the default answer is taken, with a line saying so.
bool AskYesNo(TTerminal& terminal, std::string_view question, bool default_yes);

// The system's code-page text as UTF-8 for the terminal, every control
// character replaced by '?', so that text read from a file cannot drive the
// terminal.
std::string TerminalText(std::string_view text);

}  // namespace app
