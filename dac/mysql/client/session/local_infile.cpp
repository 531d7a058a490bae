#include "dac/mysql/client/session/local_infile.h"

#include <cstring>
#include <string_view>

#include "platform/ascii.h"

namespace dac {

namespace {

enum class TokenKind { kWord, kString, kOther, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // the word, or the decoded string
};

bool IsWordChar(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c >= 0x80;
}

class SqlScanner {
 public:
  SqlScanner(const uint8_t* sql, size_t length) : sql_(sql), length_(length) {}

  Token Next() {
    SkipBlanksAndComments();
    Token token;
    if (pos_ >= length_) return token;
    const uint8_t c = sql_[pos_];
    if (c == '\'' || c == '"') {
      token.kind = TokenKind::kString;
      token.text = ReadQuoted(c);
    } else if (c == '`') {
      token.kind = TokenKind::kOther;
      ReadQuoted(c);
    } else if (IsWordChar(c)) {
      token.kind = TokenKind::kWord;
      const size_t start = pos_;
      while (pos_ < length_ && IsWordChar(sql_[pos_])) ++pos_;
      token.text = plat::AsciiUpperCase(std::string(reinterpret_cast<const char*>(sql_ + start), pos_ - start));
    } else {
      token.kind = TokenKind::kOther;
      ++pos_;
    }
    return token;
  }

 private:
  void SkipBlanksAndComments() {
    while (pos_ < length_) {
      const uint8_t c = sql_[pos_];
      const uint8_t next = pos_ + 1 < length_ ? sql_[pos_ + 1] : 0;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '#' || (c == '-' && next == '-' && (pos_ + 2 >= length_ || sql_[pos_ + 2] <= ' '))) {
        while (pos_ < length_ && sql_[pos_] != '\n') ++pos_;
      } else if (c == '/' && next == '*') {
        pos_ += 2;
        while (pos_ + 1 < length_ && !(sql_[pos_] == '*' && sql_[pos_ + 1] == '/')) ++pos_;
        pos_ = pos_ + 1 < length_ ? pos_ + 2 : length_;
      } else {
        return;
      }
    }
  }

  std::string ReadQuoted(uint8_t quote) {
    std::string out;
    ++pos_;
    while (pos_ < length_) {
      const uint8_t c = sql_[pos_++];
      if (c == quote) {
        if (pos_ < length_ && sql_[pos_] == quote) {
          out += static_cast<char>(quote);
          ++pos_;
          continue;
        }
        return out;
      }
      if (c == '\\' && quote != '`' && pos_ < length_) {
        const uint8_t e = sql_[pos_++];
        switch (e) {
          case '0': out += '\0'; break;
          case 'b': out += '\b'; break;
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'Z': out += '\x1A'; break;
          case '%': out += "\\%"; break;
          case '_': out += "\\_"; break;
          default: out += static_cast<char>(e); break;
        }
        continue;
      }
      out += static_cast<char>(c);
    }
    return out;
  }

  const uint8_t* sql_;
  size_t length_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> LocalInfileNames(const uint8_t* sql, size_t length) {
  std::vector<std::string> names;
  // Most statements are not LOAD statements: look for the keyword first.
  static constexpr std::string_view kKey = "INFILE";
  bool maybe = false;
  for (size_t i = 0; i + kKey.size() <= length && !maybe; ++i)
    maybe = plat::SameText(std::string_view(reinterpret_cast<const char*>(sql + i), kKey.size()), kKey);
  if (!maybe) return names;

  SqlScanner scanner(sql, length);
  int state = 0;  // 0 LOAD, 1 DATA|XML, 2 option or LOCAL, 3 LOCAL, 4 INFILE, 5 the name
  for (Token token = scanner.Next(); token.kind != TokenKind::kEnd; token = scanner.Next()) {
    const bool word = token.kind == TokenKind::kWord;
    switch (state) {
      case 1:
        state = word && (token.text == "DATA" || token.text == "XML") ? 2 : 0;
        break;
      case 2:
        state = word && (token.text == "LOW_PRIORITY" || token.text == "CONCURRENT") ? 3
                : word && token.text == "LOCAL"                                      ? 4
                                                                                     : 0;
        break;
      case 3:
        state = word && token.text == "LOCAL" ? 4 : 0;
        break;
      case 4:
        state = word && token.text == "INFILE" ? 5 : 0;
        break;
      case 5:
        if (token.kind == TokenKind::kString) names.push_back(token.text);
        state = 0;
        break;
      default:
        break;
    }
    if (state == 0 && word && token.text == "LOAD") state = 1;
  }
  return names;
}

}  // namespace dac
