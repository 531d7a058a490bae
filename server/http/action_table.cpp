#include "server/http/action_table.h"

#include <stdexcept>
#include <string>
#include <utility>

void TActionTable::Register(std::string_view action, TActionHandler handler) {
  const int index = IndexOf(action);
  if (index < 0) throw std::invalid_argument("no action named \"" + std::string(action) + "\"");
  handlers_[static_cast<size_t>(index)] = std::move(handler);
}

int TActionTable::IndexOf(std::string_view action) {
  for (size_t i = 0; i < kCount; ++i)
    if (kActionNames[i].action == action) return static_cast<int>(i);
  return -1;
}

const TActionHandler* TActionTable::HandlerOf(std::string_view action) const {
  const int index = IndexOf(action);
  if (index < 0) return nullptr;
  const TActionHandler& handler = handlers_[static_cast<size_t>(index)];
  return handler ? &handler : nullptr;
}
