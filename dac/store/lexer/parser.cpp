#include "dac/store/lexer/parser.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/ascii.h"
#include "platform/format_settings.h"

namespace dac {

DAC_DEFINE_PARSER_CLASS(TParser, TObject)

namespace {

TLexemList BuildBaseSymbols() {
  TLexemList list;
  int32_t code = 1;
  for (int c = 33; c <= 96; ++c) {
    if ((c >= 48 && c <= 57) || (c >= 65 && c <= 90)) continue;
    list.Add(std::string(1, static_cast<char>(c)), code++);
  }
  list.Sort();
  return list;
}

int32_t CheckedLength(int64_t length) {
  if (length > INT32_MAX - 2) throw Exception("Parser: The text is too long");
  return static_cast<int32_t>(length);
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

}  // namespace

const TLexemList& BaseSymbolLexems() {
  static const TLexemList table = BuildBaseSymbols();
  return table;
}

const TLexemList& BaseKeywordLexems() {
  static const TLexemList table{{"AND", 29}, {"NOT", 30}, {"OR", 31}};
  return table;
}

unsigned PosEx(std::string_view sub, std::string_view s, unsigned offset) {
  DAC_ASSERT(offset >= 1, "PosEx offset below 1");
  if (sub.empty() || sub.size() > s.size() || offset > s.size() - sub.size() + 1) return 0;
  const size_t found = s.find(sub, offset - 1);
  return found == std::string_view::npos ? 0 : static_cast<unsigned>(found + 1);
}

void TParserClass::Init(TParser& parser) { parser.InitParser(); }

TParser::TParser(const std::string& text) : text_length_(CheckedLength(static_cast<int64_t>(text.size()))), text_(text) {
  block_length_ = text_length_;
}

TParser::TParser(TStream& stream) : text_length_(CheckedLength(stream.GetSize())), stream_(&stream) {}

TParser::~TParser() = default;

void TParser::InitParser() {
  symbol_lexems_ = &BaseSymbolLexems();
  keyword_lexems_ = &BaseKeywordLexems();
  comment_begin_ = "/*";
  comment_end_ = "*/";
  dec_separator_ = std::string(1, plat::ProcessFormatSettings().decimal_separator);
  omit_blank_ = true;
  uppercase_ = true;
  quoted_string_ = false;
  ToBegin();
}

// Every control byte separates lexemes as a blank does (the server reads
// vertical tab and form feed as blanks; any other is no lexeme of its own).
bool TParser::IsBlank(char c) const {
  const unsigned char b = Byte(c);
  return b <= 32 || b == 127;
}

bool TParser::IsSymbol(char c) const {
  const unsigned char b = Byte(c);
  return (b >= 33 && b <= 47) || (b >= 58 && b <= 64) || (b >= 91 && b <= 94) || b == 96 || (b >= 123 && b <= 126);
}

bool TParser::IsAlpha(char c) const {
  const unsigned char b = Byte(c);
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 128;
}

bool TParser::IsNumber(char c) const { return c >= '0' && c <= '9'; }

bool TParser::IsStringQuote(char c) const { return c == '"' || c == '\''; }

bool TParser::IsIdentQuote(char) const { return false; }

bool TParser::IsInlineComment(int position) {
  return position + 2 <= text_length_ && GetChar(position) == '/' && GetChar(position + 1) == '/';
}

bool TParser::IsMacroAllowed(int code) { return code != LexemString; }

bool TParser::IsNumericMacroNameAllowed() { return false; }

bool TParser::IsSemicolon(int) { return false; }

void TParser::ToBegin() {
  pos_ = prev_pos_ = prev_prev_pos_ = 1;
  curr_line_start_ = prev_line_start_ = 1;
  first_stored_start_ = block_start_ = 1;
  curr_line_ = prev_line_ = 0;
  part_start_ = lexem_pos_ = -1;
  lexem_length_ = 0;
  if (stream_) ResetStream();
}

void TParser::ResetStream() {
  stored_blocks_.clear();
  text_.clear();
  block_length_ = 0;
  stream_->SetPosition(0);
}

void TParser::SetText(const std::string& text) {
  text_length_ = CheckedLength(static_cast<int64_t>(text.size()));
  stream_ = nullptr;
  stored_blocks_.clear();
  text_ = text;
  block_length_ = text_length_;
  ToBegin();
}

void TParser::SetBlockSize(int32_t size) {
  DAC_ASSERT(size >= 1, "Block size below 1");
  block_size_ = size;
  ToBegin();
}

// ---- Input ----

char TParser::GetChar(int position) {
  if (position < 1 || position > text_length_) return 0;
  if (!stream_) return text_[static_cast<size_t>(position - 1)];
  while (position >= block_start_ + block_length_) {
    if (!ReadNextBlock()) return 0;
  }
  if (position >= block_start_) return text_[static_cast<size_t>(position - block_start_)];
  return GetStoredChar(position);
}

char TParser::GetStoredChar(int32_t position) const {
  DAC_ASSERT(position >= first_stored_start_, "Stored block position before the first stored block");
  const size_t index = static_cast<size_t>((position - first_stored_start_) / block_size_);
  DAC_ASSERT(index < stored_blocks_.size(), "Stored block position after the stored blocks");
  return stored_blocks_[index][static_cast<size_t>((position - first_stored_start_) % block_size_)];
}

bool TParser::ReadNextBlock() {
  // The oldest position still needed: the pending lexeme, and where the
  // last read began, so that Back can return there.
  int32_t needed = std::min(pos_, prev_pos_);
  if (part_start_ != -1) needed = std::min(needed, part_start_);
  if (lexem_pos_ != -1) needed = std::min(needed, lexem_pos_);

  while (!stored_blocks_.empty() && first_stored_start_ + block_size_ <= needed) {
    stored_blocks_.pop_front();
    first_stored_start_ += block_size_;
  }
  const int32_t next_start = block_start_ + block_length_;
  if (block_length_ > 0 && needed < next_start) {
    if (stored_blocks_.empty()) first_stored_start_ = block_start_;
    stored_blocks_.push_back(std::move(text_));
  }
  text_.assign(static_cast<size_t>(block_size_), '\0');
  // Stored blocks must be whole for their positions to hold: read until the
  // block is full or the stream ends, whatever a single Read returns.
  int64_t filled = 0;
  while (filled < block_size_) {
    const int64_t n = stream_->Read(text_.data() + filled, block_size_ - filled);
    if (n <= 0) break;
    filled += n;
  }
  text_.resize(static_cast<size_t>(filled));
  block_start_ = next_start;
  block_length_ = static_cast<int32_t>(filled);
  if (stored_blocks_.empty()) first_stored_start_ = block_start_;
  if (filled == 0) {
    // The stream ended before its announced size: the text ends here.
    text_length_ = std::min(text_length_, next_start - 1);
    return false;
  }
  return true;
}

void TParser::CopyText(int position, int length, std::string& out) {
  out.clear();
  if (length <= 0) return;
  const int64_t end = static_cast<int64_t>(position) + length;
  // Loading the span's end may move the current block past its start, so
  // the block is chosen only afterwards.
  if (stream_ && end - 1 <= text_length_) GetChar(static_cast<int>(end - 1));
  const int64_t base = stream_ ? block_start_ : 1;
  if (position >= base && end - base <= static_cast<int64_t>(text_.size())) {
    out.assign(text_, static_cast<size_t>(position - base), static_cast<size_t>(length));
    return;
  }
  out.reserve(static_cast<size_t>(length));
  for (int64_t p = position; p < end; ++p) out.push_back(p <= text_length_ ? GetChar(static_cast<int>(p)) : '\0');
}

// ---- Scanning ----

void TParser::ClampPos() {
  if (pos_ > text_length_ + 1) pos_ = text_length_ + 1;
}

void TParser::PassLineBreak(char c) {
  if (c == '\r' && GetChar(pos_ + 1) == '\n') ++pos_;
  ++curr_line_;
  curr_line_start_ = pos_ + 1;
  ++pos_;
}

void TParser::ExtendLexem(int32_t start) {
  if (lexem_pos_ == -1) lexem_pos_ = start;
  lexem_length_ = pos_ - lexem_pos_;
}

bool TParser::MarkerAt(int32_t position, const std::string& marker) {
  const int32_t n = static_cast<int32_t>(marker.size());
  if (n == 0 || position + n - 1 > text_length_) return false;
  for (int32_t i = 0; i < n; ++i) {
    if (GetChar(position + i) != marker[static_cast<size_t>(i)]) return false;
  }
  return true;
}

int TParser::FindLexemIndex(int position, int length, const TLexemList& table) {
  int low = 0;
  int high = table.Count() - 1;
  int result = -1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const std::string& entry = table.Strings(middle);
    const int shorter = std::min(static_cast<int>(entry.size()), length);
    int cmp = 0;
    for (int i = 0; i < shorter && cmp == 0; ++i) {
      cmp = Byte(entry[static_cast<size_t>(i)]) - Byte(plat::AsciiUpper(GetChar(position + i)));
    }
    if (cmp == 0) cmp = static_cast<int>(entry.size()) - length;
    if (cmp >= 0) {
      high = middle - 1;
      if (cmp == 0) result = middle;
    } else {
      low = middle + 1;
    }
  }
  return result;
}

int TParser::SkipBlanksAndComments() {
  for (;;) {
    if (pos_ > text_length_) return LexemEnd;
    char c = GetChar(pos_);
    while (pos_ <= text_length_ && IsBlank(c)) {
      const int32_t start = pos_;
      if (c == '\r' || c == '\n') {
        PassLineBreak(c);
      } else {
        ++pos_;
      }
      ExtendLexem(start);
      c = GetChar(pos_);
    }
    if (!omit_blank_ && lexem_length_ > 0) return LexemBlank;
    if (pos_ > text_length_) return LexemEnd;

    bool comment = false;
    if (IsInlineComment(pos_)) {
      const int32_t start = pos_;
      while (pos_ <= text_length_) {
        c = GetChar(pos_);
        if (c == '\r' || c == '\n') break;
        ++pos_;
      }
      if (pos_ == start) ++pos_;  // a dialect marking a line break as a comment still moves on
      ClampPos();
      ExtendLexem(start);
      comment = true;
    }
    if (MarkerAt(pos_, comment_begin_)) {
      const int32_t start = pos_;
      // The search for the end begins on the opening marker itself.
      bool closed = false;
      while (pos_ <= text_length_ && !closed) {
        c = GetChar(pos_);
        if (c == '\r' || c == '\n') {
          PassLineBreak(c);
        } else if (MarkerAt(pos_, comment_end_)) {
          pos_ += static_cast<int32_t>(comment_end_.size());
          closed = true;
        } else {
          ++pos_;
        }
      }
      ClampPos();
      ExtendLexem(start);
      comment = true;
    }
    if (!comment) return kUndecided;
    if (!omit_comment_) return LexemComment;
  }
}

int TParser::InternalGetNext() {
  prev_prev_pos_ = prev_pos_;
  prev_pos_ = pos_;
  prev_line_ = curr_line_;
  prev_line_start_ = curr_line_start_;
  part_start_ = -1;
  lexem_pos_ = -1;
  lexem_length_ = 0;

  int code = SkipBlanksAndComments();
  if (code == LexemEnd) {
    // Omitted comments gathered before the end are no lexeme.
    lexem_pos_ = -1;
    lexem_length_ = 0;
    return LexemEnd;
  }
  if (code != kUndecided) return code;

  lexem_pos_ = -1;
  lexem_length_ = 0;
  const char c = GetChar(pos_);
  if (IsSymbol(c)) {
    if (IsStringQuote(c)) {
      code = ScanQuoted(c, LexemString, quoted_string_);
    } else if (IsIdentQuote(c)) {
      code = ScanQuoted(c, LexemIdent, true);
    } else {
      code = ScanSymbol();
    }
  } else if (IsNumber(c)) {
    ScanNumber();
    code = LexemNumber;
    if (!wanted_lexem_.empty() && WordMatchesWanted()) wanted_found_ = true;
  } else if (IsAlpha(c) || c == '_') {
    code = ScanIdentifier();
    if (code == LexemIdent && !wanted_lexem_.empty() && WordMatchesWanted()) wanted_found_ = true;
  } else {
    UnknownSymbol(c);
  }
  DAC_ASSERT(code != kUndecided, "Lexeme code not decided");
  return code;
}

void TParser::UnknownSymbol(char c) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(Byte(c)));
  throw Exception(std::string("Parser: The unknown symbol '") + c + "'  $" + hex);
}

int TParser::ScanQuoted(char quote, int code, bool keep_quotes) {
  const int32_t open = pos_;
  part_start_ = open;  // keeps the literal's blocks while its end is searched
  ++pos_;
  ToRightQuote(quote);
  ClampPos();
  const int32_t inner_end = pos_;
  const bool closed = pos_ <= text_length_;
  if (closed) ++pos_;
  if (keep_quotes) {
    lexem_pos_ = open;
    lexem_length_ = pos_ - open;
  } else {
    lexem_pos_ = open + 1;
    lexem_length_ = inner_end - lexem_pos_;
  }
  return code;
}

int TParser::ScanSymbol() {
  int code = LexemSymbol;
  lexem_pos_ = pos_;
  int32_t match_end = -1;
  int32_t length = 0;
  // A longer symbol is found only when every shorter prefix of it is in the table.
  do {
    ++length;
    ++pos_;
    const int index = FindLexemIndex(lexem_pos_, length, *symbol_lexems_);
    if (index < 0) break;
    symbol_text_ = symbol_lexems_->Strings(index);
    code = symbol_lexems_->Codes(index);
    DAC_ASSERT(code >= 1, "Symbol table code below 1");
    match_end = lexem_pos_ + length;
  } while (pos_ <= text_length_ && IsSymbol(GetChar(pos_)));

  if (match_end < 0) {
    pos_ = lexem_pos_ + 1;
    lexem_length_ = 1;
    if (wanted_lexem_.size() == 1 && GetChar(lexem_pos_) == wanted_lexem_[0]) wanted_found_ = true;
  } else {
    pos_ = match_end;
    lexem_length_ = match_end - lexem_pos_;
    if (!wanted_lexem_.empty() && symbol_text_ == wanted_lexem_) wanted_found_ = true;
  }
  return code;
}

void TParser::ScanNumber() {
  lexem_pos_ = pos_;
  while (pos_ <= text_length_ && IsNumber(GetChar(pos_))) ++pos_;
  if (dec_separator_.size() == 1 && pos_ < text_length_ && GetChar(pos_) == dec_separator_[0] &&
      IsNumber(GetChar(pos_ + 1))) {
    ++pos_;
    while (pos_ <= text_length_ && IsNumber(GetChar(pos_))) ++pos_;
  }
  lexem_length_ = pos_ - lexem_pos_;
}

int TParser::ScanIdentifier() {
  lexem_pos_ = pos_;
  ++pos_;
  for (char c = GetChar(pos_); pos_ <= text_length_ && (IsAlpha(c) || IsNumber(c) || c == '_'); c = GetChar(pos_)) ++pos_;
  lexem_length_ = pos_ - lexem_pos_;
  if (q_quoted_strings_ && lexem_length_ == 1 && (GetChar(lexem_pos_) == 'q' || GetChar(lexem_pos_) == 'Q') &&
      pos_ <= text_length_ && IsStringQuote(GetChar(pos_))) {
    ScanQQuoted(lexem_pos_);
    return LexemString;
  }
  return LexemIdent;
}

void TParser::ScanQQuoted(int32_t q_position) {
  const char quote = GetChar(pos_);
  ++pos_;  // the quote
  bool closed = false;
  if (pos_ <= text_length_) {
    const char open = GetChar(pos_);
    const char close = open == '(' ? ')' : open == '<' ? '>' : open == '[' ? ']' : open == '{' ? '}' : open;
    ++pos_;
    while (pos_ <= text_length_) {
      if (GetChar(pos_) == close && pos_ + 1 <= text_length_ && GetChar(pos_ + 1) == quote) {
        pos_ += 2;
        closed = true;
        break;
      }
      ++pos_;
    }
  }
  ClampPos();
  if (quoted_string_) {
    lexem_pos_ = q_position;
    lexem_length_ = pos_ - q_position;
    return;
  }
  // The text between the delimiters: q, quote and delimiter before it,
  // delimiter and quote after it when closed.
  const int32_t inner_start = q_position + 3;
  const int32_t inner_end = closed ? pos_ - 2 : pos_;
  lexem_pos_ = inner_start;
  lexem_length_ = std::max(0, inner_end - inner_start);
  if (lexem_length_ == 0) lexem_pos_ = -1;
}

bool TParser::WordMatchesWanted() {
  if (lexem_length_ > static_cast<int32_t>(wanted_lexem_.size())) return false;
  for (int32_t i = 0; i < lexem_length_; ++i) {
    if (plat::AsciiUpper(GetChar(lexem_pos_ + i)) != wanted_lexem_[static_cast<size_t>(i)]) return false;
  }
  return true;
}

void TParser::ToRightQuoteP(char quote) {
  while (pos_ <= text_length_) {
    const char c = GetChar(pos_);
    if (c == quote) return;
    if (c == '\r' || c == '\n') {
      PassLineBreak(c);
    } else {
      ++pos_;
    }
  }
}

void TParser::ToRightQuoteA(char quote) {
  DAC_ASSERT(!stream_, "Fast quote search over a stream");
  if (pos_ > text_length_) return;
  const char* from = text_.data() + (pos_ - 1);
  const void* found = std::memchr(from, quote, static_cast<size_t>(text_length_ - pos_ + 1));
  pos_ = found ? pos_ + static_cast<int32_t>(static_cast<const char*>(found) - from) : text_length_ + 1;
}

void TParser::ToRightQuote(char quote) {
  if (!charwise_quote_search_ && !stream_) {
    ToRightQuoteA(quote);
  } else {
    ToRightQuoteP(quote);
  }
}

// ---- Public reading ----

int TParser::GetNext(std::string& lexem) {
  lexem.clear();
  int code = InternalGetNext();
  if (code >= 1) {
    DAC_ASSERT(!symbol_text_.empty(), "Symbol without its text");
    lexem = symbol_text_;
  } else if (lexem_length_ > 0) {
    DAC_ASSERT(lexem_pos_ >= 1, "Lexeme start below 1");
    CopyText(lexem_pos_, lexem_length_, lexem);
  }
  if (!omit_keywords_ && code == LexemIdent) {
    const int index = FindLexemIndex(lexem_pos_, lexem_length_, *keyword_lexems_);
    if (index >= 0) {
      code = keyword_lexems_->Codes(index);
      DAC_ASSERT(code >= 1, "Keyword table code below 1");
      if (uppercase_) lexem = plat::AsciiUpperCase(lexem);
    }
  }
  return code;
}

int TParser::GetNextCode() {
  std::string lexem;
  return GetNext(lexem);
}

int TParser::ToLexem(int code) {
  std::string lexem;
  for (;;) {
    const int found = GetNext(lexem);
    if (found == code || found == LexemEnd) return found;
  }
}

bool TParser::ToLexem(std::string_view text) {
  wanted_lexem_ = plat::AsciiUpperCase(text);
  wanted_found_ = false;
  bool found = false;
  try {
    while (InternalGetNext() != LexemEnd && !wanted_found_) {
    }
    found = wanted_found_;
  } catch (...) {
    wanted_lexem_.clear();
    wanted_found_ = false;
    throw;
  }
  wanted_lexem_.clear();
  wanted_found_ = false;
  return found;
}

void TParser::Back() {
  pos_ = prev_pos_;
  // The line count goes back with the position, so a re-read counts no break twice.
  curr_line_ = prev_line_;
  curr_line_start_ = prev_line_start_;
}

int TParser::PosClauseLexem(int code) const {
  DAC_ASSERT(!clause_lexems_.empty(), "Clause list is empty");
  const auto it = std::find(clause_lexems_.begin(), clause_lexems_.end(), code);
  return it == clause_lexems_.end() ? -1 : static_cast<int>(it - clause_lexems_.begin());
}

bool TParser::IsClauseLexem(int code) const { return PosClauseLexem(code) >= 0; }

}  // namespace dac
