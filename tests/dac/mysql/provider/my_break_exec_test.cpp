// BreakExec from another thread against the test server: the running
// statement ends and the session stays (its variables, its id), also over
// TLS with a client certificate; when no second session can be had, the
// call returns quietly and the statement runs to its end. Through the
// built-in protocol and the client library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/provider/my_command.h"
#include "dac/mysql/provider/my_property_codes.h"
#include "tests/dac/mysql/my_provider_test_support.h"
#include "tests/dac/mysql/support/relay.h"
#include "tests/support/eventually.h"

namespace dac {
namespace {

using testing::Relay;

class BreakExecTest : public ::testing::TestWithParam<testing::ApiUnderTest> {};

std::string One(TMySQLConnection& on, const std::string& sql) {
  const testing::Rows rows = testing::ApiQuery(on.GetAPI(), on.GetHandle(), sql);
  return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
}

TEST_P(BreakExecTest, TheStatementEndsAndTheSessionStays) {
  REQUIRE_TEST_SERVER(s);
  enum Kind { kPlain, kTlsWithCertificate, kSecondSessionRefused };
  struct Case {
    const char* name;
    Kind kind;
  };
  for (const Case& c : {Case{"plain", kPlain}, Case{"TLS with a client certificate", kTlsWithCertificate},
                        Case{"no second session", kSecondSessionRefused}}) {
    SCOPED_TRACE(c.name);
    Relay relay(s.host, s.port);
    auto running = std::make_unique<TMySQLConnection>();
    running->SetAPI(GetParam().api());
    running->SetServer(s.host);
    running->SetPort(c.kind == kSecondSessionRefused ? relay.Port() : s.port);
    running->SetUsername(s.user);
    running->SetPassword(s.password);
    running->SetDatabase(s.database);
    if (c.kind == kTlsWithCertificate) {
      // An account that logs in only with the client certificate.
      running->SetUsername(s.x509_user);
      running->SetProtocol(TMyProtocol::mpSSL);
      running->SetProp(prMySSLKey, Variant(s.client_key));
      running->SetProp(prMySSLCert, Variant(s.client_cert));
      running->SetProp(prMySSLCA, Variant(s.ssl_ca));
    }
    running->Connect("");
    running->ExecStatement("SET @kept = 42");
    const std::string id = One(*running, "SELECT CONNECTION_ID()");
    if (c.kind == kTlsWithCertificate) {
      const std::string cipher = "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                                 "WHERE VARIABLE_NAME = 'SSL_CIPHER'";
      ASSERT_NE(One(*running, cipher), "");
    }
    if (c.kind == kSecondSessionRefused) relay.SetDown(true);

    // Without a second session the statement must end by itself: it waits
    // for a lock the watcher holds until the break was tried.
    auto watcher = testing::OpenConnection(testing::DirectApi(), s);
    const std::string lock = "brk_" + id;
    if (c.kind == kSecondSessionRefused) watcher->ExecStatement("DO GET_LOCK('" + lock + "', 60)");
    TMySQLCommand command;
    command.SetConnection(running.get());
    command.SetSQL(c.kind == kSecondSessionRefused ? "DO GET_LOCK('" + lock + "', 3600)" : "DO SLEEP(3600)");
    std::thread breaker([&] {
      const std::string runs =
          "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + id + " AND INFO LIKE 'DO %'";
      EXPECT_TRUE(plat::testing::Eventually([&] { return One(*watcher, runs) == "1"; }));
      command.BreakExec();
      if (c.kind == kSecondSessionRefused) watcher->ExecStatement("DO RELEASE_LOCK('" + lock + "')");
    });
    try {
      command.Execute(1);
    } catch (const EAbort&) {
    }
    breaker.join();
    EXPECT_FALSE(command.GetExecuting());
    // The same session, its variable kept, and ready for the next statement.
    EXPECT_EQ(One(*running, "SELECT CONNECTION_ID()"), id);
    EXPECT_EQ(One(*running, "SELECT @kept"), "42");
    // Nothing running: nothing to break, no second session tried.
    relay.SetDown(false);
    const int statements = static_cast<int>(relay.Statements().size());
    command.BreakExec();
    EXPECT_EQ(static_cast<int>(relay.Statements().size()), statements);
  }
}

INSTANTIATE_TEST_SUITE_P(Api, BreakExecTest, ::testing::Values(testing::DirectApi(), testing::ClientApi(false)),
                         testing::ApiName);

}  // namespace
}  // namespace dac
