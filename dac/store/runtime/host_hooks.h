// Hooks through which a host application shows that the library is busy and
// names itself. All are empty until the host sets them; set them before
// other threads use the library.
#pragma once

#include <functional>
#include <string>

namespace dac {

extern std::function<void()> StartWaitProc;
extern std::function<void()> StopWaitProc;
extern std::function<std::string()> ApplicationTitleProc;

// Each calls its hook when set and does nothing otherwise.
void StartWait();
void StopWait();
// The hook's title, or "" without a hook.
std::string ApplicationTitle();

}  // namespace dac
