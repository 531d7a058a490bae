// The learner sessions and the one lock of the whole session store.
//
// Every call but Lock, Unlock and Count expects the caller to hold the lock
// (TSessionsLock): the sweep timer, the login and the learner handlers take it
// around their lookup and use of a session.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/critical_section.h"
#include "server/sessions/session_params.h"

namespace server {

class TSessionsList {
 public:
  TSessionsList() = default;
  TSessionsList(const TSessionsList&) = delete;
  TSessionsList& operator=(const TSessionsList&) = delete;

  // Recursive: a holder may take it again.
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }

  // A new session (see TQuizSessionParams), appended.
  TQuizSessionParams* AddNew(bool expires);
  // The first session whose id equals id exactly; null when none does.
  TQuizSessionParams* FindById(std::string_view id) const;
  int Count() const { return static_cast<int>(sessions_.size()); }
  // Null outside the list.
  TQuizSessionParams* At(int index) const;
  // Frees the session at index; nothing outside the list.
  void Delete(int index);
  void Clear() { sessions_.clear(); }
  // Frees every expired session.
  void RemoveExpired();

 private:
  plat::CriticalSection lock_;
  std::vector<std::unique_ptr<TQuizSessionParams>> sessions_;
};

// Holds the session list's lock for one scope.
class TSessionsLock {
 public:
  explicit TSessionsLock(TSessionsList& sessions) : sessions_(sessions) { sessions_.Lock(); }
  ~TSessionsLock() { sessions_.Unlock(); }
  TSessionsLock(const TSessionsLock&) = delete;
  TSessionsLock& operator=(const TSessionsLock&) = delete;

 private:
  TSessionsList& sessions_;
};

}  // namespace server
