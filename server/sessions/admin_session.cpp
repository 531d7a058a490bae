#include "server/sessions/admin_session.h"

namespace server {

const std::string& TAdminSession::Begin(std::string_view password) {
  session_.reset();
  session_ = std::make_unique<TQuizSessionParams>(true);
  session_->SetSpareText(password);
  return session_->GetId();
}

bool TAdminSession::Check(std::string_view id) {
  if (!session_) return false;
  if (session_->IsExpired()) {
    session_.reset();
    return false;
  }
  return session_->GetId() == id;
}

const std::string& TAdminSession::GetPassword() const {
  static const std::string kNone;
  return session_ ? session_->GetSpareText() : kNone;
}

}  // namespace server
