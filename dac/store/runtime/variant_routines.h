// Variant helpers of the support unit: the record store's equality and the
// routines that stood for OLE variants, here working on the project's Variant.
#pragma once

#include "dac/framework/values/variant.h"

namespace dac {

// Wide text against wide or 8-bit text: compared as wide text, exactly.
// Otherwise Null equals only Null; the type codes must be equal (else
// false); byte arrays compare their bytes; other equal codes use the
// Variant's own equality.
bool VarEqual(const Variant& a, const Variant& b);

inline void OleVarClear(Variant& value) { value = Variant(); }
inline Variant GetOleVariant(const Variant* address) { return *address; }
inline void SetOleVariant(Variant* address, const Variant& value) { *address = value; }

constexpr uint32_t kEInvalidArg = 0x80070057;
// The array variant itself (its elements or bytes); a variant that is no
// array raises EOleSysError carrying E_INVALIDARG (0x80070057).
const Variant& VarArrayAsPSafeArray(const Variant& value);

}  // namespace dac
