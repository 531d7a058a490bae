// A small XML text writer. Elements and attributes collect in a pending text
// that goes to the StreamWriter whenever an element is finished, so an
// attribute can still be added to the start tag last written.
//
// Nothing is escaped: names, values and text are written exactly as given,
// and callers hand over text that is already escaped. Line breaks are CR LF;
// an empty element with attributes is closed as " />".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dac/store/xml/stream_writer.h"
#include "dac/store/xml/xml_exception.h"

namespace dac {

enum class Formatting { None = 0, Indented = 1 };

class XmlTextWriter : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The writer is not owned and must outlive this one.
  explicit XmlTextWriter(StreamWriter& writer);
  XmlTextWriter(const XmlTextWriter&) = delete;
  XmlTextWriter& operator=(const XmlTextWriter&) = delete;

  // Indented: each nested start tag is indented by depth x Indentation
  // copies of IndentChar. Default None.
  Formatting GetFormatting() const { return formatting_; }
  void SetFormatting(Formatting value) { formatting_ = value; }
  // Default 2; a negative value indents nothing.
  int GetIndentation() const { return indentation_; }
  void SetIndentation(int value) { indentation_ = value; }
  // Default blank.
  char GetIndentChar() const { return indent_char_; }
  void SetIndentChar(char value) { indent_char_ = value; }
  // Quotes attribute and namespace values. Default '"'.
  char GetQuoteChar() const { return quote_char_; }
  void SetQuoteChar(char value) { quote_char_ = value; }

  // Starts an element; with a namespace, its declaration follows the name.
  // XmlException "Cannot use a prefix with an empty namespace." for a prefix
  // without a namespace.
  void WriteStartElement(const std::string& local_name) { WriteStartElement("", local_name, ""); }
  void WriteStartElement(const std::string& local_name, const std::string& ns) {
    WriteStartElement("", local_name, ns);
  }
  void WriteStartElement(const std::string& prefix, const std::string& local_name, const std::string& ns);
  // Adds an attribute to the start tag last written. The prefix error as
  // above; XmlException "Token WriteAttributeString in state Content would
  // result in an invalid XML document." when no start tag is open.
  void WriteAttributeString(const std::string& local_name, const std::string& value);
  void WriteAttributeString(const std::string& prefix, const std::string& local_name, const std::string& ns,
                            const std::string& value);
  // A whole element on a line of its own: start tag, value, end tag.
  void WriteElementString(const std::string& local_name, const std::string& value) {
    WriteElementString(local_name, "", value);
  }
  void WriteElementString(const std::string& local_name, const std::string& ns, const std::string& value);
  // Text after the open start tag, as given.
  void WriteString(const std::string& text);
  // Ends the innermost element: as " />" when its start tag is still open
  // and has attributes, else with an end tag. XmlException "There was no XML
  // start tag open." when no element is open. Both flush.
  void WriteEndElement();
  // Ends the innermost element with an end tag in every case.
  void WriteFullEndElement();
  // Hands the pending text to the StreamWriter.
  void Flush();
  void Close() { Flush(); }

 private:
  enum class State { Start, Element, Attribute, Content };

  std::string Quoted(const std::string& value) const;
  void AppendIndent();
  std::string Indent() const;
  bool StartTagOpen() const { return state_ == State::Element || state_ == State::Attribute; }
  void CloseStartTag();
  void CheckElementOpen() const;
  void WriteEndTag();

  StreamWriter& writer_;
  std::string pending_;
  Formatting formatting_ = Formatting::None;
  int indentation_ = 2;
  char indent_char_ = ' ';
  char quote_char_ = '"';
  State state_ = State::Start;
  int32_t depth_ = 0;
  // Where attributes go: the end of each open start tag.
  std::vector<size_t> insertion_points_;
  // Names of the open elements, with their prefixes, innermost last.
  std::vector<std::string> names_;
};

}  // namespace dac
