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

namespace {

// 8-bit text as UTF-16, on the stack when it is short: a comparison costs no allocation.
class Utf16Of {
 public:
  explicit Utf16Of(std::string_view ansi) : size_(ansi.size()) {
    char16_t* out = ansi.size() <= kInline ? inline_ : (heap_.resize(ansi.size()), heap_.data());
    for (size_t i = 0; i < ansi.size(); ++i) out[i] = AnsiCharToUtf16(ansi[i]);
    data_ = out;
  }
  std::u16string_view View() const { return std::u16string_view(data_, size_); }

 private:
  static constexpr size_t kInline = 256;
  char16_t inline_[kInline];
  std::u16string heap_;
  const char16_t* data_ = nullptr;
  size_t size_;
};

}  // namespace

int LocaleCompareAnsi(std::string_view a, std::string_view b, bool ignore_case) {
  return LocaleCompareWide(Utf16Of(a).View(), Utf16Of(b).View(), ignore_case);
}

void LocaleSortKeyWide(std::u16string_view text, bool ignore_case, std::string& key) {
  const UCollator* collator = Collator(ignore_case);
  const int32_t length = IcuLength(text.size());
  if (key.size() < 64) key.resize(64);
  int32_t size = ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()),
                                 IcuLength(key.size()));
  if (size > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(size));
    size = ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()), size);
  }
  // The key's own terminator stays out of the string.
  key.resize(size > 0 ? static_cast<size_t>(size) - 1 : 0);
}

void LocaleSortKeyAnsi(std::string_view text, bool ignore_case, std::string& key) {
  LocaleSortKeyWide(Utf16Of(text).View(), ignore_case, key);
}

std::u16string WideUpperCase(std::u16string_view text) { return MapCase(text, u_toupper); }
std::u16string WideLowerCase(std::u16string_view text) { return MapCase(text, u_tolower); }

}  // namespace plat
