// The threads of the server lookup: one services thread per lookup, which
// starts one service-names thread per host and waits for them all. A names
// thread reads its host's services and adds the host to the cache when one
// matches the keyword. Errors end a thread quietly (an unreachable host).
//
// Every thread owns what it reads (its hosts, keyword, the cache and the
// backend are shared or copied), so the caller may stop waiting, and the
// manager may go, while a slow host is still being asked.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dac {

class IServiceBackend;
class TServerCache;

// Set once, when a lookup has ended.
class TLookupDone {
 public:
  void Signal();
  // True when set within the time.
  bool WaitFor(uint64_t milliseconds);

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool done_ = false;
};

// What a lookup asks and where it puts what it finds.
struct TLookupRequest {
  std::string keyword;
  std::shared_ptr<TServerCache> cache;
  std::shared_ptr<IServiceBackend> backend;
};

class TDKServiceNamesThread {
 public:
  TDKServiceNamesThread(std::string host, TLookupRequest request);
  // Waits for the thread.
  ~TDKServiceNamesThread();
  TDKServiceNamesThread(const TDKServiceNamesThread&) = delete;
  TDKServiceNamesThread& operator=(const TDKServiceNamesThread&) = delete;

  void Start();
  void WaitFor();

 private:
  void Execute();

  std::string host_;
  TLookupRequest request_;
  std::thread thread_;
};

class TDKServicesThread {
 public:
  // Looks the hosts up on a thread of its own, which frees itself at the
  // end and then sets the answered signal.
  static std::shared_ptr<TLookupDone> Start(std::vector<std::string> hosts, TLookupRequest request);

 private:
  TDKServicesThread(std::vector<std::string> hosts, TLookupRequest request);
  void Execute();

  std::vector<std::string> hosts_;
  TLookupRequest request_;
  std::shared_ptr<TLookupDone> done_ = std::make_shared<TLookupDone>();
};

}  // namespace dac
