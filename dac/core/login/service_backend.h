// The operating system's service manager and network server list, as the
// server lookup reaches them: bound once, on first use, to the platform's
// backend. This platform has neither, so its backend is the unbound one:
// every call raises "function is not linked". Tests bind a backend of their
// own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"

namespace dac {

// A service manager or service handle; 0 is none.
using TServiceHandle = uint64_t;

// Access rights and codes the lookup passes.
constexpr uint32_t kGenericRead = 0x80000000;
constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceAllAccess = 0xF01FF;
constexpr uint32_t kServiceWin32 = 0x30;
constexpr uint32_t kServiceStateAll = 3;
constexpr uint32_t kServiceControlStop = 1;
constexpr uint32_t kServerInfoLevel100 = 100;
constexpr uint32_t kServerTypeWorkstation = 1;

struct TServiceStatusEntry {
  std::string ServiceName;
  std::string DisplayName;
  // The system's state code, 1 stopped .. 7 paused.
  uint32_t CurrentState = 0;
};

class IServiceBackend {
 public:
  virtual ~IServiceBackend() = default;
  // Each call answers 0, or the system's error code when it failed. A
  // machine name "" is this machine.
  virtual uint32_t OpenSCManager(const std::string& machine, uint32_t access, TServiceHandle& manager) = 0;
  virtual uint32_t CloseServiceHandle(TServiceHandle handle) = 0;
  virtual uint32_t OpenService(TServiceHandle manager, const std::string& name, uint32_t access,
                               TServiceHandle& service) = 0;
  virtual uint32_t EnumServicesStatus(TServiceHandle manager, uint32_t type, uint32_t state,
                                      std::vector<TServiceStatusEntry>& services) = 0;
  virtual uint32_t QueryServiceStatus(TServiceHandle service, uint32_t& current_state) = 0;
  virtual uint32_t StartService(TServiceHandle service, const std::vector<std::string>& arguments) = 0;
  virtual uint32_t ControlService(TServiceHandle service, uint32_t control, uint32_t& current_state) = 0;
  // The computers of the local domain of a server type, at an information
  // level; the names as the system gives them. The list is the caller's, so
  // there is no buffer to give back.
  virtual uint32_t NetServerEnum(uint32_t level, uint32_t server_type, std::vector<std::u16string>& names) = 0;
  // The system's text for an error code.
  virtual std::string ErrorText(uint32_t code) = 0;
};

// Raises EOSError "System Error.  Code: <code>.\r\n<text>".
[[noreturn]] void RaiseOSError(IServiceBackend& backend, uint32_t code);

// The bound backend.
std::shared_ptr<IServiceBackend> ServiceBackend();
// Binds another backend and returns the previous one; null binds the
// platform's again.
std::shared_ptr<IServiceBackend> SetServiceBackend(std::shared_ptr<IServiceBackend> backend);

}  // namespace dac
