#include "tools/script_statements.h"

#include <optional>

#include "platform/ascii.h"

namespace tools {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

class ScriptCutter {
 public:
  explicit ScriptCutter(const std::string& script) : s_(script) {}

  std::vector<std::string> Cut() {
    while (pos_ < s_.size()) {
      if (in_comment_)
        InComment();
      else if (quote_)
        InQuote();
      else
        InCode();
    }
    Take(in_comment_ ? comment_start_ : s_.size());
    return statements_;
  }

 private:
  bool At(const std::string& text) const { return s_.compare(pos_, text.size(), text) == 0; }
  bool AtLineStart() const { return pos_ == 0 || s_[pos_ - 1] == '\n'; }
  size_t LineEnd(size_t from) const {
    const size_t end = s_.find('\n', from);
    return end == std::string::npos ? s_.size() : end;
  }
  int LineNumber() const {
    int line = 1;
    for (size_t i = 0; i < pos_; ++i) line += s_[i] == '\n' ? 1 : 0;
    return line;
  }

  void InComment() {
    if (At("*/")) {
      in_comment_ = false;
      pos_ += 2;
    } else {
      ++pos_;
    }
  }

  // A backslash escapes the next character in '...' and "...", not in `...`.
  void InQuote() {
    const char c = s_[pos_];
    if (c == '\\' && quote_ != '`')
      pos_ += 2;
    else
      ++pos_;
    if (c == quote_) quote_ = 0;
  }

  void InCode() {
    if (AtLineStart() && !solid_ && DelimiterCommand()) return;
    const char c = s_[pos_];
    if (At(delimiter_)) {
      Take(pos_);
      pos_ += delimiter_.size();
      start_ = pos_;
    } else if (c == '#' || (At("--") && (pos_ + 2 == s_.size() || IsBlank(s_[pos_ + 2])))) {
      pos_ = LineEnd(pos_);
    } else if (At("/*") && !At("/*!") && !At("/*M!")) {
      in_comment_ = true;
      comment_start_ = pos_;
      pos_ += 2;
    } else {
      if (c == '\'' || c == '"' || c == '`') quote_ = c;
      solid_ = solid_ || !IsBlank(c);
      ++pos_;
    }
  }

  // The statement from start_ to end, when it holds more than blanks and comments.
  void Take(size_t end) {
    if (solid_) {
      size_t first = start_, last = end;
      while (first < last && IsBlank(s_[first])) ++first;
      while (last > first && IsBlank(s_[last - 1])) --last;
      statements_.push_back(s_.substr(first, last - first));
    }
    solid_ = false;
  }

  // A "DELIMITER x" line at pos_: the new delimiter taken and the line
  // skipped. A line that only looks like one is left to be SQL, as the
  // mariadb client leaves it.
  bool DelimiterCommand() {
    size_t at = pos_;
    while (at < s_.size() && s_[at] != '\n' && IsBlank(s_[at])) ++at;
    static const std::string kWord = "delimiter";
    if (plat::AsciiLowerCase(s_.substr(at, kWord.size())) != kWord) return false;
    at += kWord.size();
    const bool bare = at < s_.size() && s_.compare(at, delimiter_.size(), delimiter_) == 0;
    if (at < s_.size() && !IsBlank(s_[at]) && !bare) return false;
    const size_t end = LineEnd(at);
    const std::optional<std::string> argument = bare ? std::string() : DelimiterArgument(at, end);
    if (!argument) return false;
    if (argument->empty()) Fail("DELIMITER must be followed by a 'delimiter' character or string");
    if (argument->find('\\') != std::string::npos) Fail("DELIMITER cannot contain a backslash character");
    delimiter_ = *argument;
    pos_ = start_ = end;
    return true;
  }

  // The line's first word or quoted string; none for a quote left open or
  // an empty one.
  std::optional<std::string> DelimiterArgument(size_t at, size_t end) const {
    while (at < end && IsBlank(s_[at])) ++at;
    if (at == end) return std::string();
    const char c = s_[at];
    if (c == '\'' || c == '"' || c == '`') {
      const size_t close = s_.find(c, at + 1);
      if (close == std::string::npos || close >= end || close == at + 1) return std::nullopt;
      return s_.substr(at + 1, close - at - 1);
    }
    size_t stop = at;
    while (stop < end && !IsBlank(s_[stop])) ++stop;
    return s_.substr(at, stop - at);
  }

  [[noreturn]] void Fail(const std::string& message) const {
    throw ScriptError("ERROR at line " + std::to_string(LineNumber()) + ": " + message);
  }

  const std::string& s_;
  std::string delimiter_ = ";";
  size_t pos_ = 0;
  size_t start_ = 0;          // where the pending statement begins
  bool solid_ = false;        // it holds more than blanks and comments
  char quote_ = 0;            // the quote it is inside, if any
  bool in_comment_ = false;   // inside /* */
  size_t comment_start_ = 0;  // where that comment began
  std::vector<std::string> statements_;
};

}  // namespace

std::vector<std::string> SplitScript(const std::string& script) { return ScriptCutter(script).Cut(); }

}  // namespace tools
