#include "platform/locale_compare.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/utf16.h>

#include <limits>
#include <memory>
#include <stdexcept>

#include "platform/code_page.h"

namespace plat {

namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

CollatorPtr OpenCollator(UColAttributeValue strength) {
  UErrorCode status = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open("", &status));
  if (U_FAILURE(status)) throw std::runtime_error(std::string("cannot open the root collator: ") + u_errorName(status));
  ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  ucol_setAttribute(collator.get(), UCOL_STRENGTH, strength, &status);
  if (U_FAILURE(status)) throw std::runtime_error(std::string("cannot set up the collator: ") + u_errorName(status));
  return collator;
}

// Opened once; ucol_strcoll on a collator that is no longer changed is thread-safe.
const UCollator* Collator(bool ignore_case) {
  static const CollatorPtr tertiary = OpenCollator(UCOL_TERTIARY);
  static const CollatorPtr secondary = OpenCollator(UCOL_SECONDARY);
  return ignore_case ? secondary.get() : tertiary.get();
}

int32_t IcuLength(size_t n) {
  if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw std::length_error("text too long to compare");
  return static_cast<int32_t>(n);
}

template <typename MapFn>
std::u16string MapCase(std::u16string_view text, MapFn map) {
  std::u16string out;
  out.reserve(text.size());
  const int32_t length = IcuLength(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U16_NEXT(text.data(), i, length, c);
    const UChar32 mapped = map(c);
    if (U_IS_BMP(mapped)) {
      out += static_cast<char16_t>(mapped);
    } else {
      out += static_cast<char16_t>(U16_LEAD(mapped));
      out += static_cast<char16_t>(U16_TRAIL(mapped));
    }
  }
  return out;
}

}  // namespace

int LocaleCompareWide(std::u16string_view a, std::u16string_view b, bool ignore_case) {
  const UCollationResult r =
      ucol_strcoll(Collator(ignore_case), a.data(), IcuLength(a.size()), b.data(), IcuLength(b.size()));
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

int LocaleCompareAnsi(std::string_view a, std::string_view b, bool ignore_case) {
  return LocaleCompareWide(AnsiToUtf16(a), AnsiToUtf16(b), ignore_case);
}

std::u16string WideUpperCase(std::u16string_view text) { return MapCase(text, u_toupper); }
std::u16string WideLowerCase(std::u16string_view text) { return MapCase(text, u_tolower); }

}  // namespace plat
