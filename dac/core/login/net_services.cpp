// TDKNetManager's service operations and network list, over the bound
// service backend.
#include "dac/core/login/net_manager.h"
#include "dac/framework/classes/database_error.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

namespace dac {

namespace {

void Check(IServiceBackend& backend, uint32_t status) {
  if (status != 0) RaiseOSError(backend, status);
}

TServiceHandle OpenManager(IServiceBackend& backend, const std::string& server, bool read_only) {
  const bool local = plat::AsciiLowerCase(plat::TrimBlanks(server)) == "localhost";
  TServiceHandle manager = 0;
  Check(backend, backend.OpenSCManager(local ? "" : server, read_only ? kGenericRead : kScManagerAllAccess, manager));
  if (manager == 0) RaiseOSError(backend, 0);
  return manager;
}

void OpenServiceHandles(IServiceBackend& backend, const std::string& server, const std::string& service_name,
                        bool read_only, TServiceHandle& manager, TServiceHandle& service) {
  const TServiceHandle opened = OpenManager(backend, server, read_only);
  TServiceHandle handle = 0;
  const uint32_t status = backend.OpenService(opened, service_name, kServiceAllAccess, handle);
  if (status != 0 || handle == 0) {
    backend.CloseServiceHandle(opened);
    RaiseOSError(backend, status);
  }
  manager = opened;
  service = handle;
}

void CloseHandles(IServiceBackend& backend, TServiceHandle manager, TServiceHandle service) {
  if (service != 0) backend.CloseServiceHandle(service);
  if (manager != 0) backend.CloseServiceHandle(manager);
}

// A service of the bound backend, open for one operation.
class OpenedService {
 public:
  OpenedService(const std::string& server, const std::string& service_name, bool read_only)
      : backend_(ServiceBackend()) {
    OpenServiceHandles(*backend_, server, service_name, read_only, manager_, service_);
  }
  ~OpenedService() { CloseHandles(*backend_, manager_, service_); }
  OpenedService(const OpenedService&) = delete;
  OpenedService& operator=(const OpenedService&) = delete;

  IServiceBackend& Backend() const { return *backend_; }
  TServiceHandle Handle() const { return service_; }
  void Check(uint32_t status) const { ::dac::Check(*backend_, status); }

 private:
  std::shared_ptr<IServiceBackend> backend_;
  TServiceHandle manager_ = 0;
  TServiceHandle service_ = 0;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Splits parameters as a command line: blanks separate arguments, a
// double-quoted part may hold blanks and loses its quotes, and a pair of
// double quotes at the start of an argument is skipped.
std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> arguments;
  size_t i = 0;
  for (;;) {
    for (;;) {
      while (i < text.size() && IsBlank(text[i])) ++i;
      if (i + 1 < text.size() && text[i] == '"' && text[i + 1] == '"')
        i += 2;
      else
        break;
    }
    if (i >= text.size()) return arguments;
    std::string argument;
    while (i < text.size() && !IsBlank(text[i])) {
      if (text[i] != '"') {
        argument += text[i++];
        continue;
      }
      const size_t close = text.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? text.size() : close;
      argument.append(text.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? end : end + 1;
    }
    arguments.push_back(std::move(argument));
  }
}

}  // namespace

TDKServiceStatus ServiceStatusOf(uint32_t state) {
  if (state < 1 || state > 7)
    DatabaseErrorFmt(nullptr, "Unknown service status $%X (%d)", state, static_cast<int>(state));
  return static_cast<TDKServiceStatus>(state - 1);
}

void TDKNetManager::ServiceManagerOpen(const std::string& server, bool read_only, TServiceHandle& manager) {
  manager = OpenManager(*ServiceBackend(), server, read_only);
}

void TDKNetManager::ServiceManagerClose(TServiceHandle manager) {
  if (manager != 0) ServiceBackend()->CloseServiceHandle(manager);
}

void TDKNetManager::ServiceOpen(const std::string& server, const std::string& service_name, bool read_only,
                                TServiceHandle& manager, TServiceHandle& service) {
  OpenServiceHandles(*ServiceBackend(), server, service_name, read_only, manager, service);
}

void TDKNetManager::ServiceClose(TServiceHandle manager, TServiceHandle service) {
  CloseHandles(*ServiceBackend(), manager, service);
}

TDKServicesInfo TDKNetManager::GetServiceNames(const std::string& server) {
  return GetServiceNames(*ServiceBackend(), server);
}

TDKServicesInfo TDKNetManager::GetServiceNames(IServiceBackend& backend, const std::string& server) {
  const TServiceHandle manager = OpenManager(backend, server, true);
  std::vector<TServiceStatusEntry> entries;
  const uint32_t status = backend.EnumServicesStatus(manager, kServiceWin32, kServiceStateAll, entries);
  backend.CloseServiceHandle(manager);
  Check(backend, status);
  TDKServicesInfo services;
  for (const TServiceStatusEntry& entry : entries)
    services.push_back({entry.ServiceName, entry.DisplayName, ServiceStatusOf(entry.CurrentState)});
  return services;
}

TDKServiceStatus TDKNetManager::GetServiceStatus(const std::string& server, const std::string& service_name) {
  const OpenedService service(server, service_name, true);
  uint32_t state = 0;
  service.Check(service.Backend().QueryServiceStatus(service.Handle(), state));
  return ServiceStatusOf(state);
}

void TDKNetManager::ServiceStart(const std::string& server, const std::string& service_name,
                                 const std::string& parameters) {
  const OpenedService service(server, service_name, false);
  service.Check(service.Backend().StartService(service.Handle(), SplitArguments(plat::TrimBlanks(parameters))));
}

void TDKNetManager::ServiceStop(const std::string& server, const std::string& service_name) {
  const OpenedService service(server, service_name, false);
  uint32_t state = 0;
  service.Check(service.Backend().ControlService(service.Handle(), kServiceControlStop, state));
}

void TDKNetManager::GetServerList(TStrings& list) {
  list.Clear();
  std::vector<std::u16string> names;
  const uint32_t status = ServiceBackend()->NetServerEnum(kServerInfoLevel100, kServerTypeWorkstation, names);
  if (status != 0) throw Exception("NetServerEnum error " + std::to_string(status));
  for (const std::u16string& name : names) list.Add(plat::Utf16ToAnsi(name));
}

}  // namespace dac
