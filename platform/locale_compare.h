// Locale comparison of values (sorting and locating), standing in for the
// operating system's locale compare: ICU's root collator with punctuation
// significant (string sort), tertiary strength when case counts and secondary
// when it does not. 8-bit text is taken in the system code page, so 8-bit and
// wide text order alike. Names (fields, files, keys) fold ASCII instead.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// -1, 0 or 1.
int LocaleCompareWide(std::u16string_view a, std::u16string_view b, bool ignore_case);
int LocaleCompareAnsi(std::string_view a, std::string_view b, bool ignore_case);

// The collation key of a text: zero-terminated bytes that order (by strcmp)
// exactly as the comparisons above order the texts. For sorting many texts,
// where one key per text costs less than a comparison per pair.
void LocaleSortKeyWide(std::u16string_view text, bool ignore_case, std::string& key);
void LocaleSortKeyAnsi(std::string_view text, bool ignore_case, std::string& key);

// Case mapping of wide values, character by character (ICU's simple mapping).
std::u16string WideUpperCase(std::u16string_view text);
std::u16string WideLowerCase(std::u16string_view text);

}  // namespace plat
