// What only the library-backed APIs do: loading by name with its failure
// texts, loading from several threads at once, caller binds converted to
// the library's records, storage read back across APIs, and the embedded
// server's parameter rules.
#include <cerrno>
#include <thread>
#include <tuple>
#include <type_traits>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api_embedded.h"
#include "dac/store/record/data_types.h"
#include "platform/path_lookup.h"
#include "tests/dac/mysql/client/api_test_support.h"

namespace dac {
namespace {

using testing::ApiConnection;
using testing::ApiQuery;
using testing::ApiStatement;
using testing::Row;
using testing::Rows;

// The library name for the life of a test.
class LibraryName {
 public:
  explicit LibraryName(std::string name) { SetMySQLClientLibrary(std::move(name)); }
  ~LibraryName() { SetMySQLClientLibrary(std::string()); }
};

// The message and code of what the action raised.
template <typename Error, typename Action>
std::pair<std::string, uint32_t> RaisedBy(Action action) {
  try {
    action();
  } catch (const Error& e) {
    if constexpr (std::is_same_v<Error, EOSError>) return {e.Message(), e.ErrorCode()};
    return {e.Message(), 0};
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

TEST(ClientLibraryTest, LibrariesThatLackTheFunctionsOrDoNotExist) {
  {
    const LibraryName name("libz.so.1");
    TMySQLAPIClient client;
    EXPECT_EQ(RaisedBy<Exception>([&] { client.CheckMySQLLib(); }).first,
              "MySQL API function is not linked. You should update MySQL client library (libz.so.1).");
    EXPECT_TRUE(client.LoadedMySQLLib());
    // The embedded server's start is the first call: it fails, and leaves nothing loaded.
    TMySQLAPIEmbedded embedded;
    EXPECT_EQ(RaisedBy<Exception>([&] { embedded.CheckMySQLLib(); }).first,
              "A call to an mysql_server_init failed\r\nMySQL API function is not linked. You should update MySQL "
              "Embedded Server library (libz.so.1).");
    EXPECT_FALSE(embedded.LoadedMySQLLib());
  }
  const LibraryName name("libno-such-client.so.7");
  TMySQLAPIClient client;
  const auto [message, code] = RaisedBy<EOSError>([&] { client.CheckMySQLLib(); });
  EXPECT_EQ(message,
            "MySQL client library couldn't be loaded. Please place libno-such-client.so.7 file to system folder "
            "(included to PATH) or to the folder with executable unit of main program.");
  EXPECT_EQ(code, static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(client.LoadedMySQLLib());
}

TEST(ClientLibraryTest, EightThreadsConnectingFirstLoadOnce) {
  REQUIRE_TEST_SERVER(s);
  TMySQLAPIClient client;
  std::vector<std::thread> threads;
  std::vector<Rows> answers(8);
  for (size_t i = 0; i < answers.size(); ++i)
    threads.emplace_back([&, i] {
      ApiConnection c(client, s);
      answers[i] = ApiQuery(client, c.get(), "SELECT 6 * 7");
    });
  for (std::thread& thread : threads) thread.join();
  for (const Rows& rows : answers) EXPECT_EQ(rows, Rows{Row{"42"}});
  EXPECT_EQ(client.GetStructVer(), cv411);
  EXPECT_TRUE(client.GetClientVersion().starts_with("3.")) << client.GetClientVersion();
}

// Parameters and results bound by the caller, dates and times in the
// project's record: what the library reads and writes lands where the
// caller's binds say.
TEST(ClientLibraryTest, CallerBindsInBothDirections) {
  REQUIRE_TEST_SERVER(s);
  TMySQLAPIClient& api = MyAPIClient();
  ApiConnection c(api, s);
  ApiQuery(api, c.get(), "CREATE TEMPORARY TABLE b (n INT UNSIGNED, t TIME(3), d DATETIME(6), v VARBINARY(10))");
  ApiStatement insert(api, c.get());
  ASSERT_EQ(insert.Prepare("INSERT INTO b VALUES (?, ?, ?, ?)"), 0) << insert.error();
  uint32_t number = 4294967295u;
  MYSQL_TIME time{0, 0, 1, 2, 3, 4, 500000, true, 2};  // -26:03:04.5
  MYSQL_TIME stamp{2024, 2, 29, 23, 59, 58, 123456, false, 1};
  bool value_null = true;
  TMYSQL_BINDS params(4);
  params[0] = {nullptr, nullptr, &number, nullptr, mftLong, sizeof number, true};
  params[1] = {nullptr, nullptr, &time, nullptr, mftTime, sizeof time, false};
  params[2] = {nullptr, nullptr, &stamp, nullptr, mftDateTime, sizeof stamp, false};
  params[3] = {nullptr, &value_null, nullptr, nullptr, mftBlob, 0, false};
  ASSERT_FALSE(api._mysql_stmt_bind_param(insert.get(), params)) << insert.error();
  ASSERT_EQ(api.mysql_stmt_execute(insert.get()), 0) << insert.error();
  // A changed record is read again at the next execute.
  stamp.year = 2020;
  ASSERT_EQ(api.mysql_stmt_execute(insert.get()), 0) << insert.error();
  EXPECT_EQ(ApiQuery(api, c.get(), "SELECT n, t, d, v FROM b ORDER BY d"),
            (Rows{Row{"4294967295", "-26:03:04.500", "2020-02-29 23:59:58.123456", std::nullopt},
                  Row{"4294967295", "-26:03:04.500", "2024-02-29 23:59:58.123456", std::nullopt}}));

  ApiStatement select(api, c.get());
  ASSERT_EQ(select.Prepare("SELECT d, t FROM b ORDER BY d DESC LIMIT 1"), 0) << select.error();
  ASSERT_EQ(select.Execute(TParamDescs()), 0) << select.error();
  MYSQL_TIME got_stamp, got_time;
  bool nulls[2] = {true, true};
  TMYSQL_BINDS results(2);
  results[0] = {nullptr, &nulls[0], &got_stamp, nullptr, mftDateTime, sizeof got_stamp, false};
  results[1] = {nullptr, &nulls[1], &got_time, nullptr, mftTime, sizeof got_time, false};
  ASSERT_FALSE(api._mysql_stmt_bind_result(select.get(), results)) << select.error();
  ASSERT_EQ(api.mysql_stmt_fetch(select.get()), 0) << select.error();
  EXPECT_FALSE(nulls[0] || nulls[1]);
  EXPECT_EQ(std::tie(got_stamp.year, got_stamp.month, got_stamp.day, got_stamp.second, got_stamp.second_part),
            std::make_tuple(2024u, 2u, 29u, 58u, 123456u));
  EXPECT_EQ(got_time.day * 24 + got_time.hour, 26u);
  EXPECT_TRUE(got_time.neg);
  EXPECT_EQ(got_time.time_type, 2);
  EXPECT_EQ(api.mysql_stmt_fetch(select.get()), kMySqlNoData);
}

// A row written through one API reads back byte for byte through another.
TEST(ClientLibraryTest, StorageReadsBackAcrossApis) {
  REQUIRE_TEST_SERVER(s);
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  const std::pair<TMySQLAPI*, TMySQLAPI*> ways[] = {{&MyAPIDirect(), &MyAPIClient()},
                                                   {&MyAPIClient(), &MyAPIDirect()}};
  for (const auto& [writer, reader] : ways) {
    ApiConnection w(*writer, s);
    ApiConnection r(*reader, s);
    ApiQuery(*writer, w.get(), "DROP TABLE IF EXISTS across");
    ApiQuery(*writer, w.get(), "CREATE TABLE across (u INT UNSIGNED, t TIME, d DATETIME(3), s VARCHAR(10), b BLOB)");
    ApiStatement insert(*writer, w.get());
    ASSERT_EQ(insert.Prepare("INSERT INTO across VALUES (?, ?, ?, ?, ?)"), 0) << insert.error();
    TParamDescs params;
    testing::AddParam(params, dtUInt32, uint32_t{4294967295u});
    testing::AddParam(params, dtTime, Variant::FromDateTime(-1.5 / 24));
    DateTime stamp = 0;
    ASSERT_TRUE(plat::TryEncodeDateTime(2004, 2, 29, 13, 45, 10, 250, stamp));
    testing::AddParam(params, dtDateTime, Variant::FromDateTime(stamp));
    testing::AddParam(params, dtString, std::string("a\0b", 3));
    testing::AddParam(params, dtBytes, TBytes(bytes.begin(), bytes.end()));
    ASSERT_EQ(insert.Execute(params), 0) << insert.error();
    const Row expected{"4294967295", "-01:30:00", "2004-02-29 13:45:10.250", std::string("a\0b", 3), bytes};
    EXPECT_EQ(ApiQuery(*reader, r.get(), "SELECT * FROM across"), Rows{expected});
    ApiStatement select(*reader, r.get());
    ASSERT_EQ(select.Prepare("SELECT * FROM across"), 0) << select.error();
    ASSERT_EQ(select.Execute(TParamDescs()), 0) << select.error();
    EXPECT_EQ(select.FetchAll(), Rows{expected});
    ApiQuery(*writer, w.get(), "DROP TABLE across");
  }
}

TEST(EmbeddedParamsTest, CleaningDataFolderAndLockName) {
  TStringList params;
  for (const char* line : {"--no-defaults", "", "   ", "# a comment", "  #indented", "--basedir=/srv/db/",
                           "--character-set-server=latin1"})
    params.Add(line);
  const std::vector<std::string> lines = CleanServerParams(params);
  EXPECT_EQ(lines, (std::vector<std::string>{"--no-defaults", "--basedir=/srv/db/", "--character-set-server=latin1"}));
  EXPECT_EQ(EmbeddedDataFolder(lines), "/srv/db/data");
  EXPECT_EQ(EmbeddedDataFolder({"--basedir=/srv/db", "--DATADIR=/var/x/../y"}), "/var/y");
  EXPECT_EQ(EmbeddedDataFolder({"--datadir=rel"}), plat::AbsolutePath("rel"));
  EXPECT_EQ(EmbeddedDataFolder({"--no-defaults"}), "");
  // The server takes the last of a repeated option, and so does the lock.
  EXPECT_EQ(EmbeddedDataFolder({"--datadir=/first", "--basedir=/b", "--datadir=/last"}), "/last");
  EXPECT_EQ(EmbeddedLockName(" C:\\mysql\\data "), "c  mysql data");
  EXPECT_EQ(EmbeddedLockName("/Srv/Db"), " srv db");
  EXPECT_THROW(EmbeddedLockName("  "), EAssertionFailed);
}

// The server is told the data folder that is locked, absolute: it would
// take a relative one from its base folder, not from the working folder.
TEST(EmbeddedParamsTest, TheServerGetsTheFolderThatIsLocked) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    Lines lines;
    Lines server;
  };
  const std::string here = plat::AbsolutePath("rel");
  const Case cases[] = {
      {"relative", {"--no-defaults", "--datadir=rel", "--port=0"}, {"--no-defaults", "--port=0", "--datadir=" + here}},
      {"absolute, repeated", {"--datadir=/a", "--DataDir=/b"}, {"--datadir=/b"}},
      {"from the base folder", {"--basedir=/srv/db"}, {"--basedir=/srv/db", "--datadir=/srv/db/data"}},
      {"none", {"--no-defaults"}, {"--no-defaults"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EmbeddedServerLines(c.lines, EmbeddedDataFolder(c.lines)), c.server) << c.name;
}

}  // namespace
}  // namespace dac
