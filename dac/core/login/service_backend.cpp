#include "dac/core/login/service_backend.h"

#include "dac/core/server/replaceable_hook.h"

namespace dac {

namespace {

// The platform's backend: no service manager, no network list.
class UnboundServiceBackend final : public IServiceBackend {
 public:
  uint32_t OpenSCManager(const std::string&, uint32_t, TServiceHandle&) override { NotLinked(); }
  uint32_t CloseServiceHandle(TServiceHandle) override { NotLinked(); }
  uint32_t OpenService(TServiceHandle, const std::string&, uint32_t, TServiceHandle&) override { NotLinked(); }
  uint32_t EnumServicesStatus(TServiceHandle, uint32_t, uint32_t, std::vector<TServiceStatusEntry>&) override {
    NotLinked();
  }
  uint32_t QueryServiceStatus(TServiceHandle, uint32_t&) override { NotLinked(); }
  uint32_t StartService(TServiceHandle, const std::vector<std::string>&) override { NotLinked(); }
  uint32_t ControlService(TServiceHandle, uint32_t, uint32_t&) override { NotLinked(); }
  uint32_t NetServerEnum(uint32_t, uint32_t, std::vector<std::u16string>&) override { NotLinked(); }
  std::string ErrorText(uint32_t) override { NotLinked(); }

 private:
  [[noreturn]] static void NotLinked() { throw Exception("function is not linked"); }
};

struct Binding {
  std::shared_ptr<IServiceBackend> platform = std::make_shared<UnboundServiceBackend>();
  TReplaceableHook<std::shared_ptr<IServiceBackend>> bound;
};

Binding& TheBinding() {
  static Binding binding;
  return binding;
}

}  // namespace

void RaiseOSError(IServiceBackend& backend, uint32_t code) {
  throw EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" + backend.ErrorText(code), code);
}

std::shared_ptr<IServiceBackend> ServiceBackend() {
  std::shared_ptr<IServiceBackend> bound = TheBinding().bound.Get();
  return bound ? bound : TheBinding().platform;
}

std::shared_ptr<IServiceBackend> SetServiceBackend(std::shared_ptr<IServiceBackend> backend) {
  std::shared_ptr<IServiceBackend> previous = TheBinding().bound.Exchange(std::move(backend));
  return previous ? previous : TheBinding().platform;
}

}  // namespace dac
