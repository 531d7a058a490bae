// Content packages in the fuzzer's terms: the layout of
// content/xor_file_stream.h with the directory and every entry it names kept
// plain, so that mutations reach names, offsets, sizes and entry texts
// directly. Scrambling turns such a file into the package the writer would
// have made; unscrambling turns a written package (a seed) back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

std::string ScramblePackage(std::string plain);
std::string UnscramblePackage(std::string package);

// The names in a plain package's directory, each cut at its first NUL.
std::vector<std::string> PlainEntryNames(std::string_view plain);

}  // namespace fuzz
