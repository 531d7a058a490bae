// What an XML text reader reads, as text to compare.
#pragma once

#include <functional>
#include <string>

#include "dac/store/xml/xml_exception.h"
#include "dac/store/xml/xml_text_reader.h"

namespace dac::testing {

// Every node as "type name=value", each attribute as " prefix|name=value"
// (taken by index; on_attribute, when given, runs once the reader is on it),
// one line each; an error ends it with "error: " and its message, after
// on_error (when given) has run.
inline std::string DumpNodes(XmlTextReader& reader, const std::function<void(int index)>& on_attribute = nullptr,
                             const std::function<void()>& on_error = nullptr) {
  std::string out;
  try {
    while (reader.Read()) {
      out += std::to_string(static_cast<int>(reader.GetNodeType())) + " " + reader.GetName() + "=" + reader.GetValue();
      for (int i = 0; i < reader.GetAttributeCount(); ++i) {
        reader.MoveToAttribute(i);
        if (on_attribute) on_attribute(i);
        out += " " + reader.GetPrefix() + "|" + reader.GetName() + "=" + reader.GetValue();
      }
      out += "\n";
    }
  } catch (const XmlException& e) {
    if (on_error) on_error();
    out += "error: " + e.Message();
  }
  return out;
}

}  // namespace dac::testing
