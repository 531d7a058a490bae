#include "dac/store/runtime/variant_routines.h"

#include "dac/framework/classes/exceptions.h"

namespace dac {

bool VarEqual(const Variant& a, const Variant& b) {
  if ((a.Type() == varOleStr && b.IsString()) || (b.Type() == varOleStr && a.IsString()))
    return a.AsWideString() == b.AsWideString();
  if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
  if (a.Type() != b.Type()) return false;
  if (a.IsBytes()) return a.AsBytes() == b.AsBytes();
  return a == b;
}

const Variant& VarArrayAsPSafeArray(const Variant& value) {
  if (!value.IsArray()) throw EOleSysError("The parameter is incorrect", kEInvalidArg);
  return value;
}

}  // namespace dac
