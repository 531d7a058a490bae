#include "dac/core/server/transaction_coordinator.h"

#include "dac/framework/classes/exceptions.h"
#include "platform/critical_section.h"

namespace dac {

namespace {

HResult NotLinked(std::shared_ptr<ITransactionDispenser>&) { throw Exception("Function is not linked"); }

struct CoordinatorBinding {
  plat::CriticalSection lock;
  TCoordinatorLibraryLoader loader;
  std::unique_ptr<ICoordinatorLibrary> library;
  TDtcGetTransactionManagerEx entry = NotLinked;
  bool loaded = false;
};

CoordinatorBinding& Binding() {
  static CoordinatorBinding binding;
  return binding;
}

}  // namespace

TCoordinatorLibraryLoader SetCoordinatorLibraryLoader(TCoordinatorLibraryLoader loader) {
  CoordinatorBinding& binding = Binding();
  plat::CriticalSectionGuard guard(binding.lock);
  std::swap(binding.loader, loader);
  return loader;
}

void InitMSDTC() {
  CoordinatorBinding& binding = Binding();
  plat::CriticalSectionGuard guard(binding.lock);
  if (binding.loaded) return;
  std::unique_ptr<ICoordinatorLibrary> library = binding.loader ? binding.loader() : nullptr;
  if (!library) throw Exception("Can not find xolehlp.dll");
  if (TDtcGetTransactionManagerEx entry = library->FindTransactionManagerEntry()) binding.entry = std::move(entry);
  binding.library = std::move(library);
  binding.loaded = true;
}

void FreeMSDTC() {
  CoordinatorBinding& binding = Binding();
  plat::CriticalSectionGuard guard(binding.lock);
  if (!binding.loaded) return;
  binding.entry = NotLinked;
  binding.library.reset();
  binding.loaded = false;
}

HResult DtcGetTransactionManagerEx(std::shared_ptr<ITransactionDispenser>& dispenser) {
  TDtcGetTransactionManagerEx entry;
  {
    CoordinatorBinding& binding = Binding();
    plat::CriticalSectionGuard guard(binding.lock);
    entry = binding.entry;
  }
  return entry(dispenser);
}

}  // namespace dac
