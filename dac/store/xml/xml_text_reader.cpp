#include "dac/store/xml/xml_text_reader.h"

#include <algorithm>
#include <utility>

#include "dac/store/xml/xml_parser.h"

namespace dac {

DAC_DEFINE_CLASS(XmlTextReader, TObject, ::dac::TMetaClass)

namespace {

constexpr const char* kBlanks = " \t\r\n";

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(std::string_view s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsTrimmed(s[begin])) ++begin;
  while (end > begin && IsTrimmed(s[end - 1])) --end;
  return std::string(s.substr(begin, end - begin));
}

// A character that makes what follows a start tag its text.
bool IsTextChar(char c) {
  return c == '.' || c == ':' || c == ';' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The entities the writer's callers encode with, in one pass: an ampersand
// an entity gives never starts another entity (as when "&#x26;" is decoded
// last, after the others), and the others give no character an entity holds.
// TAB, LF and CR come as references too: the writer writes them so, since
// an XML parser would read them as they stand as blanks.
std::string DecodeValue(const std::string& value) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&#x27;", '\''}, {"&#x22;", '"'},  {"&#x3c;", '<'},  {"&#x3e;", '>'},
      {"&#x9;", '\t'},  {"&#xa;", '\n'}, {"&#xd;", '\r'}, {"&#x26;", '&'}};
  size_t at = value.find('&');
  if (at == std::string::npos) return value;
  std::string text(value, 0, at);
  text.reserve(value.size());
  while (at < value.size()) {
    const std::string_view rest = std::string_view(value).substr(at);
    size_t length = 0;
    for (const auto& [entity, replacement] : kEntities) {
      if (rest.substr(0, entity.size()) != entity) continue;
      text += replacement;
      length = entity.size();
      break;
    }
    if (length != 0) {
      at += length;
      continue;
    }
    const size_t next = value.find('&', at + 1);
    text.append(value, at, (next == std::string::npos ? value.size() : next) - at);
    at = next == std::string::npos ? value.size() : next;
  }
  return text;
}

}  // namespace

XmlTextReader::XmlTextReader(TStream& stream) : stream_(&stream), size_(std::max<int64_t>(stream.GetSize(), 0)) {
  stream.SetPosition(0);
  LoadBlock();
}

XmlTextReader::XmlTextReader(std::string text) : block_size_(text.size()), window_(std::move(text)) {}

void XmlTextReader::Fail(const char* message) {
  read_state_ = XmlReadState::Error;
  throw XmlException(message);
}

bool XmlTextReader::LoadBlock() {
  if (!stream_ || stream_cut_short_ || read_ >= size_) return false;
  const int64_t want = std::min<int64_t>(static_cast<int64_t>(block_size_), size_ - read_);
  const size_t old_size = window_.size();
  window_.resize(old_size + static_cast<size_t>(want));
  const int64_t got = std::clamp<int64_t>(stream_->Read(window_.data() + old_size, want), 0, want);
  window_.resize(old_size + static_cast<size_t>(got));
  if (got == 0) {
    stream_cut_short_ = true;
    return false;
  }
  read_ += got;
  return true;
}

bool XmlTextReader::Available(size_t count) {
  while (window_.size() - pos_ < count)
    if (!LoadBlock()) return false;
  return true;
}

bool XmlTextReader::StartsWith(std::string_view text) {
  return Available(text.size()) && std::string_view(window_).substr(pos_, text.size()) == text;
}

bool XmlTextReader::SkipTo(char c) {
  for (;;) {
    const size_t at = window_.find(c, pos_);
    if (at != std::string::npos) {
      pos_ = at;
      return true;
    }
    window_.clear();  // nothing before the character is wanted
    pos_ = 0;
    if (!LoadBlock()) return false;
  }
}

size_t XmlTextReader::Find(std::string_view marker) {
  size_t from = pos_;
  for (;;) {
    const size_t at = window_.find(marker, from);
    if (at != std::string::npos) return at;
    // A marker cut by the end of the bytes held starts no earlier than this.
    if (window_.size() >= marker.size()) from = std::max(from, window_.size() - marker.size() + 1);
    if (!LoadBlock()) return std::string::npos;
  }
}

bool XmlTextReader::ReadUpTo(std::string_view marker, bool include_marker, std::string& out) {
  if (marker.size() > block_size_) Fail("XML tag size is too long");
  const size_t at = Find(marker);
  if (at == std::string::npos) {
    pos_ = window_.size();
    return false;
  }
  out = window_.substr(pos_, at - pos_ + (include_marker ? marker.size() : 0));
  pos_ = at + marker.size();
  return true;
}

bool XmlTextReader::TextFollows() {
  for (size_t i = pos_;; ++i) {
    if (i == window_.size() && !LoadBlock()) return false;
    if (window_[i] == '<') return false;
    if (IsTextChar(window_[i])) return true;
  }
}

XmlNodeType XmlTextReader::TagKind() {
  static constexpr std::pair<std::string_view, XmlNodeType> kOpenings[] = {{"?", XmlNodeType::Declaration},
                                                                          {"!--", XmlNodeType::Comment},
                                                                          {"!DOCTYPE", XmlNodeType::DocumentType},
                                                                          {"/", XmlNodeType::EndElement}};
  for (const auto& [opening, kind] : kOpenings) {
    if (StartsWith(opening)) {
      pos_ += opening.size();
      return kind;
    }
  }
  return XmlNodeType::Element;
}

bool XmlTextReader::Ended() {
  node_type_ = XmlNodeType::None;
  name_.clear();
  value_.clear();
  return false;
}

bool XmlTextReader::Read() {
  // A reader that failed stays failed: going on would report the same node again.
  if (read_state_ == XmlReadState::Error) return false;
  attribute_names_.clear();
  attribute_prefixes_.clear();
  attribute_values_.clear();
  name_.clear();
  value_.clear();
  prefix_.clear();
  // The blocks before the scan position are done with.
  if (stream_ && pos_ >= block_size_) {
    window_.erase(0, pos_);
    pos_ = 0;
  }
  XmlNodeType kind = XmlNodeType::Text;
  if (node_type_ != XmlNodeType::Element || !TextFollows()) {
    if (!SkipTo('<')) {
      if (stream_cut_short_) Fail("Root element missing");
      return Ended();
    }
    ++pos_;
    kind = TagKind();
    read_state_ = XmlReadState::Interactive;
  }
  node_type_ = kind;
  return ReadNode(kind) || Ended();
}

bool XmlTextReader::ReadNode(XmlNodeType kind) {
  std::string text;
  switch (kind) {
    case XmlNodeType::Element:
      return ReadElement();
    case XmlNodeType::EndElement:
      if (!ReadUpTo(">", false, text)) return false;
      name_ = Trim(text);
      return true;
    case XmlNodeType::Comment:
      if (!ReadUpTo("-->", false, text)) Fail("Invalid comment tag");
      value_ = Trim(text);
      return true;
    case XmlNodeType::Declaration:
      return ReadDeclaration();
    case XmlNodeType::DocumentType:
      return ReadDocumentType();
    case XmlNodeType::Text:
      return ReadText();
    case XmlNodeType::None:
      break;
  }
  return false;
}

bool XmlTextReader::ReadElement() {
  std::string tag;
  if (!ReadUpTo(">", true, tag)) return false;
  const size_t blank = tag.find_first_of(kBlanks);
  std::string name = Trim(std::string_view(tag).substr(0, blank == std::string::npos ? tag.size() - 1 : blank));
  const std::string body = Trim(std::string_view(tag).substr(0, tag.size() - 1));
  last_start_tag_empty_ = !body.empty() && body.back() == '/';
  if (!name.empty() && name.back() == '/') name.pop_back();
  last_start_tag_ = name;
  ReadAttributes(blank == std::string::npos ? std::string(">") : tag.substr(blank));
  name_ = std::move(name);
  return true;
}

bool XmlTextReader::ReadDeclaration() {
  std::string text;
  if (!ReadUpTo("?>", false, text)) Fail("Invalid declaration tag");
  const size_t blank = text.find_first_of(kBlanks);
  name_ = Trim(std::string_view(text).substr(0, blank));
  if (blank != std::string::npos) value_ = Trim(std::string_view(text).substr(blank));
  return true;
}

bool XmlTextReader::ReadDocumentType() {
  std::string text;
  if (!ReadUpTo("[<", false, text)) Fail("Invalid Document type tag");
  name_ = Trim(text);
  if (!ReadUpTo(">]", false, text)) Fail("Invalid Document type tag");
  value_ = Trim(text);
  return true;
}

bool XmlTextReader::ReadText() {
  if (last_start_tag_empty_) return true;
  std::string text;
  if (!ReadUpTo("</" + last_start_tag_ + ">", false, text)) return false;
  value_ = Trim(text);
  return true;
}

void XmlTextReader::ReadAttributes(const std::string& text) {
  try {
    std::unique_ptr<TXmlParser> parser = MakeParser<TXmlParser>(text);
    std::string lexem;
    int code = parser->GetNext(lexem);
    for (;;) {
      if (code == LexemEnd || (code == LexemSymbol && (lexem == "<" || lexem == ">"))) return;
      if (code != LexemIdent) {
        code = parser->GetNext(lexem);
        continue;
      }
      std::string name = lexem;
      std::string prefix;
      while ((code = parser->GetNext(lexem)) == LexemIdent) name = lexem;
      if (code == kXmlColon) {
        if (parser->GetNext(lexem) != LexemIdent) Fail("Invalid XML");
        prefix = std::move(name);
        name = prefix + ":" + lexem;
        code = parser->GetNext(lexem);
      }
      if (code != kXmlEqual) continue;  // a lone name: skipped
      code = parser->GetNext(lexem);
      if (code != LexemString && code != LexemIdent) Fail("Invalid XML");
      attribute_names_.push_back(std::move(name));
      attribute_values_.push_back(DecodeValue(lexem));
      attribute_prefixes_.push_back(std::move(prefix));
      code = parser->GetNext(lexem);
    }
  } catch (const XmlException&) {
    throw;
  } catch (const Exception&) {
    Fail("Invalid XML");  // a character the lexer refuses
  }
}

void XmlTextReader::CheckIndex(int index) const {
  if (index < 0 || index >= GetAttributeCount()) throw ArgumentException("Attribute index out of range");
}

const std::string& XmlTextReader::Items(int index) const {
  CheckIndex(index);
  return attribute_values_[static_cast<size_t>(index)];
}

std::string XmlTextReader::Items(std::string_view name) const {
  const auto it = std::find(attribute_names_.begin(), attribute_names_.end(), name);
  if (it == attribute_names_.end()) return std::string();
  return attribute_values_[static_cast<size_t>(it - attribute_names_.begin())];
}

void XmlTextReader::MoveToAttribute(int index) {
  CheckIndex(index);
  const size_t i = static_cast<size_t>(index);
  name_ = attribute_names_[i];
  value_ = attribute_values_[i];
  prefix_ = attribute_prefixes_[i];
}

void XmlTextReader::MoveToAttribute(std::string_view name) {
  const auto it = std::find(attribute_names_.begin(), attribute_names_.end(), name);
  if (it != attribute_names_.end()) MoveToAttribute(static_cast<int>(it - attribute_names_.begin()));
}

bool XmlTextReader::GetEof() const {
  return pos_ >= window_.size() && (!stream_ || stream_cut_short_ || read_ >= size_);
}

}  // namespace dac
