// The one administrator session. It lives outside the learner session list,
// is never stored, and lapses two hours after the login that made it: nothing
// stamps its use. It remembers the administrator password that was valid at
// login, which a password change must give as the current one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "server/sessions/session_params.h"

namespace server {

// The answer to an administrator request without a live administrator session.
inline constexpr std::string_view kAdminNotLoggedIn = "<movie errortext=\"You are not logged in.\" />";

class TAdminSession {
 public:
  TAdminSession() = default;
  TAdminSession(const TAdminSession&) = delete;
  TAdminSession& operator=(const TAdminSession&) = delete;

  // Frees any earlier session and opens a new one that holds password.
  // Returns the new session's id.
  const std::string& Begin(std::string_view password);
  // True when a session exists, has not lapsed and its id equals id exactly.
  // A lapsed session is freed on the spot, whatever id was given.
  bool Check(std::string_view id);
  bool Exists() const { return session_ != nullptr; }
  // The password the session was opened with; "" without a session.
  const std::string& GetPassword() const;

 private:
  std::unique_ptr<TQuizSessionParams> session_;
};

}  // namespace server
