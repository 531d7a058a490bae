// Restores the process format settings after a test changes them.
#pragma once

#include "platform/format_settings.h"

namespace dac {

class SettingsGuard {
 public:
  SettingsGuard() : saved_(plat::ProcessFormatSettings()) {}
  ~SettingsGuard() { plat::ProcessFormatSettings() = saved_; }
  SettingsGuard(const SettingsGuard&) = delete;
  SettingsGuard& operator=(const SettingsGuard&) = delete;

 private:
  plat::FormatSettings saved_;
};

}  // namespace dac
