#include "dac/core/login/net_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "dac/framework/classes/database_error.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "tests/dac/framework/error_text.h"
#include "tests/support/eventually.h"

namespace dac::test {
namespace {

// Hosts and their services; "" is this machine. A slow host answers only
// once the gate opens; a host not listed cannot be reached.
class FakeServiceBackend : public IServiceBackend {
 public:
  struct Host {
    std::vector<TServiceStatusEntry> services;
    bool slow = false;
  };

  uint32_t OpenSCManager(const std::string& machine, uint32_t access, TServiceHandle& manager) override {
    std::lock_guard<std::mutex> guard(lock_);
    last_access = access;
    if (!hosts.contains(machine)) return 1722;
    manager = ++last_handle_;
    open_[manager] = machine;
    return 0;
  }
  uint32_t CloseServiceHandle(TServiceHandle handle) override {
    std::lock_guard<std::mutex> guard(lock_);
    return open_.erase(handle) == 1 ? 0 : 6;
  }
  uint32_t OpenService(TServiceHandle manager, const std::string&, uint32_t, TServiceHandle& service) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (open_service_error != 0) return open_service_error;
    service = ++last_handle_;
    open_[service] = open_[manager];
    return 0;
  }
  uint32_t EnumServicesStatus(TServiceHandle manager, uint32_t, uint32_t,
                              std::vector<TServiceStatusEntry>& services) override {
    std::unique_lock<std::mutex> guard(lock_);
    const Host& host = hosts.at(open_.at(manager));
    if (host.slow) gate_changed_.wait(guard, [this] { return gate_open_; });
    services = host.services;
    return 0;
  }
  uint32_t QueryServiceStatus(TServiceHandle, uint32_t& current_state) override {
    current_state = state;
    return 0;
  }
  uint32_t StartService(TServiceHandle, const std::vector<std::string>& arguments) override {
    started.push_back(arguments);
    return 0;
  }
  uint32_t ControlService(TServiceHandle, uint32_t control, uint32_t& current_state) override {
    controls.push_back(control);
    current_state = 3;
    return 0;
  }
  uint32_t NetServerEnum(uint32_t, uint32_t, std::vector<std::u16string>& names) override {
    ++enumerations;
    if (enum_error != 0) return enum_error;
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [name, host] : hosts)
      if (!name.empty()) names.push_back(plat::AnsiToUtf16(name));
    return 0;
  }
  std::string ErrorText(uint32_t code) override { return code == 1060 ? "No such service." : "Error."; }

  void SetGate(bool open) {
    std::lock_guard<std::mutex> guard(lock_);
    gate_open_ = open;
    gate_changed_.notify_all();
  }
  size_t OpenHandles() {
    std::lock_guard<std::mutex> guard(lock_);
    return open_.size();
  }

  std::map<std::string, Host> hosts;
  std::atomic<int> enumerations{0};
  uint32_t enum_error = 0;
  uint32_t open_service_error = 0;
  uint32_t last_access = 0;
  uint32_t state = 4;
  std::vector<std::vector<std::string>> started;
  std::vector<uint32_t> controls;

 private:
  std::mutex lock_;
  std::condition_variable gate_changed_;
  bool gate_open_ = false;
  TServiceHandle last_handle_ = 0;
  std::map<TServiceHandle, std::string> open_;
};

const FakeServiceBackend::Host kMySQLHost{{{"MySQL80", "MySQL80", 4}, {"Spooler", "Print Spooler", 1}}};
const FakeServiceBackend::Host kMariaDBHost{{{"mdb", "MariaDB Server", 4}}};
const FakeServiceBackend::Host kPlainHost{{{"Spooler", "Print Spooler", 4}}};

class NetManagerTest : public ::testing::Test {
 protected:
  NetManagerTest() {
    previous_ = SetServiceBackend(backend);
    clock.SetTickCount(1000000);
    StartWaitProc = [this] { ++busy_on; };
    StopWaitProc = [this] { ++busy_off; };
  }
  ~NetManagerTest() override {
    backend->SetGate(true);
    WaitForLookups();
    SetServiceBackend(previous_);
    StartWaitProc = nullptr;
    StopWaitProc = nullptr;
  }
  // Lookup threads hold the backend until they end.
  void WaitForLookups() {
    plat::testing::Eventually([&] { return backend.use_count() <= 2; });
    ASSERT_EQ(backend.use_count(), 2);
  }
  std::vector<std::string> Lookup(TDKNetManager& manager, const std::string& keyword, int wait, int cache = 120) {
    TStringList list;
    manager.GetServerList(list, keyword, wait, cache);
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
    return lines;
  }

  std::shared_ptr<FakeServiceBackend> backend = std::make_shared<FakeServiceBackend>();
  plat::ManualClock clock;
  plat::ScopedProcessClock scoped_clock{clock};
  int busy_on = 0;
  int busy_off = 0;

 private:
  std::shared_ptr<IServiceBackend> previous_;
};

using Hosts = std::vector<std::string>;

TEST_F(NetManagerTest, NetworkIsAskedOncePerCacheTime) {
  backend->hosts = {{"", kMySQLHost}, {"cedar", kMariaDBHost}, {"birch", kPlainHost}};
  TDKNetManager manager;
  const std::string keyword = "mysql\r\nmariadb";
  clock.SetTickCount(5000);  // soon after start-up, the first lookup still asks
  EXPECT_EQ(Lookup(manager, keyword, 5), (Hosts{"cedar", "localhost"}));
  EXPECT_EQ(backend->last_access, kGenericRead);
  clock.AdvanceTicks(120000);
  EXPECT_EQ(Lookup(manager, keyword, 5), (Hosts{"cedar", "localhost"}));
  EXPECT_EQ(backend->enumerations, 1);

  clock.AdvanceTicks(1);
  Lookup(manager, keyword, 5);
  EXPECT_EQ(backend->enumerations, 2);
  clock.SetTickCount(10);  // the tick count wrapped
  Lookup(manager, keyword, 5);
  EXPECT_EQ(backend->enumerations, 3);

  EXPECT_EQ(Lookup(manager, keyword, 0), Hosts{});
  EXPECT_EQ(Lookup(manager, "MySQL", 5), Hosts{});  // lines match lower-cased names as they are
  EXPECT_EQ(backend->enumerations, 3);
  EXPECT_EQ(busy_on, 5);
  EXPECT_EQ(busy_off, 5);
  EXPECT_EQ(backend->OpenHandles(), 0u);

  manager.ClearCachedServerList();
  manager.AddToCachedServerList("MYSQL", "oak");
  EXPECT_EQ(Lookup(manager, "mysql", 5), Hosts{"oak"});
}

TEST_F(NetManagerTest, SlowHostMissedByTheWaitAppearsLaterAndOutlivesItsManager) {
  backend->hosts = {{"cedar", kMySQLHost}, {"pine", kMySQLHost}};
  backend->hosts["pine"].slow = true;
  {
    TDKNetManager manager;
    EXPECT_EQ(Lookup(manager, "mysql", 1), Hosts{"cedar"});
    backend->SetGate(true);
    Hosts found;
    plat::testing::Eventually([&] {
      found = Lookup(manager, "mysql", 1);
      return found.size() >= 2;
    });
    EXPECT_EQ(found, (Hosts{"cedar", "pine"}));
    EXPECT_EQ(backend->enumerations, 1);
  }
  WaitForLookups();

  // The manager goes while a names thread still waits for its host.
  backend->SetGate(false);
  auto manager = std::make_unique<TDKNetManager>();
  EXPECT_EQ(Lookup(*manager, "mysql", 1), Hosts{"cedar"});
  manager.reset();
  backend->SetGate(true);
  WaitForLookups();
}

TEST_F(NetManagerTest, UnboundBackendRaisesAndTheBusyCursorGoesOff) {
  SetServiceBackend(nullptr);
  TDKNetManager manager;
  EXPECT_EQ(ErrorOf([&] { Lookup(manager, "mysql", 1); }), "function is not linked");
  EXPECT_EQ(busy_on, 1);
  EXPECT_EQ(busy_off, 1);
  EXPECT_EQ(ErrorOf([] { TDKNetManager::GetServiceStatus("localhost", "MySQL"); }), "function is not linked");
  SetServiceBackend(backend);
}

TEST_F(NetManagerTest, ServiceStatesAndFailures) {
  backend->hosts = {{"", kMySQLHost}};
  const TDKServiceStatus states[] = {ssStopped,         ssStartPending, ssStopPending, ssRunning,
                                     ssContinuePending, ssPausePending, ssPaused};
  for (uint32_t state = 1; state <= 7; ++state) {
    backend->state = state;
    EXPECT_EQ(TDKNetManager::GetServiceStatus(" LocalHost ", "MySQL80"), states[state - 1]);
  }
  for (uint32_t state : {0u, 8u, 255u}) {
    backend->state = state;
    EXPECT_EQ(ErrorOf([] { TDKNetManager::GetServiceStatus("localhost", "MySQL80"); }),
              Format("Unknown service status $%X (%u)", state, state));
  }
  EXPECT_EQ(TDKNetManager::GetServiceNames("localhost")[1].DisplayName, "Print Spooler");

  backend->open_service_error = 1060;
  try {
    TDKNetManager::ServiceStop("localhost", "Nothing");
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 1060u);
    EXPECT_STREQ(e.what(), "System Error.  Code: 1060.\r\nNo such service.");
  }
  EXPECT_EQ(backend->OpenHandles(), 0u);
  EXPECT_EQ(ErrorOf([] { TDKNetManager::GetServiceNames("elm"); }), "System Error.  Code: 1722.\r\nError.");
  backend->enum_error = 53;
  TStringList list;
  EXPECT_EQ(ErrorOf([&] { TDKNetManager::GetServerList(list); }), "NetServerEnum error 53");
}

TEST_F(NetManagerTest, StartParametersSplitLikeACommandLine) {
  backend->hosts = {{"", kMySQLHost}};
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {}},
      {"  -a\t -b ", {"-a", "-b"}},
      {"\"C:\\Program Files\\db\" --port=3307", {"C:\\Program Files\\db", "--port=3307"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\" x", {"x"}},
      {"\"\"\"\"y", {"y"}},
      {"x \"\"", {"x"}},
      {"\"open end", {"open end"}},
  };
  for (const auto& [parameters, arguments] : cases) {
    TDKNetManager::ServiceStart("localhost", "MySQL80", parameters);
    EXPECT_EQ(backend->started.back(), arguments) << parameters;
  }
  EXPECT_EQ(backend->last_access, kScManagerAllAccess);
  TDKNetManager::ServiceStop("localhost", "MySQL80");
  EXPECT_EQ(backend->controls, std::vector<uint32_t>{kServiceControlStop});
  EXPECT_EQ(backend->OpenHandles(), 0u);
}

}  // namespace
}  // namespace dac::test
