// The library's rooms and who may include whom: each room sees the rooms
// below it and never one above, so the record store stands without the
// data-access layer, the MySQL client without the components, and the
// packet code without any I/O.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/source_tree.h"

namespace dac {
namespace {

struct Room {
  std::string folder;
  // The include prefixes it may use besides its own folder and platform/.
  std::vector<std::string> may_include;
};

const std::string kFramework = "dac/framework/";
const std::string kStore = "dac/store/";
const std::string kParamDesc = "dac/core/server/param_desc.h";

// Longest folder first: a file belongs to the deepest room that holds it.
const std::vector<Room>& Rooms() {
  static const std::vector<Room> rooms = {
      {"dac/framework/classes", {}},
      {"dac/framework/values", {"dac/framework/classes/"}},
      {"dac/framework/data", {"dac/framework/classes/", "dac/framework/values/"}},
      {"dac/store/runtime", {kFramework}},
      {"dac/store/lexer", {kFramework}},
      {"dac/store/blob", {kFramework, "dac/store/runtime/"}},
      {"dac/store/xml", {kFramework, "dac/store/runtime/", "dac/store/lexer/"}},
      {"dac/store/record", {kFramework, "dac/store/runtime/", "dac/store/lexer/", "dac/store/blob/"}},
      {"dac/store/dataset", {kFramework, kStore}},
      // The server interface and the pools build one library.
      {"dac/core/server", {kFramework, kStore, "dac/core/pool/"}},
      {"dac/core/pool", {kFramework, kStore, "dac/core/server/"}},
      {"dac/core/trace", {kFramework, kStore, "dac/core/server/", "dac/core/pool/"}},
      {"dac/core/login", {kFramework, kStore, "dac/core/server/", "dac/core/pool/", "dac/core/trace/"}},
      // The components and the dataset component use each other: one library.
      {"dac/core/dataset", {kFramework, kStore, "dac/core/"}},
      {"dac/core", {kFramework, kStore, "dac/core/"}},
      {"dac/mysql/client/wire", {kFramework, kStore, kParamDesc}},
      {"dac/mysql/client/transport", {kFramework, kStore, kParamDesc, "dac/mysql/client/wire/"}},
      {"dac/mysql/client/session",
       {kFramework, kStore, kParamDesc, "dac/mysql/client/wire/", "dac/mysql/client/transport/"}},
      {"dac/mysql/client/api", {kFramework, kStore, kParamDesc, "dac/mysql/client/"}},
      {"dac/mysql/provider",
       {kFramework, kStore, "dac/core/server/", "dac/core/pool/", "dac/mysql/client/"}},
      {"dac/mysql/components", {kFramework, kStore, "dac/core/", "dac/mysql/"}},
  };
  return rooms;
}

const Room* RoomOf(const std::string& file) {
  const Room* found = nullptr;
  for (const Room& room : Rooms()) {
    const bool inside = file.starts_with(room.folder + "/");
    if (inside && (found == nullptr || room.folder.size() > found->folder.size())) found = &room;
  }
  return found;
}

bool MayInclude(const Room& room, const std::string& header) {
  if (header.starts_with("platform/") || header.starts_with(room.folder + "/")) return true;
  for (const std::string& prefix : room.may_include)
    if (header.starts_with(prefix)) return true;
  return false;
}

std::vector<std::string> LibrarySources(const std::string& root) {
  std::vector<std::string> files;
  plat::testing::CollectSources(root, "dac", {}, files);
  return files;
}

TEST(DacLayout, EveryFileIsInARoomAndIncludesOnlyTheRoomsBelowIt) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty()) << "VARNEL_SOURCE_DIR must name the source tree";
  const std::vector<std::string> files = LibrarySources(root);
  ASSERT_GT(files.size(), 300u);
  const std::regex quoted(R"(^\s*#\s*include\s*\"([^\"]+)\")");
  for (const std::string& file : files) {
    const Room* room = RoomOf(file);
    ASSERT_NE(room, nullptr) << file << " lies in no room";
    for (const std::string& line : plat::testing::CodeLines(root + file)) {
      std::smatch match;
      if (!std::regex_search(line, match, quoted)) continue;
      // Nothing of the player (content/, server/, app/) nor of the tests and tools.
      EXPECT_TRUE(MayInclude(*room, match[1].str())) << file << " includes " << match[1].str();
    }
  }
}

TEST(DacLayout, ThePacketCodeUsesNoSocketTlsOrCompression) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty());
  const std::regex io(R"(^\s*#\s*include\s*[<\"](openssl/|zlib\.h|sys/|netinet/|arpa/|netdb\.h|unistd\.h|poll\.h|)"
                      R"(platform/(client_socket|tcp_connection|tcp_listener|event_loop|files?|folder_listing|)"
                      R"(deadline)\.h))");
  size_t checked = 0;
  for (const std::string& file : LibrarySources(root)) {
    if (!file.starts_with("dac/mysql/client/wire/")) continue;
    ++checked;
    for (const std::string& line : plat::testing::CodeLines(root + file))
      EXPECT_FALSE(std::regex_search(line, io)) << file << ": " << line;
  }
  EXPECT_GT(checked, 10u);
}

}  // namespace
}  // namespace dac
