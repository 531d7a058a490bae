// Result sets over an in-memory session transport: store and use modes, end
// packets, binary rows and column definitions of both layouts.
#include "dac/mysql/client/session/mysql_result_set.h"

#include <gtest/gtest.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "dac/mysql/client/wire/row_decoder.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/dac/mysql/client/wire_test_support.h"

namespace dac {
namespace {

using testing::Append;
using testing::Bytes;
using testing::Frame;

// A session logged in through a playback transport whose input goes on
// with the given packets (sequence numbers from 1, as after a command).
class PlaybackSession {
 public:
  explicit PlaybackSession(const std::vector<TBytes>& reply, uint16_t caps = 0xF7FF & ~0x820) {
    const uint8_t salt[20] = {};
    TBytes input = Frame(testing::Greeting(caps, salt), 0);
    Append(input, Frame(testing::OkPacket(), 2));
    uint8_t seq = 1;
    for (const TBytes& p : reply) Append(input, Frame(p, seq++));
    handler_ = std::make_unique<testing::PlaybackHandler>(input);
    session.SetIOHandler(handler_.get());
    session.Connect("h", "u", "", "", 0, "", 0);
    session.SimpleCommand(scQuery, reinterpret_cast<const uint8_t*>("Q"), true, 1);
  }
  // The handler outlives the session, which says goodbye through it.
  std::unique_ptr<testing::PlaybackHandler> handler_;
  TMySqlSession session;
};

TBytes Def41(const std::string& name, uint8_t type, uint8_t decimals = 0) {
  TBytes d;
  for (const std::string& part : {std::string("def"), std::string("db"), std::string("tb"), std::string("otb"), name,
                                  std::string("o") + name}) {
    d.push_back(static_cast<uint8_t>(part.size()));
    Append(d, Bytes(part));
  }
  Append(d, {0x0C, 33, 0, 11, 0, 0, 0, type, 0x03, 0x00, decimals, 0, 0});
  return d;
}

TEST(ResultSetTest, EmptyResultInStoreModeAndEndPacketStatus) {
  PlaybackSession p({{1}, Def41("a", mftLong), {0xFE, 0, 0, 2, 0}, {0xFE, 3, 0, 0x0A, 0}});
  p.session.ReadQueryResult();
  ASSERT_EQ(p.session.GetFieldCount(), 1);
  EXPECT_EQ(p.session.GetFieldsInfo()[0].org_name, "oa");
  EXPECT_EQ(p.session.GetFieldsInfo()[0].org_table, "otb");
  EXPECT_EQ(p.session.GetFieldsInfo()[0].charsetnr, 33);
  TMySqlResultSet result(&p.session);
  result.ReadRows();
  EXPECT_TRUE(result.GetEof());
  EXPECT_EQ(result.GetRowCount(), 0);
  EXPECT_EQ(p.session.GetWarningCount(), 3u);
  EXPECT_TRUE(p.session.MoreResults());
  EXPECT_EQ(p.session.GetStatus(), msReady);
  TMySqlBinds* binds = result.GetBinds();
  EXPECT_FALSE(result.Read(binds));
  EXPECT_THROW(result.Seek(0), ArgumentException);
}

TEST(ResultSetTest, StoreModeSeeksAndUseModeCountsRows) {
  const std::vector<TBytes> reply = {{1}, Def41("a", mftVarString), {0xFE, 0, 0, 2, 0}, {1, 'x'}, {0}, {0xFB},
                                     {0xFE, 0, 0, 2, 0}};
  {
    PlaybackSession p(reply);
    p.session.ReadQueryResult();
    TMySqlResultSet result(&p.session);
    result.ReadRows();
    EXPECT_EQ(result.GetRowCount(), 3);
    TMySqlBinds* binds = result.GetBinds();
    result.Seek(2);
    ASSERT_TRUE(result.Read(binds));
    EXPECT_TRUE((*binds)[0].is_null);
    EXPECT_FALSE(result.Read(binds));
    result.Seek(1);
    ASSERT_TRUE(result.Read(binds));
    EXPECT_FALSE((*binds)[0].is_null);  // length 0 is an empty value, not NULL
    EXPECT_EQ((*binds)[0].length, 0);
    TMySqlBinds* none = nullptr;
    result.Seek(0);
    try {
      result.Read(none);
      ADD_FAILURE() << "text rows need binds";
    } catch (const EMySqlException& e) {
      EXPECT_EQ(e.ErrorCode(), kCrNullPointer);
    }
  }
  {
    PlaybackSession p(reply);
    p.session.ReadQueryResult();
    TMySqlResultSet result(&p.session);
    TMySqlBinds* binds = result.GetBinds();
    int rows = 0;
    while (result.Read(binds)) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(result.GetRowCount(), 3);
    EXPECT_THROW(result.Seek(0), NotSupportedException);
  }
}

TEST(ResultSetTest, AResultSetMayOutliveItsSession) {
  auto p = std::make_unique<PlaybackSession>(std::vector<TBytes>{
      {1}, Def41("a", mftVarString), {0xFE, 0, 0, 2, 0}, {1, 'x'}, {1, 'y'}, {0xFE, 0, 0, 2, 0}});
  p->session.ReadQueryResult();
  auto result = std::make_unique<TMySqlResultSet>(&p->session);
  TMySqlBinds* binds = result->GetBinds();
  ASSERT_TRUE(result->Read(binds));
  p.reset();
  EXPECT_EQ(result->GetSession(), nullptr);
  try {
    result->Read(binds);
    ADD_FAILURE() << "read without a session";
  } catch (const EMySqlException& e) {
    EXPECT_EQ(e.ErrorCode(), kCrServerGoneError);
  }
  result.reset();  // no drain through the freed session
}

TEST(ResultSetTest, DefinitionsMustMatchTheColumnCount) {
  PlaybackSession p({{2}, Def41("a", mftLong), {0xFE, 0, 0, 2, 0}});
  try {
    p.session.ReadQueryResult();
    ADD_FAILURE();
  } catch (const EMySqlException& e) {
    EXPECT_EQ(e.ErrorCode(), kCrMalformedPacket);
  }
  PlaybackSession q({{1}, Def41("a", mftLong), Def41("b", mftLong), {0xFE, 0, 0, 2, 0}});
  EXPECT_THROW(q.session.ReadQueryResult(), EMySqlException);
}

TEST(ResultSetTest, OlderColumnDefinitionLayouts) {
  // table, name, length (3 bytes), type, flags and decimals.
  const TBytes long_flag = {2, 't', 'b', 1, 'c', 3, 10, 0, 0, 1, mftLong, 3, 0x21, 0x00, 4};
  PlaybackSession p({{1}, long_flag, {0xFE}}, (0x7FFF & ~(0x200 | 0x800 | 0x20 | 0x8000)) | 0x4);
  EXPECT_FALSE(p.session.Getprotocol41());
  p.session.ReadQueryResult();
  const TMySqlFieldInfo& f = p.session.GetFieldsInfo()[0];
  EXPECT_EQ(f.name, "c");
  EXPECT_EQ(f.table, "tb");
  EXPECT_EQ(f.org_table, "tb");
  EXPECT_EQ(f.length, 10);
  EXPECT_EQ(f.flags, 0x21u | kNumFlag);
  EXPECT_EQ(f.decimals, 4);

  const TBytes short_flag = {2, 't', 'b', 1, 'c', 3, 10, 0, 0, 1, mftLong, 2, 0x21, 5};
  PlaybackSession q({{1}, short_flag, {0xFE}}, 0x7FFF & ~(0x200 | 0x800 | 0x20 | 0x8000 | 0x4));
  q.session.ReadQueryResult();
  EXPECT_EQ(q.session.GetFieldsInfo()[0].decimals, 5);
  EXPECT_EQ(q.session.GetFieldsInfo()[0].flags, 0x21u | kNumFlag);
}

TEST(ResultSetTest, BinaryRowsUseTheNullBitmap) {
  TMySqlFieldInfos one = {MySqlFieldInfo("a", "", "", "", "", "", 4, 0, 0, 0, 8, mftLong)};
  TMySqlBinds binds(7);
  const TBytes null_row = {0, 0x04};
  DecodeBinaryRow(null_row.data(), 2, one, 1, binds);
  EXPECT_TRUE(binds[0].is_null);
  const TBytes value_row = {0, 0, 0x78, 0x56, 0x34, 0x12};
  DecodeBinaryRow(value_row.data(), 6, one, 1, binds);
  EXPECT_FALSE(binds[0].is_null);
  EXPECT_EQ(binds[0].offset, 2);
  EXPECT_EQ(binds[0].length, 4);
  EXPECT_EQ(binds[0].type, mftLong);

  TMySqlFieldInfos seven;
  for (uint8_t t : {mftTiny, mftShort, mftLongLong, mftDouble, mftVarString, mftDate, mftYear})
    seven.push_back(MySqlFieldInfo("f", "", "", "", "", "", 4, 0, 0, 0, 8, t));
  // Field 6 (the year) is NULL: bit 0 of the bitmap's second byte.
  TBytes row = {0, 0, 0x01, 7, 1, 0};
  Append(row, TBytes(16, 9));
  Append(row, {3, 'a', 'b', 'c', 4, 0xE8, 0x07, 2, 29});
  DecodeBinaryRow(row.data(), static_cast<int>(row.size()), seven, 7, binds);
  EXPECT_EQ(binds[0].offset, 3);
  EXPECT_EQ(binds[1].offset, 4);
  EXPECT_EQ(binds[2].offset, 6);
  EXPECT_EQ(binds[3].offset, 14);
  EXPECT_EQ(binds[4].offset, 23);
  EXPECT_EQ(binds[4].length, 3);
  EXPECT_EQ(binds[5].length, 4);
  EXPECT_TRUE(binds[6].is_null);
  row.pop_back();
  EXPECT_THROW(DecodeBinaryRow(row.data(), static_cast<int>(row.size()), seven, 7, binds), EMySqlException);
}

TEST(ResultSetTest, BinaryResultThroughResultBinds) {
  PlaybackSession p({{1}, Def41("a", mftShort), {0xFE, 0, 0, 2, 0}, {0, 0, 0x34, 0x12}, {0xFE, 0, 0, 2, 0}});
  p.session.ReadQueryResult();
  TMySqlResultSet result(&p.session, p.session.GetFieldsInfo(), 1, std::make_unique<TMySqlBinds>(1));
  TMySqlBinds* binds = nullptr;
  ASSERT_TRUE(result.Read(binds));
  ASSERT_EQ(binds, result.GetResultBinds());
  EXPECT_EQ(binds->GetBuffer()[(*binds)[0].offset], 0x34);
  EXPECT_NE(result.GetGCHandleData(), nullptr);
  EXPECT_FALSE(result.Read(binds));
}

}  // namespace
}  // namespace dac
