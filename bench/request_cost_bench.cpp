// What one request costs the server's loop, on inputs that content and
// learners make large: every request runs on the one loop, so each cost here
// must grow no faster than its input.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "content/questions_list.h"
#include "content/xor_file_stream.h"
#include "content/users.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/random.h"
#include "platform/xml_document.h"
#include "server/http/reply_sink.h"
#include "server/quiz/answers_reading.h"
#include "server/quiz/answers_record.h"
#include "server/quiz/project_ini.h"
#include "server/quiz/question_draw.h"
#include "server/quiz_session.h"
#include "server/stats/stats_computation.h"
#include "tests/support/test_folder.h"

namespace {

using plat::testing::ScopedEnv;
using plat::testing::TestFolder;

// A project.ini of about `size` bytes whose subject 1 declares as many grade
// bands as fit (at most the 1,000 a test keeps), the rest other sections.
std::string ProjectIni(size_t size) {
  const int bands = static_cast<int>(std::min<size_t>(1000, size / 200));
  std::string ini = "[Subject_1]\r\nOverallFeedbacks=" + std::to_string(bands) + "\r\nMaxQuestions=20\r\n";
  for (int i = 0; i < bands; ++i) {
    const std::string n = std::to_string(i);
    ini += "UseScript_" + n + "=1\r\nLow_" + n + "=" + n + "\r\nHigh_" + n + "=" + n + "\r\nGrade_" + n +
           "=Band\r\nUpperLeftExt_" + n + "=swf\r\nCenterLeftExt_" + n + "=swf\r\nCenterRightExt_" + n + "=swf\r\n";
  }
  for (int i = 2; ini.size() < size; ++i) ini += "[Subject_" + std::to_string(i) + "]\r\nTimer=600\r\n";
  return ini;
}

void BM_GenQuestionsSettings(benchmark::State& state) {
  const std::string text = ProjectIni(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    server::TSessionQuestions test;
    server::ReadSubjectSettings(plat::IniFile::FromBytes(text), 1, test);
    benchmark::DoNotOptimize(test.GetBandCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_GenQuestionsSettings)->RangeMultiplier(8)->Range(1 << 10, 1 << 20)->Unit(benchmark::kMicrosecond);

// A question index of `size` bytes, one short row per question, drawn down to 20.
void BM_GenQuestionsDraw(benchmark::State& state) {
  std::string index;
  while (index.size() < static_cast<size_t>(state.range(0))) index += "q\n";
  plat::LcgRandom random(37);
  for (auto _ : state) {
    content::TQuestionsList questions;
    server::DrawQuestionsFromIndex(index, questions, 20, random);
    benchmark::DoNotOptimize(questions.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_GenQuestionsDraw)->RangeMultiplier(8)->Range(1 << 10, 1 << 20)->Unit(benchmark::kMicrosecond);

// A data folder of `learners` users with 20 answers each.
class Learners {
 public:
  explicit Learners(int learners) {
    for (int i = 0; i < learners; ++i) {
      const std::string login = "learner" + std::to_string(i);
      users_.AddNew()->SetLoginName(login);
      std::string document(server::kEmptyAnswersDocument);
      for (int k = 0; k < 20; ++k) {
        server::TAnswersRecord record{k / 5 + 1, {2006, 3 + k % 4, 15}, k % 2 + 1, 100, 40 + k, "Pass", k};
        document = *server::InsertAnswersRecord(document, server::FormatAnswersRecord(record));
      }
      const std::string path = server::AnswersFilePath(Folder(), login);
      plat::WriteFileAtomic(path, document);
      paths_.push_back(path);
    }
  }
  std::string Folder() const { return folder_.path() + "/"; }
  content::TUsersList& Users() { return users_; }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  TestFolder folder_;
  content::TUsersList users_;
  std::vector<std::string> paths_;
};

// The yardstick of the statistics: reading and parsing every answers file once.
void BM_StatsBareParse(benchmark::State& state) {
  Learners learners(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const std::string& path : learners.Paths())
      benchmark::DoNotOptimize(plat::XmlDocument::Parse(plat::ReadWholeFile(path)).DocumentElement().Children());
  }
}
BENCHMARK(BM_StatsBareParse)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond);

// The group overview page's work: every learner's records, then the ranking.
// The first page after the files changed reads them all; later pages only
// look at their stamps.
void StatsOverview(benchmark::State& state, bool files_changed) {
  Learners learners(static_cast<int>(state.range(0)));
  server::TAnswersCache cache;
  const server::TGradeTable grades;
  if (!files_changed) server::CalcUserStats(learners.Users(), learners.Folder(), &cache);
  for (auto _ : state) {
    if (files_changed) cache = server::TAnswersCache();
    server::CalcUserStats(learners.Users(), learners.Folder(), &cache);
    benchmark::DoNotOptimize(
        server::GroupOverview(learners.Users(), server::TUserFilter::All(), std::nullopt, grades).computed);
  }
}
void BM_StatsOverviewFirstRead(benchmark::State& state) { StatsOverview(state, true); }
void BM_StatsOverviewAgain(benchmark::State& state) { StatsOverview(state, false); }
BENCHMARK(BM_StatsOverviewFirstRead)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatsOverviewAgain)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond);

// Opening a package whose data folder holds `learners` session folders: the
// sweep for folders of former users looks at every one.
void BM_OpenPackageWithLearners(benchmark::State& state) {
  TestFolder folder;
  const ScopedEnv config("XDG_CONFIG_HOME", folder.path() + "/config");
  const std::string package = folder.path() + "/course.vrn";
  std::string users;
  for (int i = 0; i < state.range(0); ++i) users += "learner" + std::to_string(i) + ";pw;;;Learner\r\n";
  {
    content::TXORFileStream writer(package, content::TXORFileStream::kCreate, content::kPackageKey);
    writer.AddFile("projectid.txt", "course");
    writer.AddFile("all.users.csv", users);
    writer.AddFile("index.html", "<html/>");
  }
  plat::EventLoop loop;
  server::TQuizSession server(loop, 1);
  server.SetPath(package);  // the first opening stamps the data folder
  for (int i = 0; i < state.range(0); ++i)
    std::filesystem::create_directories(folder.path() + "/course/Sessions/learner" + std::to_string(i));
  for (auto _ : state) benchmark::DoNotOptimize(server.SetPath(package));
}
BENCHMARK(BM_OpenPackageWithLearners)->RangeMultiplier(10)->Range(100, 10000)->Unit(benchmark::kMillisecond);

// The attribute's value in an XML reply.
std::string AttributeOf(const std::string& reply, const std::string& name) {
  const size_t start = reply.find(name + "=\"");
  if (start == std::string::npos) return "";
  const size_t from = start + name.size() + 2;
  return reply.substr(from, reply.find('"', from) - from);
}

// Each request of the sample course as its pages make it, served from a
// copy of the course: the loop time one learner's or administrator's click costs.
class SampleCourse : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    folder_.emplace();
    config_.emplace("XDG_CONFIG_HOME", folder_->path() + "/config");
    const std::string course = folder_->path() + "/knots/";
    std::filesystem::copy(std::string(VARNEL_SOURCE_DIR) + "/samples/knots", course,
                          std::filesystem::copy_options::recursive);
    loop_.emplace();
    server_.emplace(*loop_, 1);
    server_->SetPath(course);
    learner_ = AttributeOf(Get("/?action=login&username=sam&password=bowline"), "sessionid");
    admin_ = AttributeOf(Get("/?action=adminlogin&username=qorbe&password=qorbe"), "sessionid");
    Get("/?action=genquestions&sessionid=" + learner_ + "&subject=1");
    Get("/?action=putanswer&sessionid=" + learner_ + "&subject=1&qindex=1&answer=1");
  }
  void TearDown(const benchmark::State&) override {
    server_.reset();
    loop_.reset();
    config_.reset();
    folder_.reset();
  }

  std::string Get(const std::string& target) {
    server::TReplySink sink;
    server::TNetStream channel(sink);
    server_->ProcessHttpRequest(&channel, "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    return sink.Bytes();
  }

  void Serve(benchmark::State& state, const std::string& target) {
    for (auto _ : state) benchmark::DoNotOptimize(Get(target));
  }

 protected:
  std::optional<plat::EventLoop> loop_;
  std::optional<TestFolder> folder_;
  std::optional<ScopedEnv> config_;
  std::optional<server::TQuizSession> server_;
  std::string learner_;
  std::string admin_;
};

BENCHMARK_F(SampleCourse, Page)(benchmark::State& state) { Serve(state, "/test.html"); }
BENCHMARK_F(SampleCourse, Login)(benchmark::State& state) {
  Serve(state, "/?action=login&username=kim&password=halyard");
}
BENCHMARK_F(SampleCourse, GenQuestions)(benchmark::State& state) {
  Serve(state, "/?action=regenquestions&sessionid=" + learner_ + "&subject=1");
}
BENCHMARK_F(SampleCourse, GetQuestion)(benchmark::State& state) {
  Serve(state, "/?action=getquestion&sessionid=" + learner_ + "&subject=1&qindex=1");
}
BENCHMARK_F(SampleCourse, Search)(benchmark::State& state) {
  Serve(state, "/?action=search_text&keywords=knot&sessionid=" + learner_);
}
BENCHMARK_F(SampleCourse, StatsIndex)(benchmark::State& state) {
  Serve(state, "/?action=adminstatsindex&sessionid=" + admin_ + "&group=-1&module=-1");
}
BENCHMARK_F(SampleCourse, StatsEmployee)(benchmark::State& state) {
  Serve(state, "/?action=adminstatsemployee&sessionid=" + admin_ + "&module=0&employee=0");
}

}  // namespace
