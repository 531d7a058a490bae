#include "app/terminal.h"

#include <iostream>

#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/console.h"

namespace app {

void TConsoleTerminal::Write(std::string_view text) { std::cerr << text << std::flush; }

bool TConsoleTerminal::IsInteractive() const { return plat::IsStandardInputTerminal(); }

std::optional<std::string> TConsoleTerminal::ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

namespace {

std::string_view AnswerName(bool yes) { return yes ? "Yes" : "No"; }

// The answer a line gives, nullopt when it gives none; an empty line takes the default.
std::optional<bool> ReadAnswer(std::string_view line, bool default_yes) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line.empty()) return default_yes;
  if (plat::SameText(line, "y") || plat::SameText(line, "yes")) return true;
  if (plat::SameText(line, "n") || plat::SameText(line, "no")) return false;
  return std::nullopt;
}

}  // namespace

bool AskYesNo(TTerminal& terminal, std::string_view question, bool default_yes) {
  const std::string choices = default_yes ? " [Y/n] " : " [y/N] ";
  terminal.Write(std::string(question) + choices);
  if (!terminal.IsInteractive()) {
    terminal.Write("\nNo terminal to answer on: taking the answer " + std::string(AnswerName(default_yes)) + ".\n");
    return default_yes;
  }
  for (;;) {
    const std::optional<std::string> line = terminal.ReadLine();
    if (!line) {
      terminal.Write("\nNo answer: taking the answer " + std::string(AnswerName(default_yes)) + ".\n");
      return default_yes;
    }
    if (const std::optional<bool> answer = ReadAnswer(*line, default_yes)) return *answer;
    terminal.Write("Please answer y or n." + choices);
  }
}

std::string TerminalText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    // Below 0x20, DEL, and the code page's five undefined bytes, which stand for C1 controls.
    if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
      c = '?';
  }
  return plat::AnsiToUtf8(safe);
}

}  // namespace app
