// The message of the exception an action raises, or "no error".
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace dac {

inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace dac
