// The text of the assertion failure an action raises (without its unit and
// line), or what happened instead.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "dac/framework/classes/exceptions.h"

namespace dac::test {

inline std::string AssertionTextOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EAssertionFailed& e) {
    return e.Text();
  } catch (const std::exception& e) {
    return std::string("not an assertion: ") + e.what();
  }
  return "no error";
}

}  // namespace dac::test
