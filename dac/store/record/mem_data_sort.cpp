// TMemData: IndexFieldNames, sorting by relinking, and the comparison of records.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/lexer/bool_parser.h"
#include "dac/store/record/data_type_traits.h"
#include "dac/store/record/mem_data.h"
#include "dac/store/runtime/unaligned.h"
#include "platform/ascii.h"
#include "platform/locale_compare.h"

namespace dac {

namespace {

[[noreturn]] void IndexFormatError() { DataError("Invalid IndexFieldNames format!"); }

bool IsListSeparator(int code, const std::string& lexem) {
  return code == LexemSymbol && (lexem == "," || lexem == ";");
}

// The texts of the lexemes after "[" up to "]" or the end, blanks included.
std::string BracketedName(TParser& parser) {
  std::string name;
  std::string lexem;
  parser.SetOmitBlank(false);
  for (int code = parser.GetNext(lexem); code != LexemEnd && code != flRightBracket; code = parser.GetNext(lexem)) {
    name += lexem;
  }
  parser.SetOmitBlank(true);
  return name;
}

// The words after a name up to the next separator; the lexeme that ended them.
int ReadSortOptions(TParser& parser, TSortColumn& column, std::string& lexem) {
  bool order_given = false;
  bool case_given = false;
  for (;;) {
    const int code = parser.GetNext(lexem);
    if (code == LexemEnd || IsListSeparator(code, lexem)) return code;
    if (code != LexemIdent) IndexFormatError();
    const std::string word = plat::AsciiUpperCase(lexem);
    bool& given = word == "ASC" || word == "DESC" ? order_given : case_given;
    if (given || (word != "ASC" && word != "DESC" && word != "CS" && word != "CIS")) IndexFormatError();
    given = true;
    if (word == "DESC") column.DescendingOrder = true;
    if (word == "CIS") column.CaseSensitive = false;
  }
}

}  // namespace

// ---- IndexFieldNames ----

void TMemData::SetIndexFieldNames(const std::string& value) {
  index_field_names_ = value;
  if (!GetActive()) return;
  UpdateIndexFields();
  SortItems();
}

void TMemData::UpdateIndexFields() {
  sort_columns_.clear();
  if (std::all_of(index_field_names_.begin(), index_field_names_.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
    return;
  }
  auto parser = MakeParser<TBoolParser>(index_field_names_);
  std::string lexem;
  int code = parser->GetNext(lexem);
  while (code != LexemEnd) {
    if (IsListSeparator(code, lexem)) {
      code = parser->GetNext(lexem);
      continue;
    }
    std::string name;
    if (code == flLeftBracket) {
      name = BracketedName(*parser);
    } else if (code == LexemIdent || code == LexemString) {
      name = lexem;
    } else {
      IndexFormatError();
    }
    TFieldDesc* field = FindField(name);
    if (!field) DataError(Format("Field %s not found", name.c_str()));
    sort_columns_.push_back(TSortColumn{field, false, true});
    code = ReadSortOptions(*parser, sort_columns_.back(), lexem);
  }
}

// ---- Sorting ----

namespace {

// How a sort column's values are read once per row and compared after.
enum class KeyKind : uint8_t { kInteger, kFloat, kText };

// The values of one column, by the row's place before the sort.
struct ColumnKeys {
  KeyKind kind = KeyKind::kInteger;
  bool descending = false;
  std::vector<uint8_t> null;
  std::vector<int64_t> integers;
  std::vector<double> floats;
  std::vector<uint32_t> text_at;  // offsets of collation keys in `texts`
  std::string texts;

  int Compare(uint32_t a, uint32_t b) const {
    if (null[a] || null[b]) return null[a] == null[b] ? 0 : (null[a] ? -1 : 1);
    switch (kind) {
      case KeyKind::kInteger: return integers[a] < integers[b] ? -1 : (integers[b] < integers[a] ? 1 : 0);
      case KeyKind::kFloat: return floats[a] < floats[b] ? -1 : (floats[b] < floats[a] ? 1 : 0);
      case KeyKind::kText: return std::strcmp(texts.data() + text_at[a], texts.data() + text_at[b]);
    }
    return 0;
  }
};

// The kind the comparison of the type reads, when the sort can read the
// values itself; false for the types CompareFields must decide.
bool KeyKindOf(const TFieldDesc& field, KeyKind& kind) {
  if (field.HasParent() || field.GetFieldDescKind() == fdkCalculated) return false;
  switch (FamilyOf(field.GetDataType())) {
    case TValueFamily::kInteger:
    case TValueFamily::kBoolean: kind = KeyKind::kInteger; return true;
    case TValueFamily::kFloat:
    case TValueFamily::kDate: kind = KeyKind::kFloat; return true;
    case TValueFamily::kText: kind = KeyKind::kText; return true;
    default: return false;
  }
}

int64_t IntegerAt(uint16_t type, const uint8_t* slot) {
  switch (type) {
    case dtInt8: return LoadAt<int8_t>(slot);
    case dtSmallint: return LoadAt<int16_t>(slot);
    case dtInteger: return LoadAt<int32_t>(slot);
    case dtWord: return LoadAt<uint16_t>(slot);
    case dtUInt32: return LoadAt<uint32_t>(slot);
    case dtBoolean: return LoadAt<uint16_t>(slot) != 0 ? 1 : 0;
    default: return LoadAt<int64_t>(slot);
  }
}

// Codes up to 32 removed at both ends, as the text comparison trims.
template <typename Char>
std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text) {
  while (!text.empty() && static_cast<uint32_t>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<uint32_t>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

// An order-keeping 64 bits of the value of a row that is not null: rows
// whose first values differ in them need no other comparison.
uint64_t PrefixOf(const ColumnKeys& keys, uint32_t i) {
  switch (keys.kind) {
    case KeyKind::kInteger: return static_cast<uint64_t>(keys.integers[i]) ^ (uint64_t{1} << 63);
    case KeyKind::kFloat: {
      const double value = keys.floats[i] == 0 ? 0.0 : keys.floats[i];  // -0 is 0
      uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      return bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
    }
    case KeyKind::kText: {
      // The key's first 8 bytes, most significant first, zeros past its end.
      const auto* text = reinterpret_cast<const uint8_t*>(keys.texts.data() + keys.text_at[i]);
      uint64_t prefix = 0;
      int at = 0;
      for (; at < 8 && text[at] != 0; ++at) prefix = prefix << 8 | text[at];
      return at == 0 ? 0 : prefix << (8 * (8 - at));
    }
  }
  return 0;
}

// The rows' places in sort order, stable. The rows are sorted with the
// first column's prefixes beside them, so that most comparisons read no
// scattered key.
void SortedOrder(const std::vector<ColumnKeys>& columns, size_t n, std::vector<uint32_t>& order) {
  struct Entry {
    uint64_t prefix;
    uint32_t row;
    uint32_t present;  // 0 for null, which comes first
  };
  const ColumnKeys& first = columns.front();
  std::vector<Entry> entries(n);
  for (size_t i = 0; i < n; ++i) {
    const auto row = static_cast<uint32_t>(i);
    entries[i] = first.null[i] ? Entry{0, row, 0} : Entry{PrefixOf(first, row), row, 1};
  }
  std::stable_sort(entries.begin(), entries.end(), [&columns, &first](const Entry& a, const Entry& b) {
    if (a.present != b.present || a.prefix != b.prefix) {
      const bool less = a.present != b.present ? a.present < b.present : a.prefix < b.prefix;
      return first.descending ? !less : less;
    }
    for (const ColumnKeys& keys : columns) {
      const int result = keys.Compare(a.row, b.row);
      if (result != 0) return keys.descending ? result > 0 : result < 0;
    }
    return false;
  });
  order.resize(n);
  for (size_t i = 0; i < n; ++i) order[i] = entries[i].row;
}

// The collation key of a text slot (in place or on the heap), trimmed as the
// text comparison trims.
void TextSortKey(uint16_t type, const uint8_t* slot, size_t size, bool trim, bool ignore_case, std::string& key) {
  const bool in_place = !IsHeapDataType(type);
  if (IsAnsiTextType(type)) {
    const char* text = in_place ? reinterpret_cast<const char*>(slot) : LoadAt<const char*>(slot);
    std::string_view view = !text     ? std::string_view()
                            : in_place ? std::string_view(text, strnlen(text, size))
                                       : std::string_view(text);
    plat::LocaleSortKeyAnsi(trim ? Trimmed(view) : view, ignore_case, key);
    return;
  }
  const void* text = in_place ? static_cast<const void*>(slot) : LoadAt<const void*>(slot);
  std::u16string wide;
  if (text) {
    wide.resize(WideLengthAt(text, in_place ? size / 2 : SIZE_MAX));
    std::memcpy(wide.data(), text, wide.size() * 2);
  }
  const std::u16string_view view(wide);
  plat::LocaleSortKeyWide(trim ? Trimmed(view) : view, ignore_case, key);
}

}  // namespace

bool TMemData::SortByKeys(const std::vector<PItemHeader>& items, std::vector<uint32_t>& order) {
  std::vector<ColumnKeys> columns(sort_columns_.size());
  for (size_t c = 0; c < sort_columns_.size(); ++c) {
    if (!KeyKindOf(*sort_columns_[c].FieldDesc, columns[c].kind)) return false;
    columns[c].descending = sort_columns_[c].DescendingOrder;
  }
  const size_t n = items.size();
  std::string key;
  for (size_t c = 0; c < columns.size(); ++c) {
    ColumnKeys& keys = columns[c];
    TFieldDesc* field = sort_columns_[c].FieldDesc;
    const uint16_t type = field->GetDataType();
    const uint16_t field_no = field->GetFieldNo();
    const size_t size = field->GetSize();
    const bool ignore_case = !sort_columns_[c].CaseSensitive;
    const bool trim = field->GetFixed() ? GetTrimFixedChar() : GetTrimVarChar();
    keys.null.resize(n);
    if (keys.kind == KeyKind::kInteger) keys.integers.resize(n);
    if (keys.kind == KeyKind::kFloat) keys.floats.resize(n);
    if (keys.kind == KeyKind::kText) keys.text_at.resize(n);
    for (size_t i = 0; i < n; ++i) {
      if (i + 8 < n) __builtin_prefetch(Rec(items[i + 8]));
      void* rec = Rec(items[i]);
      keys.null[i] = GetNull(field_no, rec) ? 1 : 0;
      if (keys.null[i]) continue;
      const uint8_t* slot = static_cast<const uint8_t*>(rec) + field->GetOffset();
      switch (keys.kind) {
        case KeyKind::kInteger: keys.integers[i] = IntegerAt(type, slot); break;
        case KeyKind::kFloat: {
          const double value = LoadAt<double>(slot);
          // Dates before day 0 and NaN do not order as plain numbers: the comparison decides those.
          if (std::isnan(value) || (FamilyOf(type) == TValueFamily::kDate && value < 0)) return false;
          keys.floats[i] = value;
          break;
        }
        case KeyKind::kText: {
          TextSortKey(type, slot, size, trim, ignore_case, key);
          keys.text_at[i] = static_cast<uint32_t>(keys.texts.size());
          DAC_ASSERT(keys.texts.size() + key.size() < UINT32_MAX, "Sort keys too long");
          keys.texts.append(key);
          keys.texts.push_back('\0');
          break;
        }
      }
    }
  }
  SortedOrder(columns, n, order);
  return true;
}

void TMemData::SortItems() {
  if (sort_columns_.empty() || order_.Empty()) return;
  std::vector<PItemHeader> items;
  std::vector<bool> visible;
  items.reserve(order_.Size());
  visible.reserve(order_.Size());
  for (TItemPlace place = order_.FrontPlace(); place; place = order_.Next(place)) {
    items.push_back(TItemOrder::ItemAt(place));
    visible.push_back(order_.IsVisible(place));
  }
  // The places of the rows in sort order; the order is replaced only once
  // it stands, so a failing comparison leaves it as it was.
  std::vector<uint32_t> sorted;
  if (!SortByKeys(items, sorted)) {
    sorted.resize(items.size());
    for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = static_cast<uint32_t>(i);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](uint32_t a, uint32_t b) { return CompareRecords(Rec(items[a]), Rec(items[b])) < 0; });
  }
  order_.Assign(sorted.size(), [&](size_t i) { return items[sorted[i]]; }, [&](size_t i) { return visible[sorted[i]]; });
  Counted();
}

void TMemData::MoveSortedRecord(int direction) {
  PItemHeader item = current_item_;
  if (!item || direction == 0) return;
  const TItemPlace place = PlaceOf(item);
  const size_t index = order_.IndexOf(place);
  void* rec = Rec(item);
  size_t target = index;
  if (direction > 0) {
    // Past the rows it sorts after: in front of the first one it does not.
    const TItemPlace next = order_.Next(place);
    if (!next || CompareRecords(rec, Rec(TItemOrder::ItemAt(next))) < 1) return;
    const size_t low = order_.PartitionPoint(index + 1, order_.Size(),
                                             [&](PItemHeader other) { return CompareRecords(rec, Rec(other)) >= 1; });
    target = low - 1;  // counted without the item itself
  } else {
    // Back past the rows it sorts before: behind the last one it does not.
    const TItemPlace prior = order_.Prior(place);
    if (!prior || CompareRecords(rec, Rec(TItemOrder::ItemAt(prior))) >= 0) return;
    target = order_.PartitionPoint(0, index, [&](PItemHeader other) { return CompareRecords(rec, Rec(other)) >= 0; });
  }
  if (target == index) return;
  const bool visible = order_.IsVisible(place);
  order_.Erase(place);
  order_.Insert(order_.PlaceAt(target), item, visible);
}

// ---- Records ----

void TMemData::ExpandRecord(void* rec, std::vector<uint8_t>& buffer) {
  buffer.assign(static_cast<size_t>(GetRecordSize()) + static_cast<size_t>(GetCalcRecordSize()), 0);
  std::memcpy(buffer.data(), rec, static_cast<size_t>(GetRecordSize()));
  if (GetOnGetCachedBuffer()) GetOnGetCachedBuffer()(buffer.data(), rec);
}

int TMemData::CompareRecords(void* rec1, void* rec2) {
  for (size_t c = 0; c < sort_columns_.size(); ++c) {
    const TSortColumn& column = sort_columns_[c];
    // From the first calculated column on, both records are compared with their calculated values.
    if (column.FieldDesc->GetFieldDescKind() == fdkCalculated) return CompareExpandedRecords(rec1, rec2, c);
    const int result = CompareFields(rec1, rec2, column);
    if (result != 0) return column.DescendingOrder ? (result < 0 ? 1 : -1) : result;
  }
  return 0;
}

int TMemData::CompareExpandedRecords(void* rec1, void* rec2, size_t from) {
  std::vector<uint8_t> expanded1;
  std::vector<uint8_t> expanded2;
  ExpandRecord(rec1, expanded1);
  ExpandRecord(rec2, expanded2);
  for (size_t c = from; c < sort_columns_.size(); ++c) {
    const TSortColumn& column = sort_columns_[c];
    const bool calculated = column.FieldDesc->GetFieldDescKind() == fdkCalculated;
    const int result = CompareFields(calculated ? expanded1.data() : rec1, calculated ? expanded2.data() : rec2, column);
    if (result != 0) return column.DescendingOrder ? (result < 0 ? 1 : -1) : result;
  }
  return 0;
}

int TMemData::CompareFields(void* rec1, void* rec2, const TSortColumn& column) {
  const TLocateExOptions options = column.CaseSensitive ? TLocateExOptions{} : TLocateExOptions{lxCaseInsensitive};
  return CompareFields(rec1, rec2, column.FieldDesc, options);
}

}  // namespace dac
