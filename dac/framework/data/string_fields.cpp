#include "dac/framework/data/string_fields.h"

#include <cstring>
#include <vector>

#include "dac/framework/data/field_write.h"
#include "dac/framework/values/text_conversions.h"
#include "platform/code_page.h"

namespace dac {

namespace {

// A field's text and its terminator, zeroed: on the stack when it is short,
// so reading or writing a value costs no allocation beyond the string.
class TextBytes {
 public:
  explicit TextBytes(size_t size) : size_(size) {
    if (size_ > sizeof inline_) heap_.resize(size_);
    data_ = size_ > sizeof inline_ ? heap_.data() : inline_;
    std::memset(data_, 0, size_);
  }
  char* data() { return data_; }

 private:
  char inline_[256];
  std::vector<char> heap_;
  char* data_ = nullptr;
  size_t size_;
};

// Copies length bytes, below 64, in a few moves of fixed width; the moves
// of a width overlap where the length is no multiple of it, writing the
// same bytes twice.
inline void CopyShortText(char* dest, const char* source, size_t length) {
  if (length >= 16) {
    for (size_t at = 0; at + 16 < length; at += 16) std::memcpy(dest + at, source + at, 16);
    std::memcpy(dest + length - 16, source + length - 16, 16);
  } else if (length >= 8) {
    std::memcpy(dest, source, 8);
    std::memcpy(dest + length - 8, source + length - 8, 8);
  } else if (length >= 4) {
    std::memcpy(dest, source, 4);
    std::memcpy(dest + length - 4, source + length - 4, 4);
  } else if (length > 0) {
    dest[0] = source[0];
    dest[length / 2] = source[length / 2];
    dest[length - 1] = source[length - 1];
  }
}

}  // namespace

DAC_DEFINE_CLASS(TStringField, TField, ::dac::TComponentClassOf<TStringField>)
DAC_DEFINE_CLASS(TWideStringField, TStringField, ::dac::TComponentClassOf<TWideStringField>)
DAC_DEFINE_CLASS(TGuidField, TStringField, ::dac::TComponentClassOf<TGuidField>)

TStringField::TStringField(TComponent* owner) : TStringField(owner, ftString, 20) {}

TStringField::TStringField(TComponent* owner, TFieldType type, int size) : TField(owner) {
  SetDataType(type);
  InitSize(size);
}

void TStringField::SetFixedChar(bool value) { SetDataType(value ? ftFixedChar : ftString); }

void TStringField::SetFieldType(TFieldType type) {
  if (type == ftString || type == ftFixedChar) SetDataType(type);
}

void TStringField::CheckTypeSize(int size) const {
  if (size < 0) FieldError("Invalid field size");
}

std::string TStringField::GetAsString() {
  if (std::string exact; ExactText(exact)) return exact;
  TextBytes buffer(static_cast<size_t>(Size()) + 1);
  if (!GetData(buffer.data())) return std::string();
  return std::string(buffer.data(), strnlen(buffer.data(), static_cast<size_t>(Size())));
}

namespace {

// The text cut to the field's size, zeroed to its end and terminated, as a
// write hands it on (the long ones off the usual way, on the stack up to 255).
[[gnu::noinline]] void WriteLongText(TField& field, const std::string& value, size_t size) {
  TextBytes buffer(size + 1);
  std::memcpy(buffer.data(), value.data(), std::min(value.size(), size));
  WriteFieldData(field, buffer.data());
}

}  // namespace

void TStringField::SetAsString(const std::string& value) {
  // Below 64 characters the text and its zeroes go in fixed-width moves.
  const auto size = static_cast<size_t>(Size());
  if (size >= 64) return WriteLongText(*this, value, size);
  alignas(16) char buffer[64] = {};
  CopyShortText(buffer, value.data(), std::min(value.size(), size));
  WriteFieldData(*this, buffer);
}

bool TStringField::GetAsBoolean() {
  const std::string text = GetAsString();
  return !text.empty() && std::strchr("TtYy", text[0]) != nullptr;
}

void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "T" : "F"); }

int32_t TStringField::GetAsInteger() { return IsNull() ? 0 : StrToInt(GetAsString()); }

void TStringField::SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }

int64_t TStringField::GetAsLargeInt() { return IsNull() ? 0 : StrToInt64(GetAsString()); }

void TStringField::SetAsLargeInt(int64_t value) { SetAsString(std::to_string(value)); }

double TStringField::GetAsFloat() { return IsNull() ? 0 : StrToFloat(GetAsString()); }

void TStringField::SetAsFloat(double value) { SetAsString(FloatToStr(value)); }

DateTime TStringField::GetAsDateTime() { return IsNull() ? 0 : StrToDateTime(GetAsString()); }

void TStringField::SetAsDateTime(DateTime value) { SetAsString(DateTimeToStr(value)); }

TWideStringField::TWideStringField(TComponent* owner) : TStringField(owner, ftWideString, 20) {}

WideString TWideStringField::GetAsWideString() {
  // Wide text comes from the source as UTF-8.
  if (std::string exact; ExactText(exact)) return plat::Utf8ToUtf16(exact);
  WideString value;
  return GetData(&value, false) ? value : WideString();
}

void TWideStringField::SetAsWideString(const WideString& value) { SetData(&value, false); }

std::string TWideStringField::GetAsString() { return plat::Utf16ToAnsi(GetAsWideString()); }

void TWideStringField::SetAsString(const std::string& value) { SetAsWideString(plat::AnsiToUtf16(value)); }

TGuidField::TGuidField(TComponent* owner) : TStringField(owner, ftGuid, 38) {}

void TGuidField::CheckTypeSize(int size) const {
  if (size != 38) FieldError("Invalid field size");
}

}  // namespace dac
