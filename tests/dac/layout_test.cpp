// The library's rooms and who may include whom: each room sees the rooms
// below it and never one above, so the record store stands without the
// data-access layer, the MySQL client without the components, and the
// packet code without any I/O.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// The provider and the components see the client API's interface, never
// one implementation: what one does faster is an operation of the interface.
TEST(DacLayout, AboveTheClientApiNoCodeKnowsWhichImplementationItDrives) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty());
  const std::regex implementation(R"(mysql_api_(direct|client|embedded|client_handles)\.h|)"
                                  R"(\bTMySQLAPI(Direct|Client|Embedded)\b)");
  size_t checked = 0;
  for (const std::string& file : LibrarySources(root)) {
    if (!file.starts_with("dac/mysql/provider/") && !file.starts_with("dac/mysql/components/")) continue;
    ++checked;
    for (const std::string& line : plat::testing::CodeLines(root + file))
      EXPECT_FALSE(std::regex_search(line, implementation)) << file << ": " << line;
  }
  EXPECT_GT(checked, 40u);
}

// ---- Function length ----

// A function's length: its lines from the first line of its head (template
// line, return type, name; the comments above it not counted) to the line of
// its closing brace, both counted, blank and comment lines inside included.
// Every source folder keeps its functions to kMaxFunctionLines; a test's
// body reads best whole, so tests/ has the longer bound.
constexpr int kMaxFunctionLines = 60;
constexpr int kMaxTestFunctionLines = 100;

// A quote inside a number (1'000'000, 0xFF'FF) rather than a character literal.
bool IsDigitSeparator(const std::string& text, size_t quote) {
  size_t start = quote;
  while (start > 0 && (std::isalnum(static_cast<unsigned char>(text[start - 1])) || text[start - 1] == '.')) --start;
  return start < quote && std::isdigit(static_cast<unsigned char>(text[start]));
}

// The text with comments, string and character literals and preprocessor
// lines blanked out (line ends kept), so that only code braces remain.
std::string CodeOnly(const std::string& text) {
  std::string out = text;
  const auto blank = [&out](size_t from, size_t to) {
    for (size_t i = from; i < to && i < out.size(); ++i)
      if (out[i] != '\n') out[i] = ' ';
  };
  size_t i = 0;
  bool line_start = true;
  while (i < text.size()) {
    const char c = text[i];
    size_t end = i + 1;
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      end = text.find('\n', i);
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      end = text.find("*/", i + 2);
      if (end != std::string::npos) end += 2;
    } else if (c == 'R' && i + 1 < text.size() && text[i + 1] == '"' &&
               (i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '_'))) {
      const size_t open = text.find('(', i);
      const std::string close = ")" + text.substr(i + 2, open - i - 2) + "\"";
      end = open == std::string::npos ? open : text.find(close, open);
      if (end != std::string::npos) end += close.size();
    } else if (c == '"' || (c == '\'' && !IsDigitSeparator(text, i))) {
      end = i + 1;
      while (end < text.size() && text[end] != c && text[end] != '\n') end += text[end] == '\\' ? 2 : 1;
      ++end;
    } else if (c == '#' && line_start) {
      end = i;
      do {
        end = text.find('\n', end + 1);
      } while (end != std::string::npos && text[end - 1] == '\\');
    } else {
      if (c == '\n') line_start = true;
      else if (!std::isspace(static_cast<unsigned char>(c))) line_start = false;
      ++i;
      continue;
    }
    if (end == std::string::npos) end = text.size();
    blank(c == '"' || c == '\'' ? i + 1 : i, c == '"' || c == '\'' ? end - 1 : end);
    i = end;
  }
  return out;
}

struct FunctionSpan {
  int first_line;  // where its head begins
  int lines;       // from there to the closing brace, both counted
};

// What stands before a brace at namespace or class level opens a scope to
// look into: a namespace, a class, struct, union or enum, or extern "C".
bool OpensScope(const std::string& head) {
  static const std::regex scope(R"((\bnamespace\s*[\w:]*|\b(class|struct|union|enum)\b[^()]*|\bextern\s*"[^"]*")\s*$)");
  return std::regex_search(head, scope);
}

// A macro use without a semicolon (DAC_DEFINE_CLASS(...)) ends a head.
bool IsMacroLine(const std::string& head) {
  const size_t start = head.find_first_not_of(" \t\r\n");
  if (start == std::string::npos || !std::isupper(static_cast<unsigned char>(head[start]))) return false;
  static const std::regex macro(R"([A-Z][A-Z0-9_]*\s*\([^;{}]*\)\s*)");
  return std::regex_match(head.begin() + static_cast<std::ptrdiff_t>(start), head.end(), macro);
}

// The head so far is a constructor's up to a member's name in its
// initialiser list (") : a_(1), b_"): the brace is that member's initialiser.
bool EndsInMemberInitialiser(const std::string& head) {
  const size_t last = head.find_last_not_of(" \t\r\n");
  if (last == std::string::npos) return false;
  const unsigned char end = static_cast<unsigned char>(head[last]);
  if (!std::isalnum(end) && end != '_' && end != '>') return false;
  for (size_t colon = head.find(':'); colon != std::string::npos; colon = head.find(':', colon + 2)) {
    if (colon + 1 < head.size() && head[colon + 1] == ':') continue;  // a scope, "::"
    size_t before = head.find_last_not_of(" \t\r\n", colon == 0 ? 0 : colon - 1);
    if (before != std::string::npos && before >= 7 && head.compare(before - 7, 8, "noexcept") == 0) {
      before = before >= 8 ? head.find_last_not_of(" \t\r\n", before - 8) : std::string::npos;
    }
    if (colon > 0 && before != std::string::npos && head[before] == ')') return true;
  }
  return false;
}

// Each function body at namespace or class level: a brace whose head holds a
// parameter list. Lambdas, local classes and initialisers inside a function
// count as part of it; an initialiser at namespace level is no function.
std::vector<FunctionSpan> FunctionSpans(const std::string& path) {
  const std::string code = CodeOnly(plat::ReadWholeFile(path));
  std::vector<FunctionSpan> spans;
  const auto line_of = [&code](size_t at) { return 1 + static_cast<int>(std::count(code.begin(), code.begin() + at, '\n')); };
  const auto closing = [&code](size_t open) {
    int depth = 0;
    for (size_t at = open; at < code.size(); ++at) {
      if (code[at] == '{') ++depth;
      if (code[at] == '}' && --depth == 0) return at;
    }
    return code.size() - 1;
  };
  size_t head = 0;
  for (size_t at = 0; at < code.size(); ++at) {
    const char c = code[at];
    if (c == ';' || c == '}') {
      head = at + 1;
    } else if (c == '\n' && IsMacroLine(code.substr(head, at - head))) {
      head = at + 1;
    } else if (c == '{') {
      const std::string text = code.substr(head, at - head);
      if (OpensScope(text)) {
        head = at + 1;
        continue;
      }
      const size_t close = closing(at);
      // A member's brace initialiser in a constructor's list belongs to the head.
      if (EndsInMemberInitialiser(text)) {
        at = close;
        continue;
      }
      static const std::regex initialiser(R"(=\s*$)");
      if (text.find('(') != std::string::npos && !std::regex_search(text, initialiser)) {
        const size_t start = code.find_first_not_of(" \t\r\n", head);
        spans.push_back({line_of(start), line_of(close) - line_of(start) + 1});
      }
      at = close;
      head = at + 1;
    }
  }
  return spans;
}

// The functions of the .cpp files below the folder longer than max_lines, as
// "file:line runs N lines"; counts every function seen into functions.
std::vector<std::string> LongFunctions(const std::string& root, const std::string& folder, int max_lines,
                                       size_t& functions) {
  std::vector<std::string> files;
  plat::testing::CollectSources(root, folder, {}, files);
  std::vector<std::string> found;
  for (const std::string& file : files) {
    if (!file.ends_with(".cpp")) continue;
    for (const FunctionSpan& span : FunctionSpans(root + file)) {
      ++functions;
      if (span.lines > max_lines)
        found.push_back(file + ":" + std::to_string(span.first_line) + " runs " + std::to_string(span.lines) + " lines");
    }
  }
  return found;
}

struct FolderFamily {
  std::vector<std::string> folders;
  size_t at_least;  // functions the scan must find there, so that it found them at all
};

TEST(DacLayout, NoFunctionIsLongerThanSixtyLines) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty());
  const std::vector<FolderFamily> families = {
      {{"dac"}, 2000},
      {{"platform"}, 200},
      {{"content", "server", "app"}, 500},
      {{"tools", "bench", "fuzz", "examples"}, 200},
  };
  for (const FolderFamily& family : families) {
    size_t functions = 0;
    for (const std::string& folder : family.folders)
      for (const std::string& found : LongFunctions(root, folder, kMaxFunctionLines, functions)) ADD_FAILURE() << found;
    EXPECT_GT(functions, family.at_least) << family.folders.front();
  }
}

// A test body (TEST, TEST_F, TEST_P) counts as a function like its helpers:
// its head holds the macro's parameter list.
TEST(DacLayout, NoTestFunctionIsLongerThanAHundredLines) {
  const std::string root = plat::testing::SourceRoot();
  ASSERT_FALSE(root.empty());
  size_t functions = 0;
  for (const std::string& found : LongFunctions(root, "tests", kMaxTestFunctionLines, functions)) ADD_FAILURE() << found;
  EXPECT_GT(functions, 1500u);
}

}  // namespace
}  // namespace dac
