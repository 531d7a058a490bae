// The command lines of the tools, the example and the benchmarks, run as a
// user runs them: -h and --help print the usage on standard output and exit
// 0; an unknown option, a missing or an extra operand is named on standard
// error, with a pointer to --help, and exits 2, having done nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/source_tree.h"
#include "tests/support/test_folder.h"

namespace tools {
namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

class UsageTest : public ::testing::Test {
 protected:
  // The program with its words quoted for the shell, its outputs in files.
  Outcome Run(const std::string& program, const std::vector<std::string>& words) {
    const std::string base = folder_.path() + "/run" + std::to_string(++runs_);
    std::string command = "'" + program + "'";
    for (const std::string& word : words) command += " '" + word + "'";
    command += " >'" + base + ".out' 2>'" + base + ".err'";
    const int status = std::system(command.c_str());
    return {Read(base + ".out"), Read(base + ".err"), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }
  static std::string Read(const std::string& path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
  }

  plat::testing::TestFolder folder_;
  int runs_ = 0;
};

struct Program {
  std::string name;
  std::string path;
  // What its help must name besides -h, --help.
  std::vector<std::string> help_names;
};

TEST_F(UsageTest, HelpOnStandardOutputWithEveryOption) {
  const std::string serving = plat::testing::SourceRoot() + "bench/serving";
  for (const Program& p : std::vector<Program>{
           {"vrn-pack", VRN_PACK_PATH, {"FOLDER OUTPUT.vrn"}},
           {"vrn-seed-history", VRN_SEED_HISTORY_PATH, {"PACKAGE"}},
           {"mysql_orders", MYSQL_ORDERS_PATH, {"--host", "--port", "--user", "--password", "--database"}},
           {"dac_memdata_bench", MEMDATA_BENCH_PATH, {"VARNEL_BENCH_ROWS", "--benchmark_filter"}},
           {"dac_mysql_client_bench", MYSQL_CLIENT_BENCH_PATH, {"VARNEL_BENCH_SIDE", "--benchmark_filter"}},
           {"bench/serving", serving, {"BUILD_DIR", "SERVING_ROUNDS"}},
       }) {
    for (const char* help : {"--help", "-h"}) {
      const Outcome o = Run(p.path, {help});
      EXPECT_EQ(o.status, 0) << p.name << " " << help << ": " << o.err;
      EXPECT_TRUE(o.out.starts_with("Usage: " + p.name + " [OPTION]...")) << o.out;
      EXPECT_NE(o.out.find("\n  -h, --help "), std::string::npos) << o.out;
      for (const std::string& name : p.help_names) EXPECT_NE(o.out.find(name), std::string::npos) << name;
      EXPECT_EQ(o.err, "") << p.name;
    }
  }
}

TEST_F(UsageTest, UsageErrorsNameWhatIsWrongAndDoNothing) {
  const std::string out = folder_.path() + "/out.vrn";
  plat::CreateFolders(folder_.path() + "/course");
  struct Case {
    std::string name;
    std::string path;
    std::vector<std::string> words;
    std::string problem;
  };
  for (const Case& c : std::vector<Case>{
           {"vrn-pack", VRN_PACK_PATH, {"--bogus", folder_.path(), out}, "unrecognized option '--bogus'"},
           {"vrn-pack", VRN_PACK_PATH, {}, "missing operand FOLDER"},
           {"vrn-pack", VRN_PACK_PATH, {folder_.path() + "/course"}, "missing operand OUTPUT.vrn"},
           {"vrn-pack", VRN_PACK_PATH, {folder_.path() + "/course", out, "x"}, "extra operand 'x'"},
           {"vrn-seed-history", VRN_SEED_HISTORY_PATH, {"--version"}, "unrecognized option '--version'"},
           {"vrn-seed-history", VRN_SEED_HISTORY_PATH, {"a.vrn", "b.vrn"}, "extra operand 'b.vrn'"},
           {"mysql_orders", MYSQL_ORDERS_PATH, {"--host", "127.0.0.1"}, "missing option --database"},
           {"mysql_orders", MYSQL_ORDERS_PATH, {"--database", "d", "--port"}, "option '--port' requires an argument"},
           {"mysql_orders", MYSQL_ORDERS_PATH, {"--port=33o6", "--database=d"}, "invalid port '33o6'"},
           {"mysql_orders", MYSQL_ORDERS_PATH, {"-u", "me"}, "unrecognized option '-u'"},
           {"dac_memdata_bench", MEMDATA_BENCH_PATH, {"--rows=10"}, "unrecognized option '--rows=10'"},
           {"dac_mysql_client_bench", MYSQL_CLIENT_BENCH_PATH, {"side"}, "extra operand 'side'"},
       }) {
    const Outcome o = Run(c.path, c.words);
    EXPECT_EQ(o.status, 2) << c.name << " " << testing::PrintToString(c.words);
    EXPECT_EQ(o.out, "") << c.name;
    EXPECT_EQ(o.err, c.name + ": " + c.problem + "\nTry '" + c.name + " --help' for more information.\n");
  }
  EXPECT_FALSE(plat::PathExists(out));
}

TEST_F(UsageTest, OptionsAfterTheOperandsAndOperandsAfterTheOptions) {
  const std::string course = folder_.path() + "/course";
  plat::CreateFolders(course);
  const std::string out = folder_.path() + "/out.vrn";
  // An option after the operands still counts: nothing is packed.
  EXPECT_TRUE(Run(VRN_PACK_PATH, {course, out, "--help"}).out.starts_with("Usage: vrn-pack "));
  EXPECT_FALSE(plat::PathExists(out));
  // After "--" a word that looks like an option is an operand.
  const Outcome dashed = Run(VRN_SEED_HISTORY_PATH, {"--", "-h"});
  EXPECT_EQ(dashed.status, 1);
  EXPECT_TRUE(dashed.err.starts_with("vrn-seed-history: cannot open -h")) << dashed.err;
  EXPECT_EQ(Run(VRN_PACK_PATH, {"--", course, out}).status, 0);
  EXPECT_TRUE(plat::PathExists(out));
  // A good command line and no server: the library's error, not a usage error.
  const Outcome refused = Run(MYSQL_ORDERS_PATH, {"--host=127.0.0.1", "--port=1", "--user=u", "--database=d"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.starts_with("mysql_orders: error 2003 (HY000): ")) << refused.err;
}

}  // namespace
}  // namespace tools
