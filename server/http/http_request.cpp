#include "server/http/http_request.h"

#include "platform/ascii.h"

namespace server {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsLocalHost(std::string_view host) {
  host = TrimBlanks(host);
  if (!host.empty() && host.front() == '[') return false;  // an IPv6 literal: not where we listen
  const size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) host = host.substr(0, colon);
  return host == "127.0.0.1" || plat::SameText(host, "localhost");
}

}  // namespace

bool IsRequestComplete(std::string_view received) { return received.find("\r\n\r\n") != std::string_view::npos; }

std::optional<std::string> ReadGetToken(std::string_view request) {
  if (!request.starts_with("GET")) return std::nullopt;
  size_t start = 3;
  while (start < request.size() && request[start] == ' ') ++start;
  const size_t end = request.find(' ', start);
  return std::string(request.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

std::string RequestedName(std::string_view token) {
  if (!token.empty() && (token.front() == '/' || token.front() == '\\')) token.remove_prefix(1);
  return token.empty() ? std::string("index.html") : std::string(token);
}

bool HasForeignHost(std::string_view request) {
  const size_t header_end = request.find("\r\n\r\n");
  if (header_end != std::string_view::npos) request = request.substr(0, header_end);
  size_t line_start = request.find("\r\n");
  while (line_start != std::string_view::npos) {
    line_start += 2;
    const size_t line_end = request.find("\r\n", line_start);
    const std::string_view line = request.substr(
        line_start, line_end == std::string_view::npos ? std::string_view::npos : line_end - line_start);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && plat::SameText(TrimBlanks(line.substr(0, colon)), "Host") &&
        !IsLocalHost(line.substr(colon + 1)))
      return true;
    line_start = line_end;
  }
  return false;
}

}  // namespace server
