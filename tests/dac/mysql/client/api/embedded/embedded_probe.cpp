// embedded_probe MODE DATA_FOLDER [ARGUMENT...]: an embedded server in a
// process of its own, for the tests that need a second process or a start
// that fails. Every line it prints goes to standard output; a raised error
// is printed as "error: " and its message. Modes:
//   query DATA [ARG...]   start with --no-defaults, --datadir=DATA and the
//                         arguments, print SELECT 1+1, end the server
//   hold DATA STOPFILE    start, print "ready", end once STOPFILE exists
//   retry DATA            a start that fails, whether the folder is still
//                         locked, then a start with sound parameters
//   restart DATA          start and end; then our start again, and the
//                         library's own start again, which prints
//                         "restarted" only if the library can restart
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "platform/folder_lock.h"

// Frames inside the embedded server's library only: what it keeps for the
// life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libmariadbd.so.19\n"; }
// Its scan of thread-local storage crashes on the embedded server library's;
// without that scan leaks can only be over-reported, never hidden.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

namespace {

using dac::MyAPIEmbedded;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Start(const std::string& folder, const std::vector<std::string>& extra) {
  dac::TStringList params;
  params.Add("--no-defaults");
  params.Add("--datadir=" + folder);
  for (const std::string& line : extra) params.Add(line);
  MyAPIEmbedded().SetParams(params);
  MyAPIEmbedded().CheckMySQLLib();
}

std::string OnePlusOne(dac::TMySQLAPI& api) {
  dac::PMySqlCon con = api.mysql_init(nullptr);
  api.mysql_real_connect(con, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
  std::string answer = "no answer: " + api.mysql_error(con);
  const std::string sql = "SELECT 1+1";
  if (api.mysql_real_query(con, sql, static_cast<uint32_t>(sql.size())) == 0) {
    dac::PMySqlRes result = api.mysql_use_result(con);
    if (dac::PMySqlRow row = result ? api.mysql_fetch_row(result) : nullptr) answer = api._mysql_fetch_value_str(row, 0);
    api.mysql_free_result(result);
  }
  api.mysql_close(con);
  return answer;
}

// Prints what the step raised, if anything; true when it ran through.
template <typename Step>
bool Try(Step step) {
  try {
    step();
    return true;
  } catch (const dac::Exception& e) {
    Say("error: " + e.Message());
    return false;
  }
}

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2) return 2;
  const std::string& mode = args[0];
  const std::string& folder = args[1];
  if (mode == "query") {
    if (!Try([&] { Start(folder, std::vector<std::string>(args.begin() + 2, args.end())); })) return 3;
    Say(OnePlusOne(MyAPIEmbedded()));
  } else if (mode == "hold" && args.size() == 3) {
    if (!Try([&] { Start(folder, {}); })) return 3;
    Say("ready");
    while (!std::filesystem::exists(args[2])) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } else if (mode == "retry") {
    Try([&] { Start(folder, {"--no-such-option=1"}); });
    plat::FolderLock lock;
    Say(lock.Acquire(folder, 0) == plat::FolderLock::Outcome::kLocked ? "unlocked" : "still locked");
    lock.Release();
    Try([&] { Start(folder, {}); });
  } else if (mode == "restart") {
    if (!Try([&] { Start(folder, {}); })) return 3;
    MyAPIEmbedded().FreeMySQLLib();
    Try([&] { Start(folder, {}); });
    // The library's own start again, past the refusal above.
    dac::SetMySQLClientLibrary("libmariadbd.so.19");
    dac::TMySQLAPIClient raw;
    raw.LoadMySQLLib();
    const std::string datadir = "--datadir=" + folder;
    std::vector<char*> argv = {const_cast<char*>("ignored"), const_cast<char*>("--no-defaults"),
                               const_cast<char*>(datadir.c_str()), nullptr};
    if (raw.mysql_server_init(3, argv.data(), nullptr) == 0 && OnePlusOne(raw) == "2") Say("restarted");
    Say("end");
    return 0;
  } else {
    return 2;
  }
  MyAPIEmbedded().FreeMySQLLib();
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
