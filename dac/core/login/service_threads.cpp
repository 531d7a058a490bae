#include "dac/core/login/service_threads.h"

#include <chrono>

#include "dac/core/login/net_manager.h"
#include "dac/core/login/server_cache.h"
#include "platform/ascii.h"

namespace dac {

namespace {

// A line of the keyword occurs in a lower-cased name of a service. Empty
// lines match nothing.
bool AnyServiceMatches(const TDKServicesInfo& services, const std::string& keyword) {
  TStringList lines;
  lines.SetText(keyword);
  for (const TDKServiceInfo& service : services) {
    const std::string name = plat::AsciiLowerCase(service.ServiceName);
    const std::string display = plat::AsciiLowerCase(service.DisplayName);
    for (int i = 0; i < lines.Count(); ++i) {
      const std::string& line = lines.Strings(i);
      if (!line.empty() && (name.find(line) != std::string::npos || display.find(line) != std::string::npos))
        return true;
    }
  }
  return false;
}

}  // namespace

void TLookupDone::Signal() {
  std::lock_guard<std::mutex> guard(lock_);
  done_ = true;
  changed_.notify_all();
}

bool TLookupDone::WaitFor(uint64_t milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return done_; });
}

TDKServiceNamesThread::TDKServiceNamesThread(std::string host, TLookupRequest request)
    : host_(std::move(host)), request_(std::move(request)) {}

TDKServiceNamesThread::~TDKServiceNamesThread() { WaitFor(); }

void TDKServiceNamesThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TDKServiceNamesThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TDKServiceNamesThread::Execute() {
  try {
    if (AnyServiceMatches(TDKNetManager::GetServiceNames(*request_.backend, host_), request_.keyword))
      request_.cache->Add(request_.keyword, host_);
  } catch (...) {
    // The host did not answer: it is simply not listed.
  }
}

TDKServicesThread::TDKServicesThread(std::vector<std::string> hosts, TLookupRequest request)
    : hosts_(std::move(hosts)), request_(std::move(request)) {}

std::shared_ptr<TLookupDone> TDKServicesThread::Start(std::vector<std::string> hosts, TLookupRequest request) {
  std::unique_ptr<TDKServicesThread> lookup(new TDKServicesThread(std::move(hosts), std::move(request)));
  std::shared_ptr<TLookupDone> done = lookup->done_;
  std::thread([lookup = std::move(lookup)] { lookup->Execute(); }).detach();
  return done;
}

void TDKServicesThread::Execute() {
  try {
    std::vector<std::unique_ptr<TDKServiceNamesThread>> threads;
    for (const std::string& host : hosts_) {
      threads.push_back(std::make_unique<TDKServiceNamesThread>(host, request_));
      threads.back()->Start();
    }
    for (const auto& thread : threads) thread->WaitFor();
  } catch (...) {
    // No thread for a host: the hosts already asked still answer.
  }
  done_->Signal();
}

}  // namespace dac
