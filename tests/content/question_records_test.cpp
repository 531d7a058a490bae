#include <gtest/gtest.h>

#include <string>

#include "content/percent_codec.h"
#include "content/question.h"
#include "content/questions_list.h"
#include "content/xor_file_stream.h"
#include "package_test_support.h"
#include "platform/files.h"

namespace content {
namespace {

// An index row written field by field: 40 fields.
const std::string kIndexRow =
    "%51%3F;"                // 1 question text "Q?"
    "%41;%42;;;;"            // 2-6 answer texts "A", "B"
    "1;0;-2;0;7;"            // 7-11 answer scores
    "ul1.swf;;;;ul5.swf;"    // 12-16 feedback upper-left movies
    ";ur2.swf;;;;"           // 17-21 feedback upper-right movies
    ";;cl3.swf;;;"           // 22-26 feedback centre-left movies
    "q.swf;"                 // 27 question movie
    "%52;"                   // 28 reserved text "R"
    "%53;"                   // 29 script text "S"
    "1;"                     // 30 use script
    "%46;1;;0;;0;;0;%47;1";  // 31-40 feedback script and flag per answer

// The question record of the same question once answer 2 was chosen and the
// maximum score 7 set: 43 fields, each followed by ';'.
const std::string kRecord =
    "%51%3F;"
    "%41;%42;;;;"
    "1;0;-2;0;7;"
    "ul1.swf;;;;ul5.swf;"
    ";ur2.swf;;;;"
    ";;cl3.swf;;;"
    "q.swf;"
    "2;-1;7;"                 // 28 chosen answer, 29 reserved number, 30 max score
    "%52;"                    // 31 reserved text
    "%53;"                    // 32 script text
    "1;"                      // 33 use script
    "%46;1;;0;;0;;0;%47;1;";  // 34-43

void ExpectSampleQuestion(const TQuestion& q) {
  EXPECT_EQ(q.GetQuestionText(), "Q?");
  EXPECT_EQ(q.GetAnswerText(0), "A");
  EXPECT_EQ(q.GetAnswerText(1), "B");
  EXPECT_EQ(q.GetAnswerText(4), "");
  EXPECT_EQ(q.GetAnswerScore(0), 1);
  EXPECT_EQ(q.GetAnswerScore(2), -2);
  EXPECT_EQ(q.GetAnswerScore(4), 7);
  EXPECT_EQ(q.GetFeedbackUpperLeft(0), "ul1.swf");
  EXPECT_EQ(q.GetFeedbackUpperLeft(4), "ul5.swf");
  EXPECT_EQ(q.GetFeedbackUpperRight(1), "ur2.swf");
  EXPECT_EQ(q.GetFeedbackCenterLeft(2), "cl3.swf");
  EXPECT_EQ(q.GetFeedbackCenterLeft(0), "");
  EXPECT_EQ(q.GetQuestionMovie(), "q.swf");
  EXPECT_EQ(q.GetReservedText(), "R");
  EXPECT_EQ(q.GetScriptText(), "S");
  EXPECT_TRUE(q.GetUseScript());
  EXPECT_EQ(q.GetFeedbackScript(0), "F");
  EXPECT_TRUE(q.GetFeedbackUseScript(0));
  EXPECT_FALSE(q.GetFeedbackUseScript(1));
  EXPECT_EQ(q.GetFeedbackScript(4), "G");
  EXPECT_TRUE(q.GetFeedbackUseScript(4));
}

TEST(QuestionRecord, IndexRowAndRecordMatchTheirLayouts) {
  TQuestionsList list;
  TQuestion* from_row = list.AddNew();
  from_row->LoadFromIndexRow(kIndexRow);
  ExpectSampleQuestion(*from_row);
  EXPECT_EQ(from_row->GetChosenAnswer(), -1);
  EXPECT_EQ(from_row->GetReservedNumber(), -1);
  EXPECT_EQ(from_row->GetMaxScore(), 0);
  EXPECT_EQ(from_row->GetOwner(), &list);
  EXPECT_EQ(from_row->GetType(), kQuestionElement);

  from_row->SetChosenAnswer(2);
  from_row->SetMaxScore(7);
  EXPECT_EQ(from_row->SaveToString(), kRecord);

  TQuestion from_record(nullptr, "");
  from_record.LoadFromString(kRecord);
  ExpectSampleQuestion(from_record);
  EXPECT_EQ(from_record.GetChosenAnswer(), 2);
  EXPECT_EQ(from_record.GetReservedNumber(), -1);
  EXPECT_EQ(from_record.GetMaxScore(), 7);
  EXPECT_EQ(from_record.SaveToString(), kRecord);

  // An index row closed by ';' reads the same.
  TQuestion closed(nullptr, "");
  closed.LoadFromIndexRow(kIndexRow + ";");
  closed.SetChosenAnswer(2);
  closed.SetMaxScore(7);
  EXPECT_EQ(closed.SaveToString(), kRecord);
}

TEST(QuestionRecord, EncodedFieldsCarryAnyByte) {
  // Every encoded field gets its own awkward text: separators, escapes, line
  // breaks, NUL and high bytes.
  auto awkward = [](int n) {
    std::string text = "f" + std::to_string(n) + ";%41%\r\n" + std::string(1, '\0') + "x";
    for (int c = 0x80; c <= 0xFF; c += 0x1F) text += static_cast<char>(c);
    return text;
  };
  std::string record = PercentEncode(awkward(1)) + ";";
  for (int i = 2; i <= 6; ++i) record += PercentEncode(awkward(i)) + ";";
  record += "5;4;3;2;1;a;b;c;d;e;f;g;h;i;j;k;l;m;n;o;mv;-1;9;5;";
  record += PercentEncode(awkward(31)) + ";" + PercentEncode(awkward(32)) + ";0;";
  for (int i = 0; i < 5; ++i) record += PercentEncode(awkward(34 + 2 * i)) + ";" + (i % 2 ? "1;" : "0;");

  TQuestion q(nullptr, "");
  q.LoadFromString(record);
  EXPECT_EQ(q.GetQuestionText(), awkward(1));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(q.GetAnswerText(i), awkward(2 + i));
    EXPECT_EQ(q.GetFeedbackScript(i), awkward(34 + 2 * i));
    EXPECT_EQ(q.GetFeedbackUseScript(i), i % 2 == 1);
  }
  EXPECT_EQ(q.GetReservedText(), awkward(31));
  EXPECT_EQ(q.GetScriptText(), awkward(32));
  EXPECT_EQ(q.GetReservedNumber(), 9);
  EXPECT_EQ(q.SaveToString(), record);

  TQuestion copy(nullptr, "");
  copy.LoadFromString(q.SaveToString());
  EXPECT_EQ(copy.SaveToString(), record);
}

TEST(QuestionRecord, ShortAndMalformedFieldsReadAsEmpty) {
  TQuestion q(nullptr, "");
  q.LoadFromString(kRecord);
  q.LoadFromString("%41;%42");  // two fields only
  EXPECT_EQ(q.GetQuestionText(), "A");
  EXPECT_EQ(q.GetAnswerText(0), "B");
  EXPECT_EQ(q.GetAnswerText(1), "");
  EXPECT_EQ(q.GetAnswerScore(0), 0);
  EXPECT_EQ(q.GetQuestionMovie(), "");
  EXPECT_EQ(q.GetChosenAnswer(), 0);
  EXPECT_EQ(q.GetMaxScore(), 0);
  EXPECT_EQ(q.GetScriptText(), "");
  EXPECT_FALSE(q.GetUseScript());
  EXPECT_FALSE(q.GetFeedbackUseScript(4));

  TQuestion empty(nullptr, "");
  empty.LoadFromIndexRow("");
  EXPECT_EQ(empty.GetQuestionText(), "");
  EXPECT_EQ(empty.GetChosenAnswer(), -1);

  // Numbers go through the strict conversion; flags are true only for "1".
  TQuestion odd(nullptr, "");
  odd.LoadFromIndexRow(
      "q;a;b;c;d;e;"            // 1-6
      "x;2147483648; 3;+4;-5;"  // 7-11
      + std::string(16, ';') +  // 12-27
      ";;2;"                    // 28-30
      ";01;;1;");               // 31-34
  EXPECT_EQ(odd.GetAnswerScore(0), 0);
  EXPECT_EQ(odd.GetAnswerScore(1), 0);
  EXPECT_EQ(odd.GetAnswerScore(2), 0);
  EXPECT_EQ(odd.GetAnswerScore(3), 4);
  EXPECT_EQ(odd.GetAnswerScore(4), -5);
  EXPECT_FALSE(odd.GetUseScript());           // "2"
  EXPECT_FALSE(odd.GetFeedbackUseScript(0));  // "01"
  EXPECT_TRUE(odd.GetFeedbackUseScript(1));
}

TEST(Question, IndexesOutsideTheAnswersChangeNothing) {
  TQuestion q(nullptr, "");
  q.LoadFromString(kRecord);
  const std::string before = q.SaveToString();
  const bool modified = q.GetModified();
  for (int i : {-1, 5, 100, -2147483647 - 1}) {
    EXPECT_EQ(q.GetAnswerText(i), "");
    EXPECT_EQ(q.GetAnswerScore(i), 0);
    EXPECT_EQ(q.GetFeedbackUpperLeft(i), "");
    EXPECT_EQ(q.GetFeedbackUpperRight(i), "");
    EXPECT_EQ(q.GetFeedbackCenterLeft(i), "");
    EXPECT_EQ(q.GetFeedbackScript(i), "");
    EXPECT_FALSE(q.GetFeedbackUseScript(i));
    q.SetFeedbackScript(i, "x");
    q.SetFeedbackUseScript(i, true);
  }
  EXPECT_EQ(q.SaveToString(), before);
  EXPECT_EQ(q.GetModified(), modified);
}

TEST(Question, SettersMarkModifiedOnlyOnChangeAndClearKeepsScripts) {
  TQuestion q(nullptr, "kept");
  EXPECT_FALSE(q.GetModified());
  q.SetScriptText("");
  q.SetUseScript(false);
  q.SetFeedbackScript(0, "");
  q.SetFeedbackUseScript(0, false);
  EXPECT_FALSE(q.GetModified());
  q.SetFeedbackUseScript(3, true);
  EXPECT_TRUE(q.GetModified());

  q.LoadFromIndexRow(kIndexRow);
  q.SetChosenAnswer(3);
  q.SetMaxScore(7);
  q.Clear();
  EXPECT_FALSE(q.GetModified());
  EXPECT_EQ(q.GetQuestionText(), "");
  EXPECT_EQ(q.GetAnswerText(0), "");
  EXPECT_EQ(q.GetAnswerScore(0), 0);
  EXPECT_EQ(q.GetQuestionMovie(), "");
  EXPECT_EQ(q.GetFeedbackScript(0), "");
  EXPECT_FALSE(q.GetFeedbackUseScript(0));
  EXPECT_EQ(q.GetChosenAnswer(), -1);
  EXPECT_EQ(q.GetMaxScore(), 0);
  EXPECT_EQ(q.GetReservedNumber(), -1);
  // Kept: script text, use script, feedback movies, reserved text.
  EXPECT_EQ(q.GetScriptText(), "S");
  EXPECT_TRUE(q.GetUseScript());
  EXPECT_EQ(q.GetFeedbackUpperLeft(0), "ul1.swf");
  EXPECT_EQ(q.GetFeedbackUpperRight(1), "ur2.swf");
  EXPECT_EQ(q.GetFeedbackCenterLeft(2), "cl3.swf");
  EXPECT_EQ(q.GetReservedText(), "R");

  // Loading the same script values again is no change.
  q.LoadFromIndexRow(kIndexRow);
  EXPECT_TRUE(q.GetModified());  // the feedback scripts were cleared
  q.Clear();
  q.LoadFromIndexRow(kIndexRow);
  q.Clear();
  q.SetScriptText("S");
  q.SetUseScript(true);
  EXPECT_FALSE(q.GetModified());
}

std::string Row(const std::string& question_text) { return PercentEncode(question_text) + ";%41;;;;;5;"; }

std::vector<std::string> QuestionTexts(const TQuestionsList& list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.Count(); ++i) texts.push_back(list.GetQuestion(i)->GetQuestionText());
  return texts;
}

class QuestionsListFiles : public package_test::TempFolder {};

TEST_F(QuestionsListFiles, IndexFileGivesOneQuestionPerNonBlankLine) {
  const std::string path =
      Write("PresentationsIndex_questions_1.csv", "\r\n" + Row("one") + "\r\n\r\n" + Row("two") + "\n" + Row("three") +
                                                      "\r" + Row("four") + "\n\r\n" + Row("five"));
  TQuestionsList list(42);
  EXPECT_TRUE(list.LoadFromFile(path));
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"one", "two", "three", "four", "five"}));
  for (int i = 0; i < list.Count(); ++i) {
    const TQuestion& q = *list.GetQuestion(i);
    EXPECT_EQ(q.GetChosenAnswer(), -1);
    EXPECT_EQ(q.GetReservedNumber(), -1);
    EXPECT_EQ(q.GetMaxScore(), 0);
    EXPECT_EQ(q.GetAnswerScore(0), 5);
  }
  EXPECT_EQ(list.GetOwnerValue(), 42);
  EXPECT_EQ(list.GetType(), kQuestionsListElement);

  // Loading appends; Clear empties.
  list.LoadFromFile(path);
  EXPECT_EQ(list.Count(), 10);
  list.SetModified(true);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.GetModified());

  EXPECT_THROW(list.LoadFromFile(root_ + "/missing.csv"), plat::FileError);
}

TEST_F(QuestionsListFiles, PackageEntryIsReadUpToItsFirstNul) {
  const std::string path = root_ + "/course.vrn";
  {
    TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
    writer.AddFile("PresentationsIndex_questions_2.csv",
                   Row("a") + "\r\n" + Row("b") + "\r\n" + std::string(1, '\0') + Row("hidden") + "\r\n");
    writer.AddFile("PresentationsIndex_questions_3.csv", "");
    writer.Finish();
  }
  TXORFileStream package(path, TXORFileStream::kRead, kPackageKey);
  TQuestionsList list;
  EXPECT_TRUE(list.LoadFromPackage("presentationsindex_questions_2.CSV", package));
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(list.LoadFromPackage("PresentationsIndex_questions_9.csv", package));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(list.LoadFromPackage("PresentationsIndex_questions_3.csv", package));
  EXPECT_EQ(list.Count(), 2);
}

TEST(QuestionsList, ExchangeAndDeleteStayInsideTheList) {
  TQuestionsList list;
  for (const char* text : {"a", "b", "c"}) list.AddNew()->LoadFromIndexRow(Row(text));
  list.Exchange(1, 1);
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"a", "b", "c"}));
  list.Exchange(0, 2);
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"c", "b", "a"}));
  list.Exchange(0, 3);
  list.Exchange(-1, 0);
  list.Delete(3);
  list.Delete(-1);
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(list.GetQuestion(3), nullptr);
  list.Delete(1);
  EXPECT_EQ(QuestionTexts(list), (std::vector<std::string>{"c", "a"}));
}

}  // namespace

namespace {

TEST_F(QuestionsListFiles, IndexRowWithAFolderNamesTheMoviesFoundBelowIt) {
  Write("q.swf", "x");
  Write("up.swf", "x");
  // Fields: text, five answers, five scores, five upper-left, five upper-right, five center-left movies,
  // then the question movie.
  std::string row = PercentEncode("text") + ";";
  for (int i = 0; i < 5; ++i) row += ";";
  for (int i = 0; i < 5; ++i) row += "1;";
  row += "UP.SWF;;;;;missing.swf;;;;;../escape.swf;;;;;q.swf;";
  TQuestion q(nullptr, "");
  q.LoadFromIndexRow(row, root_);
  EXPECT_EQ(q.GetFeedbackUpperLeft(0), folder_.path() + "/up.swf");
  EXPECT_EQ(q.GetFeedbackUpperRight(0), "missing.swf");
  EXPECT_EQ(q.GetFeedbackCenterLeft(0), "../escape.swf");
  EXPECT_EQ(q.GetQuestionMovie(), folder_.path() + "/q.swf");
  q.LoadFromIndexRow(row);
  EXPECT_EQ(q.GetQuestionMovie(), "q.swf");
}

}  // namespace
}  // namespace content
