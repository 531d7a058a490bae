// A TCP relay that tests put between the library and the test server. It
// passes every byte on, records the statements that go by, and cuts a
// session at a chosen statement: before the server sees it, after the
// server ran it (its answer lost), or in the middle of its answer (of a
// query, or of the execute of a prepared statement). As a man in the middle
// would, it can take the TLS offer out of the server's greeting and alter a
// byte of an answer. It can also play a server that is down. One thread of
// its own serves every session; the test talks to it from its own thread.
//
// It reads the client's side as MySQL packets only up to a request for TLS
// or compression; such a session is relayed without looking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dac::testing {

class Relay {
 public:
  enum class Cut : uint8_t {
    kBefore,   // the statement never reaches the server
    kAfter,    // the server runs it; its answer never comes back
    kInReply,  // the first bytes of its answer come back, then the cut
    // As kInReply, for the answer to an execute of the statement last
    // prepared on its session from such a text (the prepare passes).
    kInExecuteReply,
  };

  // Listens on 127.0.0.1 at a free port and relays to host:port.
  Relay(const std::string& host, int port);
  ~Relay();
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  int Port() const;
  // The occurrence-th statement from now (over all sessions) that holds
  // text cuts its session as `when` says; reply_bytes of the answer pass
  // with kInReply. One cut waits at a time; a new one replaces it.
  void CutOn(const std::string& text, Cut when, int occurrence = 1, size_t reply_bytes = 0);
  // The answer to the next statement that holds text comes back with its
  // byte at offset (counted from its first packet's header) set to value.
  void AlterReply(const std::string& text, size_t offset, uint8_t value);
  // While set, sessions accepted are greeted without the server's TLS offer.
  void SetStripTls(bool strip);
  // Log-in packets that went to the server in clear, TLS not asked for.
  int PlainLogins() const;
  // While down, new sessions are accepted and closed at once.
  void SetDown(bool down);
  // Every statement text sent (queries and statements to prepare), in order.
  std::vector<std::string> Statements() const;
  // How many of them hold text.
  int Count(const std::string& text) const;
  // Forgets the statements seen.
  void ClearStatements();
  // Sessions cut so far.
  int Cuts() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dac::testing
