// Work inside a counted BeginUpdate / EndUpdate pair that is ended also when
// the work throws (the end may then notify, as the pair always does).
#pragma once

namespace dac {

template <typename Target, typename Work>
void WithinUpdate(Target& target, Work&& work) {
  target.BeginUpdate();
  try {
    work();
  } catch (...) {
    target.EndUpdate();
    throw;
  }
  target.EndUpdate();
}

}  // namespace dac
