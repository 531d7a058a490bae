#include "dac/core/login/net_manager.h"

#include <algorithm>
#include <limits>

#include "dac/core/login/server_cache.h"
#include "dac/core/login/service_threads.h"
#include "dac/store/runtime/host_hooks.h"
#include "platform/clock.h"

namespace dac {

namespace {

// The busy cursor for one scope, off again whatever happens.
class BusyCursor {
 public:
  BusyCursor() { StartWait(); }
  ~BusyCursor() { StopWait(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

uint32_t SecondsToTicks(int seconds) {
  const int64_t ms = int64_t{std::max(seconds, 0)} * 1000;
  return static_cast<uint32_t>(std::min<int64_t>(ms, std::numeric_limits<uint32_t>::max()));
}

std::vector<std::string> LinesOf(const TStrings& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

}  // namespace

TDKNetManager::TDKNetManager() : cache_(std::make_shared<TServerCache>()) {}

TDKNetManager::~TDKNetManager() { cache_->Clear(); }

bool TDKNetManager::CacheExpired(uint32_t cache_ms) {
  const uint32_t now = plat::ProcessClock().TickCount();
  std::lock_guard<std::mutex> guard(time_lock_);
  return !built_ || now < cache_time_ || now - cache_time_ > cache_ms;
}

void TDKNetManager::MarkBuilt() {
  const uint32_t now = plat::ProcessClock().TickCount();
  std::lock_guard<std::mutex> guard(time_lock_);
  cache_time_ = now;
  built_ = true;
}

void TDKNetManager::GetServerList(TStrings& list, const std::string& keyword, int wait_seconds, int cache_seconds) {
  list.Clear();
  if (wait_seconds <= 0) return;
  const BusyCursor busy;
  TStringList hosts;
  hosts.SetSorted(true);
  if (CacheExpired(SecondsToTicks(cache_seconds))) {
    GetServerList(hosts);
    hosts.Add("localhost");
    const std::shared_ptr<TLookupDone> done =
        TDKServicesThread::Start(LinesOf(hosts), TLookupRequest{keyword, cache_, ServiceBackend()});
    done->WaitFor(SecondsToTicks(wait_seconds));
    MarkBuilt();
  }
  if (const std::optional<std::vector<std::string>> cached = cache_->Lookup(keyword)) {
    hosts.Clear();
    for (const std::string& host : *cached) hosts.Add(host);
  }
  list.AddStrings(hosts);
}

void TDKNetManager::AddToCachedServerList(const std::string& keyword, const std::string& host) {
  cache_->Add(keyword, host);
}

void TDKNetManager::ClearCachedServerList() { cache_->Clear(); }

TDKNetManager& DKNetManager() {
  static TDKNetManager manager;
  return manager;
}

}  // namespace dac
