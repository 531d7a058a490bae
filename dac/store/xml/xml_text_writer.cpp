#include "dac/store/xml/xml_text_writer.h"

#include <algorithm>

namespace dac {

DAC_DEFINE_CLASS(XmlTextWriter, TObject, ::dac::TMetaClass)

namespace {

std::string QualifiedName(const std::string& prefix, const std::string& local_name) {
  return prefix.empty() ? local_name : prefix + ":" + local_name;
}

void CheckPrefix(const std::string& prefix, const std::string& ns) {
  if (!prefix.empty() && ns.empty()) throw XmlException("Cannot use a prefix with an empty namespace.");
}

}  // namespace

XmlTextWriter::XmlTextWriter(StreamWriter& writer) : writer_(writer) {}

std::string XmlTextWriter::Quoted(const std::string& value) const { return quote_char_ + value + quote_char_; }

std::string XmlTextWriter::Indent() const {
  if (formatting_ != Formatting::Indented || depth_ <= 0 || indentation_ <= 0) return std::string();
  return std::string(static_cast<size_t>(depth_) * static_cast<size_t>(indentation_), indent_char_);
}

void XmlTextWriter::AppendIndent() {
  if (formatting_ != Formatting::Indented || depth_ <= 0 || indentation_ <= 0) return;
  pending_.append(static_cast<size_t>(depth_) * static_cast<size_t>(indentation_), indent_char_);
}

void XmlTextWriter::CloseStartTag() {
  if (!StartTagOpen()) return;
  insertion_points_.pop_back();
  while (!pending_.empty() && static_cast<unsigned char>(pending_.back()) <= ' ') pending_.pop_back();
  pending_ += '>';
}

void XmlTextWriter::WriteStartElement(const std::string& prefix, const std::string& local_name, const std::string& ns) {
  CheckPrefix(prefix, ns);
  CloseStartTag();
  if (state_ == State::Content) Flush();
  if (depth_ > 0) pending_ += "\r\n";
  std::string name = QualifiedName(prefix, local_name);
  AppendIndent();
  (pending_ += '<') += name;
  if (!ns.empty()) pending_ += (prefix.empty() ? " xmlns=" : " xmlns:" + prefix + "=") + Quoted(ns);
  insertion_points_.push_back(pending_.size());
  ++depth_;
  names_.push_back(std::move(name));
  state_ = State::Element;
}

void XmlTextWriter::WriteAttributeString(const std::string& prefix, const std::string& local_name,
                                         const std::string& ns, const std::string& value) {
  CheckPrefix(prefix, ns);
  if (!StartTagOpen())
    throw XmlException("Token WriteAttributeString in state Content would result in an invalid XML document.");
  size_t& at = insertion_points_.back();
  const size_t tail = pending_.size() - at;
  // The start tag ends the pending text (the common case): appended in place.
  std::string moved = tail > 0 ? pending_.substr(at) : std::string();
  pending_.resize(at);
  pending_ += ' ';
  if (!prefix.empty()) (pending_ += prefix) += ':';
  pending_ += local_name;
  ((pending_ += '=') += quote_char_) += value;
  pending_ += quote_char_;
  // Without a prefix the declaration is the default one: "xmlns:=" is no XML.
  if (!ns.empty()) {
    pending_ += prefix.empty() ? " xmlns=" : " xmlns:" + prefix + "=";
    ((pending_ += quote_char_) += ns) += quote_char_;
  }
  at = pending_.size();
  pending_ += moved;
  state_ = State::Attribute;
}

void XmlTextWriter::WriteAttributeString(const std::string& local_name, const std::string& value) {
  if (!StartTagOpen() || insertion_points_.back() != pending_.size()) {
    WriteAttributeString(std::string(), local_name, std::string(), value);
    return;
  }
  // The start tag ends the pending text (the common case): the attribute goes on it.
  const size_t at = pending_.size();
  pending_.resize(at + local_name.size() + value.size() + 4);
  char* out = pending_.data() + at;
  *out++ = ' ';
  out = std::copy(local_name.begin(), local_name.end(), out);
  *out++ = '=';
  *out++ = quote_char_;
  out = std::copy(value.begin(), value.end(), out);
  *out = quote_char_;
  insertion_points_.back() = pending_.size();
  state_ = State::Attribute;
}

void XmlTextWriter::WriteElementString(const std::string& local_name, const std::string& ns, const std::string& value) {
  CloseStartTag();
  pending_ += "\r\n" + Indent() + "<" + local_name;
  if (!ns.empty()) pending_ += " xmlns=" + Quoted(ns);
  pending_ += ">" + value + "</" + local_name + ">";
  state_ = State::Content;
  Flush();
}

void XmlTextWriter::WriteString(const std::string& text) {
  CloseStartTag();
  pending_ += text;
  state_ = State::Content;
}

void XmlTextWriter::CheckElementOpen() const {
  if (names_.empty()) throw XmlException("There was no XML start tag open.");
}

void XmlTextWriter::WriteEndTag() {
  CloseStartTag();
  const std::string& name = names_.back();
  const size_t n = pending_.size();
  // After a line break (or a one-character pending text) the end tag follows
  // directly; otherwise it starts a line of its own.
  if (!(n > 0 && (n < 2 || pending_[n - 1] == '\n' || pending_[n - 2] == '\r'))) {
    pending_ += "\r\n";
    AppendIndent();
  }
  ((pending_ += "</") += name) += '>';
  names_.pop_back();
  state_ = State::Content;
}

void XmlTextWriter::WriteEndElement() {
  CheckElementOpen();
  --depth_;
  if (state_ == State::Attribute) {
    insertion_points_.pop_back();
    pending_ += " />";
    names_.pop_back();
    state_ = State::Content;
  } else {
    WriteEndTag();
  }
  Flush();
}

void XmlTextWriter::WriteFullEndElement() {
  CheckElementOpen();
  --depth_;
  WriteEndTag();
  Flush();
}

void XmlTextWriter::Flush() {
  if (pending_.empty()) return;
  writer_.Write(pending_);
  pending_.clear();
}

}  // namespace dac
