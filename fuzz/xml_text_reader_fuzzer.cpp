// The record store's XML reader over a document, once from the text and once
// from a stream read in blocks: both must read the same nodes and attributes
// and end in the same way (the end of the input or the same error).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dac/framework/classes/streams.h"
#include "dac/store/xml/xml_text_reader.h"
#include "fuzz/fuzz_support.h"
#include "tests/dac/store/xml_node_dump.h"

namespace fuzz {
namespace {

std::string Dump(dac::XmlTextReader& reader) {
  return dac::testing::DumpNodes(reader, nullptr, [&] {
    Require(reader.GetReadState() == dac::XmlReadState::Error && !reader.Read(), "a failed reader reads on");
  });
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(fuzz::AsText(data, size));
  dac::XmlTextReader from_text(text);
  const std::string expected = fuzz::Dump(from_text);

  dac::TMemoryStream stream;
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  stream.SetPosition(0);
  dac::XmlTextReader from_stream(stream);
  const std::string got = fuzz::Dump(from_stream);
  // Only a stream is read in blocks, so only there can a tag be too long for one.
  constexpr std::string_view kTooLong = "error: XML tag size is too long";
  if (got.ends_with(kTooLong)) {
    fuzz::Require(expected.starts_with(got.substr(0, got.size() - kTooLong.size())), "a stream read other nodes");
  } else {
    fuzz::Require(got == expected, "a stream reads other nodes than its text");
  }
  return 0;
}
