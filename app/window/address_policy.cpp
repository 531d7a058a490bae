#include "app/window/address_policy.h"

#include <algorithm>

#include "platform/ascii.h"

namespace app {
namespace {

bool HasScheme(std::string_view address, std::string_view scheme) {
  return address.size() > scheme.size() && address[scheme.size()] == ':' &&
         plat::SameText(address.substr(0, scheme.size()), scheme);
}

}  // namespace

std::string PlayerAddress(uint16_t port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

TAddressKind ClassifyAddress(std::string_view address, uint16_t port) {
  if (address == "about:blank" || address == "about:srcdoc") return TAddressKind::kPlayer;
  if (port != 0 && HasScheme(address, "http")) {
    const std::string base = PlayerAddress(port);
    // The authority must end right after the port: "...:1234@elsewhere/" or
    // "...:12345/" are other servers.
    const std::string_view authority = std::string_view(base).substr(0, base.size() - 1);
    const std::string_view rest = address.substr(std::min(address.size(), authority.size()));
    if (plat::SameText(address.substr(0, authority.size()), authority) &&
        (rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#'))
      return TAddressKind::kPlayer;
  }
  if (HasScheme(address, "http") || HasScheme(address, "https") || HasScheme(address, "mailto"))
    return TAddressKind::kOutside;
  return TAddressKind::kRefused;
}

}  // namespace app
