// The percent codec that protects free text inside ';'-records and HTML replies.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Every byte becomes '%' and two upper-case hexadecimal digits.
std::string PercentEncode(std::string_view text);
// '0'..'9', 'A'..'F', 'a'..'f' give their value; anything else gives 0.
int HexDigitValue(char c);
// Inverse of PercentEncode. A '%' with fewer than two characters after it is
// kept as it is; non-hexadecimal digits count as 0; '+' stays '+'.
std::string PercentDecode(std::string_view text);

}  // namespace content
