#include "dac/core/macros.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "dac/core/data_access_globals.h"
#include "dac/core/server/messages.h"
#include "dac/core/sql_component.h"
#include "dac/core/sql_owner.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/update_pair.h"
#include "dac/framework/data/filer.h"
#include "dac/store/lexer/parser.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TMacro, TCollectionItem, ::dac::TMetaClassOf<TMacro>)
DAC_DEFINE_CLASS(TMacros, TCollection, ::dac::TMetaClass)

namespace {

// Stored values longer than this keep their first bytes only.
constexpr size_t kMaxDataText = 1000;
// The "Data" version that also stores each macro's activity.
constexpr uint8_t kDataWithActive = 100;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// One reference in SQL text: [begin, end) covers MacroChar and the name.
struct MacroReference {
  size_t begin;
  size_t end;
  std::string name;
};

bool IsWord(const TParser& parser, int code, const std::string& lexem) {
  return code == LexemIdent || (code > 0 && parser.GetKeywordLexems().IndexOf(lexem) >= 0);
}

// Calls found with every reference of the SQL, in order.
template <typename Found>
void ForEachReference(const TParserClass& parser_class, const std::string& sql, Found found) {
  if (sql.find(MacroChar) == std::string::npos) return;
  std::unique_ptr<TParser> parser = parser_class.Create(sql);
  parser->SetOmitBlank(false);
  parser->SetOmitComment(false);
  std::string lexem;
  for (int code = parser->GetNext(lexem); code != LexemEnd; code = parser->GetNext(lexem)) {
    if (lexem.size() != 1 || lexem[0] != MacroChar || !parser->IsMacroAllowed(code)) continue;
    const size_t begin = static_cast<size_t>(parser->CurrPos()) - 1;
    code = parser->GetNext(lexem);
    const bool number = code == LexemNumber && parser->IsNumericMacroNameAllowed();
    if (!number && !IsWord(*parser, code, lexem)) {
      if (code == LexemEnd) return;
      continue;  // MacroChar and this lexeme stay as they are
    }
    size_t end = static_cast<size_t>(parser->CurrPos());
    if (number) {
      code = parser->GetNext(lexem);
      if (IsWord(*parser, code, lexem)) {
        end = static_cast<size_t>(parser->CurrPos());
      } else if (code != LexemEnd) {
        parser->Back();
      }
    }
    found(MacroReference{begin, end, sql.substr(begin + 1, end - begin - 1)});
  }
}

// Macros by name without regard to case, the first of a name winning as in
// FindMacro: a text with many references looks each up in constant time.
// The keys are the macros' own names, which outlive the index.
class MacroIndex {
 public:
  explicit MacroIndex(const TMacros& macros) {
    by_name_.reserve(static_cast<size_t>(macros.Count()));
    for (int i = 0; i < macros.Count(); ++i) Add(macros.Items(i));
  }
  void Add(TMacro* macro) { by_name_.emplace(macro->Name(), macro); }
  TMacro* Find(std::string_view name) const {
    const auto it = by_name_.find(name);
    return it == by_name_.end() ? nullptr : it->second;
  }

 private:
  struct CaselessHash {
    size_t operator()(std::string_view text) const {
      uint64_t hash = 14695981039346656037ull;  // FNV-1a over the upper-cased bytes
      for (char c : text) hash = (hash ^ static_cast<unsigned char>(plat::AsciiUpper(c))) * 1099511628211ull;
      return static_cast<size_t>(hash);
    }
  };
  struct CaselessEqual {
    bool operator()(std::string_view a, std::string_view b) const { return plat::SameText(a, b); }
  };
  std::unordered_map<std::string_view, TMacro*, CaselessHash, CaselessEqual> by_name_;
};

// Reads count bytes of the "Data" stream; a stream that ends first is an error.
std::string ReadDataBytes(TStream& stream, size_t count) {
  std::string bytes(count, '\0');
  if (count > 0 && stream.Read(bytes.data(), static_cast<int64_t>(count)) != static_cast<int64_t>(count))
    throw EReadError("Macro data ends before its last value");
  return bytes;
}

uint8_t ReadDataByte(TStream& stream) { return static_cast<uint8_t>(ReadDataBytes(stream, 1)[0]); }

}  // namespace

// ---- TMacro ----

TMacros* TMacro::Macros() const { return dynamic_cast<TMacros*>(Collection()); }

void TMacro::SetValue(const std::string& value) {
  if (value == value_) return;
  value_ = value;
  NotifyOwner();
}

void TMacro::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  NotifyOwner();
}

void TMacro::NotifyOwner() {
  TMacros* macros = Macros();
  if (!macros || macros->UpdateCount() > 0) return;
  TComponent* owner = macros->Owner();
  if (IDASQLOwner* data_set = SQLOwnerOf(owner)) {
    const std::string reference = plat::AsciiUpperCase(std::string(1, MacroChar) + name_);
    if (data_set->OwnerActive() && plat::AsciiUpperCase(data_set->OwnerSQLText()).find(reference) == std::string::npos)
      return;
    const std::string saved = data_set->OwnerSavedSQL();
    if (TCustomDASQL* command = data_set->OwnerCommand()) command->MacrosChanged();
    data_set->SetOwnerSavedSQL(saved);
  } else if (auto* command = dynamic_cast<TCustomDASQL*>(owner)) {
    command->MacrosChanged();
  }
}

std::string TMacro::AsString() const {
  std::string text(plat::TrimBlanks(value_));
  const bool opens = !text.empty() && text.front() == '\'';
  if (opens) text.erase(0, 1);
  const bool closes = !text.empty() && text.back() == '\'';
  if (closes) text.pop_back();
  if (!opens || !closes) return text;
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    plain += text[i];
    if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') ++i;
  }
  return plain;
}

void TMacro::SetAsString(const std::string& value) { SetValue(Quoted(value)); }

DateTime TMacro::AsDateTime() const { return StrToDateTime(AsString()); }

void TMacro::SetAsDateTime(DateTime value) { SetValue(Quoted(DateTimeToStr(value))); }

double TMacro::AsFloat() const { return StrToFloat(value_); }

void TMacro::SetAsFloat(double value) { SetValue(FloatToStr(value)); }

int32_t TMacro::AsInteger() const { return StrToInt(value_); }

void TMacro::SetAsInteger(int32_t value) { SetValue(std::to_string(value)); }

bool TMacro::IsEqual(const TMacro& other) const {
  return name_ == other.name_ && value_ == other.value_ && active_ == other.active_;
}

std::string TMacro::GetDisplayName() const { return name_.empty() ? TCollectionItem::GetDisplayName() : name_; }

void TMacro::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TMacro*>(dest);
  if (!other) return TCollectionItem::AssignTo(dest);
  other->SetName(name_);
  other->SetValue(value_);
  other->SetActive(active_);
}

void TMacro::DefineProperties(TFiler& filer) {
  TCollectionItem::DefineProperties(filer);
  filer.DefineProperty(
      "Name", [this](TReader& reader) { name_ = reader.ReadString(); },
      [this](TWriter& writer) { writer.WriteString(name_); }, !name_.empty());
  filer.DefineProperty(
      "Value", [this](TReader& reader) { SetValue(reader.ReadString()); },
      [this](TWriter& writer) { writer.WriteString(value_); }, !value_.empty());
  filer.DefineProperty(
      "Active", [this](TReader& reader) { SetActive(reader.ReadBoolean()); },
      [this](TWriter& writer) { writer.WriteBoolean(active_); }, !active_);
}

// ---- TMacros ----

TMacros::TMacros(TComponent* owner) : TCollection(TMacro::ClassInfo(), owner), parser_class_(&TParser::ParserClass()) {}

TComponent* TMacros::Owner() const { return dynamic_cast<TComponent*>(GetOwner()); }

void TMacros::Scan(const std::string& sql) {
  if (sql.find(MacroChar) == std::string::npos) return Clear();
  TMacros found;
  MacroIndex found_index(found);
  const MacroIndex held_index(*this);
  ForEachReference(*parser_class_, sql, [&](const MacroReference& reference) {
    if (found_index.Find(reference.name)) return;
    auto* macro = static_cast<TMacro*>(found.Add());
    if (const TMacro* held = held_index.Find(reference.name)) {
      macro->Assign(held);
    } else {
      macro->SetName(reference.name);
    }
    found_index.Add(macro);
  });
  if (!IsEqual(found)) Assign(&found);
}

void TMacros::Expand(std::string& sql) const {
  std::string expanded;
  size_t copied = 0;
  const MacroIndex index(*this);
  ForEachReference(*parser_class_, sql, [&](const MacroReference& reference) {
    expanded.append(sql, copied, reference.begin - copied);
    if (const TMacro* macro = index.Find(reference.name)) expanded += GetMacroValue(*macro);
    copied = reference.end;
  });
  if (copied == 0) return;
  expanded.append(sql, copied);
  sql = std::move(expanded);
}

std::string TMacros::GetMacroValue(const TMacro& macro) const { return macro.Active() ? macro.Value() : ""; }

TMacro* TMacros::FindMacro(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (plat::SameText(Items(i)->Name(), name)) return Items(i);
  }
  return nullptr;
}

TMacro* TMacros::MacroByName(const std::string& name) const {
  TMacro* macro = FindMacro(name);
  if (!macro) DatabaseError(FormatMessage(SMacroNotFound, {name}), Owner());
  return macro;
}

void TMacros::AssignValues(const TMacros& source) {
  for (int i = 0; i < source.Count(); ++i) {
    if (TMacro* macro = FindMacro(source.Items(i)->Name())) macro->Assign(source.Items(i));
  }
}

bool TMacros::IsEqual(const TMacros& other) const {
  if (&other == this) return true;
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    if (!Items(i)->IsEqual(*other.Items(i))) return false;
  }
  return true;
}

void TMacros::Update(TCollectionItem* item) {
  TCollection::Update(item);
  TComponent* owner = Owner();
  if (IDASQLOwner* data_set = SQLOwnerOf(owner)) {
    data_set->OwnerAssembleSQL();
  } else if (auto* command = dynamic_cast<TCustomDASQL*>(owner)) {
    command->AssembleSQL();
  }
}

void TMacros::AssignTo(TPersistent* dest) const {
  auto* other = dynamic_cast<TMacros*>(dest);
  if (!other) return TCollection::AssignTo(dest);
  other->Assign(this);
}

void TMacros::DefineProperties(TFiler& filer) {
  TCollection::DefineProperties(filer);
  filer.DefineBinaryProperty("Data", [this](TStream& stream) { ReadData(stream); }, nullptr, false);
}

// A version byte (100: one more byte, and an activity byte per macro), then
// per macro held: a name of one length byte, a value of a two-byte
// little-endian length. Values are read whole and kept to their first 1000
// bytes, so the next name is read from where it starts.
void TMacros::ReadData(TStream& stream) {
  const uint8_t version = ReadDataByte(stream);
  if (version == kDataWithActive) ReadDataByte(stream);
  WithinUpdate(*this, [&] {
    for (int i = 0; i < Count(); ++i) {
      TMacro* macro = MacroByName(ReadDataBytes(stream, ReadDataByte(stream)));
      const uint8_t low = ReadDataByte(stream);
      const size_t length = low | static_cast<size_t>(ReadDataByte(stream)) << 8;
      std::string value = ReadDataBytes(stream, length);
      if (value.size() > kMaxDataText) value.resize(kMaxDataText);
      macro->SetValue(value);
      if (version == kDataWithActive) macro->SetActive(ReadDataByte(stream) != 0);
    }
  });
}

}  // namespace dac
