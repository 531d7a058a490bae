// A read-only XML document parsed from bytes in memory, with the few queries
// the system's readers need: the child elements in order, the name, an
// attribute or child by name, and the single text value of an element.
//
// Text comes back as the parser leaves it, in 8-bit strings. A document
// marked as UTF-16 or UTF-32 (byte-order mark or declaration) and one whose
// declaration names ISO-8859-1 ("latin1") are converted to UTF-8. Any other
// declaration, windows-1252 included, is ignored: the text comes back as the
// stored bytes, and bytes that are not UTF-8 pass through unchanged. Character
// references (&#233;) come back as UTF-8. Line ends read as LF, as XML asks.
// Document type declarations are skipped; no entity is expanded from them and
// nothing outside the bytes is ever read. Text outside the document element
// is ignored; a second document element is an error.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Input that is not a well-formed document; what() names the fault and its offset.
class XmlError : public std::runtime_error {
 public:
  XmlError(const std::string& description, size_t offset);
  // Byte offset of the fault in the parsed input.
  size_t offset() const { return offset_; }

 private:
  size_t offset_;
};

// An element of a document: a small handle, valid while its document lives.
class XmlElement {
 public:
  std::string Name() const;
  std::optional<std::string> Attribute(std::string_view name) const;
  // The first child element of that name.
  std::optional<XmlElement> Child(std::string_view name) const;
  // The child elements in document order; text and other nodes are left out.
  std::vector<XmlElement> Children() const;
  // The text when the element's only child is one text or CDATA node; nullopt
  // for an empty element, one with child elements or with several text parts.
  std::optional<std::string> SingleTextValue() const;

 private:
  friend class XmlDocument;
  explicit XmlElement(void* node) : node_(node) {}
  void* node_;  // the parser's node, kept opaque so no caller sees the parser
};

class XmlDocument {
 public:
  // Throws XmlError for malformed input, or input without exactly one document element.
  static XmlDocument Parse(std::string_view bytes);

  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  ~XmlDocument();

  XmlElement DocumentElement() const;

 private:
  struct Impl;
  explicit XmlDocument(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
