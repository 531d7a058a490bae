#include "server/sessions/sessions_list.h"

#include <algorithm>

namespace server {

TQuizSessionParams* TSessionsList::AddNew(bool expires) {
  sessions_.push_back(std::make_unique<TQuizSessionParams>(expires));
  return sessions_.back().get();
}

TQuizSessionParams* TSessionsList::FindById(std::string_view id) const {
  for (const auto& session : sessions_)
    if (session->GetId() == id) return session.get();
  return nullptr;
}

TQuizSessionParams* TSessionsList::At(int index) const {
  return index >= 0 && index < Count() ? sessions_[static_cast<size_t>(index)].get() : nullptr;
}

void TSessionsList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  sessions_.erase(sessions_.begin() + index);
}

void TSessionsList::RemoveExpired() {
  std::erase_if(sessions_, [](const auto& session) { return session->IsExpired(); });
}

}  // namespace server
