#include "dac/store/runtime/host_hooks.h"

namespace dac {

std::function<void()> StartWaitProc;
std::function<void()> StopWaitProc;
std::function<std::string()> ApplicationTitleProc;

void StartWait() {
  if (StartWaitProc) StartWaitProc();
}

void StopWait() {
  if (StopWaitProc) StopWaitProc();
}

std::string ApplicationTitle() { return ApplicationTitleProc ? ApplicationTitleProc() : std::string(); }

}  // namespace dac
