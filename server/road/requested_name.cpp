#include "server/road/requested_name.h"

#include "platform/ascii.h"

namespace server {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool HasDrivePrefix(std::string_view name) {
  return name.size() >= 2 && plat::AsciiUpper(name[0]) >= 'A' && plat::AsciiUpper(name[0]) <= 'Z' && name[1] == ':';
}

bool HasParentComponent(std::string_view name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (name.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool IsRequestedContentName(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return false;
  if (IsSeparator(name.front()) || HasDrivePrefix(name)) return false;
  return !HasParentComponent(name);
}

}  // namespace server
