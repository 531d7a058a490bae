// Outside platform/ nothing calls the operating system: files, folders,
// clocks, sleeps, the environment, processes and sockets all go through
// platform/, where tests can stand in for them.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/source_tree.h"

namespace plat {
namespace {

// Names that only the system uses are caught anywhere; names that members and
// callbacks share (read, write, open, send, ...) only when called at global scope.
const std::regex kOsCall(
    R"((^|[^\w.>:])(::|std::)?(pread|pwrite|fstatat|opendir|fdopendir|readdir|closedir|realpath|readlink|)"
    R"(unlink|unlinkat|rmdir|ftruncate|fsync|mkstemp|mkostemp|fcntl|isatty|getenv|setenv|unsetenv|)"
    R"(posix_spawnp?|waitpid|gmtime_r|localtime_r|clock_gettime|gettimeofday|fopen|dlopen|dlsym|flock|)"
    R"(getcwd|chdir|openat|lstat)\s*\()"
    R"(|(^|[^\w.>:])::(open|read|write|close|stat|fstat|rename|mkdir|time|signal|socket|connect|listen|)"
    R"(accept|recv|send|poll)\s*\()");
const std::regex kOsName(
    R"(std::filesystem|std::[io]?fstream|steady_clock|system_clock|high_resolution_clock|EINTR|)"
    R"(\b(sleep_for|sleep_until|usleep|nanosleep)\b|)"
    R"(#include\s*<(filesystem|fstream|unistd\.h|fcntl\.h|dirent\.h|sys/.*|spawn\.h|dlfcn\.h|netinet/.*|arpa/.*|)"
    R"(poll\.h|netdb\.h|ctime|time\.h|csignal|signal\.h)>)");

TEST(PlatformSeam, NoSourceOutsidePlatformCallsTheSystem) {
  const std::string root = testing::SourceRoot();
  ASSERT_FALSE(root.empty()) << "VARNEL_SOURCE_DIR must name the source tree";
  std::vector<std::string> files;
  for (const char* folder : {"content", "server", "app", "tools", "examples", "dac"})
    testing::CollectSources(root, folder, {}, files);
  ASSERT_GT(files.size(), 100u);
  for (const std::string& file : files) {
    const std::vector<std::string> lines = testing::CodeLines(root + file);
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_FALSE(std::regex_search(lines[i], kOsCall) || std::regex_search(lines[i], kOsName))
          << file << ":" << i + 1 << ": " << lines[i];
    }
  }
}

}  // namespace
}  // namespace plat
