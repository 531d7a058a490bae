#include "server/sessions/session_params.h"

#include <utility>

#include "platform/clock.h"
#include "platform/random.h"

namespace server {
namespace {

constexpr int32_t kIdDrawModulus = 999999;
constexpr int32_t kFilledSlot = 1;
constexpr int32_t kEmptySlot = 0;

}  // namespace

TQuizSessionParams::TQuizSessionParams(bool expires) : expires_(expires) {
  Touch();
  // The id is a credential: its numbers come from the secure source.
  plat::RandomSource& random = plat::ProcessSecureRandom();
  id_ = std::to_string(last_access_);
  for (int i = 0; i < 3; ++i) id_ += std::to_string(plat::RandomBelow(random, kIdDrawModulus));
}

void TQuizSessionParams::Touch() { last_access_ = plat::ProcessClock().TickCount(); }

bool TQuizSessionParams::IsExpired() const {
  return expires_ && static_cast<uint32_t>(plat::ProcessClock().TickCount() - last_access_) > kExpiryMs;
}

TSessionQuestions* TQuizSessionParams::GetTest(int slot) const {
  return IsValidSlot(slot) ? tests_[static_cast<size_t>(slot)].get() : nullptr;
}

TSessionQuestions* TQuizSessionParams::CreateTest(int slot) {
  if (!IsValidSlot(slot)) return nullptr;
  auto& test = tests_[static_cast<size_t>(slot)];
  test = std::make_unique<TSessionQuestions>();
  return test.get();
}

void TQuizSessionParams::SaveToStream(std::string& stream) const {
  WriteStreamString(stream, name_);
  WriteStreamString(stream, email_);
  WriteStreamString(stream, number_);
  WriteStreamString(stream, spare_text_);
  WriteStreamString(stream, id_);
  for (const auto& test : tests_) {
    if (!test) {
      WriteStreamInt(stream, kEmptySlot);
      continue;
    }
    WriteStreamInt(stream, kFilledSlot);
    test->SaveToStream(stream);
  }
}

void TQuizSessionParams::LoadFromStream(TSessionReader& stream) {
  // Everything is read before anything changes, so a bad file leaves the
  // session as it was.
  std::string name = ReadStreamString(stream);
  std::string email = ReadStreamString(stream);
  std::string number = ReadStreamString(stream);
  std::string spare_text = ReadStreamString(stream);
  ReadStreamString(stream);  // the stored id: this session keeps its own
  TestSlots tests;
  for (auto& test : tests) {
    if (ReadStreamInt(stream) != kFilledSlot) continue;
    test = std::make_unique<TSessionQuestions>();
    test->LoadFromStream(stream);
  }
  name_ = std::move(name);
  email_ = std::move(email);
  number_ = std::move(number);
  spare_text_ = std::move(spare_text);
  tests_ = std::move(tests);
  Touch();
}

}  // namespace server
