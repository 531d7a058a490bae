#include "content/record_fields.h"

#include "content/percent_codec.h"
#include "platform/ascii.h"

namespace content {

bool CanStoreAsIs(std::string_view value) {
  return value.find_first_of(std::string_view(";\r\n\0", 4)) == std::string_view::npos;
}

TRecordFields::TRecordFields(std::string_view record) { SplitString(fields_, record, ";"); }

const std::string& TRecordFields::Text(size_t n) const {
  static const std::string kEmpty;
  return n >= 1 && n <= fields_.size() ? fields_[n - 1] : kEmpty;
}

std::string TRecordFields::Decoded(size_t n) const { return PercentDecode(Text(n)); }

int32_t TRecordFields::Number(size_t n) const { return plat::ParseIntOr(Text(n), 0); }

bool TRecordFields::Flag(size_t n) const { return Text(n) == "1"; }

void TRecordBuilder::AddAsIs(std::string_view value) { fields_.emplace_back(value); }

void TRecordBuilder::AddEncoded(std::string_view value) { fields_.push_back(PercentEncode(value)); }

void TRecordBuilder::AddNumber(int32_t value) { fields_.push_back(std::to_string(value)); }

void TRecordBuilder::AddFlag(bool value) { fields_.emplace_back(value ? "1" : "0"); }

std::string TRecordBuilder::Terminated() const {
  std::string out;
  for (const std::string& field : fields_) {
    out += field;
    out += ';';
  }
  return out;
}

std::string TRecordBuilder::Separated() const {
  std::string out;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) out += ';';
    out += fields_[i];
  }
  return out;
}

}  // namespace content
