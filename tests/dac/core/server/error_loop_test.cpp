#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "dac/core/server/da_errors.h"
#include "dac/framework/classes/component.h"
#include "tests/dac/core/support/fake_provider.h"

namespace dac::test {
namespace {

// One call of the error hook as it saw it.
struct HookCall {
  const Exception* error;
  int32_t attempt;
  bool connected;
};

// A connection with an error hook that records every call and answers
// through `decide` (attempt, fail, reconnect, reexecute, cause).
struct ErrorLoop {
  std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
  FakeConnection connection{server};
  std::vector<HookCall> calls;
  std::function<void(int32_t, bool&, bool&, bool&, TConnLostCause&)> decide;
  int reconnects = 0;
  std::vector<bool> connected_while_notified;

  ErrorLoop() {
    connection.SetOnError(
        [this](Exception& e, bool& fail, bool& reconnect, bool& reexecute, int32_t attempt, TConnLostCause& cause) {
          calls.push_back({&e, attempt, connection.GetConnected()});
          if (decide) decide(attempt, fail, reconnect, reexecute, cause);
        });
    connection.SetOnReconnect([this] { ++reconnects; });
    connection.SetOnDisconnect([this] { connected_while_notified.push_back(connection.GetConnected()); });
    connection.Connect("");
  }
};

TEST(ErrorLoop, ServerThatStaysDownIsRetriedUntilTheHookGivesUp) {
  ErrorLoop loop;
  loop.server->SetUp(false);
  loop.decide = [](int32_t attempt, bool&, bool& reconnect, bool&, TConnLostCause&) { reconnect = attempt < 3; };

  try {
    loop.connection.Run("SELECT 1", nullptr);
    FAIL() << "no error";
  } catch (const EDAError& e) {
    EXPECT_EQ(e.ErrorCode(), FakeServer::kLostConnection);
  }
  ASSERT_EQ(loop.calls.size(), 4u);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(loop.calls[i].attempt, i);
    EXPECT_EQ(loop.calls[i].error, loop.calls[0].error) << "the same exception at every attempt";
  }
  // The failing reconnects raised through the loop again without reaching the hook.
  EXPECT_EQ(loop.connection.calls.disconnect, 1);
  EXPECT_EQ(loop.connection.calls.connect, 1 + 3);
  EXPECT_EQ(loop.reconnects, 0);
  EXPECT_EQ(loop.connected_while_notified, std::vector<bool>{true});
  EXPECT_FALSE(loop.connection.GetConnected());
}

TEST(ErrorLoop, SuccessfulReconnectRaisesFailOverOnlyWhenAskedToReexecute) {
  struct Case {
    bool reexecute;
    bool fail;
    const char* outcome;
  };
  for (const Case& c : {Case{false, true, "EDAError"}, Case{false, false, "EAbort"}, Case{true, true, "EFailOver"}}) {
    SCOPED_TRACE(c.outcome);
    ErrorLoop loop;
    loop.server->ScriptError("SELECT 1", 1205, "Lock wait timeout");
    loop.decide = [&](int32_t, bool& fail, bool& reconnect, bool& reexecute, TConnLostCause& cause) {
      fail = c.fail;
      reconnect = true;
      reexecute = c.reexecute;
      cause = clOpen;
    };
    std::string outcome = "none";
    try {
      loop.connection.Run("SELECT 1", nullptr);
    } catch (const EFailOver& e) {
      outcome = "EFailOver";
      EXPECT_EQ(e.ConnLostCause(), clOpen);
    } catch (const EDAError& e) {
      outcome = "EDAError";
      EXPECT_EQ(e.ErrorCode(), 1205);
    } catch (const EAbort&) {
      outcome = "EAbort";
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(loop.calls.size(), 1u);
    EXPECT_EQ(loop.connection.calls.disconnect, 1);
    EXPECT_EQ(loop.connection.calls.connect, 2);
    EXPECT_EQ(loop.reconnects, 1);
    EXPECT_TRUE(loop.connection.GetReconnected());
    EXPECT_TRUE(loop.connected_while_notified.empty());
  }
}

TEST(ErrorLoop, ReentryIsIgnoredAndAThrowingHookLeavesTheGuardClear) {
  ErrorLoop loop;
  EDAError inner(1, "inner");
  loop.decide = [&](int32_t, bool&, bool&, bool&, TConnLostCause&) {
    bool inner_fail = true;
    loop.connection.DoError(inner, inner_fail);
    throw std::runtime_error("hook failed");
  };
  EDAError error(2, "outer");
  bool fail = true;
  EXPECT_THROW(loop.connection.DoError(error, fail), std::runtime_error);
  EXPECT_EQ(loop.calls.size(), 1u) << "the nested call reached no hook";

  loop.decide = nullptr;
  loop.connection.DoError(error, fail);
  EXPECT_EQ(loop.calls.size(), 2u) << "the guard was cleared";
  EXPECT_TRUE(fail);
}

TEST(ErrorLoop, WithoutAHookTheErrorNamesItsComponentAndNoReconnectRuns) {
  FakeConnection connection;
  connection.Connect("");
  connection.Server().ScriptError("DELETE FROM t", 1451, "Foreign key");
  TComponent* component = MakeComponent<TComponent>(nullptr);
  try {
    connection.Run("DELETE FROM t", component);
    FAIL() << "no error";
  } catch (const EDAError& e) {
    EXPECT_EQ(e.Component(), component);
    EXPECT_STREQ(e.what(), "Foreign key");
  }
  EXPECT_EQ(connection.calls.connect, 1);
  EXPECT_EQ(connection.calls.disconnect, 0);
  component->Free();
}

}  // namespace
}  // namespace dac::test
