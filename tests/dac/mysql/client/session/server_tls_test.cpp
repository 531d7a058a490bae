// TLS against the private MariaDB server of scripts/with-mariadb, which
// serves a certificate made for the run; skipped without it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dac/mysql/client/session/mysql_session.h"
#include "dac/mysql/client/transport/tls_context.h"
#include "tests/dac/mysql/client/server_test_support.h"

namespace dac {
namespace {

using testing::ErrorCodeOf;
using testing::ExpectLostAfterKill;
using testing::Query;
using testing::Rows;
using testing::ServerSettings;
using testing::Single;

std::unique_ptr<TMySqlSession> TlsSession(const ServerSettings& s, const TlsSettings& tls, const std::string& user,
                                          uint32_t flags = 0, const std::string& host = "") {
  auto session = std::make_unique<TMySqlSession>();
  session->SetProtocol(MYSQL_PROTOCOL_SSL);
  session->SetSslSettings(tls.key, tls.cert, tls.ca, tls.ca_path, tls.cipher);
  session->Connect(host.empty() ? s.host : host, user, s.password, s.database, s.port, "", flags);
  return session;
}

std::string Status(TMySqlSession& session, const std::string& name) {
  const Rows rows = Query(session, "SHOW SESSION STATUS LIKE '" + name + "'");
  return rows.size() == 1 && rows[0][1] ? *rows[0][1] : "<none>";
}

TEST(ServerTlsTest, SettingsAndOutcomes) {
  REQUIRE_TEST_SERVER(s);
  const std::string missing = s.ssl_ca + ".missing";
  const std::string tls12_cipher = "ECDHE-RSA-AES128-GCM-SHA256";
  struct Case {
    const char* name;
    TlsSettings tls;
    std::string user;
    int32_t code;            // 0: logged in
    std::string in_message;  // a failure's message holds it
    std::string cipher;      // the cipher negotiated, when it must be this one
    std::string host = "";   // the test server's address when empty
  };
  const Case cases[] = {
      {"server's CA", {"", "", s.ssl_ca, "", ""}, s.user, 0, "", ""},
      {"server's CA, by the name in its certificate", {"", "", s.ssl_ca, "", ""}, s.user, 0, "", "", "localhost"},
      {"no CA: encrypted, unverified", {}, s.user, 0, "", ""},
      {"unrelated CA", {"", "", s.other_ca, "", ""}, s.user, 2026, "certificate verify failed", ""},
      {"TLS 1.2 cipher list", {"", "", s.ssl_ca, "", tls12_cipher}, s.user, 0, "", tls12_cipher},
      {"TLS 1.3 suite", {"", "", "", "", "TLS_AES_128_GCM_SHA256"}, s.user, 0, "", "TLS_AES_128_GCM_SHA256"},
      {"cipher list OpenSSL rejects", {"", "", s.ssl_ca, "", "NO-SUCH-CIPHER"}, s.user, 2026, "NO-SUCH-CIPHER", ""},
      {"client certificate", {s.client_key, s.client_cert, s.ssl_ca, "", ""}, s.x509_user, 0, "", ""},
      {"no client certificate", {"", "", s.ssl_ca, "", ""}, s.x509_user, 1045, "Access denied", ""},
      {"missing certificate", {s.client_key, missing, "", "", ""}, s.user, 2026, "certificate file '" + missing, ""},
      {"missing key", {missing, s.client_cert, "", "", ""}, s.user, 2026, "key file '" + missing + "'", ""},
      {"key of another certificate", {s.client_key, s.ssl_ca, "", "", ""}, s.user, 2026, "key file", ""},
      {"missing CA file", {"", "", missing, "", ""}, s.user, 2026, "CA file '" + missing + "'", ""},
      {"missing CA path", {"", "", "", missing, ""}, s.user, 2026, "CA path '" + missing + "'", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TMySqlSession> session;
    std::string message;
    ASSERT_EQ(ErrorCodeOf([&] { session = TlsSession(s, c.tls, c.user, 0, c.host); }, &message), c.code) << message;
    if (c.code != 0) {
      EXPECT_NE(message.find(c.in_message), std::string::npos) << message;
      continue;
    }
    EXPECT_EQ(session->GetHostInfo(), (c.host.empty() ? s.host : c.host) + " via SSL");
    const std::string version = Status(*session, "Ssl_version");
    EXPECT_TRUE(version == "TLSv1.2" || version == "TLSv1.3") << version;
    if (!c.cipher.empty()) {
      EXPECT_EQ(Status(*session, "Ssl_cipher"), c.cipher);
    }
    EXPECT_EQ(Single(*session, "SELECT CURRENT_USER()"), c.user + "@127.0.0.1");
  }
}

TEST(ServerTlsTest, LargeValuesBothWaysCompressedOrNotGiveWhatPlainTextGives) {
  REQUIRE_TEST_SERVER(s);
  TMySqlSession plain;
  plain.Connect(s.host, s.user, s.password, s.database, s.port, "", 0);
  const std::string sql =
      "SELECT seq, IF(seq % 7 = 0, NULL, REPEAT(CHAR(65 + seq % 26), seq % 300)) FROM seq_1_to_2000";
  const Rows expected = Query(plain, sql);
  const size_t size = 20'000'000;
  for (uint32_t flags : {0u, static_cast<uint32_t>(kClientCompress)}) {
    SCOPED_TRACE(flags ? "compressed" : "uncompressed");
    auto session = TlsSession(s, {"", "", s.ssl_ca, "", ""}, s.user, flags);
    EXPECT_EQ(session->GetNet().GetCompress(), flags != 0);
    EXPECT_EQ(Query(*session, sql), expected);
    EXPECT_EQ(Single(*session, "SELECT LENGTH('" + std::string(size, 'w') + "')"), std::to_string(size));
    const Rows big = Query(*session, "SELECT REPEAT('q', " + std::to_string(size) + ")");
    ASSERT_TRUE(big.size() == 1 && big[0][0]);
    EXPECT_EQ(*big[0][0], std::string(size, 'q'));
  }
}

TEST(ServerTlsTest, VanishedServerIsALostConnectionAndManyConnectionsLeakNothing) {
  REQUIRE_TEST_SERVER(s);
  auto victim = TlsSession(s, {}, s.user);
  ExpectLostAfterKill(s, *victim);
  // LeakSanitizer, in the sanitizer build, sees whatever a cycle leaves.
  for (int i = 0; i < 100; ++i) TlsSession(s, {"", "", s.ssl_ca, "", ""}, s.user)->Close();
}

}  // namespace
}  // namespace dac
