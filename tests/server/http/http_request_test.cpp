// Reading the request line and the Host header.
#include "server/http/http_request.h"

#include <gtest/gtest.h>

namespace server {
namespace {

TEST(HttpRequest, TheTokenRunsFromGetToTheNextBlank) {
  EXPECT_EQ(ReadGetToken("GET /a.html HTTP/1.0\r\n\r\n"), "/a.html");
  EXPECT_EQ(ReadGetToken("GET    /a.html"), "/a.html");
  // Line ends end nothing: a request line without a version keeps them.
  EXPECT_EQ(ReadGetToken("GET /a.html\r\nHost: x\r\n\r\n"), "/a.html\r\nHost:");
  EXPECT_EQ(ReadGetToken("GETX /a"), "X");
  EXPECT_EQ(ReadGetToken("GET"), "");
  EXPECT_EQ(ReadGetToken("get /a.html"), std::nullopt);
  EXPECT_EQ(ReadGetToken(" GET /a.html"), std::nullopt);

  EXPECT_EQ(RequestedName("/"), "index.html");
  EXPECT_EQ(RequestedName(""), "index.html");
  EXPECT_EQ(RequestedName("//x.html"), "/x.html");
  EXPECT_EQ(RequestedName("\\x.html"), "x.html");
  EXPECT_EQ(RequestedName("/?action=login"), "?action=login");
}

TEST(HttpRequest, OnlyLocalHostsPass) {
  EXPECT_FALSE(HasForeignHost("GET / HTTP/1.0\r\n\r\n"));
  EXPECT_FALSE(HasForeignHost("GET / HTTP/1.0\r\nHost: 127.0.0.1:1000\r\nAccept: */*\r\n\r\n"));
  EXPECT_FALSE(HasForeignHost("GET / HTTP/1.0\r\nHOST:localhost\r\n\r\n"));
  EXPECT_FALSE(HasForeignHost("GET / HTTP/1.0\r\n\r\nHost: evil.example\r\n\r\n"));  // past the header
  EXPECT_TRUE(HasForeignHost("GET / HTTP/1.0\r\nHost: evil.example:1000\r\n\r\n"));
  EXPECT_TRUE(HasForeignHost("GET / HTTP/1.0\r\nHost: 127.0.0.1.evil.example\r\n\r\n"));
  EXPECT_TRUE(HasForeignHost("GET / HTTP/1.0\r\nHost: [::1]:1000\r\n\r\n"));
  EXPECT_TRUE(HasForeignHost("GET / HTTP/1.0\r\nHost: localhost\r\nHost: evil.example\r\n\r\n"));

  EXPECT_TRUE(IsRequestComplete("GET / HTTP/1.0\r\n\r\n"));
  EXPECT_FALSE(IsRequestComplete("GET / HTTP/1.0\r\n\n\r\n"));
}

}  // namespace
}  // namespace server
