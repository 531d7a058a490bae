// Courses for the question generation and learner road tests: question index
// rows, project.ini sections, and a server fixture that opens such a course as
// a folder or as a package and talks to it through the request road.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

#include "content/percent_codec.h"
#include "platform/files.h"
#include "platform/random.h"
#include "server/http/reply_sink.h"
#include "tests/server/server_test_support.h"

namespace server {

// One row of a question index, built field by field.
struct IndexQuestion {
  std::string text;
  std::array<std::string, 5> answers;
  std::array<int, 5> scores{};
  std::array<std::string, 5> upper_left;
  std::array<std::string, 5> upper_right;
  std::array<std::string, 5> center_left;
  std::string movie;
  std::string script;
  bool use_script = false;
  std::array<std::string, 5> feedback_scripts;
  std::array<bool, 5> feedback_use_script{};

  std::string Row() const {
    std::string row = content::PercentEncode(text) + ";";
    for (const std::string& answer : answers) row += content::PercentEncode(answer) + ";";
    for (int score : scores) row += std::to_string(score) + ";";
    for (const auto* movies : {&upper_left, &upper_right, &center_left})
      for (const std::string& name : *movies) row += name + ";";
    row += movie + ";;" + content::PercentEncode(script) + ";" + (use_script ? "1;" : "0;");
    for (int i = 0; i < 5; ++i)
      row += content::PercentEncode(feedback_scripts[i]) + ";" + (feedback_use_script[i] ? "1;" : "0;");
    return row;
  }
};

// A question with only its text, answers and scores.
inline IndexQuestion Question(std::string text, std::array<std::string, 5> answers, std::array<int, 5> scores) {
  IndexQuestion question;
  question.text = std::move(text);
  question.answers = std::move(answers);
  question.scores = scores;
  return question;
}

inline std::string IndexOf(std::initializer_list<IndexQuestion> questions) {
  std::string index;
  for (const IndexQuestion& question : questions) index += question.Row() + "\r\n";
  return index;
}

enum class CourseMode { kFolder, kPacked };

inline const char* ModeName(CourseMode mode) { return mode == CourseMode::kFolder ? "Folder" : "Packed"; }

// A server over a course of the test's making, with the learner "sam".
class LearnerTest : public ServerTest {
 protected:
  LearnerTest()
      : config_home_("XDG_CONFIG_HOME", folder_.path() + "/config"),
        data_home_("XDG_DATA_HOME", folder_.path() + "/data-home") {}

  void OpenCourse(CourseMode mode, std::map<std::string, std::string> files) {
    files.emplace("index.html", "<html>start</html>");
    files.emplace("all.users.csv", "sam;bowline;;;Sam Rigger\r\n");
    if (mode == CourseMode::kFolder) {
      for (const auto& [name, bytes] : files) PutFile(content_ + name, bytes);
      ASSERT_TRUE(server_.SetPath(content_));
    } else {
      const std::string package = folder_.path() + "/cd/course.vrn";
      plat::CreateFolders(folder_.path() + "/cd");
      PutPackage(package, files);
      ASSERT_TRUE(server_.SetPath(package));
    }
    ASSERT_TRUE(server_.Open());
  }

  // A request answered without a socket: the whole reply.
  std::string Ask(const std::string& query) {
    TReplySink sink;
    TNetStream channel(sink);
    if (!server_.ProcessRequest(&channel, query)) return "refused";
    return sink.Bytes();
  }

  // The session id of a fresh login of sam, asked without a socket.
  std::string LoginSam() {
    const std::string reply = Ask("action=login&username=sam&password=bowline");
    const size_t start = reply.find("sessionid=\"");
    EXPECT_NE(start, std::string::npos) << reply;
    if (start == std::string::npos) return "";
    const size_t end = reply.find('"', start + 11);
    return reply.substr(start + 11, end - start - 11);
  }

  static std::string Xml(const std::string& body) { return FileReply("text/xml", body); }

  TQuizSessionParams* Session(const std::string& id) { return server_.GetSessions().FindById(id); }

  std::string StoredSessionFile() { return server_.StoredSessionPath("sam"); }

  plat::testing::ScopedEnv config_home_;
  plat::testing::ScopedEnv data_home_;
};

// Installs a pseudo-random generator for one scope.
class ScopedProcessRandom {
 public:
  explicit ScopedProcessRandom(plat::RandomSource& source) { plat::SetProcessRandom(&source); }
  ~ScopedProcessRandom() { plat::SetProcessRandom(nullptr); }
  ScopedProcessRandom(const ScopedProcessRandom&) = delete;
  ScopedProcessRandom& operator=(const ScopedProcessRandom&) = delete;
};

}  // namespace server
