// TMySQLRecordset: the side store of a row's exact texts, the server's
// texts of the values its slots cannot hold exactly, kept in a hidden field.
#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_record_set.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

// An entry: the field's name (its length in 1 byte, then the name: a
// refresh copies the texts by name into a record of other columns), its
// null state (1), the length of its slot's image (2) and the image, the
// text's length (4) and the text.
void TMySQLRecordset::AddExactEntry(const TFieldDesc& field, const uint8_t* rec, bool is_null,
                                    const std::string& text) {
  const std::string image = is_null ? std::string() : SlotImage(field, rec);
  const std::string& name = field.GetName();
  const auto put = [&](uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) exact_row_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const size_t entry = 1 + name.size() + 1 + 2 + image.size() + 4 + text.size();
  // The row's texts live in one heap value of at most 65535 bytes: one that
  // does not fit stays as the field holds it.
  if (name.size() > 255 || image.size() > 65535 || exact_row_.size() + entry > 65535) return;
  put(name.size(), 1);
  exact_row_ += name;
  put(is_null ? 1 : 0, 1);
  put(image.size(), 2);
  exact_row_ += image;
  put(text.size(), 4);
  exact_row_ += text;
}

void TMySQLRecordset::StoreExactEntries(uint8_t* rec) {
  const size_t index = static_cast<size_t>(exact_desc_->GetFieldNo() - 1);
  uint8_t* slot = rec + exact_desc_->GetOffset();
  if (exact_row_.empty()) {
    StoreAt<void*>(slot, 0, nullptr);
    null_row_[index] = 1;
    return;
  }
  auto* buffer = static_cast<uint8_t*>(GetStringHeap().NewBuf(static_cast<int>(exact_row_.size()) + 2));
  StoreAt<uint16_t>(buffer, 0, static_cast<uint16_t>(exact_row_.size()));
  std::memcpy(buffer + 2, exact_row_.data(), exact_row_.size());
  StoreAt<void*>(slot, 0, buffer);
  null_row_[index] = 0;
}

// The value as the slot holds it, for telling whether it is still the one read.
std::string TMySQLRecordset::SlotImage(const TFieldDesc& field, const uint8_t* rec) const {
  const uint8_t* slot = rec + field.GetOffset();
  const size_t size = field.GetSize();
  const auto wide = [](const void* text, size_t max_units) {
    size_t units = 0;
    while (units < max_units && LoadAt<char16_t>(text, units * 2) != 0) ++units;
    return std::string(static_cast<const char*>(text), units * 2);
  };
  switch (field.GetDataType()) {
    case dtString:
      return std::string(reinterpret_cast<const char*>(slot), strnlen(reinterpret_cast<const char*>(slot), size));
    case dtExtString: {
      const char* text = LoadAt<const char*>(slot);
      return text ? std::string(text) : std::string();
    }
    case dtWideString:
      return wide(slot, size / 2);
    case dtExtWideString: {
      const void* text = LoadAt<const void*>(slot);
      return text ? wide(text, SIZE_MAX / 2) : std::string();
    }
    case dtVarBytes:
      return std::string(reinterpret_cast<const char*>(slot), 2 + std::min<size_t>(LoadAt<uint16_t>(slot), size - 2));
    case dtExtVarBytes: {
      const uint8_t* buffer = LoadAt<const uint8_t*>(slot);
      return buffer ? std::string(reinterpret_cast<const char*>(buffer), 2 + LoadAt<uint16_t>(buffer)) : std::string();
    }
    default:
      return std::string(reinterpret_cast<const char*>(slot), size);
  }
}

namespace {

// The entries of a record's exact texts, as AddExactEntry writes them; a
// cut entry ends the list.
std::vector<TExactText> ParseExactTexts(const uint8_t* buffer) {
  std::vector<TExactText> texts;
  if (!buffer) return texts;
  const uint8_t* p = buffer + 2;
  const uint8_t* end = p + LoadAt<uint16_t>(buffer);
  const auto left = [&] { return static_cast<size_t>(end - p); };
  const auto get = [&](size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
    p += bytes;
    return value;
  };
  const auto take = [&](size_t bytes) {
    std::string out(reinterpret_cast<const char*>(p), bytes);
    p += bytes;
    return out;
  };
  while (left() >= 1) {
    TExactText entry;
    const size_t name_size = get(1);
    if (left() < name_size + 3) break;
    entry.name = take(name_size);
    entry.was_null = get(1) != 0;
    const size_t image_size = get(2);
    if (left() < image_size + 4) break;
    entry.image = take(image_size);
    const size_t text_size = get(4);
    if (left() < text_size) break;
    entry.text = take(text_size);
    texts.push_back(std::move(entry));
  }
  return texts;
}

}  // namespace

std::vector<TExactText> TMySQLRecordset::ExactTexts(const void* rec_buf) {
  if (!exact_desc_ || !rec_buf) return {};
  const auto* rec = static_cast<const uint8_t*>(rec_buf);
  if (rec[GetDataSize() + exact_desc_->GetFieldNo() - 1] != 0) return {};
  return ParseExactTexts(LoadAt<const uint8_t*>(rec + exact_desc_->GetOffset()));
}

void TMySQLRecordset::SetExactTexts(void* rec_buf, const std::vector<TExactText>& texts) {
  if (!exact_desc_ || !rec_buf) return;
  exact_row_.clear();
  const auto put = [&](uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) exact_row_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  for (const TExactText& entry : texts) {
    const size_t size = 1 + entry.name.size() + 1 + 2 + entry.image.size() + 4 + entry.text.size();
    if (entry.name.size() > 255 || entry.image.size() > 65535 || exact_row_.size() + size > 65535) continue;
    put(entry.name.size(), 1);
    exact_row_ += entry.name;
    put(entry.was_null ? 1 : 0, 1);
    put(entry.image.size(), 2);
    exact_row_ += entry.image;
    put(entry.text.size(), 4);
    exact_row_ += entry.text;
  }
  if (exact_row_.empty()) {
    PutFieldAsVariant(exact_desc_->GetFieldNo(), rec_buf, Variant::Null());
  } else {
    PutFieldAsVariant(exact_desc_->GetFieldNo(), rec_buf, Variant(TBytes(exact_row_.begin(), exact_row_.end())));
  }
  exact_row_.clear();
}

bool TMySQLRecordset::GetExactText(uint16_t field_no, const void* rec_buf, std::string& text) {
  if (!exact_desc_ || !rec_buf || field_no < 1 || field_no > GetFieldDescs().Count()) return false;
  const auto* rec = static_cast<const uint8_t*>(rec_buf);
  TFieldDesc& field = *GetFieldDescs().GetItems(field_no - 1);
  for (const TExactText& entry : ExactTexts(rec_buf)) {
    if (entry.name != field.GetName()) continue;
    // Only while the record holds the value read: an edit ends it.
    const bool is_null = rec[GetDataSize() + field_no - 1] != 0;
    if (is_null != entry.was_null || (!is_null && SlotImage(field, rec) != entry.image)) return false;
    text = entry.text;
    return true;
  }
  return false;
}

}  // namespace dac
