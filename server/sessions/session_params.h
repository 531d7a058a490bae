// A session: a learner's (or the administrator's) id, particulars and tests.
//
// The id is the only credential a learner request carries: the tick count of
// creation followed by three numbers from the secure random source, each
// below 999999, in decimal without separators or padding.
//
// Stored form (see session_stream.h): name, email, number, spare text and id
// as strings, then per test slot 0 to 19 an int32 1 and the test's stored
// form, or an int32 0 for an empty slot.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "server/sessions/session_questions.h"
#include "server/sessions/session_stream.h"

namespace server {

class TQuizSessionParams {
 public:
  static constexpr int kTestSlots = 20;
  // A session that expires does so after this long without a Touch.
  static constexpr uint32_t kExpiryMs = 7200000;

  // Touches the session and draws its id.
  explicit TQuizSessionParams(bool expires);
  TQuizSessionParams(const TQuizSessionParams&) = delete;
  TQuizSessionParams& operator=(const TQuizSessionParams&) = delete;

  const std::string& GetId() const { return id_; }
  bool GetExpires() const { return expires_; }
  uint32_t GetLastAccess() const { return last_access_; }
  // Stamps the session with the current tick count.
  void Touch();
  // Expiring, and more than kExpiryMs since the last Touch (the tick count wraps).
  bool IsExpired() const;

  // The test of subject slot 0-19; null when the slot is empty or does not exist.
  TSessionQuestions* GetTest(int slot) const;
  // Puts a new empty test into the slot, freeing the one there; null (and
  // nothing changes) for a slot that does not exist.
  TSessionQuestions* CreateTest(int slot);
  static bool IsValidSlot(int slot) { return slot >= 0 && slot < kTestSlots; }

  // The display name: the full name, or the login name (see the login).
  const std::string& GetName() const { return name_; }
  void SetName(std::string_view name) { name_ = name; }
  const std::string& GetEmail() const { return email_; }
  void SetEmail(std::string_view email) { email_ = email; }
  const std::string& GetNumber() const { return number_; }
  void SetNumber(std::string_view number) { number_ = number; }
  // Stored and restored with the session; the administrator session keeps
  // the administrator password here.
  const std::string& GetSpareText() const { return spare_text_; }
  void SetSpareText(std::string_view text) { spare_text_ = text; }
  // Whose session this is; not stored.
  const std::string& GetLoginName() const { return login_name_; }
  void SetLoginName(std::string_view name) { login_name_ = name; }

  void SaveToStream(std::string& stream) const;
  // Replaces particulars and tests with the stored ones and touches the
  // session; the stored id is dropped, the session keeps its own. A slot
  // marker other than 1 reads as an empty slot. Throws SessionFormatError
  // when the stream does not hold a whole session; the session is then unchanged.
  void LoadFromStream(TSessionReader& stream);

 private:
  using TestSlots = std::array<std::unique_ptr<TSessionQuestions>, kTestSlots>;

  uint32_t last_access_ = 0;
  std::string id_;
  bool expires_;
  TestSlots tests_;
  std::string name_;
  std::string email_;
  std::string number_;
  std::string spare_text_;
  std::string login_name_;
};

// The test of the session's slot; null when there is no session, no such
// slot, or no test in it.
inline TSessionQuestions* FindTest(const TQuizSessionParams* session, int slot) {
  return session != nullptr ? session->GetTest(slot) : nullptr;
}

}  // namespace server
