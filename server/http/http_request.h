// How the server reads one HTTP/1.0 request: when it is complete, what it
// asks for, and whether it was addressed to this machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace server {

// A request is complete once "\r\n\r\n" has arrived, anywhere in it.
bool IsRequestComplete(std::string_view received);

// The path token of a "GET" request: after "GET" (case-sensitive; anything
// may follow it directly) and the blanks after it, every character up to the
// next blank or the end. Line ends do not end it. nullopt for any other request.
std::optional<std::string> ReadGetToken(std::string_view request);

// The name a token asks for: one leading '/' or '\' dropped; nothing left
// means "index.html". Not decoded, not normalised.
std::string RequestedName(std::string_view token);

// True when a Host header names a host other than 127.0.0.1 or localhost
// (any port), so a page that rebinds its own name to 127.0.0.1 cannot read
// the replies. A request without Host passes.
bool HasForeignHost(std::string_view request);

}  // namespace server
