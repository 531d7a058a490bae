// The reply forms and file reads of the server, captured through the
// in-memory channel.
#include <gtest/gtest.h>

#include "content/debug_log.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "server/http/reply_sink.h"
#include "tests/server/server_test_support.h"

namespace server {
namespace {

class ReplyForms : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = folder_.path() + "/course/";
    PutFile(content_ + "index.html", "<html>start</html>");
    ASSERT_TRUE(server_.SetPath(content_));
  }

  plat::testing::TestFolder folder_;
  std::string content_;
  plat::EventLoop loop_;
  // A fixed port that is never opened: these tests need no socket.
  TQuizSession server_{loop_, 1};
  TReplySink sink_;
  TNetStream channel_{sink_};
};

TEST_F(ReplyForms, XmlAndHtmlRepliesCarryTheirExactHeaders) {
  server_.ReturnXML(&channel_, "<movie a=\"1\" />");
  EXPECT_EQ(sink_.Bytes(), FileReply("text/xml", "<movie a=\"1\" />"));
  EXPECT_TRUE(sink_.IsClosed());

  TReplySink empty;
  TNetStream empty_channel(empty);
  server_.ReturnXML(&empty_channel, "");
  EXPECT_NE(empty.Bytes().find("\r\nContent-Length: 0\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(empty.Bytes().ends_with("\r\n\r\n"));

  TReplySink encoded;
  TNetStream encoded_channel(encoded);
  server_.ReturnHTML(&encoded_channel, "<b>", false);
  EXPECT_EQ(encoded.Bytes(), FileReply("text/html", "%3C%62%3E"));

  TReplySink raw;
  TNetStream raw_channel(raw);
  server_.ReturnHTML(&raw_channel, "<b>", true);
  EXPECT_EQ(raw.Bytes(), FileReply("text/html", "<b>"));

  // No channel: nothing to send, nothing breaks.
  server_.ReturnXML(nullptr, "x");
  server_.ReturnHTML(nullptr, "x", true);
  server_.ReturnHttpError(nullptr, "x");
}

TEST_F(ReplyForms, TheErrorPageLeavesClosingToItsCaller) {
  server_.ReturnHttpError(&channel_, "Invalid request");
  EXPECT_EQ(sink_.Bytes(), kInvalidRequestPage);
  EXPECT_FALSE(sink_.IsClosed());

  TReplySink escaped;
  TNetStream escaped_channel(escaped);
  server_.ReturnHttpError(&escaped_channel, "<script>");
  EXPECT_TRUE(escaped.Bytes().ends_with("Server error:</B> &lt;script&gt;</CENTER></BODY></HTML>"));
}

TEST_F(ReplyForms, SendFileServesSixTypesOnly) {
  const std::vector<std::pair<std::string, std::string>> served = {
      {"a.htm", "text/html"},  {"b.SWF", "application/x-shockwave-flash"},
      {"c.xml", "text/xml"},   {"d.flv", "flv-application/octet-stream"},
      {"e.Jpg", "image/jpg"},  {"f.HTML", "text/html"}};
  for (const auto& [name, type] : served) {
    PutFile(content_ + name, "body of " + name);
    TReplySink sink;
    TNetStream channel(sink);
    EXPECT_TRUE(server_.SendFile(&channel, name)) << name;
    EXPECT_EQ(sink.Bytes(), FileReply(type, "body of " + name));
    EXPECT_TRUE(sink.IsClosed());
  }
  for (const std::string name : {"g.png", "h.txt", "noextension", "i.html.bak"}) {
    PutFile(content_ + name, "x");
    TReplySink sink;
    TNetStream channel(sink);
    EXPECT_FALSE(server_.SendFile(&channel, name)) << name;
    EXPECT_EQ(sink.Bytes(), "");
    EXPECT_FALSE(sink.IsClosed());
  }
  TReplySink sink;
  TNetStream channel(sink);
  EXPECT_FALSE(server_.SendFile(&channel, "missing.html"));
  EXPECT_EQ(sink.Bytes(), "");
}

TEST_F(ReplyForms, AFailingClientCutsTheReplyShortButSendFileSucceeds) {
  PutFile(content_ + "page.html", std::string(100000, 'p'));
  sink_.FailWrites();
  EXPECT_TRUE(server_.SendFile(&channel_, "page.html"));
  EXPECT_TRUE(channel_.HasFailed());
  EXPECT_EQ(sink_.Bytes(), "");
}

TEST_F(ReplyForms, LoadFileToStringReadsAnyTypeBlockByBlockUpToEachNul) {
  // The first block (32,585 bytes) ends its text at its NUL; the second block is whole.
  std::string bytes = "abc" + std::string(1, '\0') + std::string(32585 - 4, 'z') + "second";
  PutFile(content_ + "notes.txt", bytes);
  EXPECT_EQ(server_.LoadFileToString("notes.txt"), "abcsecond");
  EXPECT_EQ(server_.LoadFileToString("NOTES.TXT"), "abcsecond");
  EXPECT_EQ(server_.LoadFileToString("missing.txt"), "");
  PutFile(content_ + "grades.groups.csv", "1;all");
  EXPECT_EQ(server_.LoadFileToString("grades.groups.csv"), "");
}

TEST_F(ReplyForms, OperationsLogTheirEntryAndExit) {
  const std::string log = folder_.path() + "/debug.log";
  content::SetDebugLogFile(log);
  server_.SendFile(&channel_, "index.html");
  content::SetDebugLogFile("");
  const std::string lines = plat::ReadWholeFile(log);
  const size_t entry = lines.find(" TQuizSession::SendFile\r\n");
  const size_t name = lines.find(" filename: index.html\r\n");
  const size_t exit = lines.find(" Exit - SendFile\r\n");
  ASSERT_NE(entry, std::string::npos) << lines;
  EXPECT_LT(entry, name);
  EXPECT_LT(name, exit);
  EXPECT_NE(exit, std::string::npos);
}

TEST(QuizSessionStart, SeedsTheProcessGeneratorFromTheClock) {
  plat::ManualClock clock;
  clock.SetUtcSeconds(1234567);
  plat::ScopedProcessClock scoped(clock);
  plat::EventLoop loop;
  TQuizSession server(loop, 1);
  plat::LcgRandom expected(1234567);
  EXPECT_EQ(plat::ProcessRandom().Next31(), expected.Next31());
}

}  // namespace
}  // namespace server
