// Content folders, packages and loopback clients for the server's tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "content/xor_file_stream.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "server/quiz_session.h"
#include "tests/platform/loopback_test_util.h"
#include "tests/support/test_folder.h"

namespace server_test {

inline void PutFile(const std::string& path, const std::string& bytes) {
  plat::CreateFolders(plat::FolderPart(path));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A package at path holding the entries, written by the project's writer.
inline void PutPackage(const std::string& path, const std::map<std::string, std::string>& entries) {
  TXORFileStream writer(path, TXORFileStream::kCreate, kPackageKey);
  for (const auto& [name, bytes] : entries) writer.AddFile(name, bytes);
  writer.Finish();
}

// The exact reply a file of this type and body gets.
inline std::string FileReply(const std::string& type, const std::string& body) {
  return "HTTP/1.0 200 OK\r\nServer: Varnel Server 1.0\r\nConnection: close\r\nPragma: no-cache\r\n"
         "Expires: -1\r\nContent-Type: " +
         type + "\r\nAccept-Ranges: bytes\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline const std::string kInvalidRequestPage =
    "HTTP/1.0 200 OK\r\nServer: Ostrand HTTP Server 1.0\r\nPragma: no-cache\r\nExpires: -1\r\n"
    "Content-Type: text/html\r\n\r\n<HTML><BODY><CENTER><B><H1>Server error:</B> Invalid request"
    "</CENTER></BODY></HTML>";

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
class ServerTest : public ::testing::Test {
 protected:
  explicit ServerTest(const TServerLimits& limits = {}) : server_(loop_, 0, limits) {}

  void SetUp() override {
    ASSERT_NE(server_.GetPort(), 0);
    content_ = folder_.path() + "/course/";
    PutFile(content_ + "index.html", "<html>start</html>");
    ASSERT_TRUE(server_.SetPath(content_));
    ASSERT_TRUE(server_.Open());
  }

  uint16_t Port() const { return server_.GetPort(); }

  // Runs client on a thread of its own while the loop serves; false when it
  // did not finish in time.
  bool WithClient(const std::function<void()>& client, int timeout_ms = 20000) {
    std::atomic<bool> done = false;
    std::jthread thread([&] {
      client();
      done = true;
    });
    return plat::testing::RunUntil(loop_, [&] { return done.load(); }, timeout_ms);
  }

  // One request on a connection of its own; everything the server sent until it closed.
  std::string Fetch(const std::string& request) {
    std::string reply;
    EXPECT_TRUE(WithClient([&] {
      const int fd = plat::testing::ConnectTo(Port());
      if (fd < 0) return;
      plat::testing::WriteAll(fd, request);
      reply = plat::testing::ReadUpTo(fd);
      ::close(fd);
    }));
    return reply;
  }

  std::string Get(const std::string& target) { return Fetch("GET " + target + " HTTP/1.0\r\n\r\n"); }

  // Serves until every connection has closed.
  bool SettleConnections() {
    return plat::testing::RunUntil(loop_, [&] { return server_.GetConnectionCount() == 0; });
  }

  plat::testing::TestFolder folder_;
  std::string content_;
  plat::EventLoop loop_;
  TQuizSession server_;
};

}  // namespace server_test
