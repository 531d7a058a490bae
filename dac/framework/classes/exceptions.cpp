#include "dac/framework/classes/exceptions.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace dac {

namespace {

// The unit is the source file's name without its folders.
std::string UnitName(const char* file) {
  std::string path = file ? file : "";
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string Excerpt(std::string_view text) {
  constexpr size_t kExcerpt = 64;
  if (text.size() <= kExcerpt) return std::string(text);
  return std::string(text.substr(0, kExcerpt)) + "...";
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    out.assign(buffer.data(), static_cast<size_t>(n));
  }
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

EAssertionFailed::EAssertionFailed(const std::string& text, const char* file, int line)
    : Exception((text.empty() ? std::string("Assertion failure") : text) + " (" + UnitName(file) + ", line " +
                std::to_string(line) + ")"),
      text_(text.empty() ? "Assertion failure" : text),
      unit_(UnitName(file)),
      line_(line) {}

void AssertionFailed(const std::string& text, const char* file, int line) { throw EAssertionFailed(text, file, line); }

void ListIndexError(int index) { throw EListError(Format("List index out of bounds (%d)", index)); }

}  // namespace dac
