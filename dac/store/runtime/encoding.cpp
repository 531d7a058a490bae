#include "dac/store/runtime/encoding.h"

#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "platform/code_page.h"

namespace dac {

namespace {

void CheckRange(size_t size, int index, int count, const char* what) {
  if (index < 0 || count < 0 || static_cast<size_t>(index) + static_cast<size_t>(count) > size)
    throw ArgumentException(std::string(what) + " out of range");
}

std::string_view View(const TBytes& bytes, int index, int count) {
  CheckRange(bytes.size(), index, count, "Byte range");
  return std::string_view(reinterpret_cast<const char*>(bytes.data()) + index, static_cast<size_t>(count));
}

}  // namespace

const Encoding& Encoding::Default() {
  static const Encoding instance;
  return instance;
}

const Encoding& Encoding::Unicode() {
  static const UnicodeEncoding instance;
  return instance;
}

const Encoding& Encoding::UTF8() {
  static const UTF8Encoding instance;
  return instance;
}

TBytes Encoding::GetBytes(const std::string& text) const { return TBytes(text.begin(), text.end()); }

int Encoding::GetBytes(const std::string& text, int char_index, int char_count, TBytes& bytes, int byte_index) const {
  if (char_count < 1) return 0;
  CheckRange(text.size(), char_index, char_count, "Character range");
  CheckRange(bytes.size(), byte_index, char_count, "Byte range");
  std::memcpy(bytes.data() + byte_index, text.data() + char_index, static_cast<size_t>(char_count));
  return char_count;
}

TBytes Encoding::GetBytes(const WideString& text) const {
  TBytes bytes(text.size() * 2);
  if (!text.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
  return bytes;
}

int Encoding::GetBytes(const WideString& text, int char_index, int char_count, TBytes& bytes, int byte_index) const {
  if (char_count < 1) return 0;
  CheckRange(text.size(), char_index, char_count, "Character range");
  if (char_count > (1 << 30)) throw ArgumentException("Character range out of range");
  CheckRange(bytes.size(), byte_index, char_count * 2, "Byte range");
  std::memcpy(bytes.data() + byte_index, text.data() + char_index, static_cast<size_t>(char_count) * 2);
  return char_count * 2;
}

std::string Encoding::GetString(const TBytes& bytes) const {
  return GetString(bytes, 0, static_cast<int>(bytes.size()));
}

std::string Encoding::GetString(const TBytes& bytes, int index, int count) const {
  return std::string(View(bytes, index, count));
}

WideString Encoding::GetWideString(const TBytes& bytes) const {
  return GetWideString(bytes, 0, static_cast<int>(bytes.size()));
}

WideString Encoding::GetWideString(const TBytes& bytes, int index, int count) const {
  return plat::AnsiToUtf16(View(bytes, index, count));
}

std::string UnicodeEncoding::GetString(const TBytes& bytes, int index, int count) const {
  return plat::Utf16ToAnsi(GetWideString(bytes, index, count));
}

WideString UnicodeEncoding::GetWideString(const TBytes& bytes, int index, int count) const {
  const std::string_view view = View(bytes, index, count);
  WideString out(view.size() / 2, u'\0');
  if (!out.empty()) std::memcpy(out.data(), view.data(), out.size() * 2);
  return out;
}

TBytes UTF8Encoding::GetBytes(const std::string& text) const {
  const std::string utf8 = plat::AnsiToUtf8(text);
  return TBytes(utf8.begin(), utf8.end());
}

TBytes UTF8Encoding::GetBytes(const WideString& text) const {
  const std::string utf8 = plat::Utf16ToUtf8(text);
  return TBytes(utf8.begin(), utf8.end());
}

std::string UTF8Encoding::GetString(const TBytes& bytes, int index, int count) const {
  return plat::Utf8ToAnsi(View(bytes, index, count));
}

WideString UTF8Encoding::GetWideString(const TBytes& bytes, int index, int count) const {
  return plat::Utf8ToUtf16(View(bytes, index, count));
}

}  // namespace dac
