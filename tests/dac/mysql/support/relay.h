// A TCP relay that tests put between the library and the test server. It
// passes every byte on, records the statements that go by, and cuts a
// session at a chosen statement: before the server sees it, after the
// server ran it (its answer lost), or in the middle of its answer. It can
// also play a server that is down. One thread of its own serves every
// session; the test talks to it from its own thread.
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
