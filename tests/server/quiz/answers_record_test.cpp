// answers.xml: the exact bytes after two answers under a fixed clock, files
// that must never be corrupted, and a grade that must read back as written.
#include "server/quiz/answers_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/xml_document.h"
#include "tests/server/learner_test_support.h"

namespace server {
namespace {

const std::string kProjectIni =
    "[Subject_3]\nMaxQuestions=2\nOverallFeedbacks=2\n"
    "Low_0=0\nHigh_0=49\nGrade_0=Fail\nLow_1=50\nHigh_1=100\nGrade_1=R&D <pass>\n";

class AnswersFile : public LearnerTest {
 protected:
  void SetUp() override {
    LearnerTest::SetUp();
    OpenCourse(CourseMode::kFolder,
               {{"project.ini", kProjectIni},
                {"PresentationsIndex_questions_3.csv",
                 IndexOf({Question("One", {"A", "B"}, {4, 1}), Question("Two", {"A", "B"}, {4, 0})})}});
    id_ = LoginSam();
    Ask("action=genquestions&sessionid=" + id_ + "&subject=3");
    path_ = server_.GetDataFolder() + "Sessions/sam/answers.xml";
  }

  std::string Answer(int qindex, int answer) {
    return Ask("action=putanswer&sessionid=" + id_ + "&subject=3&qindex=" + std::to_string(qindex) +
               "&answer=" + std::to_string(answer));
  }

  std::string id_;
  std::string path_;
};

TEST_F(AnswersFile, TwoAnswersGiveTheseBytes) {
  plat::ManualClock clock;
  clock.SetNow({2024, 12, 25, 10, 30, 0, 0, 3});
  plat::ScopedProcessClock scoped(clock);
  const content::TQuestionsList& questions = Session(id_)->GetTest(3)->GetQuestions();
  const int one = questions.GetQuestion(0)->GetQuestionText() == "One" ? 1 : 2;
  ASSERT_EQ(Answer(one, 2), Xml("<movie generated=\"1\"/>"));      // 1 of 8: Fail
  ASSERT_EQ(Answer(3 - one, 1), Xml("<movie generated=\"1\"/>"));  // 5 of 8: 62 %
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Dataset>\r\n"
      "  <Record>\r\n    <Testid>0</Testid>\r\n    <Date>2024-25-12</Date>\r\n    <Subject>3</Subject>\r\n"
      "    <MaxScore>8</MaxScore>\r\n    <AnsweredScore>1</AnsweredScore>\r\n    <Grade>Fail</Grade>\r\n"
      "    <Usage>1</Usage>\r\n  </Record>\r\n"
      "  <Record>\r\n    <Testid>0</Testid>\r\n    <Date>2024-25-12</Date>\r\n    <Subject>3</Subject>\r\n"
      "    <MaxScore>8</MaxScore>\r\n    <AnsweredScore>5</AnsweredScore>\r\n"
      "    <Grade>R&amp;D &lt;pass&gt;</Grade>\r\n    <Usage>1</Usage>\r\n  </Record>\r\n</Dataset>";
  EXPECT_EQ(plat::ReadWholeFile(path_), expected);

  // The grade reads back through the parser as it stands in the band.
  const plat::XmlDocument document = plat::XmlDocument::Parse(plat::ReadWholeFile(path_));
  const std::vector<plat::XmlElement> records = document.DocumentElement().Children();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].Child("Grade")->SingleTextValue(), "R&D <pass>");
}

TEST_F(AnswersFile, TheClocksDayDatesTheRecordAndAGradeReadsBack) {
  Session(id_)->GetTest(3)->GetBand(0).SetGrade("A & <B>");
  content::TRequestMap map;
  map.SetValue("sessionid", id_);
  map.SetValue("subject", "3");
  map.SetValue("qindex", "1");
  map.SetValue("answer", "2");
  plat::ManualClock clock;
  clock.SetNow({2025, 3, 1, 23, 59, 0, 0, 6});
  plat::ScopedProcessClock scoped(clock);
  TReplySink sink;
  TNetStream channel(sink);
  ASSERT_TRUE(server_.PutAnswer(&channel, map));
  const std::string file = plat::ReadWholeFile(path_);
  EXPECT_NE(file.find("<Date>2025-01-03</Date>"), std::string::npos) << file;
  const plat::XmlDocument document = plat::XmlDocument::Parse(file);
  EXPECT_EQ(document.DocumentElement().Children().at(0).Child("Grade")->SingleTextValue(), "A & <B>");
}

// A result that cannot be recorded: the learner's page and standard error
// say so, the answer stays chosen, and the file stays as it was; once the
// file ends in whole records again the next answer is recorded.
TEST_F(AnswersFile, AResultThatCannotBeRecordedIsSaidAndTheFileKept) {
  ASSERT_EQ(Answer(1, 1), Xml("<movie generated=\"1\"/>"));
  const std::string whole = plat::ReadWholeFile(path_);
  const std::string halved = whole.substr(0, whole.size() / 2);
  plat::WriteFileAtomic(path_, halved);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Answer(2, 2), Xml("<movie generated=\"1\" errortext=\"Your answer was taken, but your result could not "
                              "be recorded: answers.xml is damaged (it does not end with a whole record). Tell the "
                              "person who looks after this course.\"/>"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "A test result could not be recorded: Cannot access file \"" + path_ +
                "\": answers.xml is damaged (it does not end with a whole record)\n");
  EXPECT_EQ(plat::ReadWholeFile(path_), halved);
  EXPECT_NE(Ask("action=getquestion&sessionid=" + id_ + "&subject=3&qindex=2").find("Answered=\"2\""),
            std::string::npos);

  // An editor dropped the closing tag: the next record completes the file.
  plat::WriteFileAtomic(path_, whole.substr(0, whole.size() - 10));
  EXPECT_EQ(Answer(2, 1), Xml("<movie generated=\"1\"/>"));
  const std::string grown = plat::ReadWholeFile(path_);
  EXPECT_TRUE(grown.starts_with(whole.substr(0, whole.size() - 10))) << grown;
  EXPECT_EQ(plat::XmlDocument::Parse(grown).DocumentElement().Children().size(), 2u);
}

// A file is appended to only when the result is an answers file the
// statistics can read; one whose records are whole but whose closing tag is
// missing or cut is completed. Anything else stays byte for byte.
TEST(AnswersRecordFile, OnlyFilesEndingInAWholeRecordAreAppendedTo) {
  plat::testing::TestFolder folder;
  const std::string path = folder.path() + "/Sessions/ann/answers.xml";
  TAnswersRecord record;
  record.date = {2024, 2, 9};
  record.grade = "Pass";
  const std::string lines = FormatAnswersRecord(record);
  EXPECT_EQ(lines.substr(0, 12), "  <Record>\r\n");
  EXPECT_NE(lines.find("    <Date>2024-09-02</Date>\r\n"), std::string::npos);

  EXPECT_EQ(AnswersFilePath("/data/", "Ann"), "/data/Sessions/ann/answers.xml");
  EXPECT_EQ(AnswersFilePath("", "ann"), "");  // no content opened
  // A missing file (and folder) is created with the record in it.
  ASSERT_NO_THROW(AppendAnswersRecord(path, record));
  const std::string one = std::string(kEmptyAnswersDocument).insert(51, lines);
  EXPECT_EQ(plat::ReadWholeFile(path), one);
  EXPECT_EQ(kEmptyAnswersDocument.size(), 61u);

  // A trailing line end stays behind the closing tag; the record goes before it.
  const std::string edited = std::string(kEmptyAnswersDocument) + "\r\n";
  plat::WriteFileAtomic(path, edited);
  ASSERT_NO_THROW(AppendAnswersRecord(path, record));
  EXPECT_EQ(plat::ReadWholeFile(path), std::string(edited).insert(51, lines));

  const std::string two = one.substr(0, one.size() - 10) + lines + "</Dataset>";
  for (const std::string& cut :
       {one.substr(0, one.size() - 10), one.substr(0, one.size() - 4), one.substr(0, one.size() - 12) + " \n"}) {
    plat::WriteFileAtomic(path, cut);
    ASSERT_NO_THROW(AppendAnswersRecord(path, record)) << cut;
    EXPECT_EQ(plat::ReadWholeFile(path), two) << cut;
  }
  plat::WriteFileAtomic(path, kEmptyAnswersDocument.substr(0, 51));
  ASSERT_NO_THROW(AppendAnswersRecord(path, record));
  EXPECT_EQ(plat::ReadWholeFile(path), one);

  std::string nul_inside = two;
  nul_inside[100] = '\0';
  for (const std::string& damaged : std::vector<std::string>{
           "garbage that is no document", "<?xml", "</Datase", "", two.substr(0, two.size() / 2),
           std::string(two.size(), '\0'), "garbage</Record>", "garbage</Dataset>",
           "<Other>\r\n</Other><!-- </Dataset> -->", nul_inside}) {
    plat::WriteFileAtomic(path, damaged);
    try {
      AppendAnswersRecord(path, record);
      ADD_FAILURE() << "appended to " << damaged;
    } catch (const plat::FileError& e) {
      EXPECT_TRUE(e.reason().starts_with("answers.xml is damaged (")) << e.reason();
    }
    EXPECT_EQ(plat::ReadWholeFile(path), damaged);
  }

  // A folder in the file's place stays one.
  ASSERT_EQ(::unlink(path.c_str()), 0);
  plat::CreateFolders(path + "/inside");
  EXPECT_THROW(AppendAnswersRecord(path, record), plat::FileError);
  EXPECT_TRUE(plat::FolderExists(path + "/inside"));
}

}  // namespace
}  // namespace server
