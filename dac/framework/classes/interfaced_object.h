// A small reference-counted interface in place of COM's IUnknown, and an
// object base that implements it (freed when the last reference goes).
#pragma once

#include <atomic>
#include <cstdint>

#include "dac/framework/classes/meta_class.h"

namespace dac {

class IUnknown {
 public:
  // The count after the change.
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// Starts with no reference: the first AddRef (by whoever takes the interface) makes it live.
class TInterfacedObject : public TObject, public IUnknown {
  DAC_DECLARE_CLASS();

 public:
  TInterfacedObject() = default;
  int32_t AddRef() override { return ++ref_count_; }
  int32_t Release() override;
  int32_t RefCount() const { return ref_count_; }

 protected:
  ~TInterfacedObject() override = default;

 private:
  std::atomic<int32_t> ref_count_{0};
};

}  // namespace dac
