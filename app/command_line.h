// The player's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TCommandLine {
  enum class Kind { kUsage, kServe };
  Kind kind = Kind::kUsage;
  // kServe: the content folder or package to serve.
  std::string content;
};

// "--serve CONTENT" serves the content headless; anything else asks for the usage text.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string_view UsageText();
