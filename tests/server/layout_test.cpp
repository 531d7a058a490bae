// The server's rooms: only the handlers in actions/ and the quiz session at
// the root see the quiz session; the rooms below stand on their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/source_tree.h"

namespace server {
namespace {

TEST(ServerLayout, OnlyTheRootAndActionsIncludeTheQuizSession) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty()) << "VARNEL_SOURCE_DIR must name the source tree";
  std::vector<std::string> files;
  plat::testing::CollectSources(root, "server", {"server/actions"}, files);
  for (const std::string& file : files) {
    if (file.find('/', 7) == std::string::npos) continue;  // the root itself
    for (const std::string& line : plat::testing::CodeLines(root + file))
      EXPECT_EQ(line.find("server/quiz_session.h"), std::string::npos) << file;
  }
}

}  // namespace
}  // namespace server
