#include "content/safe_name.h"

#include "platform/ascii.h"

namespace content {
namespace {

bool IsSafeChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ' '; }

bool IsUnusableLastChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
}

}  // namespace

std::string MakeSafeName(std::string_view name) {
  std::string safe = plat::AsciiLowerCase(name);
  for (size_t i = 0; i + 1 < safe.size(); ++i)
    if (!IsSafeChar(safe[i])) safe[i] = '_';
  if (safe.empty()) return "_";
  if (safe == "." || IsUnusableLastChar(safe.back())) safe.back() = '_';
  return safe;
}

}  // namespace content
