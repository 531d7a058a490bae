// The session against scripted servers: what the client sends, and how it
// treats odd, truncated or hostile replies.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>

#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/support/test_folder.h"

namespace dac {
namespace {

using testing::Bytes;
using testing::FakeServer;
using testing::Greeting;
using testing::OkPacket;
using testing::PeerSocket;

const uint8_t kSalt[20] = {'a', '1', '!', 'Q', 'z', '7', '*', '%', 'p', 'M', '3', 'w', 'R', 'x', '9', '(', '=', 'k', 'T', 'e'};
constexpr uint16_t kCapabilities41 = 0xF7FF & ~0x0800 & ~0x0020;  // no SSL, no compression

TBytes OpenSslScramble(const std::string& password, const uint8_t* salt) {
  uint8_t stage1[20], stage2[20], joined[40], mix[20];
  SHA1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), stage1);
  SHA1(stage1, 20, stage2);
  std::memcpy(joined, salt, 20);
  std::memcpy(joined + 20, stage2, 20);
  SHA1(joined, 40, mix);
  TBytes out(20);
  for (int i = 0; i < 20; ++i) out[static_cast<size_t>(i)] = stage1[i] ^ mix[i];
  return out;
}

int32_t ConnectError(TMySqlSession& session, int port, const std::string& password = "pw",
                     std::string* message = nullptr, const std::string& database = "") {
  try {
    session.Connect("127.0.0.1", "user", password, database, port, "", 0);
  } catch (const EMySqlException& e) {
    if (message) *message = e.Message();
    return e.ErrorCode();
  }
  return 0;
}

struct Response {
  uint32_t flags = 0;
  uint32_t max_packet = 0;
  uint8_t charset = 0;
  std::string user;
  TBytes auth;
  std::string database;
};

Response ParseResponse41(const TBytes& p) {
  Response r;
  r.flags = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  r.max_packet = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<uint32_t>(p[7]) << 24);
  r.charset = p[8];
  size_t pos = 32;
  while (p[pos] != 0) r.user += static_cast<char>(p[pos++]);
  ++pos;
  const size_t auth_length = p[pos++];
  r.auth.assign(p.begin() + static_cast<long>(pos), p.begin() + static_cast<long>(pos + auth_length));
  pos += auth_length;
  r.database.assign(p.begin() + static_cast<long>(pos), p.end());
  return r;
}

TEST(HandshakeTest, ResponseCarriesFlagsUserScrambleAndDatabase) {
  Response seen;
  FakeServer server([&](PeerSocket& peer) {
    peer.Send(Greeting(kCapabilities41, kSalt), 0);
    auto response = peer.ReadPacket();
    if (!response) return;
    seen = ParseResponse41(response->payload);
    EXPECT_EQ(response->sequence, 1);
    peer.Send(OkPacket(), 2);
    auto quit = peer.ReadPacket();
    ASSERT_TRUE(quit.has_value());
    EXPECT_EQ(quit->payload, TBytes{1});
  });
  TMySqlSession session;
  session.Connect("127.0.0.1", "user", "s3cret pass", "shop", server.Port(), "", kClientMultiStatements);
  EXPECT_EQ(session.GetServerVersion(), "5.5.5-10.11.0-Fake");
  EXPECT_EQ(session.GetThreadId(), 42u);
  EXPECT_EQ(session.GetDatabase(), "shop");
  session.Close();
  EXPECT_EQ(seen.user, "user");
  EXPECT_EQ(seen.auth, OpenSslScramble("s3cret pass", kSalt));
  EXPECT_EQ(seen.database, "shop");  // no 0 byte after the name
  EXPECT_EQ(seen.max_packet, 0x40000000u);
  EXPECT_EQ(seen.charset, 8);
  const uint32_t expected = 0x3A285 | kClientConnectWithDb;
  EXPECT_EQ(seen.flags, expected);
  EXPECT_EQ(session.GetClientFlags(), expected);
}

TEST(HandshakeTest, CompressionIsAskedOnlyWhenOffered) {
  for (bool offered : {false, true}) {
    uint32_t flags = 0;
    FakeServer server([&](PeerSocket& peer) {
      peer.Send(Greeting(kCapabilities41 | (offered ? 0x20 : 0), kSalt), 0);
      if (auto r = peer.ReadPacket()) flags = ParseResponse41(r->payload).flags;
      peer.Send(OkPacket(), 2);
    });
    TMySqlSession session;
    session.Connect("127.0.0.1", "user", "", "", server.Port(), "", kClientCompress);
    EXPECT_EQ((flags & kClientCompress) != 0, offered);
    EXPECT_EQ(session.GetNet().GetCompress(), offered);
  }
}

// A server before 4.1 (no secure connection, the 51-byte greeting) gets the
// old scramble in the response itself when secure authentication is off.
TEST(HandshakeTest, PreFourOneServerGetsTheOldScramble) {
  TBytes first;
  FakeServer server([&](PeerSocket& peer) {
    peer.Send(Greeting(kCapabilities41 & ~kClientSecureConnection, kSalt, false), 0);
    auto response = peer.ReadPacket();
    if (!response) return;
    first = response->payload;
    peer.Send(OkPacket(), 2);
  });
  TMySqlSession session;
  session.SetSecureAuth(false);
  EXPECT_EQ(ConnectError(session, server.Port(), "pw"), 0);
  // After the 32-byte head and "user\0": 8 bytes of 64..95 and a 0 byte.
  ASSERT_GE(first.size(), 32u + 5 + 9);
  EXPECT_EQ(first[45], 0);
  for (size_t i = 37; i < 45; ++i) {
    EXPECT_GE(first[i], 64) << i;
    EXPECT_LE(first[i], 95) << i;
  }
}

// With secure authentication on (the default) no login hands out the
// pre-4.1 scramble, however the server asks for it.
TEST(HandshakeTest, SecureAuthRefusesEveryRoadToTheOldScramble) {
  struct Case {
    const char* name;
    uint16_t capabilities;
    bool full_salt;
    bool asks_after_response;  // the server answers a 4.1 scramble with 0xFE
  };
  const Case cases[] = {
      {"no secure connection", kCapabilities41 & ~0x8000, true, false},
      {"no secure connection, short salt", kCapabilities41 & ~0x8000, false, false},
      {"0xFE after the 4.1 scramble", kCapabilities41, true, true},
  };
  for (const Case& c : cases) {
    std::vector<TBytes> received;
    auto server = std::make_unique<FakeServer>([&](PeerSocket& peer) {
      peer.Send(Greeting(c.capabilities, kSalt, c.full_salt), 0);
      while (auto p = peer.ReadPacket()) {
        received.push_back(p->payload);
        peer.Send({0xFE}, static_cast<uint8_t>(p->sequence + 1));
      }
    });
    TMySqlSession session;
    std::string message;
    EXPECT_EQ(ConnectError(session, server->Port(), "pw", &message), kCrServerHandshakeErr) << c.name;
    EXPECT_NE(message.find("MYSQL_SECURE_AUTH"), std::string::npos) << message;
    server.reset();
    // Nothing but the 4.1 response, if even that, went out.
    ASSERT_EQ(received.size(), c.asks_after_response ? 1u : 0u) << c.name;
    if (c.asks_after_response) {
      EXPECT_EQ(ParseResponse41(received[0]).auth, OpenSslScramble("pw", kSalt));
    }
  }
}

TEST(HandshakeTest, OnlyAnOkPacketIsALogin) {
  FakeServer server([&](PeerSocket& peer) {
    peer.Send(Greeting(kCapabilities41, kSalt), 0);
    if (peer.ReadPacket()) peer.Send({0x01, 'm', 'o', 'r', 'e'}, 2);
  });
  TMySqlSession session;
  std::string message;
  EXPECT_EQ(ConnectError(session, server.Port(), "pw", &message), kCrServerHandshakeErr);
  EXPECT_EQ(message, "Error in server handshake");
}

TEST(HandshakeTest, ServerErrorDuringLoginKeepsItsText) {
  FakeServer server([&](PeerSocket& peer) {
    peer.Send(Greeting(kCapabilities41, kSalt), 0);
    TBytes error = {0xFF, 0x15, 0x04};
    testing::Append(error, Bytes("#28000Access denied"));
    if (peer.ReadPacket()) peer.Send(error, 2);
  });
  TMySqlSession session;
  std::string message;
  EXPECT_EQ(ConnectError(session, server.Port(), "pw", &message), 1045);
  EXPECT_EQ(message, "\r\n#28000Access denied");
}

TEST(HandshakeTest, WrongProtocolVersionIs2007) {
  FakeServer server([&](PeerSocket& peer) {
    TBytes greeting = Greeting(kCapabilities41, kSalt);
    greeting[0] = 9;
    peer.Send(greeting, 0);
  });
  TMySqlSession session;
  std::string message;
  EXPECT_EQ(ConnectError(session, server.Port(), "pw", &message), kCrVersionError);
  EXPECT_EQ(message, "Protocol mismatch. Server Version = 9 Client Version = 10");
}

TEST(HandshakeTest, EveryTruncationOfTheGreetingIsACleanError) {
  const TBytes greeting = Greeting(kCapabilities41, kSalt);
  for (size_t n = 0; n < greeting.size(); ++n) {
    FakeServer server([&](PeerSocket& peer) {
      peer.Send(TBytes(greeting.begin(), greeting.begin() + static_cast<long>(n)), 0);
      peer.ReadPacket();  // a response, if the client got that far; then the connection ends
    });
    TMySqlSession session;
    session.SetConnectTimeout(5);
    EXPECT_NE(ConnectError(session, server.Port()), 0) << "greeting cut at " << n;
  }
}

// A greeting of 36 to 62 bytes that claims secure connection lacks part of
// its salt: malformed, and nothing goes out; not a server that wants the
// old password scramble.
TEST(HandshakeTest, AGreetingCutInItsSaltIsMalformedAndNothingGoesOut) {
  const TBytes whole = Greeting(kCapabilities41, kSalt);
  for (const size_t n : {size_t{36}, size_t{45}, size_t{51}, size_t{55}, size_t{62}}) {
    bool answered = false;
    auto server = std::make_unique<FakeServer>([&](PeerSocket& peer) {
      peer.Send(TBytes(whole.begin(), whole.begin() + static_cast<long>(n)), 0);
      answered = peer.ReadPacket().has_value();
    });
    TMySqlSession session;
    std::string message;
    EXPECT_EQ(ConnectError(session, server->Port(), "pw", &message), kCrMalformedPacket) << n << ": " << message;
    server.reset();
    EXPECT_FALSE(answered) << n;
  }
}

TEST(HandshakeTest, TlsAskedForByProtocolOrFlagIsNeverDroppedToPlainText) {
  for (bool by_protocol : {true, false}) {
    SCOPED_TRACE(by_protocol ? "protocol" : "flag");
    bool got_anything = false;
    auto server = std::make_unique<FakeServer>([&](PeerSocket& peer) {
      peer.Send(Greeting(kCapabilities41, kSalt), 0);
      got_anything = peer.ReadPacket().has_value();
    });
    TMySqlSession session;
    if (by_protocol) session.SetProtocol(MYSQL_PROTOCOL_SSL);
    else session.SetClientFlags(kClientSsl);
    std::string message;
    EXPECT_EQ(ConnectError(session, server->Port(), "pw", &message), kCrSslConnectionError);
    EXPECT_EQ(message, "SSL connection error\r\nThe server does not offer TLS");
    session.Close();
    server.reset();
    EXPECT_FALSE(got_anything) << "no password may go out in clear";
  }
}

// The server offers TLS, takes the request, then answers the handshake with
// garbage, with nothing, or (to a plain TCP transport asked for TLS by flag)
// not at all.
TEST(HandshakeTest, AFailedTlsHandshakeIs2026WithinTheTimeOutAndNothingFollowsInClear) {
  const TBytes garbage = Bytes("HTTP/1.0 400 Bad Request\r\n\r\n");
  for (int reply : {0, 1, 2}) {
    SCOPED_TRACE(reply);
    TBytes request, after;
    auto server = std::make_unique<FakeServer>([&](PeerSocket& peer) {
      peer.Send(Greeting(kCapabilities41 | 0x800, kSalt), 0);
      if (auto r = peer.ReadPacket()) request = r->payload;
      if (reply == 0) peer.SendRaw(garbage);
      for (uint8_t byte; peer.ReadExactly(&byte, 1, 60000);) after.push_back(byte);
    });
    TMySqlSession session;
    session.SetConnectTimeout(1);
    if (reply == 2) session.SetClientFlags(kClientSsl);
    else session.SetProtocol(MYSQL_PROTOCOL_SSL);
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    EXPECT_EQ(ConnectError(session, server->Port(), "pw", &message), kCrSslConnectionError) << message;
    // A second's time-out; the limit is for a client that waits for the peer.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(message.find(reply < 2 ? "SSL connection error\r\nSSL_do_handshake = " : "SSL connection error"), 0u)
        << message;
    server.reset();
    // The TLS request is the 32-byte head of the response, with the SSL flag;
    // what follows is TLS records (a handshake, perhaps an alert) or nothing.
    ASSERT_EQ(request.size(), 32u);
    EXPECT_TRUE(request[1] & 0x08);
    EXPECT_TRUE(reply == 2 ? after.empty() : !after.empty() && after[0] == 0x16);
    EXPECT_EQ(std::search(after.begin(), after.end(), request.begin(), request.begin() + 4), after.end());
    const std::string user = "user";
    EXPECT_EQ(std::search(after.begin(), after.end(), user.begin(), user.end()), after.end());
  }
}

class LocalFileRequestTest : public ::testing::Test {
 protected:
  // Logs in, answers the first query with a request for requested_name and
  // records the packets the client sends back.
  void Run(const std::string& sql, const std::string& requested_name) {
    FakeServer server([&](PeerSocket& peer) {
      peer.Send(Greeting(kCapabilities41, kSalt), 0);
      if (!peer.ReadPacket()) return;
      peer.Send(OkPacket(), 2);
      if (!peer.ReadPacket()) return;
      TBytes request = {0xFB};
      testing::Append(request, Bytes(requested_name));
      peer.Send(request, 1);
      for (;;) {
        auto p = peer.ReadPacket();
        if (!p) return;
        uploaded_.push_back(p->payload);
        if (p->payload.empty()) {
          peer.Send(OkPacket(), static_cast<uint8_t>(p->sequence + 1));
          break;
        }
      }
      auto ping = peer.ReadPacket();
      if (ping) peer.Send(OkPacket(), 1);
    });
    TMySqlSession session;
    session.Connect("127.0.0.1", "user", "pw", "", server.Port(), "", 0);
    try {
      session.SimpleCommand(scQuery, reinterpret_cast<const uint8_t*>(sql.data()), true,
                            static_cast<int>(sql.size()));
      session.ReadQueryResult();
    } catch (const EMySqlException& e) {
      error_code_ = e.ErrorCode();
      error_ = e.Message();
    }
    session.Ping();  // still in step
  }

  plat::testing::TestFolder folder_;
  std::vector<TBytes> uploaded_;
  int32_t error_code_ = 0;
  std::string error_;
};

TEST_F(LocalFileRequestTest, AFileTheQueryDidNotNameIsNeverSent) {
  const std::string secret = folder_.path() + "/secret";
  std::ofstream(secret) << "private";
  Run("SELECT 1", secret);
  ASSERT_EQ(uploaded_.size(), 1u);
  EXPECT_TRUE(uploaded_[0].empty());
  EXPECT_EQ(error_code_, kCrUnknownError);
  EXPECT_NE(error_.find("did not name"), std::string::npos) << error_;
  EXPECT_NE(error_.find(secret), std::string::npos);
}

TEST_F(LocalFileRequestTest, ANamedFileIsSentInChunks) {
  const std::string path = folder_.path() + "/data.csv";
  std::ofstream(path) << std::string(20000, 'd');
  Run("LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE t", path);
  ASSERT_EQ(uploaded_.size(), 4u);
  EXPECT_EQ(uploaded_[0].size(), 8192u);
  EXPECT_EQ(uploaded_[2].size(), 20000u - 2 * 8192);
  EXPECT_TRUE(uploaded_[3].empty());
  EXPECT_EQ(error_code_, 0) << error_;
}

TEST_F(LocalFileRequestTest, ANameOtherThanTheStatementsIsRefused) {
  const std::string named = folder_.path() + "/named.csv";
  const std::string other = folder_.path() + "/other.csv";
  std::ofstream(named) << "1\n";
  std::ofstream(other) << "2\n";
  Run("LOAD DATA LOCAL INFILE '" + named + "' INTO TABLE t", other);
  ASSERT_EQ(uploaded_.size(), 1u);
  EXPECT_TRUE(uploaded_[0].empty());
  EXPECT_EQ(error_code_, kCrUnknownError);
}

}  // namespace
}  // namespace dac
