#include "server/http/action_table.h"

namespace server {

void TActionTable::Register(std::string_view action, TActionHandler handler) {
  for (auto& [name, registered] : rows_) {
    if (name == action) {
      registered = std::move(handler);
      return;
    }
  }
  rows_.emplace_back(std::string(action), std::move(handler));
}

const TActionHandler* TActionTable::HandlerOf(std::string_view action) const {
  for (const auto& [name, handler] : rows_)
    if (name == action) return handler ? &handler : nullptr;
  return nullptr;
}

}  // namespace server
