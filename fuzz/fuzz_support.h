// What the fuzz targets share: a scratch folder of the process's own for the
// parsers that read files, and small helpers over the input bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A folder below $TMPDIR that belongs to this process, with a trailing '/';
// made on first use and removed, with everything in it, at exit.
const std::string& ScratchFolder();

// Writes the bytes to the name below the scratch folder (replacing what was
// there) and returns the file's path.
std::string PutScratchFile(std::string_view name, std::string_view bytes);

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The longest text the targets that lex it several times take (the rest of
// a longer input is left out): the instrumented lexer takes a microsecond or
// two a byte, so a linear cost stays well below the second a unit may take,
// while one that grows with the square of the input still exceeds it.
constexpr size_t kLongestLexedText = 64 * 1024;

// A property every input must keep; a violation is a finding like a crash.
void Require(bool holds, const char* what);

// An error the parser does not document: a finding, shown with its message.
[[noreturn]] void ReportUnexpected(const std::string& message);

// The longest message an error about outside text may have: messages quote
// a short excerpt of the input, never all of it.
constexpr size_t kLongestMessage = 400;
void RequireShortMessage(const std::string& message);

}  // namespace fuzz
