// A forward-only XML text reader over a stream or a string: declarations,
// comments, document types, elements with their attributes, end tags and the
// text after a start tag, one node per Read. A stream is read in 4096-byte
// blocks; only the blocks that hold the node being read stay in memory.
//
// The text of an element is read up to its end tag, which it takes along:
// <a>text</a> reads as the element a and the text "text", and the next Read
// goes on after "</a>".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dac/framework/classes/streams.h"
#include "dac/store/xml/xml_exception.h"

namespace dac {

enum class XmlNodeType {
  None = 0,          // before the first Read and after the last
  Element = 1,
  EndElement = 3,
  Comment = 4,
  Declaration = 5,   // <? ... ?>
  DocumentType = 6,  // <!DOCTYPE name [< ... >]
  Text = 7,          // the text after a start tag
};

enum class XmlReadState { Initial = 0, Interactive = 1, Error = 2 };

class XmlTextReader : public TObject {
  DAC_DECLARE_CLASS();

 public:
  static constexpr int32_t kStreamBlockSize = 4096;

  // Reads the stream (not owned; it must outlive the reader) from position 0
  // up to the size it reports.
  explicit XmlTextReader(TStream& stream);
  explicit XmlTextReader(std::string text);
  XmlTextReader(const XmlTextReader&) = delete;
  XmlTextReader& operator=(const XmlTextReader&) = delete;

  // Moves to the next node; false when the input holds no further "<", when
  // the node is cut off by the end of the input, and after an error. Raises
  // XmlException with the read state set to Error:
  //   "Root element missing"       the stream ended before the size it reported;
  //   "Invalid comment tag", "Invalid declaration tag", "Invalid Document
  //   type tag"                    such a node without its end;
  //   "XML tag size is too long"   an end tag longer than a block;
  //   "Invalid XML"                an attribute list that cannot be read.
  bool Read();

  XmlNodeType GetNodeType() const { return node_type_; }
  XmlReadState GetReadState() const { return read_state_; }
  // The element, end tag or declaration name (with its prefix), or the
  // attribute's after MoveToAttribute.
  const std::string& GetName() const { return name_; }
  // The text, comment, declaration or document type value, or the attribute's.
  const std::string& GetValue() const { return value_; }
  // The attribute's prefix after MoveToAttribute; otherwise empty.
  const std::string& GetPrefix() const { return prefix_; }

  // Attributes of the element just read, values decoded. By index:
  // ArgumentException outside 0 .. count - 1. By name: empty when absent.
  const std::string& Items(int index) const;
  std::string Items(std::string_view name) const;
  int GetAttributeCount() const { return static_cast<int>(attribute_names_.size()); }
  bool GetHasAttributes() const { return !attribute_names_.empty(); }
  // Name, value and prefix become the attribute's. By index: ArgumentException
  // outside the list; by name: nothing happens when it is absent.
  void MoveToAttribute(int index);
  void MoveToAttribute(std::string_view name);
  // The reader keeps no element depth.
  int GetDepth() const { return 0; }
  // No byte of the input is left to read.
  bool GetEof() const;

 private:
  [[noreturn]] void Fail(const char* message);
  // Appends the next block of the stream to the window; false at its end.
  bool LoadBlock();
  // Whether count bytes lie ahead of the scan position, loading blocks as needed.
  bool Available(size_t count);
  bool StartsWith(std::string_view text);
  // Moves the scan position onto the next c, dropping what it passes.
  bool SkipTo(char c);
  // The window index of the marker at or after the scan position, npos when the input ends first.
  size_t Find(std::string_view marker);
  // The text from the scan position up to the marker (and the marker, when
  // included) into out, the scan position behind the marker; false when the
  // input ends first.
  bool ReadUpTo(std::string_view marker, bool include_marker, std::string& out);
  // After a start tag: whether text comes before the next "<".
  bool TextFollows();
  // After "<": the kind of the tag, the scan position behind its opening.
  XmlNodeType TagKind();
  bool ReadNode(XmlNodeType kind);
  bool ReadElement();
  bool ReadDeclaration();
  bool ReadDocumentType();
  bool ReadText();
  void ReadAttributes(const std::string& text);
  void CheckIndex(int index) const;
  // No node: the input is done or the node was cut off. Always false.
  bool Ended();

  // Input: window_ holds the bytes of the blocks still needed, pos_ the scan
  // position in it.
  TStream* stream_ = nullptr;
  int64_t size_ = 0;
  int64_t read_ = 0;
  bool stream_cut_short_ = false;
  size_t block_size_ = kStreamBlockSize;
  std::string window_;
  size_t pos_ = 0;

  XmlNodeType node_type_ = XmlNodeType::None;
  XmlReadState read_state_ = XmlReadState::Initial;
  std::string name_;
  std::string value_;
  std::string prefix_;
  std::vector<std::string> attribute_names_;
  std::vector<std::string> attribute_prefixes_;
  std::vector<std::string> attribute_values_;
  std::string last_start_tag_;
  bool last_start_tag_empty_ = false;  // written as <name ... />: no text or end tag of its own follows
};

}  // namespace dac
