// TPersistent: an object that can take the state of another (Assign) and
// describe the properties it files (DefineProperties).
#pragma once

#include <functional>

#include "dac/framework/classes/meta_class.h"

namespace dac {

class TFiler;

using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // Asks the source's AssignTo; a null source raises like an unknown one.
  virtual void Assign(const TPersistent* source);
  // The object that owns this one, for collections and their items.
  virtual TPersistent* GetOwner() const { return nullptr; }
  // Names the properties filed for this object (see filer.h).
  virtual void DefineProperties(TFiler& filer);

 protected:
  // Copies this object into dest; the base raises EConvertError
  // "Cannot assign %s to %s" (source class, dest class).
  virtual void AssignTo(TPersistent* dest) const;
  // The error AssignTo raises; source null names "nil".
  [[noreturn]] static void AssignError(const TPersistent* source, const TPersistent* dest);
};

}  // namespace dac
