// The text after '?' in a request, taken apart as the action dispatch takes
// it: split at '&' and '=', every token percent-decoded, the tokens paired
// into the request map, and the second decoding of the administrator pages.
#include <cstddef>
#include <cstdint>
#include <string>

#include "content/percent_codec.h"
#include "content/request_map.h"
#include "content/text_lists.h"
#include "fuzz/fuzz_support.h"
#include "platform/ascii.h"
#include "server/actions/admin_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using fuzz::Require;
  content::TStringList tokens;
  content::SplitString(tokens, fuzz::AsText(data, size), "&=");
  for (std::string& token : tokens) {
    Require(content::PercentDecode(content::PercentEncode(token)) == token, "percent encoding does not round-trip");
    token = content::PercentDecode(token);
  }
  content::TRequestMap map(tokens);
  Require(map.names().size() == (tokens.size() + 1) / 2, "the map lost or made up a parameter");
  for (const std::string& name : map.names()) {
    Require(name == plat::AsciiUpperCase(name), "a parameter name is not upper-cased");
    map.GetValue(name);
  }
  const content::TRequestMap decoded = server::DecodeOnceMore(map);
  Require(decoded.names() == map.names(), "the second decoding changed the names");
  map.SetValue("action", "");
  return 0;
}
