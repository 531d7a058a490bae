#include "tests/dac/core/support/fake_coordinator.h"

namespace dac::test {

namespace {

class FakeCoordinatorTransaction : public ITransaction {
 public:
  explicit FakeCoordinatorTransaction(FakeCoordinator& coordinator) : coordinator_(coordinator) {}
  HResult Commit() override {
    ++coordinator_.calls.commit;
    return coordinator_.commit_result;
  }
  HResult Abort() override {
    ++coordinator_.calls.abort;
    return coordinator_.abort_result;
  }

 private:
  FakeCoordinator& coordinator_;
};

class FakeDispenser : public ITransactionDispenser {
 public:
  explicit FakeDispenser(FakeCoordinator& coordinator) : coordinator_(coordinator) {}
  HResult BeginTransaction(int32_t isolation_level, std::shared_ptr<ITransaction>& transaction) override {
    ++coordinator_.calls.begin;
    coordinator_.isolation_levels.push_back(isolation_level);
    if (Failed(coordinator_.begin_result)) return coordinator_.begin_result;
    transaction = std::make_shared<FakeCoordinatorTransaction>(coordinator_);
    return 0;
  }

 private:
  FakeCoordinator& coordinator_;
};

class FakeLibrary : public ICoordinatorLibrary {
 public:
  explicit FakeLibrary(FakeCoordinator& coordinator) : coordinator_(coordinator) {}
  TDtcGetTransactionManagerEx FindTransactionManagerEntry() override {
    if (coordinator_.missing_entry_point) return nullptr;
    return [this](std::shared_ptr<ITransactionDispenser>& dispenser) {
      ++coordinator_.calls.get_manager;
      if (Failed(coordinator_.manager_result)) return coordinator_.manager_result;
      dispenser = std::make_shared<FakeDispenser>(coordinator_);
      return HResult{0};
    };
  }

 private:
  FakeCoordinator& coordinator_;
};

}  // namespace

FakeCoordinator::FakeCoordinator() {
  FreeMSDTC();
  previous_ = SetCoordinatorLibraryLoader([this]() -> std::unique_ptr<ICoordinatorLibrary> {
    ++calls.load;
    return std::make_unique<FakeLibrary>(*this);
  });
}

FakeCoordinator::~FakeCoordinator() {
  FreeMSDTC();
  SetCoordinatorLibraryLoader(std::move(previous_));
}

}  // namespace dac::test
