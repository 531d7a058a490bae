// Collects what reaches the application's exception hook while it lives.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "dac/framework/classes/application.h"

namespace dac::test {

class HookedErrors {
 public:
  HookedErrors() {
    previous_ =
        SetApplicationExceptionHandler([this](TObject*, const std::exception& e) { texts.push_back(e.what()); });
  }
  ~HookedErrors() { SetApplicationExceptionHandler(previous_); }
  HookedErrors(const HookedErrors&) = delete;
  HookedErrors& operator=(const HookedErrors&) = delete;
  std::vector<std::string> texts;

 private:
  TExceptionHandler previous_;
};

}  // namespace dac::test
