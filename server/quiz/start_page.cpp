#include "server/quiz/start_page.h"

namespace server {

std::string StartPageXml(std::string_view text, bool restore) {
  const size_t close = text.rfind('>');
  if (close == std::string_view::npos || close == 0) return "";
  const size_t slash = text.rfind('/', close - 1);
  if (slash == std::string_view::npos || slash == 0) return "";
  std::string xml(text.substr(0, slash));
  if (restore) xml += " RestoreSession=\"1\"";
  return xml + " />";
}

}  // namespace server
