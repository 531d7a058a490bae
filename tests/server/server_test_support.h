// Content folders, packages and loopback clients for the server's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "content/xor_file_stream.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "server/quiz_session.h"
#include "tests/server/http/http_client_support.h"
#include "tests/support/test_folder.h"

namespace server {

inline void PutFile(const std::string& path, const std::string& bytes) {
  plat::CreateFolders(plat::FolderPart(path));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A package at path holding the entries, written by the project's writer.
inline void PutPackage(const std::string& path, const std::map<std::string, std::string>& entries) {
  content::TXORFileStream writer(path, content::TXORFileStream::kCreate, content::kPackageKey);
  for (const auto& [name, bytes] : entries) writer.AddFile(name, bytes);
  writer.Finish();
}

// Changes the working folder for one scope.
class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const std::string& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedWorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

 private:
  std::filesystem::path old_;
};

// A server on its loop over a content folder, with clients on threads of
// their own while the loop serves.
class ServerTest : public HttpClientTest {
 protected:
  ServerTest() : server_(loop_, 0) {}

  void SetUp() override {
    ASSERT_NE(server_.GetPort(), 0);
    content_ = folder_.path() + "/course/";
    PutFile(content_ + "index.html", "<html>start</html>");
    ASSERT_TRUE(server_.SetPath(content_));
    ASSERT_TRUE(server_.Open());
  }

  uint16_t Port() const override { return server_.GetPort(); }
  size_t ConnectionCount() const override { return server_.GetConnectionCount(); }

  plat::testing::TestFolder folder_;
  std::string content_;
  TQuizSession server_;
};

}  // namespace server
