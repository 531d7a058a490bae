// TDKNetManager: finds the computers of the local network that run a
// service matching a keyword (for the connect dialog's server list), and
// controls services through the service manager of a computer. The system
// calls go through the bound service backend (service_backend.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dac/core/login/service_backend.h"
#include "dac/framework/classes/string_list.h"

namespace dac {

class TServerCache;

enum TDKServiceStatus : uint8_t {
  ssStopped,
  ssStartPending,
  ssStopPending,
  ssRunning,
  ssContinuePending,
  ssPausePending,
  ssPaused,
};

struct TDKServiceInfo {
  std::string ServiceName;
  std::string DisplayName;
  TDKServiceStatus Status = ssStopped;
};
using TDKServicesInfo = std::vector<TDKServiceInfo>;

// The status of the system's state code 1 .. 7; any other raises
// "Unknown service status $%X (%d)".
TDKServiceStatus ServiceStatusOf(uint32_t state);

class TDKNetManager {
 public:
  TDKNetManager();
  // Clears the cache; lookups still running keep their share of it.
  ~TDKNetManager();
  TDKNetManager(const TDKNetManager&) = delete;
  TDKNetManager& operator=(const TDKNetManager&) = delete;

  // ---- the service manager; failures raise EOSError ----
  // "localhost" (trimmed, any case) is this machine.
  static void ServiceManagerOpen(const std::string& server, bool read_only, TServiceHandle& manager);
  static void ServiceManagerClose(TServiceHandle manager);
  // The manager, then the service with full access; the manager is closed
  // again when the service does not open.
  static void ServiceOpen(const std::string& server, const std::string& service_name, bool read_only,
                          TServiceHandle& manager, TServiceHandle& service);
  static void ServiceClose(TServiceHandle manager, TServiceHandle service);
  static TDKServicesInfo GetServiceNames(const std::string& server);
  static TDKServicesInfo GetServiceNames(IServiceBackend& backend, const std::string& server);
  static TDKServiceStatus GetServiceStatus(const std::string& server, const std::string& service_name);
  // The parameters are split like a command line into the arguments.
  static void ServiceStart(const std::string& server, const std::string& service_name, const std::string& parameters);
  static void ServiceStop(const std::string& server, const std::string& service_name);
  // The network's computers; "NetServerEnum error <code>" on failure.
  static void GetServerList(TStrings& list);

  // The hosts running a service whose lower-cased name or display name
  // holds a line of the keyword. The network is asked again once the cache
  // time has passed, waiting at most wait_seconds for the hosts' answers;
  // later answers reach the cache, and so the next call. wait_seconds 0
  // answers nothing.
  void GetServerList(TStrings& list, const std::string& keyword, int wait_seconds, int cache_seconds);
  void AddToCachedServerList(const std::string& keyword, const std::string& host);
  void ClearCachedServerList();

 private:
  // The network must be asked again; the cache is older than cache_ms, or
  // was never built.
  bool CacheExpired(uint32_t cache_ms);
  void MarkBuilt();

  std::shared_ptr<TServerCache> cache_;
  std::mutex time_lock_;
  uint32_t cache_time_ = 0;
  bool built_ = false;
};

// The process's manager, made on first use.
TDKNetManager& DKNetManager();

}  // namespace dac
