// Which addresses the player's window shows. It shows its own server only:
// content must not turn the window, with the learner's session beside it,
// into a general browser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

enum class TAddressKind {
  kPlayer,   // the player's server on 127.0.0.1 at its port, or an empty page: shown
  kOutside,  // http, https or mailto anywhere else: handed to the default browser
  kRefused,  // anything else (file:, data:, javascript:, ...): neither
};

// "http://127.0.0.1:PORT/".
std::string PlayerAddress(uint16_t port);

// The kind of the address for a server at port (0: no server, so only the
// empty pages are the player's). Schemes compare without regard to case.
TAddressKind ClassifyAddress(std::string_view address, uint16_t port);

}  // namespace app
