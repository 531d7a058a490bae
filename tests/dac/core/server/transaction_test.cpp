#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dac/core/server/da_errors.h"
#include "dac/core/server/transaction.h"
#include "dac/framework/classes/application.h"
#include "tests/dac/core/support/assertion_text.h"
#include "tests/dac/core/support/fake_coordinator.h"
#include "tests/dac/core/support/fake_provider.h"
#include "tests/dac/core/support/hooked_errors.h"
#include "tests/dac/framework/error_text.h"

namespace dac::test {
namespace {

constexpr HResult kFailure = static_cast<HResult>(0x80004005u);

// Two connected members of one server.
struct Members {
  std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
  FakeConnection first{server};
  FakeConnection second{server};
  Members() {
    first.Connect("");
    second.Connect("");
  }
};

TEST(Transaction, StartsEnlistsAndEndsAsAWhole) {
  FakeCoordinator coordinator;
  Members m;
  TDKTransaction t;
  t.AddConnection(&m.first);
  t.AddConnection(&m.second);
  t.AddConnection(&m.first);
  EXPECT_EQ(t.TransactionLinks().Count(), 2);

  EXPECT_EQ(ErrorOf([&] { t.Commit(); }), "Transaction must be active to perform this operation");
  t.StartTransaction();
  EXPECT_TRUE(t.GetActive());
  EXPECT_EQ(coordinator.isolation_levels, std::vector<int32_t>{kIsolationReadCommitted});
  EXPECT_EQ(m.first.calls.enlist + m.second.calls.enlist, 2);
  EXPECT_EQ(m.second.GetTransaction(), &t);
  EXPECT_EQ(ErrorOf([&] { t.SetProp(prIsolationLevel, 1); }), "Cannot perform operation when transaction is active");
  EXPECT_EQ(ErrorOf([&] { t.StartTransaction(); }), "Cannot perform operation when transaction is active");

  // A member added while active is enlisted at once; one removed is unenlisted.
  FakeConnection third{m.server};
  third.Connect("");
  t.AddConnection(&third);
  EXPECT_EQ(third.calls.enlist, 1);
  EXPECT_TRUE(t.RemoveConnection(&third));
  EXPECT_EQ(third.calls.unenlist, 1);
  EXPECT_EQ(third.GetTransaction(), nullptr);
  EXPECT_FALSE(t.RemoveConnection(&third));

  t.Commit();
  EXPECT_FALSE(t.GetActive());
  EXPECT_EQ(coordinator.calls.commit, 1);
  EXPECT_EQ(coordinator.calls.get_manager, 1);

  t.SetProp(prIsolationLevel, 1);
  Variant level;
  t.GetProp(prIsolationLevel, level);
  EXPECT_EQ(level.AsInt32(), 1);
  t.StartTransaction();
  t.Rollback();
  EXPECT_EQ(coordinator.isolation_levels.back(), kIsolationSerializable);
  EXPECT_EQ(coordinator.calls.abort, 1);
  EXPECT_EQ(coordinator.calls.get_manager, 1) << "the dispenser is kept";
  EXPECT_EQ(AssertionTextOf([&] { t.GetProp(prDefaultCloseAction, level); }), "34");
  EXPECT_EQ(AssertionTextOf([&] { t.SetProp(99, 0); }), "99");
}

TEST(Transaction, StartFailsBeforeTheCoordinatorWhenAMemberIsClosed) {
  Members m;
  m.second.Disconnect();
  TDKTransaction t;
  t.AddConnection(&m.first);
  t.AddConnection(&m.second);
  {
    FakeCoordinator coordinator;
    EXPECT_EQ(ErrorOf([&] { t.StartTransaction(); }), "One of the connections in the transaction is not active");
    EXPECT_EQ(coordinator.calls.load, 0);
  }
  // Without a coordinator, this platform's: after the members' check.
  m.second.Connect("");
  EXPECT_EQ(ErrorOf([&] { t.StartTransaction(); }), "Can not find xolehlp.dll");
  EXPECT_FALSE(t.GetActive());

  FakeCoordinator lacking;
  lacking.missing_entry_point = true;
  EXPECT_EQ(ErrorOf([&] { t.StartTransaction(); }), "Function is not linked");
}

TEST(Transaction, FailingEnlistmentAbortsAndPassesItsErrorOn) {
  struct Case {
    const char* name;
    bool supported;
    HResult abort_result;
    const char* error;
    size_t hooked;
  };
  for (const Case& c :
       {Case{"refused", true, 0, "Enlisting failed", 0}, Case{"abort fails too", true, kFailure, "Enlisting failed", 1},
        Case{"provider cannot enlist", false, 0, "MS DTC transactions not supported", 0}}) {
    SCOPED_TRACE(c.name);
    FakeCoordinator coordinator;
    coordinator.abort_result = c.abort_result;
    HookedErrors hooked;
    Members m;
    m.second.enlist_supported = c.supported;
    m.second.enlist_error = c.supported ? 1234 : 0;
    TDKTransaction t;
    t.AddConnection(&m.first);
    t.AddConnection(&m.second);
    EXPECT_EQ(ErrorOf([&] { t.StartTransaction(); }), c.error);
    EXPECT_FALSE(t.GetActive());
    EXPECT_EQ(coordinator.calls.abort, 1);
    EXPECT_EQ(hooked.texts.size(), c.hooked);
  }
}

TEST(Transaction, DestroyedWhileActiveClosesByDefaultActionAndNeverThrows) {
  struct Case {
    uint8_t action;
    HResult result;
    int commits, aborts;
    size_t hooked;
  };
  for (const Case& c :
       {Case{taCommit, 0, 1, 0, 0}, Case{taCommit, kFailure, 1, 0, 1}, Case{taRollback, kFailure, 0, 1, 1}}) {
    FakeCoordinator coordinator;
    coordinator.commit_result = coordinator.abort_result = c.result;
    HookedErrors hooked;
    Members m;
    {
      auto t = std::make_unique<TDKTransaction>();
      t->AddConnection(&m.first);
      t->SetProp(prDefaultCloseAction, c.action);
      t->StartTransaction();
      t.reset();
    }
    EXPECT_EQ(coordinator.calls.commit, c.commits);
    EXPECT_EQ(coordinator.calls.abort, c.aborts);
    EXPECT_EQ(hooked.texts.size(), c.hooked);
    EXPECT_EQ(m.first.GetTransaction(), nullptr) << "no member points at a destroyed transaction";
  }
}

}  // namespace
}  // namespace dac::test
