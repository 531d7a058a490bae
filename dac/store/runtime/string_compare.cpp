#include "dac/store/runtime/string_compare.h"

#include "platform/locale_compare.h"

namespace dac {

namespace {

std::u16string_view Prefix(const char16_t* text, size_t max_length) {
  size_t n = 0;
  while (n < max_length && text[n] != 0) ++n;
  return std::u16string_view(text, n);
}

}  // namespace

int AnsiStrLCompWS(const char16_t* a, const char16_t* b, size_t max_length) {
  return plat::LocaleCompareWide(Prefix(a, max_length), Prefix(b, max_length), false);
}

int AnsiStrLICompWS(const char16_t* a, const char16_t* b, size_t max_length) {
  return plat::LocaleCompareWide(Prefix(a, max_length), Prefix(b, max_length), true);
}

int AnsiStrCompWS(const char16_t* a, const char16_t* b) {
  return plat::LocaleCompareWide(std::u16string_view(a), std::u16string_view(b), false);
}

int AnsiStrICompWS(const char16_t* a, const char16_t* b) {
  return plat::LocaleCompareWide(std::u16string_view(a), std::u16string_view(b), true);
}

int AnsiStrCompS(const char* a, const char* b) {
  return plat::LocaleCompareAnsi(std::string_view(a), std::string_view(b), false);
}

int AnsiStrICompS(const char* a, const char* b) {
  return plat::LocaleCompareAnsi(std::string_view(a), std::string_view(b), true);
}

int AnsiCompareStrS(std::string_view a, std::string_view b) { return plat::LocaleCompareAnsi(a, b, false); }
int AnsiCompareTextS(std::string_view a, std::string_view b) { return plat::LocaleCompareAnsi(a, b, true); }
int AnsiCompareStrWS(std::u16string_view a, std::u16string_view b) { return plat::LocaleCompareWide(a, b, false); }
int AnsiCompareTextWS(std::u16string_view a, std::u16string_view b) { return plat::LocaleCompareWide(a, b, true); }

}  // namespace dac
