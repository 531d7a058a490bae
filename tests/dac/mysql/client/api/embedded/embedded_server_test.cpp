// The embedded server, one per process: this process starts its own on a
// copy of the pristine data folder of scripts/with-mariadb
// (VARNEL_MYSQL_PRISTINE_DATA) the first time a test needs it, and ends it
// after the last test; the cases that need a second process, or a start
// that fails, run embedded_probe.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "tests/dac/mysql/client/api/api_round_trip_cases.h"

// Frames inside the embedded server's library only: what it keeps for the
// life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libmariadbd.so.19\n"; }
// Its scan of thread-local storage crashes on the embedded server library's;
// without that scan leaks can only be over-reported, never hidden.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

namespace dac::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kDatabase[] = "varnel_embedded";

// A fresh copy of the pristine data folder, removed at the end; nothing
// without one.
class DataCopy {
 public:
  DataCopy() {
    const char* pristine = std::getenv("VARNEL_MYSQL_PRISTINE_DATA");
    char pattern[] = "/tmp/varnel-embedded-XXXXXX";
    if (!pristine || !::mkdtemp(pattern)) return;
    root_ = pattern;
    fs::copy(pristine, Folder(), fs::copy_options::recursive);
  }
  ~DataCopy() {
    if (!root_.empty()) fs::remove_all(root_);
  }
  DataCopy(const DataCopy&) = delete;
  DataCopy& operator=(const DataCopy&) = delete;

  bool Made() const { return !root_.empty(); }
  std::string Folder() const { return root_ + "/data"; }

 private:
  std::string root_;
};

#define REQUIRE_PRISTINE_DATA(copy) \
  DataCopy copy;                    \
  if (!copy.Made()) GTEST_SKIP() << "VARNEL_MYSQL_PRISTINE_DATA is unset (scripts/test provides it)"

// The embedded server's parameters for the next start: the lines, and lines a start drops.
void SetServerParams(const std::string& folder, const std::string& comment = "# the test's own server",
                     const std::string& extra = "") {
  TStringList params;
  for (const std::string& line : {std::string("--no-defaults"), comment, std::string(), std::string("   "),
                                  "--datadir=" + folder, std::string("--max-allowed-packet=64M"), extra})
    params.Add(line);
  MyAPIEmbedded().SetParams(params);
}

// This process's server, started on first use.
class ProcessServer {
 public:
  static ProcessServer& Get() {
    static ProcessServer server;
    return server;
  }
  std::optional<ServerSettings> Settings() {
    if (!data_) {
      data_ = std::make_unique<DataCopy>();
      if (!data_->Made()) return std::nullopt;
      SetServerParams(data_->Folder());
      MyAPIEmbedded().CheckMySQLLib();
      ApiConnection c(MyAPIEmbedded(), ServerSettings());
      ApiQuery(MyAPIEmbedded(), c.get(), std::string("CREATE DATABASE ") + kDatabase);
    }
    if (!data_->Made()) return std::nullopt;
    ServerSettings s;
    s.database = kDatabase;
    return s;
  }
  std::string Folder() const { return data_ ? data_->Folder() : std::string(); }
  // Ends the server before the process's own exit handlers run.
  void End() {
    MyAPIEmbedded().FreeMySQLLib();
    data_.reset();
  }

 private:
  std::unique_ptr<DataCopy> data_;
};

class EndsTheServer : public ::testing::Environment {
 public:
  void TearDown() override { ProcessServer::Get().End(); }
};
const auto* const kEndsTheServer = ::testing::AddGlobalTestEnvironment(new EndsTheServer);

ApiUnderTest EmbeddedApi() {
  return {"embedded", []() -> TMySQLAPI& { return MyAPIEmbedded(); }, false,
          [] { return ProcessServer::Get().Settings(); }};
}

INSTANTIATE_TEST_SUITE_P(Api, ApiRoundTripTest, ::testing::Values(EmbeddedApi()), ApiName);

// What a probe printed (standard output) and how it ended.
struct ProbeRun {
  std::string output;
  int status = -1;  // the exit status; -1 when it did not exit normally
  double seconds = 0;
};

std::string ProbePath() {
  return (fs::read_symlink("/proc/self/exe").parent_path() / "embedded_probe").string();
}

ProbeRun RunProbe(const std::string& arguments) {
  const auto start = std::chrono::steady_clock::now();
  ProbeRun run;
  FILE* out = ::popen((ProbePath() + " " + arguments + " 2>/dev/null").c_str(), "r");
  if (!out) return run;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) run.output.append(buffer, n);
  const int status = ::pclose(out);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

TEST(EmbeddedServerTest, AnswersAndKeepsRunningWhenTheParametersStay) {
  const auto settings = ProcessServer::Get().Settings();
  if (!settings) GTEST_SKIP() << "VARNEL_MYSQL_PRISTINE_DATA is unset (scripts/test provides it)";
  TMySQLAPIEmbedded& api = MyAPIEmbedded();
  ApiConnection c(api, *settings);
  EXPECT_EQ(ApiQuery(api, c.get(), "SELECT 1+1"), Rows{Row{"2"}});
  EXPECT_NE(api.GetClientVersion().find("MariaDB"), std::string::npos);
  EXPECT_EQ(api.GetStructVer(), cv411);
  ApiQuery(api, c.get(), "SET @kept = 'still here'");

  // Other dropped lines, same parameters: the server goes on; the connection too.
  SetServerParams(ProcessServer::Get().Folder(), "#another comment");
  api.CheckMySQLLib();
  EXPECT_EQ(ApiQuery(api, c.get(), "SELECT @kept"), Rows{Row{"still here"}});

  // A changed parameter cannot restart it in this process: refused, and it stays.
  SetServerParams(ProcessServer::Get().Folder(), "", "--max-connections=50");
  try {
    api.CheckMySQLLib();
    ADD_FAILURE() << "a restart was not refused";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "The embedded server runs with other parameters and cannot be restarted in this process. Start the "
              "program again to use the new ones");
  }
  EXPECT_TRUE(api.ServerStarted());
  EXPECT_EQ(ApiQuery(api, c.get(), "SELECT @kept"), Rows{Row{"still here"}});
  SetServerParams(ProcessServer::Get().Folder());
}

TEST(EmbeddedServerTest, ASecondProcessOnTheFolderIsRefusedAfterTwoSeconds) {
  REQUIRE_PRISTINE_DATA(data);
  const std::string stop = data.Folder() + "/../stop";
  FILE* holder = ::popen((ProbePath() + " hold " + data.Folder() + " " + stop + " 2>/dev/null").c_str(), "r");
  ASSERT_NE(holder, nullptr);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, holder), nullptr);
  EXPECT_STREQ(line, "ready\n");

  const ProbeRun second = RunProbe("query " + data.Folder());
  EXPECT_EQ(second.output,
            "error: Cannot run second Embedded server instance for single data folder. Please see details in Halvex "
            "help or MySQL Reference manual\n");
  EXPECT_EQ(second.status, 3);
  // Two seconds' wait; the limit is for a second process that never gives up.
  EXPECT_GE(second.seconds, 1.9);
  EXPECT_LT(second.seconds, 120.0);

  { std::FILE* f = std::fopen(stop.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
  const int status = ::pclose(holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // Once the holder has gone, the folder is free again.
  const ProbeRun after = RunProbe("query " + data.Folder());
  EXPECT_EQ(after.output, "2\n");
  EXPECT_EQ(after.status, 0);
}

// A relative data folder is the working folder's, for the lock and for the
// server alike: the server starts on it (it would look for it in its base
// folder otherwise), and a second process naming it absolutely is refused.
TEST(EmbeddedServerTest, ARelativeDataFolderIsLockedAndOpenedAsTheSameFolder) {
  REQUIRE_PRISTINE_DATA(data);
  const fs::path root = fs::path(data.Folder()).parent_path();
  const std::string stop = (root / "stop").string();
  const std::string command = "cd '" + root.string() + "' && " + ProbePath() + " hold data " + stop + " 2>/dev/null";
  FILE* holder = ::popen(command.c_str(), "r");
  ASSERT_NE(holder, nullptr);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, holder), nullptr);
  EXPECT_STREQ(line, "ready\n");
  const ProbeRun second = RunProbe("query " + data.Folder());
  EXPECT_EQ(second.output.rfind("error: Cannot run second Embedded server instance for single data folder", 0), 0u)
      << second.output;
  { std::FILE* f = std::fopen(stop.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
  const int status = ::pclose(holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(EmbeddedServerTest, FailedStartsSayWhyAndLeaveNothingHeld) {
  REQUIRE_PRISTINE_DATA(data);
  const ProbeRun missing = RunProbe("query " + data.Folder() + "/no-such-folder");
  EXPECT_TRUE(missing.output.starts_with("error: A call to an mysql_server_init failed")) << missing.output;
  EXPECT_EQ(missing.status, 3);

  // The library cannot try again in the same process: the second start says so.
  const ProbeRun retry = RunProbe("retry " + data.Folder());
  EXPECT_EQ(retry.output,
            "error: A call to an mysql_server_init failed\n"
            "unlocked\n"
            "error: A call to an mysql_server_init failed\r\nThe embedded server library has already been started in "
            "this process and cannot start again\n");
  EXPECT_EQ(retry.status, 0);
}

// The library cannot be started again in one process, neither by us (a
// clear error) nor by itself, which is why a changed parameter list is
// refused rather than restarting the server.
TEST(EmbeddedServerTest, TheLibraryCannotStartTwiceInOneProcess) {
  REQUIRE_PRISTINE_DATA(data);
  const ProbeRun run = RunProbe("restart " + data.Folder());
  EXPECT_TRUE(run.output.starts_with("error: A call to an mysql_server_init failed\r\nThe embedded server library "
                                     "has already been started in this process and cannot start again\n"))
      << run.output;
  EXPECT_EQ(run.output.find("restarted"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace dac::testing
