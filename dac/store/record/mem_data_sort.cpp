// TMemData: IndexFieldNames, sorting by relinking, and the comparison of records.
#include <algorithm>
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/lexer/bool_parser.h"
#include "dac/store/record/mem_data.h"
#include "platform/ascii.h"

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

void TMemData::SortItems() {
  if (sort_columns_.empty() || !first_item_) return;
  std::vector<PItemHeader> items;
  for (PItemHeader item = first_item_; item; item = item->Next) items.push_back(item);
  // The list is relinked only once the order stands, so a failing
  // comparison leaves it as it was.
  std::stable_sort(items.begin(), items.end(),
                   [this](PItemHeader a, PItemHeader b) { return CompareRecords(Rec(a), Rec(b)) < 0; });
  for (size_t i = 0; i < items.size(); ++i) {
    items[i]->Prev = i > 0 ? items[i - 1] : nullptr;
    items[i]->Next = i + 1 < items.size() ? items[i + 1] : nullptr;
  }
  first_item_ = items.front();
  last_item_ = items.back();
  ReorderItems(nullptr, roFull);
}

void TMemData::MoveSortedRecord(int direction) {
  PItemHeader item = current_item_;
  if (!item || direction == 0) return;
  if (direction > 0) {
    PItemHeader next = item->Next;
    while (next && CompareRecords(Rec(item), Rec(next)) >= 1) next = next->Next;
    if (next == item->Next) return;
    Unlink(item);
    LinkBefore(item, next);
  } else {
    PItemHeader prev = item->Prev;
    while (prev && CompareRecords(Rec(item), Rec(prev)) < 0) prev = prev->Prev;
    if (prev == item->Prev) return;
    Unlink(item);
    LinkBefore(item, prev ? prev->Next : first_item_);
  }
}

// ---- Records ----

void TMemData::ExpandRecord(void* rec, std::vector<uint8_t>& buffer) {
  buffer.assign(static_cast<size_t>(GetRecordSize()) + static_cast<size_t>(GetCalcRecordSize()), 0);
  std::memcpy(buffer.data(), rec, static_cast<size_t>(GetRecordSize()));
  if (GetOnGetCachedBuffer()) GetOnGetCachedBuffer()(buffer.data(), rec);
}

int TMemData::CompareRecords(void* rec1, void* rec2) {
  std::vector<uint8_t> expanded1;
  std::vector<uint8_t> expanded2;
  for (const TSortColumn& column : sort_columns_) {
    void* a = rec1;
    void* b = rec2;
    if (column.FieldDesc->GetFieldDescKind() == fdkCalculated) {
      if (expanded1.empty()) {
        ExpandRecord(rec1, expanded1);
        ExpandRecord(rec2, expanded2);
      }
      a = expanded1.data();
      b = expanded2.data();
    }
    const int result = CompareFields(a, b, column);
    if (result != 0) return column.DescendingOrder ? (result < 0 ? 1 : -1) : result;
  }
  return 0;
}

int TMemData::CompareFields(void* rec1, void* rec2, const TSortColumn& column) {
  const TLocateExOptions options = column.CaseSensitive ? TLocateExOptions{} : TLocateExOptions{lxCaseInsensitive};
  return CompareFields(rec1, rec2, column.FieldDesc, options);
}

}  // namespace dac
