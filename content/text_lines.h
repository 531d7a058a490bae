// Lines of a text file or of a multi-line field.
#pragma once

#include <string_view>

#include "content/text_lists.h"

namespace content {

// A line ends at CR, LF or CRLF (so LF followed by CR is two breaks). Empty
// lines between breaks are kept; text after the last break is a line only when
// it is not empty, so "a\r\n" and "a" both give one line.
TStringList SplitLines(std::string_view text);

// The lines that are not empty, in order: the records of a table or index file.
TStringList NonEmptyLines(std::string_view text);

}  // namespace content
