// The parse functions over captured packets, and over every truncation of
// each: a value or EMySqlException 2027, never a read past the bytes given
// (each cut is copied to a buffer of exactly its size, so the sanitizer
// build sees any overrun).
#include "dac/mysql/client/wire/protocol.h"

#include <gtest/gtest.h>

#include <functional>

#include "dac/mysql/client/wire/client_errors.h"
#include "tests/dac/mysql/client/wire/wire_samples.h"

namespace dac {
namespace {

using testing::Append;
using testing::Bytes;

TBytes Definition41() {
  TBytes d;
  for (const char* part : {"def", "shop", "t", "orders", "id", "order_id"}) Append(d, testing::LengthCoded(part));
  Append(d, {0x0C, 33, 0, 11, 0, 0, 0, mftLong, 0x23, 0x10, 0, 0, 0});
  return d;
}

const TBytes kDefinitionOld = {1, 't', 2, 'i', 'd', 3, 11, 0, 0, 1, mftLong, 3, 0x23, 0x10, 2};
const uint8_t kSalt[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

struct Capture {
  const char* name;
  TBytes packet;
  std::function<void(const uint8_t*, size_t)> parse;
};

std::vector<Capture> Captures() {
  TBytes ok = {0x00, 0x03, 0xFC, 0x10, 0x27, 0x22, 0x00, 0x01, 0x00};
  Append(ok, Bytes("Records: 3"));
  TBytes error = {0xFF, 0x28, 0x04};
  Append(error, Bytes("#42000You have an error"));
  TBytes local_file = {0xFB};
  Append(local_file, Bytes("/tmp/data.csv"));
  TBytes auth_switch = {0xFE};
  Append(auth_switch, Bytes(std::string("mysql_native_password\0salt", 27)));
  return {
      {"greeting", testing::Greeting(0xF7FF, kSalt), [](auto d, auto n) { ParseGreeting(d, n); }},
      {"ok", ok, [](auto d, auto n) { ParseOkPacket(d, n, true, true); }},
      {"end", {0xFE, 0x03, 0x00, 0x0A, 0x00}, [](auto d, auto n) { ParseEndPacket(d, n); }},
      {"error", error, [](auto d, auto n) { ParseErrorPacket(d, n); }},
      {"header", {0xFC, 0x00, 0x01, 0x05}, [](auto d, auto n) { ParseResultSetHeader(d, n); }},
      {"local file", local_file, [](auto d, auto n) { ParseLocalFileRequest(d, n); }},
      {"definition 4.1", Definition41(), [](auto d, auto n) { ParseColumnDefinition(d, n, true, true); }},
      {"definition old", kDefinitionOld, [](auto d, auto n) { ParseColumnDefinition(d, n, false, true); }},
      {"auth switch", auth_switch, [](auto d, auto n) { ParseAuthReply(d, n, true); }},
  };
}

TEST(ProtocolTest, EveryTruncationOfEveryCaptureIsAValueOrMalformed) {
  for (const Capture& c : Captures()) {
    for (size_t n = 0; n <= c.packet.size(); ++n) {
      const TBytes cut(c.packet.begin(), c.packet.begin() + static_cast<long>(n));
      try {
        c.parse(cut.data(), cut.size());
      } catch (const EMySqlException& e) {
        EXPECT_EQ(e.ErrorCode(), kCrMalformedPacket) << c.name << " cut at " << n;
        EXPECT_LT(n, c.packet.size()) << c.name << " whole: " << e.Message();
      }
    }
  }
}

TEST(ProtocolTest, CapturesParseToTheirValues) {
  const TBytes greeting = testing::Greeting(0xF7FF, kSalt);
  const ServerGreeting g = ParseGreeting(greeting.data(), greeting.size());
  EXPECT_EQ(g.server_version, "5.5.5-10.11.0-Fake");
  EXPECT_EQ(g.thread_id, 42u);
  EXPECT_EQ(g.capabilities, 0xF7FFu);
  EXPECT_TRUE(g.scramble_complete);
  EXPECT_EQ(g.scramble, TBytes(kSalt, kSalt + 20));
  const TBytes short_greeting = testing::Greeting(0xF7FF & ~kClientSecureConnection, kSalt, false);
  EXPECT_FALSE(ParseGreeting(short_greeting.data(), short_greeting.size()).scramble_complete);

  const std::vector<Capture> captures = Captures();
  const TBytes& ok_bytes = captures[1].packet;
  const OkPacket ok = ParseOkPacket(ok_bytes.data(), ok_bytes.size(), true, true);
  EXPECT_EQ(ok.affected_rows, 3u);
  EXPECT_EQ(ok.insert_id, 10000u);
  EXPECT_EQ(ok.server_status, 0x22);
  EXPECT_EQ(ok.warning_count, 1);
  EXPECT_EQ(ok.info, "Records: 3");
  // A pre-4.1 server without transactions sends no status.
  const TBytes old_ok = {0, 1, 0};
  EXPECT_FALSE(ParseOkPacket(old_ok.data(), old_ok.size(), false, false).has_status);

  const EndPacket end = ParseEndPacket(captures[2].packet.data(), captures[2].packet.size());
  EXPECT_EQ(end.warning_count, 3);
  EXPECT_EQ(end.server_status, 0x0A);
  const uint8_t bare_end[] = {0xFE};
  EXPECT_FALSE(ParseEndPacket(bare_end, 1).has_status);

  const ErrorPacket error = ParseErrorPacket(captures[3].packet.data(), captures[3].packet.size());
  EXPECT_EQ(error.code, 1064);
  EXPECT_EQ(error.message, "#42000You have an error");

  const ResultSetHeader header = ParseResultSetHeader(captures[4].packet.data(), captures[4].packet.size());
  EXPECT_EQ(header.field_count, 256);
  EXPECT_EQ(header.extra, 5);
  EXPECT_EQ(ParseLocalFileRequest(captures[5].packet.data(), captures[5].packet.size()), "/tmp/data.csv");

  const TMySqlFieldInfo f = ParseColumnDefinition(captures[6].packet.data(), captures[6].packet.size(), true, true);
  EXPECT_EQ(f.db, "shop");
  EXPECT_EQ(f.table, "t");
  EXPECT_EQ(f.org_table, "orders");
  EXPECT_EQ(f.name, "id");
  EXPECT_EQ(f.org_name, "order_id");
  EXPECT_EQ(f.charsetnr, 33);
  EXPECT_EQ(f.length, 11);
  EXPECT_EQ(f.flags, 0x1023u | kNumFlag);
  const TMySqlFieldInfo old = ParseColumnDefinition(kDefinitionOld.data(), kDefinitionOld.size(), false, true);
  EXPECT_EQ(old.name, "id");
  EXPECT_EQ(old.org_table, "t");
  EXPECT_EQ(old.flags, 0x1023u | kNumFlag);
  EXPECT_EQ(old.decimals, 2);
}

TEST(ProtocolTest, OutOfRangeValuesAreMalformed) {
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"error code -1", [] { const uint8_t p[] = {0xFF, 0xFF, 0xFF}; ParseErrorPacket(p, 3); }},
      {"error code 0", [] { const uint8_t p[] = {0xFF, 0x00, 0x00, 'x'}; ParseErrorPacket(p, 4); }},
      {"no columns", [] { const uint8_t p[] = {0x00}; ParseResultSetHeader(p, 1); }},
      {"65536 columns", [] { const uint8_t p[] = {0xFD, 0x00, 0x00, 0x01}; ParseResultSetHeader(p, 4); }},
      {"end of 3 bytes", [] { const uint8_t p[] = {0xFE, 1, 0}; ParseEndPacket(p, 3); }},
      {"NULL fixed block", [] {
         TBytes d = Definition41();
         d.resize(d.size() - 13);
         d.push_back(0xFB);
         ParseColumnDefinition(d.data(), d.size(), true, true);
       }},
      {"empty reply", [] { ClassifyQueryReply(nullptr, 0); }},
  };
  for (const auto& [name, parse] : cases) {
    try {
      parse();
      ADD_FAILURE() << name << " parsed";
    } catch (const EMySqlException& e) {
      EXPECT_EQ(e.ErrorCode(), kCrMalformedPacket) << name;
      EXPECT_EQ(e.Message().rfind("Malformed packet", 0), 0u) << name << ": " << e.Message();
    }
  }
}

// A greeting may end after the filler byte (the oldest servers), after the
// capabilities, after the 13 filler bytes of the servers before 4.1, or
// after the whole salt; anywhere else it was cut short, and a server that
// claims secure connection must send the whole salt.
TEST(ProtocolTest, GreetingsCutShortAreMalformedWhateverTheyClaim) {
  for (const bool secure : {true, false}) {
    const TBytes whole = testing::Greeting(secure ? 0xF7FF : 0xF7FF & ~kClientSecureConnection, kSalt);
    const size_t salt_end = 1 + 19 + 4 + 8;  // version byte, version text, thread id, first salt part
    for (size_t n = salt_end; n <= whole.size(); ++n) {
      const size_t rest = n - salt_end;
      const bool sound = rest == 1 || rest == 3 || (rest == 19 && !secure) || rest >= 31;
      SCOPED_TRACE(std::string(secure ? "secure connection" : "old server") + ", " + std::to_string(n) + " bytes");
      try {
        const ServerGreeting g = ParseGreeting(whole.data(), n);
        EXPECT_TRUE(sound);
        EXPECT_EQ(g.scramble_complete, rest >= 31);
        EXPECT_EQ(g.has_status, rest >= 19);
      } catch (const EMySqlException& e) {
        EXPECT_FALSE(sound) << e.Message();
        EXPECT_EQ(e.ErrorCode(), kCrMalformedPacket);
      }
    }
  }
}

// Affected rows and insert ids take the whole unsigned range: an
// AUTO_INCREMENT past 2^63 is an ordinary id.
TEST(ProtocolTest, OkPacketNumbersAreUnsigned) {
  const uint8_t ok[] = {0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                        0xFE, 0xFA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00};
  const OkPacket parsed = ParseOkPacket(ok, sizeof ok, true, true);
  EXPECT_EQ(parsed.affected_rows, UINT64_MAX);
  EXPECT_EQ(parsed.insert_id, 18446744073709551610u);
  const uint8_t null_id[] = {0x00, 0x01, 0xFB, 0x02, 0x00, 0x00, 0x00};
  EXPECT_EQ(testing::ErrorCodeOf([&] { ParseOkPacket(null_id, sizeof null_id, true, true); }), kCrMalformedPacket);
}

TEST(ProtocolTest, AuthRepliesByShapeAndSecureConnection) {
  TBytes pre_release(24, 7);
  const struct {
    TBytes reply;
    bool secure;
    AuthReply kind;
  } cases[] = {
      {{0, 0, 0, 2, 0}, true, AuthReply::kOk},
      {{0xFE}, true, AuthReply::kOldScrambleRequest},
      {{0xFE}, false, AuthReply::kAuthSwitch},
      {pre_release, true, AuthReply::kPreRelease41},
      {pre_release, false, AuthReply::kUnknown},
      {{0x01, 'k', 'e', 'y'}, true, AuthReply::kMoreData},
      {{0x02}, true, AuthReply::kUnknown},
      {{}, true, AuthReply::kUnknown},
  };
  for (const auto& c : cases) {
    const AuthReplyPacket parsed = ParseAuthReply(c.reply.data(), c.reply.size(), c.secure);
    EXPECT_EQ(parsed.kind, c.kind) << c.reply.size() << " bytes, secure " << c.secure;
  }
  TBytes switch_request = {0xFE};
  Append(switch_request, Bytes(std::string("mysql_old_password\0abc", 22)));
  const AuthReplyPacket parsed = ParseAuthReply(switch_request.data(), switch_request.size(), true);
  EXPECT_EQ(parsed.method, "mysql_old_password");
  EXPECT_EQ(parsed.data, Bytes("abc"));
}

}  // namespace
}  // namespace dac
