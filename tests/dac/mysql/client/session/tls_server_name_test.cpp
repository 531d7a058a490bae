// A hostile server holding a certificate that the trusted authority signed
// for another name: the TLS handshake itself succeeds, and only the name
// check stops the client, the library's own protocol and the client
// library alike. The certificates come from scripts/with-mariadb; skipped
// without them.
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <string>

#include "dac/mysql/client/api/mysql_api_client.h"
#include "dac/mysql/client/api/mysql_api_direct.h"
#include "dac/mysql/client/session/mysql_session.h"
#include "tests/dac/mysql/client/fake_server.h"
#include "tests/dac/mysql/client/server_test_support.h"

namespace dac {
namespace {

using testing::ErrorCodeOf;
using testing::FakeServer;
using testing::Greeting;
using testing::PeerSocket;

const uint8_t kSalt[20] = {'s', '4', 'L', 't', '!', 'q', '9', 'Z', 'x', '2', 'W', '#', 'e', '7', 'R', 'p', '0', 'o', 'K', 'm'};
// The 4.1 capabilities with TLS, without compression.
constexpr uint16_t kCapabilitiesTls = (0xF7FF | 0x0800) & ~0x0020;

// Greets offering TLS, takes the client's TLS request, completes the
// handshake with the certificate and reads what follows (the log-in, when
// the client took the certificate); then hangs up.
void StandIn(PeerSocket& peer, const std::string& cert, const std::string& key, bool& logged_in) {
  // OpenSSL writes to a client that may have gone: a failed write, not SIGPIPE.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  const timeval ten_seconds{10, 0};
  ::setsockopt(peer.fd(), SOL_SOCKET, SO_RCVTIMEO, &ten_seconds, sizeof ten_seconds);
  // The client library wants authentication plugins offered (upper capabilities).
  TBytes greeting = Greeting(kCapabilitiesTls, kSalt);
  greeting[38] |= 0x08;
  peer.Send(greeting, 0);
  if (!peer.ReadPacket()) return;
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (SSL_CTX_use_certificate_chain_file(context, cert.c_str()) == 1 &&
      SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) == 1) {
    SSL* connection = SSL_new(context);
    SSL_set_fd(connection, peer.fd());
    if (SSL_accept(connection) == 1) {
      char login[512];
      logged_in = SSL_read(connection, login, sizeof login) > 0;
    }
    SSL_free(connection);
  }
  SSL_CTX_free(context);
}

TEST(TlsServerNameTest, TheCertificateMustNameTheHostConnectedTo) {
  REQUIRE_TEST_SERVER(s);
  if (s.elsewhere_cert.empty() || s.common_name_cert.empty()) GTEST_SKIP() << "no certificates for other names";
  const std::string server_cert = s.ssl_ca;
  const std::string server_key = s.ssl_ca.substr(0, s.ssl_ca.rfind("server-cert.pem")) + "server-key.pem";
  struct Case {
    const char* name;
    std::string cert, key, host;
    bool with_ca;
    std::string refusal;  // in the 2026 message; empty: the name passes and the log-in follows
  };
  const Case cases[] = {
      {"another host's, by IP address", s.elsewhere_cert, s.elsewhere_key, "127.0.0.1", true,
       "the server's certificate is not for '127.0.0.1': it names DNS:elsewhere.invalid"},
      {"another host's, by name", s.elsewhere_cert, s.elsewhere_key, "localhost", true,
       "not for 'localhost': it names DNS:elsewhere.invalid (common name 'elsewhere.invalid')"},
      {"another host's, without a CA: unverified", s.elsewhere_cert, s.elsewhere_key, "127.0.0.1", false, ""},
      {"the address as common name", s.common_name_cert, s.common_name_key, "127.0.0.1", true, ""},
      {"the address as common name, by name", s.common_name_cert, s.common_name_key, "localhost", true,
       "not for 'localhost': it names no alternative names (common name '127.0.0.1')"},
      {"the server's, by IP address", server_cert, server_key, "127.0.0.1", true, ""},
      {"the server's, by name", server_cert, server_key, "localhost", true, ""},
  };
  TMySQLAPIClient& client = MyAPIClient();
  client.CheckMySQLLib();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool logged_in = false;
    {
      FakeServer server([&](PeerSocket& peer) { StandIn(peer, c.cert, c.key, logged_in); });
      TMySqlSession session;
      session.SetConnectTimeout(10);
      session.SetProtocol(MYSQL_PROTOCOL_SSL);
      session.SetSslSettings("", "", c.with_ca ? s.ssl_ca : "", "", "");
      std::string message;
      const int32_t code =
          ErrorCodeOf([&] { session.Connect(c.host, "user", "pw", "", server.Port(), "", 0); }, &message);
      EXPECT_EQ(code, c.refusal.empty() ? kCrServerLost : kCrSslConnectionError) << message;
      EXPECT_NE(message.find(c.refusal), std::string::npos) << message;
    }
    EXPECT_EQ(logged_in, c.refusal.empty());
    // Both APIs, over TCP to the same names, by the same rules, whichever
    // of the protocol and the TLS settings is set first.
    for (TMySQLAPI* api : {static_cast<TMySQLAPI*>(&client), static_cast<TMySQLAPI*>(&MyAPIDirect())})
      for (const bool tls_first : {false, true}) {
        SCOPED_TRACE(std::string(api == &client ? "client library" : "direct") + (tls_first ? ", TLS first" : ""));
        logged_in = false;
        {
          FakeServer server([&](PeerSocket& peer) { StandIn(peer, c.cert, c.key, logged_in); });
          const PMySqlCon con = api->mysql_init(nullptr);
          const uint32_t ten = 10, tcp = MYSQL_PROTOCOL_TCP;
          api->mysql_options(con, MYSQL_OPT_CONNECT_TIMEOUT, &ten);
          const char* ca = c.with_ca ? s.ssl_ca.c_str() : nullptr;
          if (tls_first) api->mysql_ssl_set(con, nullptr, nullptr, ca, nullptr, nullptr);
          api->mysql_options(con, MYSQL_OPT_PROTOCOL, &tcp);
          if (!tls_first) api->mysql_ssl_set(con, nullptr, nullptr, ca, nullptr, nullptr);
          api->mysql_real_connect(con, c.host.c_str(), "user", "pw", nullptr, static_cast<uint32_t>(server.Port()),
                                  nullptr, 0);
          EXPECT_NE(api->mysql_errno(con), 0u);
          if (!c.refusal.empty()) {
            EXPECT_EQ(api->mysql_errno(con), kCrSslConnectionError) << api->mysql_error(con);
          }
          api->mysql_close(con);
        }
        EXPECT_EQ(logged_in, c.refusal.empty());
      }
  }
}

}  // namespace
}  // namespace dac
