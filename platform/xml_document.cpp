#include "platform/xml_document.h"

#include <pugixml.hpp>

namespace plat {

namespace {

pugi::xml_node NodeOf(void* node) { return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node)); }

bool IsText(const pugi::xml_node& node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

}  // namespace

XmlError::XmlError(const std::string& description, size_t offset)
    : std::runtime_error("Malformed XML at offset " + std::to_string(offset) + ": " + description),
      offset_(offset) {}

std::string XmlElement::Name() const { return NodeOf(node_).name(); }

std::optional<std::string> XmlElement::Attribute(std::string_view name) const {
  for (const pugi::xml_attribute& attribute : NodeOf(node_).attributes())
    if (name == attribute.name()) return std::string(attribute.value());
  return std::nullopt;
}

std::optional<XmlElement> XmlElement::Child(std::string_view name) const {
  for (const pugi::xml_node& child : NodeOf(node_).children())
    if (child.type() == pugi::node_element && name == child.name())
      return XmlElement(child.internal_object());
  return std::nullopt;
}

std::vector<XmlElement> XmlElement::Children() const {
  std::vector<XmlElement> elements;
  for (const pugi::xml_node& child : NodeOf(node_).children())
    if (child.type() == pugi::node_element) elements.push_back(XmlElement(child.internal_object()));
  return elements;
}

std::optional<std::string> XmlElement::SingleTextValue() const {
  const pugi::xml_node first = NodeOf(node_).first_child();
  if (!first || first.next_sibling() || !IsText(first)) return std::nullopt;
  return std::string(first.value());
}

struct XmlDocument::Impl {
  pugi::xml_document document;
};

XmlDocument::XmlDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;

XmlDocument XmlDocument::Parse(std::string_view bytes) {
  auto impl = std::make_unique<Impl>();
  const pugi::xml_parse_result result =
      impl->document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!result) throw XmlError(result.description(), static_cast<size_t>(result.offset));
  // The parser accepts several top-level elements; a document has one.
  const pugi::xml_node root = impl->document.document_element();
  for (pugi::xml_node node = root.next_sibling(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    const ptrdiff_t name_offset = node.offset_debug();  // just past the '<'
    throw XmlError("More than one document element",
                   name_offset > 0 ? static_cast<size_t>(name_offset - 1) : 0);
  }
  return XmlDocument(std::move(impl));
}

XmlElement XmlDocument::DocumentElement() const {
  return XmlElement(impl_->document.document_element().internal_object());
}

}  // namespace plat
