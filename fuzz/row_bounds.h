// The one promise every MySQL row decoder makes about hostile rows.
#pragma once

#include <cstdint>

#include "dac/mysql/client/wire/mysql_binds.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

// Every value that is not NULL lies inside the row's length bytes.
inline void RequireValuesInsideRow(const dac::TMySqlBinds& binds, int64_t length) {
  for (int i = 0; i < binds.Count(); ++i) {
    const dac::TMySqlBind& bind = binds[i];
    if (bind.is_null) continue;
    Require(bind.offset >= 0 && bind.length >= 0 && int64_t{bind.offset} + bind.length <= length,
            "a value lies outside its row");
  }
}

}  // namespace fuzz
