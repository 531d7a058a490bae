// Sessions, their tests and the session file: exact bytes, reading back, and
// files that are cut or forged.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "content/file_helpers.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "server/sessions/grade_band.h"
#include "server/sessions/session_file.h"
#include "server/sessions/session_params.h"
#include "server/sessions/sessions_list.h"
#include "tests/support/test_folder.h"

namespace server {
namespace {

// The stored forms, built here by hand rather than by the writer.
std::string Int(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF), static_cast<char>((bits >> 16) & 0xFF),
          static_cast<char>((bits >> 24) & 0xFF)};
}
std::string Str(const std::string& text) { return Int(static_cast<int32_t>(text.size())) + text; }

// A band record whose padding and bytes after the grade's NUL are not zero:
// they must survive a write and a read unchanged.
std::string BandBytes() {
  std::string bytes(TGradeBand::kSize, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA0 + i % 50);
  bytes.replace(0, 4, Int(50));
  bytes.replace(4, 4, Int(74));
  bytes.replace(8, 5, std::string("Good\0", 5));
  bytes.replace(108, 4, Int(1));
  bytes.replace(112, 4, std::string("swf\0", 4));
  return bytes;
}

class FixedDraws final : public plat::RandomSource {
 public:
  explicit FixedDraws(std::vector<uint32_t> draws) : draws_(std::move(draws)) {}
  uint32_t Next31() override { return draws_[next_++ % draws_.size()]; }

 private:
  std::vector<uint32_t> draws_;
  size_t next_ = 0;
};

class ScopedSecureRandom {
 public:
  explicit ScopedSecureRandom(plat::RandomSource& source) { plat::SetProcessSecureRandom(&source); }
  ~ScopedSecureRandom() { plat::SetProcessSecureRandom(nullptr); }
};

// Fills slot 0 with one band and two questions, one of them answered, and
// slot 19 with an empty test.
void FillSession(TQuizSessionParams& session) {
  session.SetName("Ann Smith");
  session.SetEmail("ann@example.org");
  session.SetNumber("42");
  session.SetLoginName("ann");
  TSessionQuestions& test = *session.CreateTest(0);
  test.SetBandCount(1);
  test.GetBand(0) = TGradeBand::FromBytes(BandBytes());
  test.SetTimer(1200);
  test.SetMaxQuestions(20);
  test.SetTestId(3);
  test.SetUsageCount(2);
  test.SetInstructionsText("Read%20first");
  test.SetUpperLeftMovie("ul.swf");
  test.SetFeedbackIndexMovie("fi.swf");
  test.GetQuestions().AddNew()->LoadFromIndexRow("Which%20knot%3F;Reef;Granny;;;;5;0;0;0;0");
  content::TQuestion& answered = *test.GetQuestions().AddNew();
  answered.LoadFromIndexRow("Second;A;B;;;;0;3;0;0;0");
  answered.SetChosenAnswer(2);
  answered.SetMaxScore(3);
  session.CreateTest(19);
}

std::string ExpectedFile(const TQuizSessionParams& session) {
  const TSessionQuestions& test = *session.GetTest(0);
  std::string bytes = "7Y(g" + Str("Ann Smith") + Str("ann@example.org") + Str("42") + Str("") + Str(session.GetId());
  bytes += Int(1) + Int(1) + BandBytes() + Int(1200) + Int(20) + Int(3) + Int(2) + Str("Read%20first") + Str("ul.swf") +
           Str("fi.swf") + Int(2) + Str(test.GetQuestions().GetQuestion(0)->SaveToString()) +
           Str(test.GetQuestions().GetQuestion(1)->SaveToString());
  for (int slot = 1; slot < 19; ++slot) bytes += Int(0);
  bytes += Int(1) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0) + Str("") + Str("") + Str("") + Int(0);
  return bytes;
}

TEST(SessionFile, HoldsTheSessionByteForByte) {
  TQuizSessionParams session(false);
  FillSession(session);
  EXPECT_EQ(SessionFileBytes(session), ExpectedFile(session));
}

TEST(SessionFile, ReadsBackWithANewIdAndTheBandsAsStored) {
  plat::testing::TestFolder folder;
  TQuizSessionParams stored(false);
  FillSession(stored);
  const std::string path = folder.path() + "/Sessions/ann/lastsession.session";
  WriteSessionFile(path, stored);
  ASSERT_TRUE(IsSessionState(path));

  TQuizSessionParams restored(false);
  const std::string own_id = restored.GetId();
  ASSERT_TRUE(LoadSessionFile(path, restored));
  EXPECT_EQ(restored.GetId(), own_id);
  EXPECT_NE(restored.GetId(), stored.GetId());
  EXPECT_EQ(restored.GetName(), "Ann Smith");
  EXPECT_EQ(restored.GetEmail(), "ann@example.org");
  EXPECT_EQ(restored.GetNumber(), "42");
  EXPECT_EQ(restored.GetLoginName(), "");  // not stored
  for (int slot = 1; slot < 19; ++slot) EXPECT_EQ(restored.GetTest(slot), nullptr) << slot;
  ASSERT_NE(restored.GetTest(19), nullptr);
  const TSessionQuestions& test = *restored.GetTest(0);
  ASSERT_EQ(test.GetBandCount(), 1);
  EXPECT_EQ(test.GetBand(0).Bytes(), BandBytes());
  EXPECT_EQ(test.GetBand(0).GetGrade(), "Good");
  EXPECT_EQ(test.GetBand(0).GetHigh(), 74);
  EXPECT_EQ(test.GetUsageCount(), 2);
  EXPECT_EQ(test.GetTestId(), 3);
  ASSERT_EQ(test.GetQuestions().Count(), 2);
  EXPECT_EQ(test.GetQuestions().GetQuestion(0)->GetQuestionText(), "Which knot?");
  EXPECT_EQ(test.GetQuestions().GetQuestion(0)->GetChosenAnswer(), -1);
  EXPECT_EQ(test.GetQuestions().GetQuestion(1)->GetChosenAnswer(), 2);
}

TEST(SessionFile, AnyMarkerButOneIsAnEmptySlotAndTextsEndAtNul) {
  std::string bytes = Str("Ann") + Str(std::string("a\0b", 3)) + Str("") + Str("spare") + Str("123");
  for (int slot = 0; slot < 20; ++slot) bytes += Int(slot == 4 ? 7 : 0);
  TSessionReader reader(bytes);
  TQuizSessionParams session(false);
  session.LoadFromStream(reader);
  EXPECT_EQ(session.GetEmail(), "a");
  EXPECT_EQ(session.GetSpareText(), "spare");
  EXPECT_EQ(session.GetTest(4), nullptr);
}

TEST(SessionFile, CutOrForgedFilesLeaveTheSessionAsItWas) {
  plat::testing::TestFolder folder;
  TQuizSessionParams stored(false);
  FillSession(stored);
  const std::string whole = SessionFileBytes(stored);
  const std::string path = folder.path() + "/s.session";

  auto expect_refused = [&](const std::string& bytes, const std::string& what) {
    content::WriteStringToFile(path, bytes);
    TQuizSessionParams session(false);
    session.SetName("untouched");
    EXPECT_FALSE(LoadSessionFile(path, session)) << what;
    EXPECT_EQ(session.GetName(), "untouched") << what;
    EXPECT_EQ(session.GetTest(0), nullptr) << what;
  };
  for (size_t cut = 0; cut < whole.size(); ++cut) expect_refused(whole.substr(0, cut), "cut at " + std::to_string(cut));

  const std::string head = "7Y(g";
  expect_refused(head + Int(-1), "length -1");
  expect_refused(head + Int(0x7fffffff) + "abc", "length 0x7fffffff");
  std::string slots = Str("") + Str("") + Str("") + Str("") + Str("1");
  expect_refused(head + slots + Int(1) + Int(1000000000) + std::string(200, 'x'), "band count 10^9");
  expect_refused(head + slots + Int(1) + Int(-1) + std::string(200, 'x'), "band count -1");
  std::string test_head = Int(0) + Int(0) + Int(0) + Int(0) + Int(0) + Str("") + Str("") + Str("");
  expect_refused(head + slots + Int(1) + test_head + Int(1000000000) + std::string(64, '\0'), "question count 10^9");
  expect_refused("7Y(h" + whole.substr(4), "wrong magic");
}

TEST(SessionFile, IsSessionStateNeedsTheWholeMagic) {
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/state";
  content::WriteStringToFile(path, "7Y(");
  EXPECT_FALSE(IsSessionState(path));
  content::WriteStringToFile(path, "7Y(g");
  EXPECT_TRUE(IsSessionState(path));
  content::WriteStringToFile(path, "7Y(G and more");
  EXPECT_FALSE(IsSessionState(path));
  EXPECT_FALSE(IsSessionState(folder.path() + "/missing"));
}

TEST(GradeBand, NewBandsAreZeroAndTextsAreCutToTheirFields) {
  TGradeBand band;
  EXPECT_EQ(band.Bytes(), std::string(TGradeBand::kSize, '\0'));
  band.SetGrade(std::string(150, 'g'));
  EXPECT_EQ(band.GetGrade(), std::string(99, 'g'));
  band.SetGrade("Pass");
  EXPECT_EQ(band.GetGrade(), "Pass");
  // What followed the old text's end stays, as stored bands always kept it.
  EXPECT_EQ(band.Bytes().substr(8 + 5, 94), std::string(94, 'g'));
  band.SetCenterRightExt("longextension");
  EXPECT_EQ(band.GetCenterRightExt(), "longexten");
  EXPECT_EQ(band.GetCenterLeftExt(), "");
  band.SetLow(-3);
  EXPECT_EQ(band.Bytes().substr(0, 4), std::string("\xfd\xff\xff\xff", 4));
  // A stored text without its terminator ends with its field.
  TGradeBand full = TGradeBand::FromBytes(std::string(TGradeBand::kSize, 'x'));
  EXPECT_EQ(full.GetUpperLeftExt(), std::string(10, 'x'));
}

TEST(SessionQuestions, BandCountZeroKeepsTheRecords) {
  TSessionQuestions test;
  test.SetBandCount(2);
  test.GetBand(1).SetGrade("Top");
  test.SetBandCount(0);
  EXPECT_EQ(test.GetBandCount(), 0);
  test.SetBandCount(-4);
  EXPECT_EQ(test.GetBandCount(), 0);
  test.SetBandCount(3);
  EXPECT_EQ(test.GetBand(1).GetGrade(), "Top");
  EXPECT_EQ(test.GetBand(2).Bytes(), std::string(TGradeBand::kSize, '\0'));
}

TEST(SessionQuestions, CountsAndPicksAnsweredAndWrongQuestions) {
  TSessionQuestions test;
  content::TQuestionsList& questions = test.GetQuestions();
  const char* rows[] = {"Q0;A;B;;;;5;0;0;0;0", "Q1;A;B;;;;5;0;0;0;0", "Q2;A;B;;;;5;0;0;0;0", "Q3;A;B;;;;5;0;0;0;0"};
  for (const char* row : rows) {
    content::TQuestion& question = *questions.AddNew();
    question.LoadFromIndexRow(row);
    question.SetMaxScore(5);
  }
  questions.GetQuestion(0)->SetChosenAnswer(1);  // right
  questions.GetQuestion(2)->SetChosenAnswer(2);  // wrong
  // No such answer (a damaged session file): unanswered, never indexed.
  questions.GetQuestion(3)->SetChosenAnswer(9);
  questions.GetQuestion(1)->SetChosenAnswer(0);
  EXPECT_EQ(test.AnsweredCount(), 2);
  EXPECT_EQ(test.WrongCount(), 1);
  EXPECT_EQ(test.AnsweredAt(1), questions.GetQuestion(2));
  EXPECT_EQ(test.AnsweredAt(2), nullptr);
  EXPECT_EQ(test.WrongAt(0), questions.GetQuestion(2));
  EXPECT_EQ(test.WrongAt(1), nullptr);
  EXPECT_EQ(test.WrongAt(-1), nullptr);
}

TEST(SessionParams, TheIdIsTheTickAndThreeSecureDraws) {
  plat::ManualClock clock;
  clock.SetTickCount(123456);
  plat::ScopedProcessClock scoped_clock(clock);
  FixedDraws draws({7, 0, 999998});
  ScopedSecureRandom scoped_random(draws);
  EXPECT_EQ(TQuizSessionParams(false).GetId(), "12345670999998");
  // Draws are taken modulo 999999.
  FixedDraws big({999999, 1000005, 2147483647});
  ScopedSecureRandom scoped_big(big);
  EXPECT_EQ(TQuizSessionParams(false).GetId(), "123456" "0" "6" "485794");
}

TEST(SessionParams, ExpiresOnlyPastTwoHoursEvenAcrossTheTickWrap) {
  plat::ManualClock clock;
  plat::ScopedProcessClock scoped_clock(clock);
  for (const uint32_t start : {1000u, 0xFFFFFFFFu - 1000u}) {
    clock.SetTickCount(start);
    TQuizSessionParams expiring(true);
    TQuizSessionParams lasting(false);
    clock.AdvanceTicks(7200000);
    EXPECT_FALSE(expiring.IsExpired()) << start;
    clock.AdvanceTicks(1);
    EXPECT_TRUE(expiring.IsExpired()) << start;
    EXPECT_FALSE(lasting.IsExpired()) << start;
    expiring.Touch();
    EXPECT_FALSE(expiring.IsExpired()) << start;
  }
}

TEST(SessionParams, OnlyTwentySlotsExist) {
  TQuizSessionParams session(false);
  EXPECT_EQ(session.CreateTest(20), nullptr);
  EXPECT_EQ(session.CreateTest(-1), nullptr);
  EXPECT_EQ(session.GetTest(20), nullptr);
  EXPECT_NE(session.CreateTest(19), nullptr);
}

TEST(SessionsList, RemoveExpiredTakesAdjacentExpiredSessions) {
  plat::ManualClock clock;
  plat::ScopedProcessClock scoped_clock(clock);
  TSessionsList sessions;
  TSessionsLock lock(sessions);
  TQuizSessionParams* first = sessions.AddNew(false);
  for (int i = 0; i < 3; ++i) sessions.AddNew(true);
  TQuizSessionParams* last = sessions.AddNew(true);
  clock.AdvanceTicks(7200001);
  last->Touch();
  sessions.RemoveExpired();
  ASSERT_EQ(sessions.Count(), 2);
  EXPECT_EQ(sessions.At(0), first);
  EXPECT_EQ(sessions.At(1), last);
  EXPECT_EQ(sessions.FindById(last->GetId()), last);
  EXPECT_EQ(sessions.FindById(""), nullptr);
  EXPECT_EQ(sessions.FindById(last->GetId() + "0"), nullptr);
  sessions.Delete(5);
  sessions.Delete(0);
  EXPECT_EQ(sessions.At(0), last);
}

}  // namespace
}  // namespace server
