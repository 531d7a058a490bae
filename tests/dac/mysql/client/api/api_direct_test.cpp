// What only the direct API does: its answers without a server, its options,
// and the UTF-8 length rule before the 4.1 protocol, against a scripted
// pre-4.1 server.
#include <gtest/gtest.h>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "tests/dac/mysql/client/fake_server.h"

namespace dac {
namespace {

using testing::Append;
using testing::Frame;
using testing::LengthCoded;

TMySqlSession& Session(PMySqlCon con) { return *reinterpret_cast<TMySqlSession*>(con); }

TEST(DirectApiTest, IdentityOptionsAndWhatItDoesNotProvide) {
  TMySQLAPIDirect& api = MyAPIDirect();
  api.CheckMySQLLib();
  EXPECT_EQ(api.GetStructVer(), cvDirect);
  EXPECT_EQ(api.GetClientVersion(), "4.1.3 Direct");
  PMySqlCon con = api.mysql_init(nullptr);
  TMySqlSession& session = Session(con);
  api.SetTimeout(con, 0);
  EXPECT_EQ(session.GetReadWriteTimeout(), 31536000);
  const uint32_t off = 0;
  api.mysql_options(con, MYSQL_OPT_LOCAL_INFILE, &off);
  EXPECT_FALSE(session.GetLocalInfile());
  api.mysql_options(con, MYSQL_OPT_LOCAL_INFILE, nullptr);
  EXPECT_TRUE(session.GetLocalInfile());
  api.mysql_options(con, MYSQL_OPT_COMPRESS, nullptr);
  EXPECT_EQ(session.GetProtocol(), MYSQL_PROTOCOL_DEFAULT);
  api.mysql_options(con, MYSQL_OPT_NAMED_PIPE, nullptr);
  EXPECT_EQ(session.GetProtocol(), MYSQL_PROTOCOL_PIPE);
  EXPECT_EQ(api.mysql_options(con, MYSQL_OPT_READ_TIMEOUT, nullptr), 2028);
  // Before a connection a command fails on the handle, not by exception.
  EXPECT_EQ(api.mysql_real_query(con, "SELECT 1", 8), 2006);
  EXPECT_THROW(api.mysql_fetch_lengths(nullptr), EAssertionFailed);
  EXPECT_THROW(api.mysql_character_set_name(con), NotSupportedException);
  TMYSQL_BINDS binds;
  try {
    api._mysql_stmt_bind_param(nullptr, binds);
    ADD_FAILURE() << "binding parameters is not the direct API's";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Abstract Error");
  }
  api.mysql_close(con);
}

// Table and name, length, type, then 2-byte flags and the decimals.
TBytes OldColumn(const std::string& table, const std::string& name, uint8_t length, uint8_t type) {
  TBytes d = LengthCoded(table);
  Append(d, LengthCoded(name));
  Append(d, {3, length, 0, 0, 1, type, 3, 0, 0, 0});
  return d;
}

TEST(DirectApiTest, Utf8ReadersSeeTextColumnsThreeTimesAsLongBeforeThe41Protocol) {
  const uint8_t salt[20] = {'s', 'a', 'l', 't', 'y', '1', '2', '3'};
  testing::FakeServer server([&](testing::PeerSocket& peer) {
    // No 4.1 protocol, no secure connection, no TLS, no compression: a 4.0 server.
    peer.Send(testing::Greeting(0xF7FF & ~0x0200 & ~0x8000 & ~0x0800 & ~0x0020, salt, false), 0);
    if (!peer.ReadPacket()) return;
    peer.Send(testing::OkPacket(), 2);
    if (!peer.ReadPacket()) return;
    TBytes reply = Frame({3}, 1);
    Append(reply, Frame(OldColumn("t", "name", 10, mftVarString), 2));
    Append(reply, Frame(OldColumn("t", "code", 10, mftLong), 3));
    Append(reply, Frame(OldColumn("", "computed", 10, mftVarString), 4));
    Append(reply, Frame({0xFE}, 5));
    Append(reply, Frame({0xFE}, 6));
    peer.SendRaw(reply);
    peer.ReadPacket();
  });
  TMySQLAPIDirect& api = MyAPIDirect();
  PMySqlCon con = api.mysql_init(nullptr);
  const uint32_t off = 0;
  api.mysql_options(con, MYSQL_SECURE_AUTH, &off);
  api.mysql_real_connect(con, "127.0.0.1", "user", "pw", nullptr, static_cast<uint32_t>(server.Port()), nullptr, 0);
  ASSERT_EQ(api.mysql_errno(con), 0u) << api.mysql_error(con);
  ASSERT_EQ(api.mysql_real_query(con, "SELECT", 6), 0) << api.mysql_error(con);
  PMySqlRes result = api.mysql_use_result(con);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(api._mysql_fetch_field_direct(result, 0, true).length, 30);
  EXPECT_EQ(api._mysql_fetch_field_direct(result, 0, false).length, 10);
  EXPECT_EQ(api._mysql_fetch_field_direct(result, 1, true).length, 10);
  EXPECT_EQ(api._mysql_fetch_field_direct(result, 2, true).length, 10);
  EXPECT_EQ(api._mysql_fetch_field_direct(result, 0, true).org_name, "name");
  EXPECT_EQ(api.mysql_fetch_row(result), nullptr);
  api.mysql_free_result(result);
  api.mysql_close(con);
}

}  // namespace
}  // namespace dac
