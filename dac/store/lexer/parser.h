// The library's general lexer. It walks a text, or a stream read in blocks,
// and hands out one lexeme at a time: its text and an integer code. Codes
// of 1 and above come from the lexer's symbol and keyword tables; the
// negative codes below name the other lexeme kinds.
//
// Dialects (the filter, XML attribute and MySQL lexers) derive from TParser,
// override InitParser to install their tables and rules, and override the
// character tests and quote rules. A lexer is always made through its class's
// metaclass (TParserClass::Create or MakeParser<T>): construction first, then
// InitParser through the virtual slot, so the dialect's rules hold from the
// first lexeme.
//
//   auto parser = MakeParser<TParser>("SELECT a FROM t");
//   std::string lexem;
//   while (int code = parser->GetNext(lexem)) { ... }
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/classes/streams.h"
#include "dac/store/lexer/lexem_list.h"

namespace dac {

// Lexeme codes other than table entries.
constexpr int LexemEnd = 0;
constexpr int LexemSymbol = -102;  // a symbol character with no table entry; the lexeme is that character
constexpr int LexemIdent = -103;   // identifier, or a name in identifier quotes (quotes included)
constexpr int LexemNumber = -105;
constexpr int LexemString = -106;
constexpr int LexemBlank = -107;    // only while blanks are not omitted
constexpr int LexemComment = -108;  // only while comments are not omitted

// The codes that start SQL clauses, in the order clauses follow each other.
using TClausesArr = std::vector<int32_t>;

// The shared base tables: the 28 one-character symbols of the codes 33-47,
// 58-64 and 91-96 as codes 1 to 28, and the keywords AND 29, NOT 30, OR 31.
// Built once, on first use, and safe to share between threads.
const TLexemList& BaseSymbolLexems();
const TLexemList& BaseKeywordLexems();

// 1-based index of the first occurrence of sub in s at or after offset
// (offset >= 1); 0 when there is none, when sub is empty, or when offset
// exceeds Length(s) - Length(sub) + 1.
unsigned PosEx(std::string_view sub, std::string_view s, unsigned offset = 1);

class TParser;

// The metaclass of a lexer class: a lexer class passed as a value.
class TParserClass : public TMetaClass {
 public:
  using TMetaClass::TMetaClass;
  using TMetaClass::Create;
  // A lexer over the text, its InitParser already run.
  virtual std::unique_ptr<TParser> Create(const std::string& text) const = 0;
  // A lexer over the stream (not owned, must outlive the lexer); the stream
  // is read from position 0 as characters are needed.
  virtual std::unique_ptr<TParser> Create(TStream& stream) const = 0;

 protected:
  // The second construction phase.
  static void Init(TParser& parser);
};

template <typename T>
class TParserClassOf : public TParserClass {
 public:
  using TParserClass::TParserClass;
  std::unique_ptr<TParser> Create(const std::string& text) const override {
    std::unique_ptr<T> parser(new T(text));
    Init(*parser);
    return parser;
  }
  std::unique_ptr<TParser> Create(TStream& stream) const override {
    std::unique_ptr<T> parser(new T(stream));
    Init(*parser);
    return parser;
  }
};

}  // namespace dac

// In the body of every lexer class: its metaclass, and access for it to the
// class's protected constructors (Name(const std::string&), Name(TStream&)).
#define DAC_DECLARE_PARSER_CLASS(Name)               \
  DAC_DECLARE_CLASS();                               \
  static const ::dac::TParserClass& ParserClass();   \
  friend class ::dac::TParserClassOf<Name>

// In a source file.
#define DAC_DEFINE_PARSER_CLASS(Name, Parent)                       \
  DAC_DEFINE_CLASS(Name, Parent, ::dac::TParserClassOf<Name>)       \
  const ::dac::TParserClass& Name::ParserClass() {                  \
    return static_cast<const ::dac::TParserClass&>(ClassInfo());    \
  }

namespace dac {

class TParser : public TObject {
  DAC_DECLARE_PARSER_CLASS(TParser);

 public:
  static constexpr int32_t kDefaultBlockSize = 65536;

  ~TParser() override;
  TParser(const TParser&) = delete;
  TParser& operator=(const TParser&) = delete;

  // Switches: set after construction and before reading.
  // Off: a run of blanks comes back as a LexemBlank lexeme. Default on.
  bool GetOmitBlank() const { return omit_blank_; }
  void SetOmitBlank(bool value) { omit_blank_ = value; }
  // Off: each comment comes back as a LexemComment lexeme. Default off.
  bool GetOmitComment() const { return omit_comment_; }
  void SetOmitComment(bool value) { omit_comment_ = value; }
  // A keyword's text is returned upper-cased. Default on.
  bool GetUppercase() const { return uppercase_; }
  void SetUppercase(bool value) { uppercase_ = value; }
  // A string literal's lexeme keeps its quotes. Default off.
  bool GetQuotedString() const { return quoted_string_; }
  void SetQuotedString(bool value) { quoted_string_ = value; }
  // Closing quotes are searched character by character, counting lines;
  // otherwise (text input only) by one memory scan. Default off.
  bool GetCharwiseQuoteSearch() const { return charwise_quote_search_; }
  void SetCharwiseQuoteSearch(bool value) { charwise_quote_search_ = value; }
  // q'[...]' strings. Default off.
  bool GetQQuotedStrings() const { return q_quoted_strings_; }
  void SetQQuotedStrings(bool value) { q_quoted_strings_ = value; }
  // Identifiers are never looked up as keywords. Default off.
  bool GetOmitKeywords() const { return omit_keywords_; }
  void SetOmitKeywords(bool value) { omit_keywords_ = value; }
  // The one-character decimal separator of numbers; InitParser takes the
  // process format settings' one.
  const std::string& GetDecSeparator() const { return dec_separator_; }
  void SetDecSeparator(std::string value) { dec_separator_ = std::move(value); }
  const std::string& GetCommentBegin() const { return comment_begin_; }
  // Read from a stream in blocks rather than from a text in memory.
  bool IsStreamInput() const { return stream_ != nullptr; }
  const std::string& GetCommentEnd() const { return comment_end_; }

  const TLexemList& GetSymbolLexems() const { return *symbol_lexems_; }
  const TLexemList& GetKeywordLexems() const { return *keyword_lexems_; }
  const TClausesArr& GetClauseLexems() const { return clause_lexems_; }

  // Character classes of the dialect.
  virtual bool IsBlank(char c) const;         // space and every control byte (0-31, 127)
  virtual bool IsSymbol(char c) const;        // 33-47, 58-64, 91-94, 96, 123-126 (not '_')
  virtual bool IsAlpha(char c) const;         // A-Z, a-z and every code from 128
  virtual bool IsNumber(char c) const;        // 0-9
  virtual bool IsStringQuote(char c) const;   // " and '
  virtual bool IsIdentQuote(char c) const;    // none in the base
  // "//" at the 1-based position, not as the text's last two characters.
  virtual bool IsInlineComment(int position);

  // Back to the start of the text (a stream is read again from position 0).
  virtual void ToBegin();
  // Reads the next lexeme: its code, and its text (keywords upper-cased
  // while Uppercase is on). 0 and an empty text at the end.
  virtual int GetNext(std::string& lexem);

  // Dialect rules of the SQL routines: a macro may follow anything but a
  // string literal; numeric macro names are not allowed; no statement separator.
  virtual bool IsMacroAllowed(int code);
  virtual bool IsNumericMacroNameAllowed();
  virtual bool IsSemicolon(int code);

  // Replaces the text (also of a lexer made over a stream) and restarts.
  void SetText(const std::string& text);
  int GetNextCode();
  // Reads lexemes until one has the code or the text ends; the code reached (0: not found).
  int ToLexem(int code);
  // Reads lexemes until an identifier, number or symbol matches the text
  // compared upper-cased; an identifier or number that is a prefix of the
  // text matches too. The lexer stays just behind the match.
  bool ToLexem(std::string_view text);
  // One lexeme back: the scan position returns to where the last read began.
  void Back();

  // Membership and index in the dialect's clause list; the list must not be empty.
  bool IsClauseLexem(int code) const;
  int PosClauseLexem(int code) const;

  // Positions. CurrPos() is the scan position minus one, which is the
  // 1-based index of the last character of the lexeme just read (0 before
  // the first read). PrevPos() is the position where the scan for the last
  // lexeme began minus one: the 1-based index of the last character before
  // it (skipped blanks lie after it). PrevPrevPos() is the PrevPos() of the
  // read before. Lines and columns are zero-based.
  int CurrPos() const { return pos_ - 1; }
  int PrevPos() const { return prev_pos_ - 1; }
  int PrevPrevPos() const { return prev_prev_pos_ - 1; }
  int CurrLine() const { return curr_line_; }
  int PrevLine() const { return prev_line_; }
  int CurrCol() const { return pos_ - curr_line_start_; }
  int PrevCol() const { return prev_pos_ - prev_line_start_; }
  int TextLength() const { return text_length_; }

  // The character at a 1-based position; 0 beyond the text.
  char GetChar(int position);
  // Index of the table entry equal to the text span (its letters a-z
  // upper-cased), -1 when none.
  int FindLexemIndex(int position, int length, const TLexemList& table);
  // The text of a span, also across stored stream blocks.
  void CopyText(int position, int length, std::string& out);

  // Bytes per stream block; restarts the lexer. Tests lower it.
  void SetBlockSize(int32_t size);

 protected:
  explicit TParser(const std::string& text);
  explicit TParser(TStream& stream);

  // The base tables and rules; dialects call the inherited one first, then
  // change tables and rules. Ends with ToBegin.
  virtual void InitParser();
  // Closing-quote searches from the scan position: they stop on the closing
  // quote or at TextLength + 1. ToRightQuote is the hook for escape rules.
  virtual void ToRightQuoteP(char quote);
  virtual void ToRightQuoteA(char quote);
  virtual void ToRightQuote(char quote);

  // The scanner behind GetNext: the lexeme is left as LexemPos/LexemLength.
  int InternalGetNext();

  // Tables in use (not owned; they outlive every lexer).
  const TLexemList* symbol_lexems_ = nullptr;
  const TLexemList* keyword_lexems_ = nullptr;
  TClausesArr clause_lexems_;
  std::string comment_begin_ = "/*";
  std::string comment_end_ = "*/";

  // Scan state; positions are 1-based.
  int32_t pos_ = 1;
  int32_t prev_pos_ = 1;
  int32_t prev_prev_pos_ = 1;
  int32_t curr_line_ = 0;
  int32_t prev_line_ = 0;
  int32_t curr_line_start_ = 1;
  int32_t prev_line_start_ = 1;
  int32_t part_start_ = -1;  // start of a lexeme part still being scanned, -1 when none
  int32_t lexem_pos_ = -1;
  int32_t lexem_length_ = 0;
  int32_t text_length_ = 0;

 private:
  friend class TParserClass;

  static constexpr int kUndecided = -1000;

  // A stream that ends before its announced size shortens the text under a
  // running scan: the scan position never passes the end by more than one.
  void ClampPos();
  // At a CR or LF: past it (a CR LF pair is one break), counting the line.
  void PassLineBreak(char c);
  void ExtendLexem(int32_t start);
  bool MarkerAt(int32_t position, const std::string& marker);
  // Skips blanks and comments; returns a code to hand out, or kUndecided to go on.
  int SkipBlanksAndComments();
  int ScanQuoted(char quote, int code, bool keep_quotes);
  int ScanSymbol();
  void ScanNumber();
  int ScanIdentifier();
  void ScanQQuoted(int32_t q_position);
  // Searching for ToLexem(text): whether the identifier or number just scanned matches.
  bool WordMatchesWanted();
  [[noreturn]] void UnknownSymbol(char c);

  void ResetStream();
  // Loads the next block; false when the stream gave nothing more.
  bool ReadNextBlock();
  char GetStoredChar(int32_t position) const;

  bool omit_blank_ = true;
  bool omit_comment_ = false;
  bool uppercase_ = true;
  bool quoted_string_ = false;
  bool charwise_quote_search_ = false;
  bool q_quoted_strings_ = false;
  bool omit_keywords_ = false;
  std::string dec_separator_ = ".";

  std::string wanted_lexem_;
  bool wanted_found_ = false;
  std::string symbol_text_;

  // Text input: the whole text. Stream input: the current block, with the
  // earlier blocks that still hold part of a pending lexeme (or PrevPos, so
  // that Back can return) in stored_blocks_; stored block i starts at
  // first_stored_start_ + i * block_size_.
  std::string text_;
  TStream* stream_ = nullptr;
  std::deque<std::string> stored_blocks_;
  int32_t first_stored_start_ = 1;
  int32_t block_start_ = 1;
  int32_t block_length_ = 0;
  int32_t block_size_ = kDefaultBlockSize;
};

// A lexer of class T (T or a dialect) over a text, InitParser run.
template <typename T>
std::unique_ptr<T> MakeParser(const std::string& text) {
  std::unique_ptr<TParser> parser = T::ParserClass().Create(text);
  T* typed = dynamic_cast<T*>(parser.get());
  DAC_ASSERT(typed, "Parser class without its own metaclass");
  parser.release();
  return std::unique_ptr<T>(typed);
}

template <typename T>
std::unique_ptr<T> MakeParser(TStream& stream) {
  std::unique_ptr<TParser> parser = T::ParserClass().Create(stream);
  T* typed = dynamic_cast<T*>(parser.get());
  DAC_ASSERT(typed, "Parser class without its own metaclass");
  parser.release();
  return std::unique_ptr<T>(typed);
}

}  // namespace dac
